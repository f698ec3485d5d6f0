// A full disk for one call, without mounting anything: a file-size limit (RLIMIT_FSIZE) makes every
// write beyond `bytes` fail with EFBIG, as ENOSPC would, and SIGXFSZ is ignored so the failure comes
// back as an error instead of ending the process. The limit and the signal disposition are put back
// before the call's result is returned, so no later test (and no test output) runs under them.
// Also a byte-for-byte picture of a folder tree, to show that a failed write changed nothing.
#pragma once

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <utility>

#include <sys/resource.h>

namespace nk7x::test {

class FileSizeLimit {
  public:
    explicit FileSizeLimit(rlim_t bytes) {
        struct sigaction ignore {};
        ignore.sa_handler = SIG_IGN;
        m_signalSet = ::sigaction(SIGXFSZ, &ignore, &m_previousSignal) == 0;
        m_limitSet = m_signalSet && ::getrlimit(RLIMIT_FSIZE, &m_previousLimit) == 0;
        if (m_limitSet) {
            struct rlimit small = m_previousLimit;
            small.rlim_cur = bytes;
            m_limitSet = ::setrlimit(RLIMIT_FSIZE, &small) == 0;
        }
    }
    ~FileSizeLimit() {
        if (m_limitSet)
            ::setrlimit(RLIMIT_FSIZE, &m_previousLimit);
        if (m_signalSet)
            ::sigaction(SIGXFSZ, &m_previousSignal, nullptr);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool Active() const { return m_limitSet; }

  private:
    struct sigaction m_previousSignal {};
    struct rlimit m_previousLimit {};
    bool m_signalSet = false;
    bool m_limitSet = false;
};

// Runs `call` with files limited to `bytes` and returns its result. Fails the test (and does not
// run the call) when the limit cannot be set.
template <class Call> auto WithFullDisk(rlim_t bytes, Call&& call) -> decltype(call()) {
    FileSizeLimit limit(bytes);
    if (!limit.Active()) {
        ADD_FAILURE() << "the file-size limit could not be set";
        return decltype(call())();
    }
    return std::forward<Call>(call)();
}

// Every regular file below `root` by its path relative to `root`, with its bytes.
inline std::map<std::string, std::string> FolderPicture(const std::filesystem::path& root) {
    std::map<std::string, std::string> files;
    std::error_code ec;
    for (auto it = std::filesystem::recursive_directory_iterator(root, ec);
         !ec && it != std::filesystem::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_regular_file())
            continue;
        std::ifstream in(it->path(), std::ios::binary);
        std::ostringstream bytes;
        bytes << in.rdbuf();
        files[std::filesystem::relative(it->path(), root).string()] = bytes.str();
    }
    return files;
}

} // namespace nk7x::test
