#include "profiles/json/JsonFile.h"

#include "platform/DebugLog.h"

#include <json/reader.h>
#include <json/writer.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <memory>
#include <sstream>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nk7x {
namespace {

std::atomic<bool> g_sync{true};
std::atomic<unsigned> g_tempCounter{0};

// Profiles nest a few levels deep; a deeper document is malformed, and the limit keeps the
// recursive parser and writer far from the end of the stack.
constexpr int kMaxJsonDepth = 200;

class FdGuard {
  public:
    explicit FdGuard(int fd) : m_fd(fd) {}
    ~FdGuard() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    FdGuard(const FdGuard&) = delete;
    FdGuard& operator=(const FdGuard&) = delete;
    int Get() const { return m_fd; }
    int Release() {
        int fd = m_fd;
        m_fd = -1;
        return fd;
    }

  private:
    int m_fd;
};

bool WriteAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        if (n == 0) {
            errno = EIO;
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

// The file a write replaces: a symbolic link to a regular file is followed, so the link stays and
// its target gets the new content. Empty when what is there is no regular file (nor a link to one):
// a write must never put a file in place of a FIFO, a device node or a link to one.
std::string ReplaceTarget(const std::string& path) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0)
        return path; // nothing there yet: a new file
    if (S_ISREG(st.st_mode))
        return path;
    if (!S_ISLNK(st.st_mode))
        return {};
    struct stat target {};
    if (::stat(path.c_str(), &target) != 0 || !S_ISREG(target.st_mode))
        return {};
    std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr), &std::free);
    return real ? std::string(real.get()) : std::string();
}

// The folder that holds `path` ("." for a bare name).
std::string FolderOf(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? std::string("/") : path.substr(0, slash);
}

// Writes the folder's entries out, so that a finished rename survives a power loss. File systems
// that cannot sync a folder (EINVAL) and folders that may be written but not opened have nothing
// more to offer; everything else that goes wrong here is a failure of the write.
bool SyncFolder(const std::string& folder) {
    int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return errno == EACCES || errno == EPERM;
    FdGuard guard(fd);
    int rc;
    do {
        rc = ::fsync(fd);
    } while (rc != 0 && errno == EINTR);
    return rc == 0 || errno == EINVAL || errno == ENOTSUP;
}

} // namespace

std::string ReadJsonText(const std::string& path) {
    // Non-blocking, so that a FIFO or a device node under a profile's name cannot stall the reader.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    DebugLogf("readjsonFile 错误吗：：%d", fd < 0 ? errno : 0);
    if (fd < 0)
        return {};
    FdGuard guard(fd);
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0 ||
        static_cast<std::size_t>(st.st_size) > kMaxJsonFileSize)
        return {};
    std::string text(static_cast<std::size_t>(st.st_size), '\0');
    std::size_t got = 0;
    while (got < text.size()) {
        ssize_t n = ::read(fd, text.data() + got, text.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        got += static_cast<std::size_t>(n);
    }
    // A file that changed size while it was read is not used.
    if (got != text.size())
        return {};
    return text;
}

bool ParseJsonText(const std::string& text, Json::Value& out) {
    out = Json::Value();
    Json::CharReaderBuilder builder;
    builder["allowComments"] = true;
    builder["collectComments"] = true;
    builder["strictRoot"] = false;
    builder["stackLimit"] = kMaxJsonDepth;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value parsed;
    std::string errors;
    try {
        if (!reader->parse(text.data(), text.data() + text.size(), &parsed, &errors))
            return false;
    } catch (const std::exception&) {
        // JsonCpp throws when the nesting limit is exceeded.
        return false;
    }
    out = std::move(parsed);
    return true;
}

Json::Value LoadJson(const std::string& path) {
    std::string text = ReadJsonText(path);
    if (text.empty()) {
        DebugLog(path);
        return Json::Value();
    }
    Json::Value value;
    ParseJsonText(text, value);
    return value;
}

std::string StyledJsonText(const Json::Value& value) {
    Json::StyledWriter writer;
    std::string text = writer.write(value);
    text += '\n';
    return text;
}

int WriteJson(const std::string& path, const Json::Value& value) {
    std::string text;
    try {
        text = StyledJsonText(value);
    } catch (const std::exception&) {
        errno = ENOMEM;
        return 0;
    }
    if (text.size() > kMaxJsonFileSize) {
        errno = EFBIG;
        return 0;
    }
    return ReplaceFileContent(path, text);
}

int ReplaceFileContent(const std::string& path, const std::string& text) {
    if (path.empty()) {
        errno = EINVAL;
        return 0;
    }
    const std::string target = ReplaceTarget(path);
    if (target.empty()) {
        errno = EEXIST;
        return 0;
    }
    const bool sync = g_sync.load(std::memory_order_relaxed);

    // The temporary name is unique per process and call, and O_EXCL refuses any file already there.
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 16 && fd < 0; ++attempt) {
        temp =
            target + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(g_tempCounter.fetch_add(1));
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return 0;
    }
    if (fd < 0)
        return 0;
    FdGuard guard(fd);

    // A replaced file keeps its permissions.
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0 && S_ISREG(old.st_mode))
        (void)::fchmod(fd, old.st_mode & 07777);

    // The first error is the one the caller sees; removing the temporary must not replace it.
    int error = 0;
    if (!WriteAll(fd, text.data(), text.size()))
        error = errno;
    if (error == 0 && sync && ::fsync(fd) != 0)
        error = errno;
    if (::close(guard.Release()) != 0 && error == 0)
        error = errno;
    if (error == 0 && ::rename(temp.c_str(), target.c_str()) != 0)
        error = errno;
    if (error != 0) {
        ::unlink(temp.c_str());
        errno = error;
        return 0;
    }
    // The new content is in place; only its durability is at stake now.
    if (sync && !SyncFolder(FolderOf(target)))
        return 0;
    return 1;
}

void SetJsonWriteSync(bool on) {
    g_sync.store(on, std::memory_order_relaxed);
}
bool JsonWriteSync() {
    return g_sync.load(std::memory_order_relaxed);
}

std::string FormatTimeStampName(int year, int month, int day, int hour, int minute, int second,
                                int millisecond) {
    char buf[64];
    std::snprintf(buf, sizeof buf, "%d_%02d_%02d_%02d_%02d_%02d_%03d", year, month, day, hour, minute, second,
                  millisecond);
    return buf;
}

std::string MakeTimeStampName() {
    using namespace std::chrono;
    auto now = system_clock::now();
    std::time_t secs = system_clock::to_time_t(now);
    int ms = static_cast<int>(duration_cast<milliseconds>(now.time_since_epoch()).count() % 1000);
    if (ms < 0)
        ms += 1000;
    std::tm local{};
    localtime_r(&secs, &local);
    return FormatTimeStampName(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour,
                               local.tm_min, local.tm_sec, ms);
}

} // namespace nk7x
