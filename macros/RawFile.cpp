#include "macros/RawFile.h"

#include "profiles/json/JsonFile.h"

#include <atomic>
#include <cerrno>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace nk7x {
namespace {

std::atomic<unsigned> g_tempCounter{0};

class Fd {
  public:
    explicit Fd(int fd) : m_fd(fd) {}
    ~Fd() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return m_fd; }
    // Closes now and tells whether the close succeeded (a deferred write error shows here).
    bool Close() {
        const int fd = m_fd;
        m_fd = -1;
        return ::close(fd) == 0;
    }

  private:
    int m_fd;
};

} // namespace

bool ReadRawFile(const std::string& path, std::size_t maxSize, std::string& out) {
    out.clear();
    // Non-blocking, so that a FIFO under the chosen name cannot stall the program.
    Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (fd.Get() < 0)
        return false;
    struct stat st {};
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode) || st.st_size < 0 ||
        static_cast<std::size_t>(st.st_size) > maxSize)
        return false;
    std::string bytes(static_cast<std::size_t>(st.st_size), '\0');
    std::size_t got = 0;
    while (got < bytes.size()) {
        const ssize_t n = ::read(fd.Get(), bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        got += static_cast<std::size_t>(n);
    }
    out = std::move(bytes);
    return true;
}

bool WriteRawFileAtomically(const std::string& path, std::string_view bytes) {
    if (path.empty() || path.back() == '/')
        return false;
    std::string temp;
    int raw = -1;
    for (int attempt = 0; attempt < 16 && raw < 0; ++attempt) {
        temp = path + ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(g_tempCounter.fetch_add(1));
        raw = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (raw < 0 && errno != EEXIST)
            return false;
    }
    if (raw < 0)
        return false;
    Fd fd(raw);
    bool ok = true;
    const char* data = bytes.data();
    std::size_t left = bytes.size();
    while (ok && left > 0) {
        const ssize_t n = ::write(fd.Get(), data, left);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        data += n;
        left -= static_cast<std::size_t>(n);
    }
    // The same durability policy as the JSON files.
    if (ok && JsonWriteSync())
        ok = ::fsync(fd.Get()) == 0;
    if (!fd.Close())
        ok = false;
    if (ok)
        ok = ::rename(temp.c_str(), path.c_str()) == 0;
    if (!ok)
        ::unlink(temp.c_str());
    return ok;
}

} // namespace nk7x
