// CKeyboardDevice: every operation of the keyboard page on its device and its profile, without a
// toolkit. It ties together the components that do the work: the key map (the located keys), the
// key assignments, the settings record, the macros, the custom per-key colours and the on-screen
// light preview with its thread; it keeps the page flow (connection, sync, refresh), the profile's
// load and restore, and the key events. The toolkit page owns one (a small subclass of its own that
// learns when work is done) and implements IKeyboardView. The key-event reader calls the
// notification hooks on its own thread, so a class that overrides them stops the reader
// (StopKeyEventThread) in its own destructor.
#pragma once

#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "devices/DeviceBase.h"
#include "devices/MacroImageSend.h"
#include "devices/keyboard/KeyboardContext.h"
#include "devices/keyboard/KeyboardCustomColours.h"
#include "devices/keyboard/KeyboardKeyAssignments.h"
#include "devices/keyboard/KeyboardKeyMap.h"
#include "devices/keyboard/KeyboardLayoutRead.h"
#include "devices/keyboard/KeyboardLightPreview.h"
#include "devices/keyboard/KeyboardMacros.h"
#include "devices/keyboard/KeyboardRecords.h"
#include "devices/keyboard/KeyboardSettings.h"
#include "devices/keyboard/KeyboardTables.h"
#include "devices/keyboard/KeyboardView.h"
#include "profiles/KeyboardProfileData.h"
#include "profiles/LightNames.h"

namespace nk7x {

inline constexpr int kSyncDelayMs = 100;

class CKeyboardDevice : public CDeviceBase, public IKeyTableDevice, public ISettingsRecordDevice {
  public:
    CKeyboardDevice();
    ~CKeyboardDevice() override;
    IKeyTableDevice* KeyTable() override { return this; }
    ISettingsRecordDevice* SettingsRecord() override { return this; }

    void SetView(IKeyboardView* view);
    void SetKeyNameLookup(KeyNameLookup lookup) { m_keys.SetNameLookup(std::move(lookup)); }

    // Device layout.
    // BeginConfig, device information, key table, LED table, EndConfig; the keys located again. Returns 1,
    // 0 when the link is not open or the key count does not fit, or the first failed command's code.
    LinkResult ReadKeyLayout() { return ApplyKeyLayout(FetchKeyLayout()); }
    // The two halves of a layout read: the transfers alone (any thread; the links only), and taking
    // what they brought (the page's thread). A failed read changes nothing but the device
    // information, when that part was read.
    using KeyLayoutRead = KeyboardLayoutRead;
    KeyLayoutRead FetchKeyLayout() { return FetchKeyboardLayout(Link()); }
    LinkResult ApplyKeyLayout(const KeyLayoutRead& read);
    uint8_t KeyPosition(int keyIndex) const { return m_keyMap.Position(keyIndex); }
    uint8_t KeyLed(int keyIndex) const { return m_keyMap.Led(keyIndex); }
    int DeviceKeyCount() const { return m_keyMap.Keys(); }
    const CKeyboardKeyMap::Table& DeviceKeyTable() const { return m_keyMap.KeyTable(); }
    const CKeyboardKeyMap::Table& LedTable() const { return m_keyMap.LedTable(); }

    // Settings.
    // Reads the keyboard's settings record into the light settings and the profile (saved).
    // Returns 1, 0 when the link is not open, or the failed read's code (nothing changes).
    LinkResult ReadSettings() { return ApplySettings(FetchSettings()); }
    // The halves of a settings read, as for the layout: a failed read changes nothing at all.
    using SettingsRead = KeyboardSettingsRead;
    SettingsRead FetchSettings() { return m_settings.Fetch(); }
    LinkResult ApplySettings(const SettingsRead& read);
    // Sends the profile's settings as record n with byte 0 = byte0. Returns 1 only when every
    // command succeeded; else the first failure's code (0 when the link is not open).
    LinkResult WriteSettings(int n, uint8_t byte0) override { return m_settings.Write(n, byte0); }
    // The same write through the worker; a failure reaches the view.
    void QueueSettingsWrite(int n, uint8_t byte0) override { m_settings.QueueWrite(n, byte0); }
    const KeyboardSettingsRecord& SettingsMirror() const { return m_settings.Mirror(); }
    uint8_t SettingsIndex() const { return m_settings.Index(); }
    void SetForcedRed() { m_settings.SetForcedRed(); }
    bool ForcedRed() const { return m_settings.ForcedRed(); }
    KeyboardSettingsControls SettingsControls() const { return m_settings.Controls(); }
    const KeyboardSystemStages& SystemStages() const { return m_settings.Stages(); }
    // New system settings for the device and its profile alike (not saved, nothing sent), so that a
    // later settings read keeps the values the keyboard does not report.
    void SetSystemStages(const KeyboardSystemStages& stages) { m_settings.SetStages(stages); }
    // An edit of the system settings, as the page's options make it: into the device and the
    // profile (saved), then written to the keyboard.
    void StoreSystemStages(const KeyboardSystemStages& stages);

