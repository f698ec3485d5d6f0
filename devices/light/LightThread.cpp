#include "devices/light/LightThread.h"

#include "platform/DebugLog.h"

namespace nk7x::light {

namespace {
constexpr auto kClosedPoll = std::chrono::milliseconds(100);
constexpr auto kStopPatience = std::chrono::milliseconds(1000);
} // namespace

SteadyLightThreadClock& SteadyLightThreadClock::Shared() {
    static SteadyLightThreadClock clock; // stateless: one serves every thread
    return clock;
}

LightThread::LightThread(LightEngine& engine, const std::atomic<uint32_t>* linkOpen,
                         const std::atomic<uint32_t>* backgroundPause, LightThreadClock& clock)
    : m_engine(engine), m_clock(clock) {
    if (linkOpen)
        m_linkOpen = [linkOpen] { return linkOpen->load() != 0; };
    if (backgroundPause)
        m_pause = [backgroundPause] { return backgroundPause->load() != 0; };
}

LightThread::LightThread(LightEngine& engine, std::function<bool()> linkOpen,
                         std::function<bool()> backgroundPause, LightThreadClock& clock)
    : m_engine(engine), m_clock(clock), m_linkOpen(std::move(linkOpen)), m_pause(std::move(backgroundPause)) {
}

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

void LightThread::SetFrameSink(FrameSink sink, std::chrono::milliseconds period) {
    std::lock_guard lock(m_mutex);
    m_sink = std::move(sink);
    m_framePeriod = period.count() > 0 ? period : std::chrono::milliseconds(50);
    m_sinkChanged = true;
    m_cond.notify_all();
}

bool LightThread::HasFrameSink() const {
    std::lock_guard lock(m_mutex);
    return static_cast<bool>(m_sink);
}

bool LightThread::WaitWatched() {
    std::unique_lock lock(m_mutex);
    while (!m_stop && !m_watched)
        m_clock.Sleep(m_cond, lock);
    return m_stop;
}

bool LightThread::WaitUntil(LightThreadClock::TimePoint deadline) {
    std::unique_lock lock(m_mutex);
    while (!m_stop && m_clock.Now() < deadline)
        m_clock.SleepUntil(m_cond, lock, deadline);
    return m_stop;
}

bool LightThread::RunFrame(LightThreadClock::TimePoint& nextPass, LightThreadClock::TimePoint& nextFrame) {
    {
        std::unique_lock lock(m_mutex);
        while (!m_stop && !m_sinkChanged && m_clock.Now() < nextFrame)
            m_clock.SleepUntil(m_cond, lock, nextFrame);
        if (m_stop)
            return true;
        if (m_sinkChanged)
            return false; // the caller looks at the mode again
    }
    FrameSink sink;
    std::chrono::milliseconds period;
    {
        std::lock_guard lock(m_mutex);
        sink = m_sink;
        period = m_framePeriod;
    }
    const auto due = nextFrame;
    auto now = m_clock.Now();
    if (sink && (!m_linkOpen || m_linkOpen()) && !(m_pause && m_pause())) {
        // The passes that fell due since the last frame, at most a second of them.
        int burst = 0;
        constexpr int kMaxBurst = static_cast<int>(std::chrono::seconds(1) / kLightTick);
        while (nextPass <= now && burst++ < kMaxBurst) {
            m_engine.Step();
            ++m_passes;
            nextPass += kLightTick;
        }
        if (nextPass <= now)
            nextPass = now + kLightTick;
        sink(due);
        now = m_clock.Now();
    } else {
        nextPass = now;
    }
    nextFrame += period;
    if (nextFrame < now) // fell behind (a slow device, a suspend): resume the rhythm from now
        nextFrame = now + period;
    return false;
}

void LightThread::Run() {
    auto next = m_clock.Now();
    auto nextFrame = next;
    for (;;) {
        bool sinkMode = false;
        {
            std::lock_guard lock(m_mutex);
            if (m_sinkChanged) {
                m_sinkChanged = false;
                nextFrame = m_clock.Now();
            }
            sinkMode = static_cast<bool>(m_sink);
        }
        if (sinkMode) {
            if (RunFrame(next, nextFrame))
                break;
            continue;
        }
        if (!Watched()) {
            if (WaitWatched())
                break;
            next = m_clock.Now();
            continue;
        }
        if (m_linkOpen && !m_linkOpen()) {
            if (WaitUntil(m_clock.Now() + kClosedPoll))
                break;
            next = m_clock.Now();
            continue;
        }
        if (!(m_pause && m_pause())) {
            m_engine.Step();
            ++m_passes;
        }
        next += kLightTick;
        const auto now = m_clock.Now();
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
