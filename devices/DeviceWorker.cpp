#include "devices/DeviceWorker.h"

#include <chrono>
#include <system_error>

namespace nk7x {

CDeviceWorker::~CDeviceWorker() {
    Stop();
}

bool CDeviceWorker::Start() {
    std::lock_guard<std::mutex> lock(m_mutex);
    if (m_running)
        return true;
    m_stopping = false;
    try {
        m_thread = std::thread([this] { Serve(); });
    } catch (const std::system_error&) {
        return false;
    }
    m_threadId = m_thread.get_id();
    m_running = true;
    return true;
}

void CDeviceWorker::Stop() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        if (!m_running)
            return;
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
    std::lock_guard<std::mutex> lock(m_mutex);
    m_running = false;
    m_threadId = {};
}

bool CDeviceWorker::Running() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_running && !m_stopping;
}

bool CDeviceWorker::OnWorkerThread() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_running && std::this_thread::get_id() == m_threadId;
}

void CDeviceWorker::Post(const std::string& key, std::function<void()> job) {
    if (!job)
        return;
    {
        std::unique_lock<std::mutex> lock(m_mutex);
        const bool inline_ = !m_running || m_stopping || std::this_thread::get_id() == m_threadId;
        if (!inline_) {
            if (!key.empty()) {
                for (Job& queued : m_queue) {
                    if (queued.key == key) {
                        queued.run = std::move(job);
                        ++m_jobsReplaced;
                        return;
                    }
                }
            }
            m_queue.push_back({key, std::move(job)});
            lock.unlock();
            m_wake.notify_one();
            return;
        }
    }
    // No thread to hand it to (or a job posting a follow-up): run it here, in order.
    job();
    std::lock_guard<std::mutex> lock(m_mutex);
    ++m_jobsRun;
}

bool CDeviceWorker::WaitIdle(int timeoutMs) {
    std::unique_lock<std::mutex> lock(m_mutex);
    return m_idle.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [this] { return m_queue.empty() && !m_busy; });
}

uint64_t CDeviceWorker::JobsRun() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_jobsRun;
}

uint64_t CDeviceWorker::JobsReplaced() const {
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_jobsReplaced;
}

void CDeviceWorker::Serve() {
    std::unique_lock<std::mutex> lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return m_stopping || !m_queue.empty(); });
        if (m_queue.empty()) {
            if (m_stopping)
                break;
            continue;
        }
        Job job = std::move(m_queue.front());
        m_queue.pop_front();
        m_busy = true;
        lock.unlock();
        job.run();
        job.run = nullptr; // what it captured goes before the worker reports idle
        lock.lock();
        m_busy = false;
        ++m_jobsRun;
        if (m_queue.empty())
            m_idle.notify_all();
    }
    m_idle.notify_all();
}

} // namespace nk7x
