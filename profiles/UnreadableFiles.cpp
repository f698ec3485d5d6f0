#include "profiles/UnreadableFiles.h"

#include "platform/DebugLog.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>

#include <sys/stat.h>
#include <unistd.h>

namespace nk7x {
namespace {

std::mutex g_mutex;
std::vector<UnreadableFileNotice> g_notices;
std::function<void()> g_listener;

std::string Stamp() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y%m%d-%H%M%S", &local);
    return buf;
}

void Record(UnreadableFileNotice notice) {
    DebugLogf("unreadable file %s (%s): %s", notice.path.c_str(), notice.reason.c_str(),
              notice.keptAs.empty() ? "left where it is" : ("kept as " + notice.keptAs).c_str());
    std::function<void()> listener;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        g_notices.push_back(std::move(notice));
        listener = g_listener;
    }
    if (listener)
        listener();
}

} // namespace

bool PathTaken(const std::string& path) {
    struct stat st {};
    return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

std::string UnusableFileReason(const std::string& path, std::size_t limit) {
    struct stat link {};
    if (path.empty() || ::lstat(path.c_str(), &link) != 0)
        return {};
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0)
        return "a link to nothing";
    if (!S_ISREG(st.st_mode))
        return S_ISDIR(st.st_mode) ? "a folder" : "not a regular file";
    if (st.st_size < 0 || static_cast<std::size_t>(st.st_size) > limit)
        return "too large (" + std::to_string(static_cast<long long>(st.st_size)) + " bytes)";
    return {};
}

std::string UnusableDocumentReason(const std::string& path, const std::string& text, std::size_t limit,
                                   const std::string& what) {
    std::string why = UnusableFileReason(path, limit);
    if (!why.empty())
        return why;
    if (!text.empty())
        return "not " + what + " (no JSON object)";
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && st.st_size > 0)
        return "could not be read";
    return {};
}

std::string SetAsideUnreadable(const std::string& path, const std::string& reason) {
    if (!PathTaken(path))
        return {};
    const std::string base = path + ".unreadable-" + Stamp();
    for (int n = 0; n < 100; ++n) {
        const std::string target = n == 0 ? base : base + "-" + std::to_string(n);
        if (PathTaken(target))
            continue;
        // rename moves the name itself: a link stays a link, a FIFO or a device stays what it is.
        if (::rename(path.c_str(), target.c_str()) == 0) {
            Record({path, target, reason});
            return target;
        }
        if (errno != EEXIST && errno != ENOTEMPTY)
            break;
    }
    Record({path, {}, reason + "; could not be moved: " + std::strerror(errno)});
    return {};
}

std::vector<UnreadableFileNotice> TakeUnreadableFileNotices() {
    std::lock_guard<std::mutex> lock(g_mutex);
    std::vector<UnreadableFileNotice> out;
    out.swap(g_notices);
    return out;
}

void SetUnreadableFileListener(std::function<void()> listener) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_listener = std::move(listener);
}

} // namespace nk7x
