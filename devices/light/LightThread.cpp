#include "devices/light/LightThread.h"

#include "platform/DebugLog.h"

namespace nk7x::light {

namespace {
constexpr auto kClosedPoll = std::chrono::milliseconds(100);
constexpr auto kStopPatience = std::chrono::milliseconds(1000);
} // namespace

LightThread::LightThread(LightEngine& engine, const std::atomic<uint32_t>* linkOpen,
                         const std::atomic<uint32_t>* backgroundPause)
    : m_engine(engine) {
    if (linkOpen)
        m_linkOpen = [linkOpen] { return linkOpen->load() != 0; };
    if (backgroundPause)
        m_pause = [backgroundPause] { return backgroundPause->load() != 0; };
}

LightThread::LightThread(LightEngine& engine, std::function<bool()> linkOpen,
                         std::function<bool()> backgroundPause)
    : m_engine(engine), m_linkOpen(std::move(linkOpen)), m_pause(std::move(backgroundPause)) {}

LightThread::~LightThread() {
    Stop();
}

bool LightThread::Start() {
    if (m_thread.joinable())
        return false;
    {
        std::lock_guard lock(m_mutex);
        m_stop = false;
        m_ended = false;
    }
    m_passes = 0;
    m_thread = std::thread([this] { Run(); });
    return true;
}

int LightThread::Stop() {
    if (!m_thread.joinable())
        return -1;
    bool inTime = false;
    {
        std::unique_lock lock(m_mutex);
        m_stop = true;
        m_cond.notify_all();
        inTime = m_cond.wait_for(lock, kStopPatience, [this] { return m_ended; });
    }
    // A late thread is still joined: the steps never block, so it ends, and ending it by force
    // could leave a light lock held.
    m_thread.join();
    DebugLog(inTime ? "线程退出：：对象处于激发状态\n" : "线程退出：：对象处于非激发状态，超时\n");
    return inTime ? 1 : 0;
}

void LightThread::SetWatched(bool watched) {
    std::lock_guard lock(m_mutex);
    m_watched = watched;
    m_cond.notify_all();
}

bool LightThread::Watched() const {
    std::lock_guard lock(m_mutex);
    return m_watched;
}

bool LightThread::WaitWatched() {
    std::unique_lock lock(m_mutex);
    m_cond.wait(lock, [this] { return m_stop || m_watched; });
    return m_stop;
}

bool LightThread::WaitUntil(std::chrono::steady_clock::time_point deadline) {
    std::unique_lock lock(m_mutex);
    return m_cond.wait_until(lock, deadline, [this] { return m_stop; });
}

void LightThread::Run() {
    using clock = std::chrono::steady_clock;
    auto next = clock::now();
    for (;;) {
        if (!Watched()) {
            if (WaitWatched())
                break;
            next = clock::now();
            continue;
        }
        if (m_linkOpen && !m_linkOpen()) {
            if (WaitUntil(clock::now() + kClosedPoll))
                break;
            next = clock::now();
            continue;
        }
        if (!(m_pause && m_pause())) {
            m_engine.Step();
            ++m_passes;
        }
        next += kLightTick;
        const auto now = clock::now();
        if (next < now) // fell behind (suspend, debugger): resume the rhythm from now
            next = now + kLightTick;
        if (WaitUntil(next))
            break;
    }
    DebugLog(m_engine.Page() == LightPage::Keyboard ? "KB灯光线程设定退出" : "MS灯光线程设定退出");
    std::lock_guard lock(m_mutex);
    m_ended = true;
    m_cond.notify_all();
}

} // namespace nk7x::light
