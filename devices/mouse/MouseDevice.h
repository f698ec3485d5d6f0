// CMouseDevice: every operation of the mouse page on its device and its profile, without a toolkit:
// the button table and its positions, the settings record (lighting, report rate, five DPI stages,
// screen size, correction), key assignments, macros, the four shoot patterns, the status poll and
// the program-driven lighting stream. Behind the wireless receiver (the link's long time-outs) every
// configuration step first asks whether the mouse answers, and ends quietly when it does not.
#pragma once

#include <array>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "devices/DeviceBase.h"
#include "devices/light/LightClock.h"
#include "devices/light/LightThread.h"
#include "devices/light/MouseLightEngine.h"
#include "devices/mouse/MouseRecords.h"
#include "devices/mouse/MouseView.h"
#include "profiles/LightNames.h"
#include "profiles/MouseProfileData.h"

namespace nk7x {

class CMouseDevice : public CDeviceBase {
  public:
    // `ledCount`: the LEDs the page shows and streams (the page table's key count).
    explicit CMouseDevice(int ledCount = 6);
    ~CMouseDevice() override;

    void SetView(IMouseView* view);

    // The screen size the settings record carries (the primary screen's, read once at start).
    void SetScreenSize(int width, int height);

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
    const std::vector<KeyAssignment>& KeyList() const { return m_keyList; }

    // Macros and shoot patterns.
    MacroDownload DownloadMacros() override;
    // Sends the four shoot patterns of the kind folder; 1 when sent.
    LinkResult DownloadShootPatterns();
    void QueueShootDownload();

    // The status record, every 5 s.
    void StatusPoll() override;
    const std::array<uint8_t, DeviceStatusRecord::kSize>& LastStatus() const { return m_status; }

    // DPI stages and system settings from the page's controls: into the profile (saved), then sent.
    void SetStageEnabled(int stage, bool on);
    void SetStageSteps(int stage, int steps);
    void SetReportStage(int stage);
    void SetSystemStages(const MouseSystemStages& stages);

    // Lighting: the engine animates the mouse's LEDs on the light thread; RefreshLighting copies its
    // colours into the per-LED table and streams them (the base's frame).
    bool StartLightThread();
    void StopLightThread();
    LinkResult RefreshLighting() override;
    const light::MouseLightEngine& LightPreview() const { return *m_lightEngine; }

    // Profile.
    CMouseProfiledata& Profile() { return m_profile; }
    void ApplyProfile() override;
    void LoadProfile() override;
    void RestoreDefaults() override;
    void SaveProfile() override;
    void SetProfilePaths() override;
    std::string GetProfileName() const override { return m_profile.GetProfilePath(); }
    void SetProfileIndex(int index) override;
    void SetLightSettings(LightState state) override;
    void RefreshNameLists() override;
    const LightNameLists& LightNames() const { return m_lightNames; }

    // Page flow.
    void OnConnect() override;
    void OnSyncRequest() override;
    void RefreshPage() override;

  protected:
    void StopDeviceWork() { StopWorker(); }

  private:
    // Behind the receiver: whether the mouse answers; by cable always true.
    bool Awake();
    LinkResult TransferSettings(int n, const std::array<uint8_t, kMouseSettingsWriteBytes>& bytes);
    LinkResult TransferKeyTable(int index, const std::vector<uint8_t>& table);
    bool BuildButtonTable(const std::vector<KeyAssignment>& list, std::vector<uint8_t>& table) const;
    void ReportFailure(MouseWrite what, LinkResult result);
    void StoreProfile();

    IMouseView* m_view = nullptr;
    CMouseProfiledata m_profile;
    MouseDeviceInfo m_info;
    std::vector<uint8_t> m_buttonTable;
    std::array<uint8_t, kMouseButtonCount> m_positions{};
    std::vector<KeyAssignment> m_keyList;
    MouseSettingsRecord m_mirror;
    uint8_t m_settingsIndex = 0;
    int m_screenWidth = 0;
    int m_screenHeight = 0;
    std::array<uint8_t, DeviceStatusRecord::kSize> m_status{};
    LightNameLists m_lightNames;
    bool m_saveFailureTold = false;

    light::SteadyLightClock m_lightClock;
    std::unique_ptr<light::MouseLightEngine> m_lightEngine;
    std::unique_ptr<light::LightThread> m_lightThread;
};

} // namespace nk7x
