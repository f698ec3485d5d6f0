// CMouseDevice: every operation of the mouse page on its device and its profile, without a toolkit:
// the button table and its positions, the settings record (lighting, report rate, five DPI stages,
// screen size, correction), key assignments, macros and the four shoot patterns; the status poll
// and the program-driven lighting stream are the shared ones (CStreamedLightDevice). Behind the
// wireless receiver (the link's long time-outs) every configuration step first asks whether the
// mouse answers, and ends quietly when it does not.
#pragma once

#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "devices/StreamedLightDevice.h"
#include "devices/mouse/MouseRecords.h"
#include "devices/mouse/MouseView.h"
#include "profiles/MouseProfileData.h"

namespace nk7x {

class CMouseDevice : public CStreamedLightDevice, public IKeyTableDevice, public ISettingsRecordDevice {
  public:
    // `ledCount`: the LEDs the page shows and streams (the page table's key count).
    explicit CMouseDevice(int ledCount = 6);
    ~CMouseDevice() override;
    IKeyTableDevice* KeyTable() override { return this; }
    ISettingsRecordDevice* SettingsRecord() override { return this; }

    void SetView(IMouseView* view);

    // The screen size the settings record carries: the size in pixels of the screen the window is
    // on, given again when it changes. True when it differs from the size held before.
    bool SetScreenSize(int width, int height);

    // Layout: device information and button table. The halves as the keyboard's: transfers on any
    // thread, taking the result on the page's thread.
    struct LayoutRead {
        LinkResult result = kResultFailed;
        bool asleep = false; // behind the receiver, the mouse did not answer
        DeviceInfoRecord info{};
        int buttons = 0;
        std::vector<uint8_t> table;
    };
    LayoutRead FetchButtonLayout();
    LinkResult ApplyButtonLayout(const LayoutRead& read);
    LinkResult ReadButtonLayout();
    const MouseDeviceInfo& Info() const { return m_info; }
    const std::array<uint8_t, kMouseButtonCount>& ButtonPositions() const { return m_positions; }
    const std::vector<uint8_t>& ButtonTable() const { return m_buttonTable; }

    // Settings record.
    struct SettingsRead {
        LinkResult result = kResultFailed;
        bool asleep = false;
        uint8_t index = 0;
        std::array<uint8_t, kMouseSettingsReadBytes> bytes{};
    };
    SettingsRead FetchSettings();
    LinkResult ApplySettings(const SettingsRead& read);
    LinkResult ReadSettings();
    // The record the profile gives, as WriteSettings sends it.
    MouseSettingsRecord ProfileRecord(uint8_t byte0, uint8_t byte59);
    // (n, byte 0, byte 59, screen size): always sent as the page's record n = 0 with byte 59 = 1.
    LinkResult WriteSettings(int n, uint8_t byte0) override;
    void QueueSettingsWrite(int n, uint8_t byte0) override;
    MouseSettingsControls SettingsControls() const;

    // Key assignments: the last read button table with the located buttons set from `list`.
    LinkResult WriteKeyAssignments(int index, const std::vector<KeyAssignment>& list) override;
    LinkResult WriteProfileKeyAssignments(int index) override;
    void QueueProfileKeyAssignmentsWrite(int index) override;
    const std::vector<KeyAssignment>& KeyList() const override { return m_keyList; }
    // Button `index` does `assignment` from now on: the list goes into the profile object (not
    // saved, nothing sent) and the page shows it. False, and nothing changes, for the last button
    // that clicks left: a mouse without one could not be used to put it back.
    bool SetKeyAssignment(int index, const KeyCode& assignment) override;
    // Whether button `index` is the only one that clicks left.
    bool IsLastLeftButton(int index) const;
    // The button the editor works on.
    void SelectKey(int index) override;
    // The macro names of the kind folder (for the button editor's macro choice).
    const std::vector<std::string>& MacroNames() const { return m_macroNames; }
    void RefreshNameLists() override;

    // Macros and shoot patterns.
    MacroDownload DownloadMacros() override;
    // Sent here and now: the mouse's macro image is small.
    void QueueMacroDownload(std::function<void(MacroDownload)> done) override;
    // The mouse's buttons keep what they point to: a profile switch never purged them.
    void PurgeMacroKeys() override {}
    // Sends the four shoot patterns of the kind folder; 1 when sent.
    LinkResult DownloadShootPatterns();
    void QueueShootDownload();

    // DPI stages and system settings from the page's controls: into the profile (saved), then sent.
    void SetStageEnabled(int stage, bool on);
    void SetStageSteps(int stage, int steps);
    // A stage set in DPI, as the user types it: turned into the mouse's steps here (raised to the
    // smallest DPI, limited to the largest), stored and sent. The steps taken; -1 while the mouse
    // has told no DPI step (nothing changes then).
    int SetStageDpi(int stage, int dpi);
    // Why a stage cannot be set to `dpi` ("takes 100 to 16000 DPI; 99999 is not within", or that the
    // range is not known yet); empty when it can.
    std::string StageDpiRefusal(int dpi) const;
    void SetReportStage(int stage);
    // The stage the mouse works at (0-based), as its DPI button would choose it.
    void SetActiveStage(int stage);
    void SetSystemStages(const MouseSystemStages& stages);

    // Profile (loading, saving and the lighting names are the shared ones).
    CMouseProfiledata& Profile() { return m_profile; }
    void ApplyProfile() override;

    // Page flow.
    void OnConnect() override;
    void OnSyncRequest() override;
    void RefreshPage() override;

  protected:
    void StopDeviceWork() { StopWorker(); }
    CBasicProfiledata& ProfileData() override { return m_profile; }
    const CBasicProfiledata& ProfileData() const override { return m_profile; }
    void ProfileLoaded() override { m_keyList = m_profile.GetKeyList(); }

  private:
    // Behind the receiver: whether the mouse answers; by cable always true.
    bool Awake();
    LinkResult TransferSettings(int n, const std::array<uint8_t, kMouseSettingsWriteBytes>& bytes);
    LinkResult TransferKeyTable(int index, const std::vector<uint8_t>& table);
    bool BuildButtonTable(const std::vector<KeyAssignment>& list, std::vector<uint8_t>& table) const;
    void ReportFailure(MouseWrite what, LinkResult result);

    IMouseView* m_view = nullptr;
    CMouseProfiledata m_profile;
    MouseDeviceInfo m_info;
    std::vector<uint8_t> m_buttonTable;
    std::array<uint8_t, kMouseButtonCount> m_positions{};
    std::vector<KeyAssignment> m_keyList;
    std::vector<std::string> m_macroNames;
    MouseSettingsRecord m_mirror;
    uint8_t m_settingsIndex = 0;
    // Set on the window's thread, read by the worker that builds the record.
    std::atomic<int> m_screenWidth{0};
    std::atomic<int> m_screenHeight{0};
};

} // namespace nk7x
