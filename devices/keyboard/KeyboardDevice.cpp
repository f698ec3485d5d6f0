#include "devices/keyboard/KeyboardDevice.h"

#include <algorithm>
#include <chrono>
#include <new>
#include <thread>

#include "devices/MacroImageSend.h"
#include "macros/MacroStore.h"
#include "platform/DebugLog.h"
#include "profiles/ProfileFolders.h"
#include "profiles/json/JsonFile.h"

namespace nk7x {

namespace {
constexpr int kKeyCount = kKeyboardKeyCount;
constexpr uint16_t kMaxRecordIndex = (0xFFFF - KeyboardSettingsRecord::kSize) / kSettingsRecordStride;

} // namespace

std::string FactoryKeyName(const KeyCode& code) {
    for (const DefaultKeyEntry& e : DefaultKeyCodeTable)
        if (e.code == code && e.label)
            return std::string("keyboard_key_") + e.label;
    return {};
}

CKeyboardDevice::CKeyboardDevice()
    : m_nameLookup(FactoryKeyName), m_lightEngine(std::make_unique<light::KeyboardLightEngine>(
                                        m_lightClock, static_cast<uint32_t>(m_lightClock.NowMs()))),
      m_lightThread(std::make_unique<light::LightThread>(
          *m_lightEngine, [this] { return Link().IsOpen(); }, [this] { return Link().BackgroundPause(); })) {
    SetKindName(FolderName(DeviceFamily::Keyboard));
    SetKeyCount(kKeyCount);
    m_profile.SetDefaultPath(nk7x::DefaultProfilePath(DeviceFamily::Keyboard));
}

CKeyboardDevice::~CKeyboardDevice() {
    StopDeviceWork();
    // The reader feeds the preview's key hooks, so it ends first; then the thread that steps it.
    StopKeyEventThread();
    StopLightThread();
}

void CKeyboardDevice::StopDeviceWork() {
    StopWorker();
}

void CKeyboardDevice::SetView(IKeyboardView* view) {
    m_view = view;
    SetDeviceView(view);
}

void CKeyboardDevice::ReportFailure(KeyboardWrite what, LinkResult result) {
    if (result != kResultOk && m_view)
        m_view->WriteFailed(what, result);
}

LinkResult CKeyboardDevice::ReadKeyLayout() {
    return ApplyKeyLayout(FetchKeyLayout());
}

CKeyboardDevice::KeyLayoutRead CKeyboardDevice::FetchKeyLayout() {
    KeyLayoutRead read;
    CDeviceCommandLink& link = Link();
    if (!link.IsOpen())
        return read;
    FirstFailure f;
    f.Take(link.BeginConfig());
    const LinkResult infoResult = link.ReadDeviceInfo(read.info);
    f.Take(infoResult);
    if (infoResult != kResultOk) {
        (void)link.EndConfig(); // the failure reported is the read's
        read.result = f.result;
        return read;
    }
    read.infoRead = true;
    const int k = read.info[5];
    if (link.SetDataSize(static_cast<uint32_t>(3 * k)) != 1) {
        // More keys than a key table can hold: the maps keep what they had. The configuration
        // session is still closed so the keyboard does not stay in it.
        (void)link.EndConfig();
        read.result = kResultFailed;
        return read;
    }
    const LinkResult keysResult = link.ReadKeyTable(read.keyTable.data());
    f.Take(keysResult);
    const LinkResult ledsResult =
        keysResult == kResultOk ? link.ReadKeyIndexTable(read.ledTable.data()) : keysResult;
    f.Take(ledsResult);
    f.Take(link.EndConfig());
    read.tablesRead = keysResult == kResultOk && ledsResult == kResultOk;
    read.keys = k;
    read.result = f.result;
    return read;
}

LinkResult CKeyboardDevice::ApplyKeyLayout(const KeyLayoutRead& read) {
    if (read.infoRead)
        SetDeviceInfo(read.info);
    if (read.tablesRead)
        m_keyMap.Take(read.keys, read.keyTable, read.ledTable);
    return read.result;
}

LinkResult CKeyboardDevice::ReadSettings() {
    return ApplySettings(FetchSettings());
}

CKeyboardDevice::SettingsRead CKeyboardDevice::FetchSettings() {
    SettingsRead read;
    CDeviceCommandLink& link = Link();
    link.SetBackgroundPause(false);
    if (!link.IsOpen())
        return read;
    uint8_t index = 0;
    read.result = link.ReadParameters(&index, 1, 0);
    if (read.result != kResultOk)
        return read;
    read.index = index;
    read.result = link.ReadParameters(read.bytes.data(), read.bytes.size(),
                                      static_cast<uint16_t>(index * kSettingsRecordStride));
    return read;
}

LinkResult CKeyboardDevice::ApplySettings(const SettingsRead& read) {
    // A read that failed brought nothing to trust: the profile and the keyboard stay as they are.
    if (read.result != kResultOk)
        return read.result;
    KeyboardSettingsRecord record;
    KeyboardSettingsRecord::Parse(read.bytes, record);
    m_settingsIndex = read.index;
    m_settingsMirror = record;
    if (m_forcedRed.exchange(false, std::memory_order_acq_rel)) {
        record.light.red = 0xFF;
        record.light.green = 0;
        record.light.blue = 0;
    }
    LightState light = m_lightSettings;
    light.mode = record.light.mode;
    light.brightness = record.light.brightness;
    light.speed = record.light.speed;
    light.direction = record.light.direction;
    light.multiColor = record.light.multiColor;
    light.red = record.light.red;
    light.green = record.light.green;
    light.blue = record.light.blue;
    light.secondaryMode = record.light.secondaryMode;
    m_lightSettings = light;
    TakeLightSettings();

    m_stages.wKeyFlag = record.stages.wKeyFlag;
    m_stages.key6Flag = record.stages.key6Flag;
    m_stages.winKeyFlag = record.stages.winKeyFlag;
    m_profile.SetSystemStages(m_stages);
    m_profile.SetLightInfo(m_lightSettings);
    StoreProfile();
    return kResultOk;
}

CKeyboardDevice::SettingsBytes CKeyboardDevice::ProfileSettingsBytes(uint8_t byte0) {
    return KeyboardSettingsRecord::From(byte0, m_profile.GetLightInfo(), m_profile.GetSystemStages())
        .Serialise();
}

LinkResult CKeyboardDevice::TransferSettings(int n, const SettingsBytes& bytes) {
    CDeviceCommandLink& link = Link();
    if (!link.IsOpen())
        return kResultFailed;
    FirstFailure f;
    f.Take(link.BeginConfig());
    f.Take(
        link.WriteParameters(bytes.data(), bytes.size(), static_cast<uint16_t>(n * kSettingsRecordStride)));
    f.Take(link.EndConfig());
    return f.result;
}

LinkResult CKeyboardDevice::WriteSettings(int n, uint8_t byte0) {
    if (n < 0 || n > kMaxRecordIndex)
        return kResultFailed;
    const LinkResult result = TransferSettings(n, ProfileSettingsBytes(byte0));
    ReportFailure(KeyboardWrite::Settings, result);
    return result;
}

void CKeyboardDevice::QueueSettingsWrite(int n, uint8_t byte0) {
    if (n < 0 || n > kMaxRecordIndex)
        return;
    // The record is taken from the profile now; the worker only moves the bytes.
    const SettingsBytes bytes = ProfileSettingsBytes(byte0);
    RunTransfer("settings-" + std::to_string(n), [this, n, bytes]() -> Continuation {
        const LinkResult result = TransferSettings(n, bytes);
        return [this, result] { ReportFailure(KeyboardWrite::Settings, result); };
    });
}

CKeyboardDevice::KeyTableWrite
CKeyboardDevice::TransferKeyTable(int index,
                                  const std::array<uint8_t, CDeviceCommandLink::kMaxDataSize>& table) {
    KeyTableWrite w;
    CDeviceCommandLink& link = Link();
    if (!link.IsOpen())
        return w;
    w.infoRead = link.ReadDeviceInfo(w.info) == kResultOk;
    FirstFailure f;
    f.Take(link.BeginConfig());
    f.Take(link.WriteKeyTable(table.data(), index));
    f.Take(link.EndConfig());
    w.result = f.result;
    return w;
}

LinkResult CKeyboardDevice::WriteKeyAssignments(int index, const std::vector<KeyAssignment>& list) {
    if (!Link().IsOpen())
        return kResultFailed;
    std::array<uint8_t, CDeviceCommandLink::kMaxDataSize> table{};
    if (!m_keyMap.BuildKeyTable(list, Link().DataSize(), table))
        return kResultFailed;
    const KeyTableWrite w = TransferKeyTable(index, table);
    if (w.infoRead)
        SetDeviceInfo(w.info);
    ReportFailure(KeyboardWrite::KeyAssignments, w.result);
    return w.result;
}

LinkResult CKeyboardDevice::WriteProfileKeyAssignments(int index) {
    return WriteKeyAssignments(index, m_keyList);
}

void CKeyboardDevice::QueueProfileKeyAssignmentsWrite(int index) {
    std::array<uint8_t, CDeviceCommandLink::kMaxDataSize> table{};
    if (!Link().IsOpen() || !m_keyMap.BuildKeyTable(m_keyList, Link().DataSize(), table))
        return;
    RunTransfer("key-table-" + std::to_string(index), [this, index, table]() -> Continuation {
        const KeyTableWrite w = TransferKeyTable(index, table);
        return [this, w] {
            if (w.infoRead)
                SetDeviceInfo(w.info);
            ReportFailure(KeyboardWrite::KeyAssignments, w.result);
        };
    });
}

void CKeyboardDevice::PurgeMacroKeys() {
    RefreshNameLists();
    const size_t macros = m_macroNames.size();
    bool changed = false;
    for (KeyAssignment& entry : m_keyList) {
        const uint8_t type = entry.assignment.type;
        if ((type == kMacroKeyType || type == kMacroKeyTypeAlt) && entry.assignment.b1 >= macros) {
            entry.assignment = entry.defaultAssignment;
            changed = true;
        }
    }
    if (!changed)
        return;
    m_profile.SetKeyList(m_keyList);
    StoreProfile();
    RefreshNameLists();
    if (m_view)
        m_view->KeyCaptionsChanged(KeyCaptions());
}

bool CKeyboardDevice::SetKeyAssignment(int index, const KeyCode& assignment) {
    if (index < 0 || static_cast<size_t>(index) >= m_keyList.size())
        return false;
    m_keyList[static_cast<size_t>(index)].assignment = assignment;
    m_profile.SetKeyList(m_keyList);
    if (m_view)
        m_view->KeyCaptionsChanged(KeyCaptions());
    return true;
}

std::vector<KeyCaption> CKeyboardDevice::KeyCaptions() const {
    std::vector<KeyCaption> captions;
    captions.reserve(m_keyList.size());
    for (size_t i = 0; i < m_keyList.size(); ++i) {
        KeyCaption c;
        c.keyIndex = static_cast<int>(i);
        c.assignment = m_keyList[i].assignment;
        c.nameKey = m_nameLookup ? m_nameLookup(c.assignment) : std::string();
        if (i < DefaultKeyCodeTable.size()) {
            const std::string own = m_nameLookup ? m_nameLookup(DefaultKeyCodeTable[i].code) : std::string();
            c.factoryName = c.nameKey == own;
        }
        captions.push_back(std::move(c));
    }
    return captions;
}

CKeyboardDevice::MacroDownloadResult CKeyboardDevice::TransferMacros(const MacroImageBytes& image,
                                                                     const DeviceInfoRecord& known) {
    MacroDownloadResult r;
    CDeviceCommandLink& link = Link();
    DeviceInfoRecord info = known;
    if (link.IsOpen()) {
        r.infoRead = link.ReadDeviceInfo(r.info) == kResultOk;
        if (r.infoRead)
            info = r.info;
    }
    r.answer = CheckMacroRoom(image, info);
    if (r.answer.status != MacroDownload::Status::Sent)
        return r;
    if (link.IsOpen()) {
        FirstFailure f;
        f.Take(link.BeginConfig());
        f.Take(link.WriteMacroArea(image.bytes.data(), image.bytes.size()));
        f.Take(link.EndConfig());
        r.answer.status = MacroDownload::Status::Sent;
        r.answer.link = f.result;
    }
    return r;
}

MacroDownload CKeyboardDevice::DownloadMacros() {
    const MacroDownloadResult r = TransferMacros(PrepareMacroImage(DataFolder()), DeviceInfo());
    if (r.infoRead)
        SetDeviceInfo(r.info);
    ReportFailure(KeyboardWrite::Macros, r.answer.link);
    return r.answer;
}

void CKeyboardDevice::QueueMacroDownload(std::function<void(MacroDownload)> done) {
    auto image = std::make_shared<const MacroImageBytes>(PrepareMacroImage(DataFolder()));
    const DeviceInfoRecord known = DeviceInfo();
    RunTransfer("macros", [this, image, known, done = std::move(done)]() -> Continuation {
        const MacroDownloadResult r = TransferMacros(*image, known);
        return [this, r, done] {
            if (r.infoRead)
                SetDeviceInfo(r.info);
            ReportFailure(KeyboardWrite::Macros, r.answer.link);
            if (done)
                done(r.answer);
        };
    });
}

std::vector<uint8_t> CKeyboardDevice::CustomColourPage(bool scaled, size_t& length) const {
    std::vector<uint8_t> page(kLightingPageBytes, 0);
    size_t highest = 0;
    std::lock_guard<std::mutex> lock(m_keyColourMutex);
    const auto& colours = const_cast<CKeyboardDevice*>(this)->KeyColours();
    for (int k = 0; k < kKeyCount && static_cast<size_t>(k) < colours.size(); ++k) {
        const uint8_t led = KeyLed(k);
        if (led == kKeyNotFound || led >= kMaxDeviceKeys)
            continue;
        const KeyColour c = colours[static_cast<size_t>(k)];
        const size_t at = 3 * size_t{led};
        page[at] = scaled ? static_cast<uint8_t>((c.red * c.alpha) >> 8) : c.red;
        page[at + 1] = scaled ? static_cast<uint8_t>((c.green * c.alpha) >> 8) : c.green;
        page[at + 2] = scaled ? static_cast<uint8_t>((c.blue * c.alpha) >> 8) : c.blue;
        highest = std::max(highest, at + 3);
    }
    // One triple per key; LED indices past the keys extend the write so their colours are not lost.
    length = std::max(highest, static_cast<size_t>(3 * kKeyCount));
    return page;
}

LinkResult CKeyboardDevice::TransferCustomPage(const std::vector<uint8_t>& page, size_t length, int group,
                                               bool scaled) {
    const LinkResult result = Link().WriteLightingPage(page.data(), length, group, kLightingPageBytes);
    if (result != kResultOk && scaled)
        std::this_thread::sleep_for(std::chrono::milliseconds(kFailedFramePauseMs));
    return result;
}

LinkResult CKeyboardDevice::SendCustomColors() {
    if (m_lightSettings.mode != kCustomLightMode)
        return kResultFailed;
    size_t length = 0;
    const std::vector<uint8_t> page = CustomColourPage(true, length);
    const LinkResult result = TransferCustomPage(page, length, m_lightSettings.customGroup, true);
    ReportFailure(KeyboardWrite::CustomColours, result);
    return result;
}

void CKeyboardDevice::QueueCustomPage(bool scaled) {
    size_t length = 0;
    auto page = std::make_shared<const std::vector<uint8_t>>(CustomColourPage(scaled, length));
    const int group = m_lightSettings.customGroup;
    RunTransfer("custom-page-" + std::to_string(group),
                [this, page, length, group, scaled]() -> Continuation {
                    const LinkResult result = TransferCustomPage(*page, length, group, scaled);
                    return [this, result] { ReportFailure(KeyboardWrite::CustomColours, result); };
                });
}

void CKeyboardDevice::EnterCustomMode() {
    const int group = m_profile.GetCustomGroup();
    const std::vector<CustomColor> colours = m_profile.GetCustomColors(group, kKeyCount);
    {
        std::lock_guard<std::mutex> lock(m_keyColourMutex);
        auto& table = KeyColours();
        for (size_t k = 0; k < table.size() && k < colours.size(); ++k)
            table[k] = {colours[k].red, colours[k].green, colours[k].blue, colours[k].alpha};
    }
    MirrorCustomColours(true);
    m_panelGroup = group;
    if (m_view)
        m_view->CustomGroupSelected(group);
    if (m_lightSettings.mode == kCustomLightMode)
        QueueCustomPage(true);
}

void CKeyboardDevice::SelectCustomGroup(int group) {
    m_panelGroup = group;
    if (m_view)
        m_view->CustomGroupSelected(group);
    m_profile.SetCustomGroup(group);
    StoreProfile();
}

void CKeyboardDevice::StoreCustomColours(int group) {
    std::vector<CustomColor> colours;
    colours.reserve(kKeyCount);
    {
        std::lock_guard<std::mutex> lock(m_keyColourMutex);
        const auto& table = KeyColours();
        for (size_t k = 0; k < table.size() && k < static_cast<size_t>(kKeyCount); ++k)
            colours.push_back({table[k].red, table[k].green, table[k].blue, table[k].alpha});
    }
    m_profile.SetCustomColors(colours, group);
    StoreProfile();
}

void CKeyboardDevice::FillCustomColors(bool on) {
    {
        std::lock_guard<std::mutex> lock(m_keyColourMutex);
        auto& table = KeyColours();
        for (size_t k = 0; k < table.size() && k < static_cast<size_t>(kKeyCount); ++k) {
            table[k].red = on ? m_lightSettings.red : 0;
            table[k].green = on ? m_lightSettings.green : 0;
            table[k].blue = on ? m_lightSettings.blue : 0;
        }
    }
    MirrorCustomColours(false);
    if (m_lightSettings.mode == kCustomLightMode)
        QueueCustomPage(true);
    if (m_panelGroup >= 0)
        StoreCustomColours(m_panelGroup);
}

void CKeyboardDevice::SetCustomKeyColor(int keyIndex) {
    if (m_lightSettings.mode != kCustomLightMode || keyIndex < 0 || keyIndex >= kKeyCount)
        return;
    {
        std::lock_guard<std::mutex> lock(m_keyColourMutex);
        auto& table = KeyColours();
        if (static_cast<size_t>(keyIndex) >= table.size())
            return;
        KeyColour& c = table[static_cast<size_t>(keyIndex)];
        c.red = m_lightSettings.red;
        c.green = m_lightSettings.green;
        c.blue = m_lightSettings.blue;
    }
    MirrorCustomColours(false);
    if (m_panelGroup < 0)
        return;
    StoreCustomColours(m_panelGroup);
    if (Link().LongTimeouts())
        return;
    QueueCustomPage(false);
}

bool CKeyboardDevice::PaintCustomKeys(const std::vector<KeyPaint>& keys) {
    if (m_lightSettings.mode != kCustomLightMode)
        return false;
    for (const KeyPaint& k : keys)
        if (k.keyIndex < 0 || k.keyIndex >= kKeyCount)
            return false;
    {
        std::lock_guard<std::mutex> lock(m_keyColourMutex);
        auto& table = KeyColours();
        for (const KeyPaint& k : keys) {
            if (static_cast<size_t>(k.keyIndex) >= table.size())
                continue;
            KeyColour& c = table[static_cast<size_t>(k.keyIndex)];
            c.red = k.red;
            c.green = k.green;
            c.blue = k.blue;
        }
    }
    MirrorCustomColours(false);
    if (m_panelGroup >= 0)
        StoreCustomColours(m_panelGroup);
    QueueCustomPage(true);
    return true;
}

int CKeyboardDevice::OnKeyEvent(int position, int kind) {
    if (!KeyEventKindFromNumber(kind))
        return -1;
    for (int k = 0; k < kKeyCount; ++k) {
        if (KeyPosition(k) == position) {
            OnReactiveKey(k, kind);
            return k;
        }
    }
    return -1;
}

void CKeyboardDevice::OnNotification(uint16_t code) {
    const std::optional<Notification> n = DecodeNotification(code);
    if (!n)
        return;
    switch (n->code) {
    case NotifyCode::SyncRed:
        SetForcedRed();
        [[fallthrough]];
    case NotifyCode::Sync:
        if (m_view)
            m_view->ArmTimer(kSyncTimerId, kSyncDelayMs);
        break;
    case NotifyCode::KeyDown:
        OnKeyEvent(n->position, static_cast<int>(KeyEventKind::Press));
        break;
    case NotifyCode::KeyUp:
        OnKeyEvent(n->position, static_cast<int>(KeyEventKind::Release));
        break;
    case NotifyCode::Status:
        break;
    }
}

void CKeyboardDevice::PrepareMode(int mode) {
    if (mode == kCustomLightMode)
        EnterCustomMode();
}

void CKeyboardDevice::OnReactiveKey(int keyIndex, int kind) {
    const std::optional<KeyEventKind> event = KeyEventKindFromNumber(kind);
    if (keyIndex < 0 || keyIndex >= kKeyCount || !event)
        return;
    m_lightEngine->OnReactiveKey(static_cast<uint8_t>(keyIndex), *event);
}

void CKeyboardDevice::TakeLightSettings() {
    const bool modeChanged = m_lightEngine->LightSettings().mode != m_lightSettings.mode;
    m_lightEngine->SetLightSettings(m_lightSettings);
    if (modeChanged)
        PrepareMode(m_lightSettings.mode);
}

void CKeyboardDevice::MirrorCustomColours(bool withAlpha) {
    std::lock_guard<std::mutex> lock(m_keyColourMutex);
    const auto& table = KeyColours();
    for (size_t k = 0; k < table.size() && k < m_lightEngine->LedCount(); ++k) {
        const KeyColour& c = table[k];
        const uint8_t alpha = withAlpha ? c.alpha : m_lightEngine->Colour(k).a;
        m_lightEngine->SetColour(k, {c.red, c.green, c.blue, alpha});
    }
}

void CKeyboardDevice::SetKeyColour(int index, KeyColour value) {
    std::lock_guard<std::mutex> lock(m_keyColourMutex);
    CDeviceBase::SetKeyColour(index, value);
}

KeyColour CKeyboardDevice::GetKeyColour(int index) const {
    std::lock_guard<std::mutex> lock(m_keyColourMutex);
    return CDeviceBase::GetKeyColour(index);
}

bool CKeyboardDevice::StartLightThread() {
    return m_lightThread->Start();
}

void CKeyboardDevice::StopLightThread() {
    m_lightThread->Stop();
}

void CKeyboardDevice::ReloadLightLists() {
    {
        std::lock_guard<std::mutex> lock(LightListLock());
        m_lightList = m_profile.GetLightList();
        m_lightEngine->SetLightList(m_lightList);
    }
    std::lock_guard<std::mutex> lock(EffectFrameLock());
    m_effectFrames = m_profile.GetEffectFrames();
    m_lightEngine->SetEffectFrames(m_effectFrames);
}

void CKeyboardDevice::ApplyProfile() {
    m_lightSettings = m_profile.GetLightInfo();
    TakeLightSettings();
    ReloadLightLists();
}

void CKeyboardDevice::SetProfilePaths() {
    const std::string folder = DataFolder();
    if (folder.empty())
        return;
    if (IsPlainFileName(ProfileName()))
        m_profile.SetProfilePath(folder + ProfileName() + ".Json");
    if (IsPlainFileName(LightingName()))
        m_profile.SetConfigPath(folder + LightingName() + ".config");
}

void CKeyboardDevice::LoadProfile() {
    SetProfilePaths();
    // What the file could not give was refilled from the defaults; the document itself is not needed.
    (void)m_profile.LoadFromFile(m_profile.GetProfilePath());
    m_keyList = m_profile.GetKeyList();
    ApplyProfile();
    TakeSystemStages();
}

void CKeyboardDevice::RestoreDefaults() {
    SetProfilePaths();
    const Json::Value document = LoadJson(m_profile.GetDefaultPath());
    Json::Value value;
    const Json::ArrayIndex index = static_cast<Json::ArrayIndex>(m_profile.GetIndex());
    if (document.isObject() && document["Device"].isArray() && index < document["Device"].size())
        value = document["Device"][index];
    m_profile.SetProfileValue(value);
    m_keyList = m_profile.GetKeyList();
    ApplyProfile();
    TakeSystemStages();
    SaveProfile();
    RefreshPage();
}

void CKeyboardDevice::SaveProfile() {
    StoreProfile();
}

bool CKeyboardDevice::StoreProfile() {
    const bool ok = m_profile.Save() == 1;
    if (ok) {
        m_saveFailureTold = false;
    } else if (!m_saveFailureTold) {
        m_saveFailureTold = true;
        DebugLogf("keyboard: profile %s could not be saved", m_profile.GetProfilePath().c_str());
        if (m_view)
            m_view->ProfileSaveFailed();
    }
    return ok;
}

void CKeyboardDevice::SetProfileIndex(int index) {
    CDeviceBase::SetProfileIndex(index);
    m_profile.SetIndex(0);
}

void CKeyboardDevice::SetLightSettings(LightState state) {
    CDeviceBase::SetLightSettings(state);
    m_profile.SetLightInfo(state);
    TakeLightSettings();
    if (m_view)
        m_view->LightModeChanged(state.mode);
}

void CKeyboardDevice::SelectKey(int index) {
    CDeviceBase::SelectKey(index);
    if (m_view && index >= 0 && static_cast<size_t>(index) < m_keyList.size())
        m_view->KeyAssignmentSelected(index, m_keyList[static_cast<size_t>(index)]);
}

void CKeyboardDevice::SetFunctionMode(int mode) {
    CDeviceBase::SetFunctionMode(mode);
    if (m_view && (mode == 1 || mode == 2))
        m_view->FnKeyEnabled(mode == 1);
}

void CKeyboardDevice::StoreSystemStages(const KeyboardSystemStages& stages) {
    SetSystemStages(stages);
    SaveProfile();
    QueueSettingsWrite(0, 0);
}

KeyboardSettingsControls CKeyboardDevice::SettingsControls() const {
    KeyboardSettingsControls c;
    c.pollingOption = m_stages.pollingRate <= 3 ? m_stages.pollingRate : 0;
    c.winLock = m_stages.winKeyFlag != 0;
    c.wFlag = m_stages.wKeyFlag != 0;
    c.key6Flag = m_stages.key6Flag != 0;
    c.repeatRate = m_stages.repeatRate;
    c.repeatDelayOption = m_stages.repeatDelay <= 3 ? m_stages.repeatDelay : 0;
    c.repeatDelayMs = c.repeatDelayOption * 250 + 250;
    return c;
}

void CKeyboardDevice::OnConnect() {
    RunTransfer("connect", [this]() -> Continuation {
        auto read = std::make_shared<const KeyLayoutRead>(FetchKeyLayout());
        return [this, read] {
            const LinkResult result = ApplyKeyLayout(*read);
            if (result != kResultOk)
                DebugLogf("keyboard: key layout not read (%d); the key tables keep what they had",
                          ResultCode(result));
            LoadProfile();
            RefreshPage();
            StartLightThread(); // a reconnection finds it still running
            ConnectFinished();
        };
    });
}

void CKeyboardDevice::OnSyncRequest() {
    RunTransfer("sync", [this]() -> Continuation {
        auto read = std::make_shared<const SettingsRead>(FetchSettings());
        return [this, read] {
            const LinkResult result = ApplySettings(*read);
            if (result != kResultOk)
                DebugLogf("keyboard: settings not read back (%d); profile and keyboard left as they were",
                          ResultCode(result));
            RefreshPage();
        };
    });
}

void CKeyboardDevice::RefreshPage() {
    RefreshNameLists();
    if (!m_view)
        return;
    m_view->KeyCaptionsChanged(KeyCaptions());
    m_view->SettingsChanged(SettingsControls(), m_lightSettings);
}

void CKeyboardDevice::RefreshNameLists() {
    const std::string folder = DataFolder();
    m_macroNames.clear();
    m_lightNames = {};
    if (!folder.empty()) {
        for (const MacroInfo& info : ReadMacroIndex(folder + std::string(kMacroIndexFileName)))
            m_macroNames.push_back(info.name);
        m_lightNames = ReadLightNameLists(FamilyIndex(DeviceFamily::Keyboard), DefaultLightNamesPath(),
                                          LightConfigPath(KindName()));
    }
    if (m_view)
        m_view->NameListsChanged(m_macroNames, m_lightNames);
}

void CKeyboardDevice::DirectTakeOver(bool held) {
    if (!held) {
        QueueSettingsWrite(0, 0);
        return;
    }
    RunTransfer("live-lighting", [this]() -> Continuation {
        if (Link().EnterLiveLighting() != kResultOk)
            DebugLog("direct lighting: the keyboard did not take the live mode");
        return nullptr;
    });
}

LinkResult CKeyboardDevice::RefreshLighting() {
    if (!IsLiveLighting() || !m_view)
        return kResultOk;
    std::vector<KeyColour> shown;
    if (const std::vector<DirectColour> direct = Direct().Colours(); !direct.empty()) {
        shown.reserve(direct.size());
        for (const DirectColour& c : direct)
            shown.push_back({c.red, c.green, c.blue, 0xFF});
    } else if (Link().BackgroundPause()) {
        // The preview is idle; the synchronisation worker paints the per-key table instead.
        std::lock_guard<std::mutex> lock(m_keyColourMutex);
        shown = KeyColours();
    } else {
        const std::vector<light::Rgba> colours = m_lightEngine->Colours();
        shown.reserve(colours.size());
        for (const light::Rgba& c : colours)
            shown.push_back({c.r, c.g, c.b, c.a});
    }
    for (size_t i = 0; i < shown.size(); ++i)
        m_view->ShowKeyColour(static_cast<int>(i), PackKeyButtonColour(shown[i]), shown[i].alpha);
    return kResultOk;
}

} // namespace nk7x
