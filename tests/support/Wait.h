// Waits on what a test can observe instead of fixed sleeps: a condition with a generous deadline,
// and whether another thread has reached a blocking wait.
#pragma once

#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

namespace nk7x::test {

// How long a test waits for something that is due. It is never waited out when all is well, so it
// can be long enough for a sanitizer build on a loaded machine.
inline constexpr std::chrono::milliseconds kWaitPatience{10000};

// Checks `done` every millisecond or so until it holds; false when `patience` runs out first.
inline bool WaitUntil(const std::function<bool()>& done, std::chrono::milliseconds patience = kWaitPatience) {
    const auto deadline = std::chrono::steady_clock::now() + patience;
    while (!done()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return done();
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return true;
}

// The kernel's id of the calling thread, for ThreadIsBlocked.
inline int CurrentThreadId() {
    return static_cast<int>(::syscall(SYS_gettid));
}

// Whether thread `tid` of this process is asleep in the kernel (a blocking read, poll or wait). A
// test that checks that something ends a wait under way first waits for this.
inline bool ThreadIsBlocked(int tid) {
    std::ifstream in("/proc/self/task/" + std::to_string(tid) + "/stat");
    std::string stat;
    if (!std::getline(in, stat))
        return false;
    // "tid (name) S ...": the name may hold spaces and parentheses; the state follows the last ')'.
    const size_t close = stat.rfind(')');
    return close != std::string::npos && close + 2 < stat.size() && stat[close + 2] == 'S';
}

// Waits until a thread that publishes its id in `tid` (0 until then) is blocked.
inline bool WaitUntilBlocked(const std::atomic<int>& tid,
                             std::chrono::milliseconds patience = kWaitPatience) {
    return WaitUntil([&] { return tid.load() != 0 && ThreadIsBlocked(tid.load()); }, patience);
}

} // namespace nk7x::test
