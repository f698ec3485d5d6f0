// CKeyboardDevice: every operation of the keyboard page on its device and its profile, without a
// toolkit: the located keys, the key table, the settings record, the macro image, the custom per-key
// colours, the forced-red flag, the key events and the on-screen light preview with its thread. The
// toolkit page owns one (a small subclass of its own that learns when work is done) and implements
// IKeyboardView. The key-event reader calls the
// notification hooks on its own thread, so a class that overrides them stops the reader
// (StopKeyEventThread) in its own destructor.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "devices/DeviceBase.h"
#include "devices/MacroImageSend.h"
#include "devices/keyboard/KeyboardKeyMap.h"
#include "devices/keyboard/KeyboardRecords.h"
#include "devices/keyboard/KeyboardTables.h"
#include "devices/keyboard/KeyboardView.h"
#include "devices/light/KeyboardLightEngine.h"
#include "devices/light/LightThread.h"
#include "profiles/KeyboardProfileData.h"
#include "profiles/LightNames.h"

namespace nk7x {

inline constexpr int kLightingPageBytes = 512;
inline constexpr int kSyncDelayMs = 100;
inline constexpr uint8_t kMacroKeyType = 0x70;
inline constexpr uint8_t kMacroKeyTypeAlt = 0x71;

// The language key of a key code's name; empty when it has none. The default names the factory
// codes ("keyboard_key_" + label); the page gives the key function tables of its panel.
using KeyNameLookup = std::function<std::string(const KeyCode&)>;
std::string FactoryKeyName(const KeyCode& code);

class CKeyboardDevice : public CDeviceBase, public IKeyTableDevice, public ISettingsRecordDevice {
  public:
    CKeyboardDevice();
    ~CKeyboardDevice() override;
    IKeyTableDevice* KeyTable() override { return this; }
    ISettingsRecordDevice* SettingsRecord() override { return this; }

    void SetView(IKeyboardView* view);
    void SetKeyNameLookup(KeyNameLookup lookup) { m_nameLookup = std::move(lookup); }

    // Device layout.
    // BeginConfig, device information, key table, LED table, EndConfig; the keys located again. Returns 1,
    // 0 when the link is not open or the key count does not fit, or the first failed command's code.
    LinkResult ReadKeyLayout();
    // The two halves of a layout read: the transfers alone (any thread; the links only), and taking
    // what they brought (the page's thread). A failed read changes nothing but the device
    // information, when that part was read.
    struct KeyLayoutRead {
        LinkResult result = kResultFailed;
        bool infoRead = false;
        DeviceInfoRecord info{};
        bool tablesRead = false;
        int keys = 0;
        std::array<uint8_t, CDeviceCommandLink::kMaxDataSize> keyTable{};
        std::array<uint8_t, CDeviceCommandLink::kMaxDataSize> ledTable{};
    };
    KeyLayoutRead FetchKeyLayout();
    LinkResult ApplyKeyLayout(const KeyLayoutRead& read);
    uint8_t KeyPosition(int keyIndex) const { return m_keyMap.Position(keyIndex); }
    uint8_t KeyLed(int keyIndex) const { return m_keyMap.Led(keyIndex); }
    int DeviceKeyCount() const { return m_keyMap.Keys(); }
    const CKeyboardKeyMap::Table& DeviceKeyTable() const { return m_keyMap.KeyTable(); }
    const CKeyboardKeyMap::Table& LedTable() const { return m_keyMap.LedTable(); }

