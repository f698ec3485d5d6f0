#include "devices/mouse/MouseDevice.h"

#include <algorithm>

#include "devices/MacroImageSend.h"
#include "devices/mouse/ShootImageBuild.h"
#include "macros/MacroStore.h"
#include "platform/DebugLog.h"
#include "profiles/ProfileFolders.h"

namespace nk7x {
namespace {

constexpr int kMaxRecordIndex = 255;

} // namespace

CMouseDevice::CMouseDevice(int ledCount) : CStreamedLightDevice(DeviceFamily::Mouse, ledCount) {
    m_positions.fill(kMouseButtonNotFound);
    m_profile.SetDefaultPath(nk7x::DefaultProfilePath(DeviceFamily::Mouse));
}

CMouseDevice::~CMouseDevice() {
    StopDeviceWork();
    StopKeyEventThread();
    StopLightThread();
}

void CMouseDevice::SetView(IMouseView* view) {
    m_view = view;
    SetStreamedLightView(view);
}

bool CMouseDevice::SetScreenSize(int width, int height) {
    const int w = std::clamp(width, 0, 0xFFFF);
    const int h = std::clamp(height, 0, 0xFFFF);
    const bool changed = m_screenWidth.exchange(w) != w;
    return m_screenHeight.exchange(h) != h || changed;
}

bool CMouseDevice::Awake() {
    // By cable the mouse always answers; behind the receiver it may be asleep or out of range.
    return !Link().LongTimeouts() || Link().Probe();
}

void CMouseDevice::ReportFailure(MouseWrite what, LinkResult result) {
    if (result != kResultOk && m_view)
        m_view->MouseWriteFailed(what, result);
}

// ---- layout ---------------------------------------------------------------------------------

CMouseDevice::LayoutRead CMouseDevice::FetchButtonLayout() {
    LayoutRead r;
    CDeviceCommandLink& link = Link();
    if (!link.IsOpen())
        return r;
    if (!Awake()) {
        r.asleep = true;
        return r;
    }
    FirstFailure f;
    f.Take(link.BeginConfig());
    const LinkResult info = link.ReadDeviceInfo(r.info);
    f.Take(info);
    if (info == kResultOk) {
        r.buttons = r.info[5];
        // A table larger than one transfer could not have come from a mouse.
        if (r.buttons > 0 && link.SetDataSize(3 * r.buttons) == 1) {
            r.table.assign(3 * static_cast<size_t>(r.buttons), 0);
            f.Take(link.ReadKeyTable(r.table.data()));
        } else {
            f.Take(kResultFailed);
        }
    }
    (void)link.EndConfig(); // the layout stands or falls with the reads above
    r.result = f.result;
    return r;
}

LinkResult CMouseDevice::ApplyButtonLayout(const LayoutRead& read) {
    if (read.result != kResultOk || read.table.size() != 3 * static_cast<size_t>(read.buttons))
        return read.asleep ? kResultFailed : read.result;
    SetDeviceInfo(read.info);
    m_info = MouseDeviceInfo::From(read.info);
    m_buttonTable = read.table;
    m_positions = BuildButtonPositionMap(m_buttonTable, read.buttons);
    if (m_view)
        m_view->DpiRangesChanged(m_info);
    return kResultOk;
}

LinkResult CMouseDevice::ReadButtonLayout() {
    return ApplyButtonLayout(FetchButtonLayout());
}

// ---- settings -------------------------------------------------------------------------------

CMouseDevice::SettingsRead CMouseDevice::FetchSettings() {
    SettingsRead r;
    CDeviceCommandLink& link = Link();
    link.SetBackgroundPause(false);
    if (!link.IsOpen())
        return r;
    if (!Awake()) {
        r.asleep = true;
        return r;
    }
    const LinkResult index = link.ReadParameters(&r.index, 1, 0);
    if (index != kResultOk) {
        r.result = index;
        return r;
    }
    r.result = link.ReadParameters(r.bytes.data(), r.bytes.size(),
                                   static_cast<uint16_t>(size_t{r.index} * kMouseSettingsStride));
    return r;
}

LinkResult CMouseDevice::ApplySettings(const SettingsRead& read) {
    MouseSettingsRecord record;
    if (read.result != kResultOk || !MouseSettingsRecord::Parse(read.bytes, record))
        return read.result == kResultOk ? kResultFailed : read.result;
    m_mirror = record;
    m_settingsIndex = read.index;
    // The mouse reports its lighting and active stage; the direction and the program's own lighting
    // fields keep what the profile has.
    LightState light = m_profile.GetLightInfo();
    light.mode = record.light.mode;
    light.brightness = record.light.brightness;
    light.speed = record.light.speed;
    light.multiColor = record.light.multiColor;
    light.red = record.light.red;
    light.green = record.light.green;
    light.blue = record.light.blue;
    m_lightSettings = light;
    m_profile.SetLightInfo(light);
    Engine().SetLightSettings(light);
    m_profile.SetStageActive(record.activeStage);
    StoreProfile();
    return kResultOk;
}

LinkResult CMouseDevice::ReadSettings() {
    return ApplySettings(FetchSettings());
}

MouseSettingsRecord CMouseDevice::ProfileRecord(uint8_t byte0, uint8_t byte59) {
    MouseSettingsRecord r;
    r.index = byte0;
    r.light = m_profile.GetLightInfo();
    r.stages = m_profile.GetDpiStages();
    if (r.stages.size() > static_cast<size_t>(kMouseDpiStageCount))
        r.stages.resize(kMouseDpiStageCount);
    r.activeStage = static_cast<uint8_t>(m_profile.GetStageActive());
    r.reportStage = static_cast<uint8_t>(m_profile.GetSystemStages().reportRateStage);
    r.byte59 = byte59;
    r.screenWidth = static_cast<uint16_t>(m_screenWidth);
    r.screenHeight = static_cast<uint16_t>(m_screenHeight);
    TakeCorrection(m_profile.GetCorrectInfo(), r);
    return r;
}

LinkResult CMouseDevice::TransferSettings(int n, const std::array<uint8_t, kMouseSettingsWriteBytes>& bytes) {
    CDeviceCommandLink& link = Link();
    if (!link.IsOpen())
        return kResultFailed;
    if (!Awake())
        return kResultOk; // asleep behind the receiver: nothing to report, the next change tries again
    FirstFailure f;
    f.Take(link.BeginConfig());
    if (!Awake())
        return kResultOk;
    f.Take(link.WriteParameters(bytes.data(), bytes.size(),
                                static_cast<uint16_t>(size_t(n) * kMouseSettingsStride)));
    if (!Awake())
        return f.result;
    f.Take(link.EndConfig());
    return f.result;
}

LinkResult CMouseDevice::WriteSettings(int n, uint8_t byte0) {
    if (n < 0 || n > kMaxRecordIndex)
        return kResultFailed;
    const LinkResult result = TransferSettings(n, ProfileRecord(byte0, 1).Serialise());
    ReportFailure(MouseWrite::Settings, result);
    return result;
}

void CMouseDevice::QueueSettingsWrite(int n, uint8_t byte0) {
    if (n < 0 || n > kMaxRecordIndex)
        return;
    // The record is taken from the profile now; the worker only moves the bytes.
    const auto bytes = ProfileRecord(byte0, 1).Serialise();
    RunTransfer("settings-" + std::to_string(n), [this, n, bytes]() -> Continuation {
        const LinkResult result = TransferSettings(n, bytes);
        return [this, result] { ReportFailure(MouseWrite::Settings, result); };
    });
}

MouseSettingsControls CMouseDevice::SettingsControls() const {
    MouseSettingsControls c;
    c.stages = m_profile.DpiStages();
    if (c.stages.size() > static_cast<size_t>(kMouseDpiStageCount))
        c.stages.resize(kMouseDpiStageCount);
    c.activeStage = m_profile.GetStageActive();
    c.system = m_profile.SystemStages();
    c.reportStage = c.system.reportRateStage < kMouseReportStageCount ? c.system.reportRateStage : 0;
    return c;
}

void CMouseDevice::SetStageEnabled(int stage, bool on) {
    std::vector<DpiStage> stages = m_profile.GetDpiStages();
    if (stage < 0 || static_cast<size_t>(stage) >= stages.size())
        return;
    stages[static_cast<size_t>(stage)].active = on ? 1 : 0;
    m_profile.SetDpiStages(stages);
    StoreProfile();
    QueueSettingsWrite(0, 0);
}

void CMouseDevice::SetStageSteps(int stage, int steps) {
    std::vector<DpiStage> stages = m_profile.GetDpiStages();
    if (stage < 0 || static_cast<size_t>(stage) >= stages.size())
        return;
    const int limit = m_info.maxSteps > 0 ? m_info.maxSteps : 0xFFFF;
    stages[static_cast<size_t>(stage)].dpiX = static_cast<uint16_t>(std::clamp(steps, 0, limit));
    m_profile.SetDpiStages(stages);
    StoreProfile();
    QueueSettingsWrite(0, 0);
}

int CMouseDevice::SetStageDpi(int stage, int dpi) {
    if (m_info.dpiStep <= 0)
        return -1;
    const int steps = m_info.StepsForDpi(dpi);
    SetStageSteps(stage, steps);
    return steps;
}

std::string CMouseDevice::StageDpiRefusal(int dpi) const {
    if (m_info.dpiStep <= 0)
        return "has not told its DPI range yet (is it connected?)";
    const int lowest = std::max(m_info.minDpi, m_info.dpiStep);
    if (dpi < lowest || dpi > m_info.MaxDpi())
        return "takes " + std::to_string(lowest) + " to " + std::to_string(m_info.MaxDpi()) + " DPI; " +
               std::to_string(dpi) + " is not within";
    return {};
}

void CMouseDevice::SetReportStage(int stage) {
    MouseSystemStages system = m_profile.GetSystemStages();
    system.reportRateStage = static_cast<uint16_t>(stage >= 0 && stage < kMouseReportStageCount ? stage : 0);
    m_profile.SetSystemStages(system);
    StoreProfile();
    QueueSettingsWrite(0, 0);
}

void CMouseDevice::SetActiveStage(int stage) {
    m_profile.SetStageActive(stage);
    StoreProfile();
    QueueSettingsWrite(0, 0);
}

void CMouseDevice::SetSystemStages(const MouseSystemStages& stages) {
    // Pointer speed, precision, double-click and scrolling are the program's own: stored only.
    m_profile.SetSystemStages(stages);
    StoreProfile();
}

// ---- key assignments, macros, shoot patterns -------------------------------------------------

bool CMouseDevice::BuildButtonTable(const std::vector<KeyAssignment>& list,
                                    std::vector<uint8_t>& table) const {
    if (m_buttonTable.empty())
        return false; // writing without a read table would wipe the mouse's buttons
    table = m_buttonTable;
    const size_t count = std::min(list.size(), static_cast<size_t>(kMouseButtonCount));
    for (size_t b = 0; b < count; ++b) {
        const uint8_t p = m_positions[b];
        if (p == kMouseButtonNotFound || size_t{p} * 3 + 2 >= table.size())
            continue;
        const KeyCode& code = list[b].assignment;
        table[3 * size_t{p}] = code.type;
        table[3 * size_t{p} + 1] = code.b1;
        table[3 * size_t{p} + 2] = code.b2;
    }
    return true;
}

LinkResult CMouseDevice::TransferKeyTable(int index, const std::vector<uint8_t>& table) {
    CDeviceCommandLink& link = Link();
    if (!link.IsOpen())
        return kResultFailed;
    DeviceInfoRecord info{};
    if (!Awake())
        return kResultOk;
    const LinkResult read = link.ReadDeviceInfo(info);
    if (read != kResultOk)
        return read;
    if (link.SetDataSize(static_cast<int>(table.size())) != 1)
        return kResultFailed;
    FirstFailure f;
    if (!Awake())
        return kResultOk;
    f.Take(link.BeginConfig());
    if (!Awake())
        return f.result;
    f.Take(link.WriteKeyTable(table.data(), index));
    if (!Awake())
        return f.result;
    f.Take(link.EndConfig());
    return f.result;
}

LinkResult CMouseDevice::WriteKeyAssignments(int index, const std::vector<KeyAssignment>& list) {
    std::vector<uint8_t> table;
    if (!Link().IsOpen() || !BuildButtonTable(list, table))
        return kResultFailed;
    const LinkResult result = TransferKeyTable(index, table);
    ReportFailure(MouseWrite::KeyAssignments, result);
    return result;
}

LinkResult CMouseDevice::WriteProfileKeyAssignments(int index) {
    return WriteKeyAssignments(index, m_keyList);
}

void CMouseDevice::QueueProfileKeyAssignmentsWrite(int index) {
    std::vector<uint8_t> table;
    if (!Link().IsOpen() || !BuildButtonTable(m_keyList, table))
        return;
    RunTransfer("key-table-" + std::to_string(index), [this, index, table]() -> Continuation {
        const LinkResult result = TransferKeyTable(index, table);
        return [this, result] { ReportFailure(MouseWrite::KeyAssignments, result); };
    });
}

void CMouseDevice::QueueMacroDownload(std::function<void(MacroDownload)> done) {
    const MacroDownload result = DownloadMacros();
    if (done)
        done(result);
}

MacroDownload CMouseDevice::DownloadMacros() {
    MacroDownload answer;
    CDeviceCommandLink& link = Link();
    // Asleep before the image is built: nothing was attempted.
    if (link.IsOpen() && !Awake())
        return answer;
    const MacroImageBytes image = PrepareMacroImage(DataFolder());
    DeviceInfoRecord info = DeviceInfo();
    if (link.IsOpen() && link.ReadDeviceInfo(info) == kResultOk)
        SetDeviceInfo(info);
    answer = CheckMacroRoom(image, info);
    if (answer.status != MacroDownload::Status::Sent || !link.IsOpen())
        return answer;
    FirstFailure f;
    // Asleep after the image was built: the download failed.
    if (!Awake()) {
        answer.status = MacroDownload::Status::NoImage;
        return answer;
    }
    f.Take(link.BeginConfig());
    // Once the download has begun, a mouse that stops answering fails it: part of it is missing.
    f.Take(Awake() ? link.WriteMacroArea(image.bytes.data(), image.bytes.size()) : kResultFailed);
    f.Take(Awake() ? link.EndConfig() : kResultFailed);
    answer.link = f.result;
    ReportFailure(MouseWrite::Macros, f.result);
    return answer;
}

LinkResult CMouseDevice::DownloadShootPatterns() {
    CDeviceCommandLink& link = Link();
    DeviceInfoRecord info{};
    if (link.IsOpen()) {
        if (!Awake())
            return kResultOk;
        (void)link.ReadDeviceInfo(info); // refreshes nothing the download depends on
    }
    const ShootImageBuild built = BuildShootImage(DataFolder());
    for (const std::string& file : built.unreadable)
        DebugLogf("mouse: shoot pattern %s unreadable; sent without events", file.c_str());
    const std::vector<uint8_t>& image = built.bytes;
    if (!built.ok || image.empty() || !link.IsOpen())
        return kResultFailed;
    FirstFailure f;
    if (!Awake())
        return kResultOk;
    f.Take(link.BeginConfig());
    // Begun, a download the mouse stops answering has failed, as with the macros.
    f.Take(Awake() ? link.WriteShootArea(image.data(), image.size()) : kResultFailed);
    f.Take(Awake() ? link.EndConfig() : kResultFailed);
    ReportFailure(MouseWrite::ShootPatterns, f.result);
    return f.result;
}

void CMouseDevice::QueueShootDownload() {
    RunTransfer("shoot", [this]() -> Continuation {
        const LinkResult result = DownloadShootPatterns();
        (void)result; // reported to the view by the download itself
        return nullptr;
    });
}

// ---- profile --------------------------------------------------------------------------------

void CMouseDevice::ApplyProfile() {
    ApplyProfileLighting();
    (void)m_profile.GetDpiStages();
    (void)m_profile.GetSystemStages();
    (void)m_profile.GetCorrectInfo();
}

// ---- page flow ------------------------------------------------------------------------------

void CMouseDevice::OnConnect() {
    RunTransfer("connect", [this]() -> Continuation {
        auto read = std::make_shared<const LayoutRead>(FetchButtonLayout());
        return [this, read] {
            const LinkResult result = ApplyButtonLayout(*read);
            if (result != kResultOk)
                DebugLogf("mouse: button layout not read (%d%s)", ResultCode(result),
                          read->asleep ? ", the mouse is asleep" : "");
            LoadProfile();
            RefreshPage();
            StartLightThread();
            ConnectFinished();
        };
    });
}

void CMouseDevice::OnSyncRequest() {
    RunTransfer("sync", [this]() -> Continuation {
        auto read = std::make_shared<const SettingsRead>(FetchSettings());
        return [this, read] {
            const LinkResult result = ApplySettings(*read);
            if (result != kResultOk)
                DebugLogf("mouse: settings not read back (%d)", ResultCode(result));
            RefreshPage();
        };
    });
}

void CMouseDevice::RefreshPage() {
    RefreshNameLists();
    if (m_view) {
        m_view->MouseSettingsChanged(SettingsControls(), m_lightSettings);
        m_view->ButtonAssignmentsChanged(m_keyList);
    }
}

void CMouseDevice::RefreshNameLists() {
    CStreamedLightDevice::RefreshNameLists();
    m_macroNames.clear();
    const std::string folder = DataFolder();
    if (!folder.empty()) {
        for (const MacroInfo& info : ReadMacroIndex(folder + std::string(kMacroIndexFileName)))
            m_macroNames.push_back(info.name);
    }
    if (m_view)
        m_view->MacroNamesChanged(m_macroNames);
}

bool CMouseDevice::IsLastLeftButton(int index) const {
    const KeyCode left = DefaultButtonCodeTable[0].code; // 10 01 00
    if (index < 0 || static_cast<size_t>(index) >= m_keyList.size() ||
        !(m_keyList[static_cast<size_t>(index)].assignment == left))
        return false;
    for (size_t b = 0; b < m_keyList.size(); ++b) {
        if (static_cast<int>(b) != index && m_keyList[b].assignment == left)
            return false;
    }
    return true;
}

bool CMouseDevice::SetKeyAssignment(int index, const KeyCode& assignment) {
    if (index < 0 || static_cast<size_t>(index) >= m_keyList.size())
        return false;
    if (IsLastLeftButton(index) && !(assignment == DefaultButtonCodeTable[0].code))
        return false;
    m_keyList[static_cast<size_t>(index)].assignment = assignment;
    m_profile.SetKeyList(m_keyList);
    if (m_view)
        m_view->ButtonAssignmentsChanged(m_keyList);
    return true;
}

void CMouseDevice::SelectKey(int index) {
    CDeviceBase::SelectKey(index);
    if (m_view && index >= 0 && static_cast<size_t>(index) < m_keyList.size())
        m_view->ButtonSelected(index, m_keyList[static_cast<size_t>(index)]);
}

} // namespace nk7x
