// CDeviceWorker: the thread that carries one device's transfers, so that a page's thread never
// waits on the device. Jobs run one at a time in the order they were posted; a job posted under a
// key replaces one with the same key that has not started yet (only the newest settings matter).
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace nk7x {

class CDeviceWorker {
  public:
    CDeviceWorker() = default;
    ~CDeviceWorker(); // Stop()
    CDeviceWorker(const CDeviceWorker&) = delete;
    CDeviceWorker& operator=(const CDeviceWorker&) = delete;

    // Starts the thread; false when it could not be started (jobs then run on the poster's thread).
    bool Start();
    // Runs the jobs still queued (a user's last change still reaches the device), then ends the
    // thread. Jobs posted afterwards run on the poster's thread.
    void Stop();
    bool Running() const;

    // Queues `job`; an empty key never replaces anything. Without a running thread the job runs
    // at once on the calling thread.
    void Post(const std::string& key, std::function<void()> job);
    // Waits until nothing is queued or running; false on time-out. For shut-down and tests.
    bool WaitIdle(int timeoutMs);
    // True on the worker's own thread.
    bool OnWorkerThread() const;

    uint64_t JobsRun() const;
    uint64_t JobsReplaced() const;

  private:
    struct Job {
        std::string key;
        std::function<void()> run;
    };
    void Serve();

    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Job> m_queue;
    std::thread m_thread;
    std::thread::id m_threadId;
    bool m_running = false;
    bool m_stopping = false;
    bool m_busy = false;
    uint64_t m_jobsRun = 0;
    uint64_t m_jobsReplaced = 0;
};

} // namespace nk7x