    // Settings.
    // Reads the keyboard's settings record into the light settings and the profile (saved).
    // Returns 1, 0 when the link is not open, or the failed read's code (nothing changes).
    LinkResult ReadSettings();
    // The halves of a settings read, as for the layout: a failed read changes nothing at all.
    struct SettingsRead {
        LinkResult result = kResultFailed;
        uint8_t index = 0;
        std::array<uint8_t, KeyboardSettingsRecord::kSize> bytes{};
    };
    SettingsRead FetchSettings();
    LinkResult ApplySettings(const SettingsRead& read);
    // Sends the profile's settings as record n with byte 0 = byte0. Returns 1 only when every
    // command succeeded; else the first failure's code (0 when the link is not open).
    LinkResult WriteSettings(int n, uint8_t byte0) override;
    // The same write through the worker; a failure reaches the view.
    void QueueSettingsWrite(int n, uint8_t byte0) override;
    const KeyboardSettingsRecord& SettingsMirror() const { return m_settingsMirror; }
    uint8_t SettingsIndex() const { return m_settingsIndex; }
    void SetForcedRed() { m_forcedRed.store(true, std::memory_order_release); }
    bool ForcedRed() const { return m_forcedRed.load(std::memory_order_acquire); }
    KeyboardSettingsControls SettingsControls() const;
    const KeyboardSystemStages& SystemStages() const { return m_stages; }
    // New system settings for the device and its profile alike (not saved, nothing sent), so that a
    // later settings read keeps the values the keyboard does not report.
    void SetSystemStages(const KeyboardSystemStages& stages) {
        m_stages = stages;
        m_profile.SetSystemStages(stages);
    }
    // An edit of the system settings, as the page's options make it: into the device and the
    // profile (saved), then written to the keyboard.
    void StoreSystemStages(const KeyboardSystemStages& stages);

    // Key assignments: the last read device key table with the located keys set from `list`.
    // Returns 1 only when every command succeeded; else the first failure's code. 0 and nothing
    // sent while no key layout has been read.
    LinkResult WriteKeyAssignments(int index, const std::vector<KeyAssignment>& list) override;
    LinkResult WriteProfileKeyAssignments(int index) override;
    void QueueProfileKeyAssignmentsWrite(int index) override;
    void PurgeMacroKeys() override;
    const std::vector<KeyAssignment>& KeyList() const override { return m_keyList; }
    // Key `index` of the key list does `assignment` from now on: the whole list goes into the
    // profile object (not saved, nothing sent) and the captions are shown again. False for an
    // index outside the list.
    bool SetKeyAssignment(int index, const KeyCode& assignment) override;
    std::vector<KeyCaption> KeyCaptions() const;

    // Macros: 0 when sent (or nothing to send), -1 when the image cannot be built, else the number
    // of events to remove before the macros fit.
    MacroDownload DownloadMacros() override;
    void QueueMacroDownload(std::function<void(MacroDownload)> done) override;
    const std::vector<std::string>& MacroNames() const { return m_macroNames; }
    const LightNameLists& LightNames() const { return m_lightNames; }

    // Custom per-key colours (mode 19).
    LinkResult SendCustomColors();
    void EnterCustomMode();
    void SelectCustomGroup(int group);
    void FillCustomColors(bool on);
    void SetCustomKeyColor(int keyIndex);
    // Several keys' custom colours at once (key index, red, green, blue), in custom mode only: into
    // the per-key table and the current group (saved), then the whole page to the keyboard. False,
    // and nothing changes, outside custom mode or for a key index out of range.
    struct KeyPaint {
        int keyIndex;
        uint8_t red, green, blue;
    };
    bool PaintCustomKeys(const std::vector<KeyPaint>& keys);
    int PanelCustomGroup() const { return m_panelGroup; }

    // A key event of the device: the key index at that position, or -1 when the event is ignored.
    int OnKeyEvent(int position, int kind);

    // Light preview: the engine animates the keyboard's mode on the key buttons; its thread runs from
    // OnConnect until StopLightThread (device removal) or destruction, idle while the link is closed
    // or its background-pause flag is set.
    bool StartLightThread();
    void StopLightThread();
    bool LightThreadRunning() const { return m_lightThread->Running(); }
    // Whether a window shows the preview; the light thread sleeps while none does.
    void SetPreviewWatched(bool watched) { m_lightThread->SetWatched(watched); }
    bool PreviewWatched() const { return m_lightThread->Watched(); }
    uint64_t LightPasses() const { return m_lightThread->Passes(); }
    const light::KeyboardLightEngine& LightPreview() const { return *m_lightEngine; }

    // The per-key table entries, guarded against the synchronisation worker that paints them.
    void SetKeyColour(int index, KeyColour value) override;
    KeyColour GetKeyColour(int index) const override;

    // Profile.
    CKeyboardProfiledata& Profile() { return m_profile; }
    void ApplyProfile() override;
    void LoadProfile() override;
    void RestoreDefaults() override;
    void SaveProfile() override;
    void SetProfilePaths() override;
    std::string GetProfileName() const override { return m_profile.GetProfilePath(); }
    void SetProfileIndex(int index) override;
    void SetLightSettings(LightState state) override;
    void SelectKey(int index) override;
    void SetFunctionMode(int mode) override;

