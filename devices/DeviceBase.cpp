#include "devices/DeviceBase.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <thread>

#include "devices/discovery/DeviceTables.h"
#include "platform/DebugLog.h"

namespace nk7x {

FunctionTabs FunctionTabsFor(int mode, std::optional<DeviceKind> kind) {
    switch (mode) {
    case 2:
    case 6:
        return {0, 1};
    case 3:
    case 8:
        return {1, -1};
    case 4:
        if (kind == DeviceKind::Keyboard || kind == DeviceKind::Mouse)
            return {3, -1};
        return {0, 2};
    case 7:
        return {0, 2};
    case 5:
        return {2, -1};
    default:
        return {0, 0};
    }
}

CDeviceBase::CDeviceBase() : m_identity(std::make_unique<DeviceSlot>()) {}

CDeviceBase::~CDeviceBase() {
    m_worker.Stop();
    StopKeyEventThread();
    m_link.ClosePath();
}

void CDeviceBase::SetIdentity(const DeviceSlot& slot) {
    *m_identity = slot;
    m_kind = slot.kind;
    m_role = slot.role;
}

void CDeviceBase::SetKeyCount(int n) {
    if (n < 0)
        n = 0;
    if (n != m_keyCount) {
        m_keyCount = n;
        m_keyColours.resize(static_cast<size_t>(n));
        m_lightListTable.resize(static_cast<size_t>(n));
    }
    for (KeyColour& c : m_keyColours)
        c = {};
    std::lock_guard<std::mutex> lock(m_lightListLock);
    for (LightState& s : m_lightListTable)
        s = {};
}

void CDeviceBase::SetButtonCount(int n) {
    if (n >= 0)
        m_buttonCount = n;
}

void CDeviceBase::SetKeyColour(int index, KeyColour value) {
    if (index >= 0 && index < m_keyCount && static_cast<size_t>(index) < m_keyColours.size())
        m_keyColours[static_cast<size_t>(index)] = value;
}

KeyColour CDeviceBase::GetKeyColour(int index) const {
    if (index >= 0 && index < m_keyCount && static_cast<size_t>(index) < m_keyColours.size())
        return m_keyColours[static_cast<size_t>(index)];
    return {};
}

void CDeviceBase::SetFunctionMode(int mode) {
    m_functionMode = mode;
    if (IDeviceView* view = DeviceView())
        view->SelectFunctionTabs(FunctionTabsFor(mode, m_kind));
}

void CDeviceBase::RunTransfer(const std::string& key, Transfer transfer) {
    if (!m_worker.Running()) {
        const Continuation done = transfer();
        if (done)
            done();
        return;
    }
    m_worker.Post(key, [this, transfer = std::move(transfer)] {
        Continuation done = transfer();
        // A page that has let go of the device wants nothing more from it.
        IDeviceView* view = DeviceView();
        if (done && view)
            view->RunOnOwner(std::move(done));
    });
}

void CDeviceBase::SetLiveLighting(bool on) {
    m_liveLighting.store(on, std::memory_order_relaxed);
    if (on && m_kind == DeviceKind::Keyboard)
        RunTransfer("live-lighting", [this]() -> Continuation {
            if (m_link.EnterLiveLighting() != kResultOk)
                DebugLog("live lighting: the keyboard did not take the switch");
            return nullptr;
        });
}

LinkResult CDeviceBase::RefreshLighting() {
    if (!IsLiveLighting())
        return kResultOk;
    ShowLiveColours();
    return StreamKeyColours();
}

void CDeviceBase::ShowLiveColours() {
    if (IDeviceView* view = DeviceView())
        for (size_t i = 0; i < m_keyColours.size(); ++i)
            view->ShowKeyColour(static_cast<int>(i), PackKeyButtonColour(m_keyColours[i]),
                                m_keyColours[i].alpha);
}

LinkResult CDeviceBase::StreamKeyColours() {
    std::array<uint8_t, kLiveLightingBytes> buffer{};
    const size_t count = m_keyColours.size();
    for (size_t i = 0; i < count; ++i) {
        const KeyColour c = m_keyColours[i];
        if (i == static_cast<size_t>(kLiveLightingSkippedKey) || 3 * i + 2 >= buffer.size())
            continue;
        buffer[3 * i] = static_cast<uint8_t>((c.red * c.alpha) >> 8);
        buffer[3 * i + 1] = static_cast<uint8_t>((c.green * c.alpha) >> 8);
        buffer[3 * i + 2] = static_cast<uint8_t>((c.blue * c.alpha) >> 8);
    }
    if (m_link.LongTimeouts())
        return kResultOk;
    size_t length = static_cast<size_t>(m_keyCount) * 3;
    if (length > buffer.size())
        length = buffer.size();
    return SendStreamFrame([this, buffer, length] { return m_link.StreamLighting(buffer.data(), length); });
}

void CDeviceBase::SetDirectColours(std::size_t first, std::span<const DirectColour> colours) {
    const bool taken = m_direct.Hold(static_cast<std::size_t>(m_keyCount));
    m_direct.Set(first, colours);
    if (taken)
        DirectTakeOver(true);
}

void CDeviceBase::HoldDirectColours() {
    if (m_direct.Hold(static_cast<std::size_t>(m_keyCount)))
        DirectTakeOver(true);
}

void CDeviceBase::ReleaseDirectColours() {
    if (m_direct.Release())
        DirectTakeOver(false);
}

bool CDeviceBase::SendDirectFrame() {
    uint64_t generation = 0;
    const std::vector<DirectColour> colours = m_direct.Colours(&generation);
    // A frame of these colours already left or waits on the worker: nothing new to send.
    if (colours.empty() || !IsLiveLighting() || m_link.LongTimeouts() || generation == m_directQueued.load())
        return false;
    m_directQueued.store(generation);
    std::array<uint8_t, kLiveLightingBytes> buffer{};
    for (size_t i = 0; i < colours.size() && 3 * i + 2 < buffer.size(); ++i) {
        if (i == static_cast<size_t>(kLiveLightingSkippedKey))
            continue;
        buffer[3 * i] = colours[i].red;
        buffer[3 * i + 1] = colours[i].green;
        buffer[3 * i + 2] = colours[i].blue;
    }
    const size_t length = std::min(buffer.size(), static_cast<size_t>(m_keyCount) * 3);
    (void)SendStreamFrame([this, buffer, length, generation] {
        const LinkResult result = m_link.StreamLighting(buffer.data(), length);
        uint64_t expected = generation;
        if (result != kResultOk) // a failed frame is sent again with the next tick
            m_directQueued.compare_exchange_strong(expected, 0);
        return result;
    });
    return true;
}

LinkResult CDeviceBase::SendStreamFrame(std::function<LinkResult()> send) {
    const auto made = std::chrono::steady_clock::now();
    auto stream = [this, send = std::move(send), made] {
        NoteStreamSend(made);
        const LinkResult result = send();
        if (result != kResultOk)
            std::this_thread::sleep_for(std::chrono::milliseconds(kFailedFramePauseMs));
        return result;
    };
    if (!m_worker.Running())
        return stream();
    // Only the newest colours matter: a frame still waiting is replaced, never queued behind.
    RunTransfer("stream", [stream]() -> Continuation {
        (void)stream(); // a dropped frame is followed by newer colours in the next run
        return nullptr;
    });
    return kResultOk;
}

void CDeviceBase::NoteStreamSend(std::chrono::steady_clock::time_point made) {
    using Ms = std::chrono::duration<double, std::milli>;
    const auto now = std::chrono::steady_clock::now();
    std::lock_guard<std::mutex> lock(m_streamTimingLock);
    m_streamTiming.worstDelayMs = std::max(m_streamTiming.worstDelayMs, Ms(now - made).count());
    if (m_streamTiming.frames > 0)
        m_streamTiming.worstIntervalMs =
            std::max(m_streamTiming.worstIntervalMs, Ms(now - m_lastSend).count());
    m_lastSend = now;
    ++m_streamTiming.frames;
}

StreamTiming CDeviceBase::StreamStats() const {
    std::lock_guard<std::mutex> lock(m_streamTimingLock);
    return m_streamTiming;
}

int CDeviceBase::StartKeyEventThread(const std::string& path) {
    if (!m_notifyLink.IsOpen()) {
        std::lock_guard<std::mutex> lock(m_notifyLink.ExchangeLock());
        if (m_notifyLink.Transport().Open(path, true, true) != 1)
            return 0;
        m_notifyLink.SetOpen(true);
    }
    if (!m_keyEvents) {
        KeyEventHandlers handlers;
        handlers.onSync = [this] { OnNotification(kNotifySync); };
        handlers.onSyncRed = [this] { OnNotification(kNotifySyncRed); };
        handlers.onStatus = [this] { OnNotification(kNotifyStatus); };
        handlers.onKey = [this](int position, KeyEventKind kind) {
            OnNotification(KeyEventCode(kind, position));
        };
        m_keyEvents = std::make_unique<CKeyEventThread>(m_notifyLink, std::move(handlers));
    }
    m_keyEvents->Start();
    return 1;
}

void CDeviceBase::StopKeyEventThread() {
    if (m_keyEvents)
        m_keyEvents->Stop();
    std::lock_guard<std::mutex> lock(m_notifyLink.ExchangeLock());
    m_notifyLink.Transport().Close();
    m_notifyLink.SetOpen(false);
}

void CDeviceBase::OnNotification(uint16_t code) {
    IDeviceView* view = DeviceView();
    const std::optional<Notification> n = DecodeNotification(code);
    if (n && n->code == NotifyCode::Sync && view)
        view->ArmTimer(kSyncTimerId, 500);
}

} // namespace nk7x