    // Key assignments: the last read device key table with the located keys set from `list`.
    // Returns 1 only when every command succeeded; else the first failure's code. 0 and nothing
    // sent while no key layout has been read.
    LinkResult WriteKeyAssignments(int index, const std::vector<KeyAssignment>& list) override {
        return m_keys.Write(index, list);
    }
    LinkResult WriteProfileKeyAssignments(int index) override {
        return WriteKeyAssignments(index, m_keys.List());
    }
    void QueueProfileKeyAssignmentsWrite(int index) override { m_keys.QueueWrite(index); }
    void PurgeMacroKeys() override;
    const std::vector<KeyAssignment>& KeyList() const override { return m_keys.List(); }
    // Key `index` of the key list does `assignment` from now on: the whole list goes into the
    // profile object (not saved, nothing sent) and the captions are shown again. False for an
    // index outside the list.
    bool SetKeyAssignment(int index, const KeyCode& assignment) override {
        return m_keys.Set(index, assignment);
    }
    std::vector<KeyCaption> KeyCaptions() const { return m_keys.Captions(); }

    // Macros: 0 when sent (or nothing to send), -1 when the image cannot be built, else the number
    // of events to remove before the macros fit.
    MacroDownload DownloadMacros() override { return m_macros.Download(); }
    void QueueMacroDownload(std::function<void(MacroDownload)> done) override {
        m_macros.QueueDownload(std::move(done));
    }
    const std::vector<std::string>& MacroNames() const { return m_macros.Names(); }
    const LightNameLists& LightNames() const { return m_lightNames; }

    // Custom per-key colours (mode 19).
    LinkResult SendCustomColors() { return m_custom.Send(); }
    void EnterCustomMode() { m_custom.Enter(); }
    void SelectCustomGroup(int group) { m_custom.SelectGroup(group); }
    void FillCustomColors(bool on) { m_custom.Fill(on); }
    void SetCustomKeyColor(int keyIndex) { m_custom.SetKey(keyIndex); }
    // Several keys' custom colours at once (key index, red, green, blue), in custom mode only: into
    // the per-key table and the current group (saved), then the whole page to the keyboard. False,
    // and nothing changes, outside custom mode or for a key index out of range.
    using KeyPaint = KeyboardKeyPaint;
    bool PaintCustomKeys(const std::vector<KeyPaint>& keys) { return m_custom.Paint(keys); }
    int PanelCustomGroup() const { return m_custom.PanelGroup(); }

    // A key event of the device: the key index at that position, or -1 when the event is ignored.
    int OnKeyEvent(int position, int kind);

    // Light preview: the engine animates the keyboard's mode on the key buttons; its thread runs from
    // OnConnect until StopLightThread (device removal) or destruction, idle while the link is closed
    // or its background-pause flag is set.
    bool StartLightThread() { return m_preview.Start(); }
    void StopLightThread() { m_preview.Stop(); }
    bool LightThreadRunning() const { return m_preview.Running(); }
    // Whether a window shows the page; the light thread sleeps while none does, and while the
    // window is neither in front nor under the pointer (the preview flag, looked at by each
    // lighting run of the page).
    void SetPreviewWatched(bool watched) {
        m_pageSeen = watched;
        FollowPreviewFlag();
    }
    bool PreviewWatched() const { return m_preview.Watched(); }
    uint64_t LightPasses() const { return m_preview.Passes(); }
    // The light thread watched exactly while the page is seen and the preview flag is set.
    void FollowPreviewFlag() {
        const bool watched = m_pageSeen && IsPreview();
        if (watched != m_preview.Watched())
            m_preview.SetWatched(watched);
    }
    const light::KeyboardLightEngine& LightPreview() const { return m_preview.Engine(); }

    // The per-key table entries, guarded against the synchronisation worker that paints them.
    void SetKeyColour(int index, KeyColour value) override;
    KeyColour GetKeyColour(int index) const override;

    // Profile.
    CKeyboardProfiledata& Profile() { return m_ctx.Profile(); }
    void ApplyProfile() override;
    void LoadProfile() override;
    void RestoreDefaults();
    void SaveProfile() override { m_ctx.StoreProfile(); }
    void SetProfilePaths();
    std::string GetProfileName() const { return m_ctx.Profile().GetProfilePath(); }
    void SetProfileIndex(int index) override;
    void SetLightSettings(LightState state) override;
    void SelectKey(int index) override;
    void SetFunctionMode(int mode) override;

    // Page flow.
    void OnConnect() override;
    void OnSyncRequest() override;
    // A keyboard keeps no status record: there is nothing to ask.
    void StatusPoll() override {}
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
    void StopDeviceWork() { StopWorker(); }
    // Preview hooks: the device's part of the preparation of a newly selected mode (the custom mode
    // loads and sends its colours; the engine prepares its own state) and a key press or release
    // (on the reader thread), which the engine turns into the mode's key hook.
    virtual void PrepareMode(int mode);
    virtual void OnReactiveKey(int keyIndex, int kind);

  private:
    void ReloadLightLists();
    // Hands the light settings to the preview; a mode the preview does not show yet is prepared.
    void TakeLightSettings();
    // The profile's key list, lighting and system settings into the device (after a load or a restore).
    void TakeProfile();

    CKeyboardContext m_ctx; // first: every component reaches the device through it
    CKeyboardKeyMap m_keyMap;
    CKeyboardKeyAssignments m_keys;
    CKeyboardSettings m_settings;
    CKeyboardMacros m_macros;
    LightNameLists m_lightNames;
    // Guards the per-key table's entries between the UI thread and the synchronisation worker.
    mutable std::mutex m_keyColourMutex;
    CKeyboardLightPreview m_preview;
    bool m_pageSeen = true; // the page's last word on whether it is on screen
    CKeyboardCustomColours m_custom;
};

} // namespace nk7x