    // Page flow.
    void OnConnect() override;
    void OnSyncRequest() override;
    void RefreshPage() override;
    void RefreshNameLists() override;
    // The keyboard animates its own lighting; the page only repaints the key buttons: from the preview,
    // or from the per-key table while the synchronisation worker paints it (background pause).
    LinkResult RefreshLighting() override;
    bool StreamsLighting() const override { return false; }

  protected:
    void OnNotification(uint16_t code) override;
    // Direct colours reach the keyboard in its live mode; given back, the settings record brings
    // its own lighting back.
    void DirectTakeOver(bool held) override;
    // Stops the worker: its jobs reach this object's members.
    void StopDeviceWork();
    // Preview hooks: the device's part of the preparation of a newly selected mode (the custom mode
    // loads and sends its colours; the engine prepares its own state) and a key press or release
    // (on the reader thread), which the engine turns into the mode's key hook.
    virtual void PrepareMode(int mode);
    virtual void OnReactiveKey(int keyIndex, int kind);

  private:
    void TakeSystemStages() { m_stages = m_profile.GetSystemStages(); }
    void ReloadLightLists();
    // Hands the light settings to the preview; a mode the preview does not show yet is prepared.
    void TakeLightSettings();
    // The custom colours of the per-key table into the preview (red, green, blue; alpha too when
    // `withAlpha`); the preview's custom step sets the alpha from the brightness.
    void MirrorCustomColours(bool withAlpha);
    void StoreCustomColours(int group);
    // The lighting page of the custom colours (3 bytes per located LED), scaled by alpha or not.
    std::vector<uint8_t> CustomColourPage(bool scaled, size_t& length) const;
    void ReportFailure(KeyboardWrite what, LinkResult result);
    // Saves the profile; a failure is told to the view once per run of failures.
    bool StoreProfile();
    using SettingsBytes = std::array<uint8_t, KeyboardSettingsRecord::kSize>;
    // The profile's settings as the record the keyboard takes.
    SettingsBytes ProfileSettingsBytes(uint8_t byte0);
    LinkResult TransferSettings(int n, const SettingsBytes& bytes);
    struct KeyTableWrite {
        LinkResult result = kResultFailed;
        bool infoRead = false;
        DeviceInfoRecord info{};
    };
    KeyTableWrite TransferKeyTable(int index,
                                   const std::array<uint8_t, CDeviceCommandLink::kMaxDataSize>& table);
    // The macro image from the files (on the page's thread), and its download.
    struct MacroDownloadResult {
        MacroDownload answer;
        bool infoRead = false;
        DeviceInfoRecord info{};
    };
    MacroDownloadResult TransferMacros(const MacroImageBytes& image, const DeviceInfoRecord& known);
    // Sends a custom colour page through the worker (the live page scaled by brightness, or one
    // key's colour unscaled); a failed scaled page pauses the worker before the next frame.
    void QueueCustomPage(bool scaled);
    // The page write itself, on whichever thread sends it.
    LinkResult TransferCustomPage(const std::vector<uint8_t>& page, size_t length, int group, bool scaled);

    IKeyboardView* m_view = nullptr;
    KeyNameLookup m_nameLookup;
    CKeyboardProfiledata m_profile;
    std::vector<KeyAssignment> m_keyList;
    KeyboardSystemStages m_stages;
    CKeyboardKeyMap m_keyMap;
    KeyboardSettingsRecord m_settingsMirror;
    uint8_t m_settingsIndex = 0;
    std::atomic<bool> m_forcedRed{false};
    int m_panelGroup = -1;
    bool m_saveFailureTold = false;
    std::vector<std::string> m_macroNames;
    LightNameLists m_lightNames;

    // Guards the per-key table's entries between the UI thread and the synchronisation worker.
    mutable std::mutex m_keyColourMutex;
    light::SteadyLightClock m_lightClock;
    std::unique_ptr<light::KeyboardLightEngine> m_lightEngine;
    std::unique_ptr<light::LightThread> m_lightThread; // declared after the engine it drives
};

} // namespace nk7x
