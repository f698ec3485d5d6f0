// CDeviceBase: what every device page holds and does without a toolkit: its two links, the device
// information, the per-key tables, the light settings and locks, its identity and the shared
// operations. Each kind builds on it; the toolkit page owns the kind's object and shows what it
// reports through the object's view interface.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "devices/DeviceWorker.h"
#include "devices/DirectColours.h"
#include "devices/KeyEventThread.h"
#include "devices/KeyTableDevice.h"
#include "devices/MacroDownload.h"
#include "devices/SettingsRecordDevice.h"
#include "link/DeviceCommandLink.h"
#include "link/DeviceKind.h"
#include "profiles/ProfileRecords.h"

namespace nk7x {

struct DeviceSlot; // devices/discovery/DeviceTables.h

// One entry of the per-key colour table: red, green, blue and brightness (0-255).
struct KeyColour {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    uint8_t alpha = 0;
    bool operator==(const KeyColour&) const = default;
};
static_assert(sizeof(KeyColour) == 4);

// The colour value a key button shows for an entry: red in bits 0-7, blue in bits 8-15, green in
// bits 16-23. Every page fills its key buttons with this packing.
constexpr uint32_t PackKeyButtonColour(const KeyColour& c) {
    return uint32_t{c.red} | uint32_t{c.blue} << 8 | uint32_t{c.green} << 16;
}

// The tabs that a function mode selects; -1 leaves a switch as it is.
struct FunctionTabs {
    int functionTab = 0;    // "device_function_switch"
    int keyFunctionTab = 0; // "device_key_function_switch"
    bool operator==(const FunctionTabs&) const = default;
};
FunctionTabs FunctionTabsFor(int mode, std::optional<DeviceKind> kind);

// What must reach the toolkit side of any page.
class IDeviceView {
  public:
    virtual ~IDeviceView() = default;
    // Arm timer `timerId` of the page's list entry (1002: sync request) to fire once after `ms`.
    // Called on the key-event thread: the page queues it to its own thread.
    virtual void ArmTimer(int timerId, int ms) = 0;
    // Show the tabs of a function mode.
    virtual void SelectFunctionTabs(const FunctionTabs& tabs) = 0;
    // Repaint key button `keyIndex` with a packed colour and brightness (live lighting).
    virtual void ShowKeyColour(int keyIndex, uint32_t packedColour, uint8_t brightness) = 0;
    // Run `work` on the page's own thread, after the caller returns; called from the device's
    // worker with what a transfer brought back. A page that is gone by then drops it. Without a
    // toolkit (tests) it runs at once.
    virtual void RunOnOwner(std::function<void()> work) { work(); }
};

inline constexpr int kSyncTimerId = 1002;
inline constexpr int kLiveLightingBytes = 512;
// A streamed device gets a frame of live colours this often.
inline constexpr int kLiveFramePeriodMs = 50;
inline constexpr int kLiveLightingSkippedKey = 126; // this index is never streamed
inline constexpr uint32_t kFailedFramePauseMs = 200;

// How the streamed lighting frames left: how many, the longest wait from the refresh that made a
// frame to its send, and the longest time between two sends (measurement, bench/app_cpu.sh).
struct StreamTiming {
    uint64_t frames = 0;
    double worstDelayMs = 0;
    double worstIntervalMs = 0;
};

class CDeviceBase {
  public:
    CDeviceBase();
    virtual ~CDeviceBase();
    CDeviceBase(const CDeviceBase&) = delete;
    CDeviceBase& operator=(const CDeviceBase&) = delete;

    // The toolkit side; borrowed, may be null (tests, a page without controls yet).
    void SetDeviceView(IDeviceView* view) { m_deviceView.store(view, std::memory_order_release); }

    // Transfers away from the page's thread. With the worker running, `transfer` runs on it (in
    // order; a pending one with the same key is replaced) and touches only the links and what it
    // captured; the continuation it returns then runs on the page's thread to apply what was read
    // or report a failure. Without the worker both run here and now (tests, the command-line tool).
    using Continuation = std::function<void()>;
    using Transfer = std::function<Continuation()>;
    void RunTransfer(const std::string& key, Transfer transfer);
    // The page starts the worker once it can take continuations, and stops it before it goes:
    // Stop lets queued transfers finish, so a last change still reaches the device.
    bool StartWorker() { return m_worker.Start(); }
    void StopWorker() { m_worker.Stop(); }
    CDeviceWorker& Worker() { return m_worker; }

    CDeviceCommandLink& Link() { return m_link; }
    const CDeviceCommandLink& Link() const { return m_link; }
    CDeviceCommandLink& NotificationLink() { return m_notifyLink; }
    const DeviceInfoRecord& DeviceInfo() const { return m_deviceInfo; }

    // Identity and naming.
    // Copies the slot record; kind and role follow it.
    void SetIdentity(const DeviceSlot& slot);
    // The slot the page was created or last connected with (an empty slot before).
    const DeviceSlot& GetIdentity() const { return *m_identity; }
    // Nothing before the page has an identity from the device tables.
    std::optional<DeviceKind> Kind() const { return m_kind; }
    int Role() const { return m_role; }
    void SetLayoutName(const std::string& name) { m_layoutName = name; }
    const std::string& LayoutName() const { return m_layoutName; }
    void SetLightingName(const std::string& name) { m_lightingName = name; }
    const std::string& LightingName() const { return m_lightingName; }
    void SetKindName(const std::string& name) { m_kindName = name; }
    const std::string& KindName() const { return m_kindName; }
    void SetProfileName(const std::string& name) { m_profileName = name; }
    const std::string& ProfileName() const { return m_profileName; }
    void SetPowerMode(int mode) { m_powerMode = mode; }
    int PowerMode() const { return m_powerMode; }

    // Tables. SetKeyCount always zeroes every colour and light-list entry.
    void SetKeyCount(int n);
    int KeyCount() const { return m_keyCount; }
    void SetButtonCount(int n);
    int ButtonCount() const { return m_buttonCount; }
    virtual void SetKeyColour(int index, KeyColour value);
    virtual KeyColour GetKeyColour(int index) const;
    // The per-key colour table itself, shared with the light thread.
    std::vector<KeyColour>& KeyColours() { return m_keyColours; }
    std::vector<LightState>& LightListTable() { return m_lightListTable; }
    std::mutex& LightListLock() { return m_lightListLock; }
    std::mutex& EffectFrameLock() { return m_effectFrameLock; }

    // Light settings, selection, modes.
    virtual void SetLightSettings(LightState state) { m_lightSettings = state; }
    LightState GetLightSettings() const { return m_lightSettings; }
    virtual void SelectKey(int index) { m_selectedKey = index; }
    // The key table and macros of a kind whose keys or buttons take assignments; null otherwise.
    virtual IKeyTableDevice* KeyTable() { return nullptr; }
    // The settings record of a kind that keeps one; null otherwise.
    virtual ISettingsRecordDevice* SettingsRecord() { return nullptr; }
    int SelectedKey() const { return m_selectedKey; }
    virtual void SetFunctionMode(int mode);
    int GetFunctionMode() const { return m_functionMode; }
    virtual void SetProfileIndex(int index) { m_kindIndex = index; }
    int GetProfileIndex() const { return m_kindIndex; }

    // Live lighting: on a keyboard, switching it on sends the enter-live-lighting command.
    void SetLiveLighting(bool on);
    bool IsLiveLighting() const { return m_liveLighting.load(std::memory_order_relaxed); }
    void SetPreview(bool on) { m_preview.store(on, std::memory_order_relaxed); }
    bool IsPreview() const { return m_preview.load(std::memory_order_relaxed); }

    // Folders: the kind's user data folder (created when missing) with a trailing '/', and the
    // default profile beside the executable.
    std::string DataFolder() const;
    std::string DefaultProfilePath() const;

    // Virtual operations every kind fills in; the panels and the page timers call them on whatever
    // kind a page holds (a page of no kind holds a CPlainDevice). What is asked only of a known
    // kind (restoring the defaults, the profile file's path and name) is that kind's own.
    // Takes the loaded profile's settings into the device object.
    virtual void ApplyProfile() = 0;
    // One live-lighting run: repaints the key buttons and streams the colours. Returns the stream's
    // result (1 also when nothing needed sending).
    virtual LinkResult RefreshLighting();
    // The show half of a run: the per-key colours on the page's key buttons.
    void ShowLiveColours();
    // The stream half of a run: the per-key colours to the device as live-colour frames (on the
    // worker when it runs; a frame still waiting is replaced). A kind with another wire overrides it.
    virtual LinkResult StreamKeyColours();
    StreamTiming StreamStats() const;
    // Whether the device's lighting is the program's stream (it stops when the runs stop) rather
    // than effects the device runs itself; a page out of sight keeps the runs of a streamed one.
    virtual bool StreamsLighting() const { return true; }
    // A streamed device can send its frames from its own light thread, so that neither the page's
    // thread nor the worker has anything to do per frame and each frame leaves on its tick: true
    // when it does from now on; the runs then only show the colours. `false` hands the stream back
    // to the runs. The base cannot.
    virtual bool StreamFromLightThread(bool on) {
        (void)on;
        return false;
    }
    // Colours another program sets LED by LED (the lighting server). Setting them takes the
    // lighting over: the page shows them and they reach the device as live-colour frames instead of
    // its own lighting (the keyboard enters its live mode for them). Releasing gives the device its
    // own lighting back; every lighting edit releases them. Indexes are the per-key table's.
    void SetDirectColours(std::size_t first, std::span<const DirectColour> colours);
    // The direct mode again with the colours last set (black the first time).
    void HoldDirectColours();
    void ReleaseDirectColours();
    bool HoldsDirectColours() const { return m_direct.Held(); }
    const DirectColours& Direct() const { return m_direct; }
    // One live-colour frame of the direct colours, unscaled, when they changed since the last frame
    // handed over (through the worker when it runs); nothing while live lighting is off or no
    // colours are held. True when a frame was handed over. The caller paces it at the device's
    // frame period. A device whose own stream carries them (CStreamedLightDevice) sends nothing here.
    virtual bool SendDirectFrame();
    // The connection's first work (the layout read, the profile, the page). With the worker
    // running it ends later, on the page's thread, with ConnectFinished.
    virtual void OnConnect() { ConnectFinished(); }
    // The device reported a change made on it: its settings read back into the profile.
    virtual void OnSyncRequest() = 0;
    // The device's status record (battery, power) asked for, where it keeps one.
    virtual void StatusPoll() = 0;
    // Loads the current profile. A missing or broken profile file is refilled from the defaults
    // (a broken one kept aside first) inside the load, so there is no failure to hand back.
    virtual void LoadProfile() = 0;
    virtual void RefreshPage() = 0;
    virtual void RefreshNameLists() = 0;
    virtual void SaveProfile() = 0;

    // The notification interface: opens it (when not open yet) and starts the reader. 1 on
    // success, 0 when the interface cannot be opened (see NotificationLink().Transport()).
    [[nodiscard]] int StartKeyEventThread(const std::string& path);
    // Stops the reader and closes the interface; returns when the thread has ended.
    void StopKeyEventThread();
    bool KeyEventThreadRunning() const { return m_keyEvents && m_keyEvents->Running(); }

  protected:
    // The lighting was just taken over by direct colours (true) or given back (false).
    virtual void DirectTakeOver(bool held) { (void)held; }
    // The end of OnConnect's work, on the page's thread.
    virtual void ConnectFinished() {}
    // A code of the notification interface, on the reader thread. The base arms the sync timer
    // with 500 ms on 0x401.
    virtual void OnNotification(uint16_t code);
    IDeviceView* DeviceView() const { return m_deviceView.load(std::memory_order_acquire); }
    void SetDeviceInfo(const DeviceInfoRecord& info) { m_deviceInfo = info; }
    DeviceInfoRecord& MutableDeviceInfo() { return m_deviceInfo; }

    LightState m_lightSettings;
    std::vector<LightState> m_lightList;     // the profile's light areas (light-list lock)
    std::vector<EffectFrame> m_effectFrames; // the custom effect's frames (effect-frame lock)

    // One frame of the live stream: `send` runs on the worker (a frame still waiting there is
    // replaced by this one), or here when the worker does not run; its timing goes into
    // StreamStats and a failure pauses the stream a little.
    LinkResult SendStreamFrame(std::function<LinkResult()> send);
    // One frame left (on the stream's thread): its delay since it was made and the gap since the
    // last one go into StreamStats.
    void NoteStreamSend(std::chrono::steady_clock::time_point made);

  private:
    CDeviceCommandLink m_link;
    CDeviceCommandLink m_notifyLink;
    std::unique_ptr<CKeyEventThread> m_keyEvents;
    DeviceInfoRecord m_deviceInfo{};
    std::atomic<IDeviceView*> m_deviceView{nullptr};
    std::string m_layoutName;
    std::string m_lightingName;
    std::string m_kindName;
    std::string m_profileName;
    std::optional<DeviceKind> m_kind;
    int m_role = 0;
    int m_buttonCount = 0;
    int m_keyCount = 0;
    int m_selectedKey = -1;
    int m_functionMode = 1;
    int m_powerMode = 0;
    int m_kindIndex = 0;
    std::unique_ptr<DeviceSlot> m_identity;
    std::vector<KeyColour> m_keyColours;
    std::vector<LightState> m_lightListTable;
    std::mutex m_lightListLock;
    std::mutex m_effectFrameLock;
    std::atomic<bool> m_liveLighting{true};
    mutable std::mutex m_streamTimingLock;
    StreamTiming m_streamTiming;
    DirectColours m_direct;
    // Generation of the last direct frame handed to the worker (0 after a failed one).
    std::atomic<uint64_t> m_directQueued{0};
    std::chrono::steady_clock::time_point m_lastSend{};
    std::atomic<bool> m_preview{true};
    // Last: it stops first, while everything its jobs reach is still there.
    CDeviceWorker m_worker;
};

} // namespace nk7x
