#include "devices/keyboard/KeyboardDevice.h"

#include <memory>
#include <optional>

#include "platform/DebugLog.h"
#include "profiles/ProfileFolders.h"
#include "profiles/json/JsonFile.h"

namespace nk7x {

CKeyboardDevice::CKeyboardDevice()
    : m_ctx(*this, [this](const DeviceInfoRecord& info) { SetDeviceInfo(info); }), m_keys(m_ctx, m_keyMap),
      m_settings(m_ctx), m_macros(m_ctx), m_preview(Link()),
      m_custom(m_ctx, m_keyMap, m_preview, m_keyColourMutex) {
    SetKindName(FolderName(DeviceFamily::Keyboard));
    SetKeyCount(kKeyboardKeyCount);
    m_ctx.Profile().SetDefaultPath(nk7x::DefaultProfilePath(DeviceFamily::Keyboard));
}

CKeyboardDevice::~CKeyboardDevice() {
    StopDeviceWork();
    // The reader feeds the preview's key hooks, so it ends first; then the thread that steps it.
    StopKeyEventThread();
    StopLightThread();
}

void CKeyboardDevice::SetView(IKeyboardView* view) {
    m_ctx.SetView(view);
    SetDeviceView(view);
}

LinkResult CKeyboardDevice::ApplyKeyLayout(const KeyLayoutRead& read) {
    if (read.infoRead)
        SetDeviceInfo(read.info);
    if (read.tablesRead)
        m_keyMap.Take(read.keys, read.keyTable, read.ledTable);
    return read.result;
}

LinkResult CKeyboardDevice::ApplySettings(const SettingsRead& read) {
    const std::optional<KeyboardSettingsRecord> record = m_settings.TakeRead(read);
    if (!record)
        return read.result;
    m_lightSettings = CKeyboardSettings::WithRecordLight(m_lightSettings, *record);
    TakeLightSettings();
    m_settings.TakeRecordFlags(record->stages);
    m_ctx.Profile().SetLightInfo(m_lightSettings);
    m_ctx.StoreProfile();
    return kResultOk;
}

void CKeyboardDevice::StoreSystemStages(const KeyboardSystemStages& stages) {
    SetSystemStages(stages);
    SaveProfile();
    QueueSettingsWrite(0, 0);
}

void CKeyboardDevice::PurgeMacroKeys() {
    RefreshNameLists();
    if (!m_keys.ResetMacroKeysFrom(m_macros.Names().size()))
        return;
    m_ctx.StoreProfile();
    RefreshNameLists();
    if (IKeyboardView* view = m_ctx.View())
        view->KeyCaptionsChanged(KeyCaptions());
}

int CKeyboardDevice::OnKeyEvent(int position, int kind) {
    if (!KeyEventKindFromNumber(kind))
        return -1;
    for (int k = 0; k < kKeyboardKeyCount; ++k) {
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
        if (IKeyboardView* view = m_ctx.View())
            view->ArmTimer(kSyncTimerId, kSyncDelayMs);
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
    if (keyIndex < 0 || keyIndex >= kKeyboardKeyCount || !event)
        return;
    m_preview.OnReactiveKey(keyIndex, *event);
}

void CKeyboardDevice::TakeLightSettings() {
    if (m_preview.TakeLightSettings(m_lightSettings))
        PrepareMode(m_lightSettings.mode);
}

void CKeyboardDevice::SetKeyColour(int index, KeyColour value) {
    std::lock_guard<std::mutex> lock(m_keyColourMutex);
    CDeviceBase::SetKeyColour(index, value);
}

KeyColour CKeyboardDevice::GetKeyColour(int index) const {
    std::lock_guard<std::mutex> lock(m_keyColourMutex);
    return CDeviceBase::GetKeyColour(index);
}

void CKeyboardDevice::ReloadLightLists() {
    CKeyboardProfiledata& profile = m_ctx.Profile();
    {
        std::lock_guard<std::mutex> lock(LightListLock());
        m_lightList = profile.GetLightList();
        m_preview.TakeLightList(m_lightList);
    }
    std::lock_guard<std::mutex> lock(EffectFrameLock());
    m_effectFrames = profile.GetEffectFrames();
    m_preview.TakeEffectFrames(m_effectFrames);
}

void CKeyboardDevice::ApplyProfile() {
    m_lightSettings = m_ctx.Profile().GetLightInfo();
    TakeLightSettings();
    ReloadLightLists();
}

void CKeyboardDevice::TakeProfile() {
    m_keys.TakeFromProfile();
    ApplyProfile();
    m_settings.TakeStagesFromProfile();
}

void CKeyboardDevice::SetProfilePaths() {
    const std::string folder = DataFolder();
    if (folder.empty())
        return;
    if (IsPlainFileName(ProfileName()))
        m_ctx.Profile().SetProfilePath(folder + ProfileName() + ".Json");
    if (IsPlainFileName(LightingName()))
        m_ctx.Profile().SetConfigPath(folder + LightingName() + ".config");
}

void CKeyboardDevice::LoadProfile() {
    SetProfilePaths();
    CKeyboardProfiledata& profile = m_ctx.Profile();
    // What the file could not give was refilled from the defaults; the document itself is not needed.
    (void)profile.LoadFromFile(profile.GetProfilePath());
    TakeProfile();
}

void CKeyboardDevice::RestoreDefaults() {
    SetProfilePaths();
    CKeyboardProfiledata& profile = m_ctx.Profile();
    const Json::Value document = LoadJson(profile.GetDefaultPath());
    Json::Value value;
    const Json::ArrayIndex index = static_cast<Json::ArrayIndex>(profile.GetIndex());
    if (document.isObject() && document["Device"].isArray() && index < document["Device"].size())
        value = document["Device"][index];
    profile.SetProfileValue(value);
    TakeProfile();
    SaveProfile();
    RefreshPage();
}

void CKeyboardDevice::SetProfileIndex(int index) {
    CDeviceBase::SetProfileIndex(index);
    m_ctx.Profile().SetIndex(0);
}

void CKeyboardDevice::SetLightSettings(LightState state) {
    CDeviceBase::SetLightSettings(state);
    m_ctx.Profile().SetLightInfo(state);
    TakeLightSettings();
    if (IKeyboardView* view = m_ctx.View())
        view->LightModeChanged(state.mode);
}

void CKeyboardDevice::SelectKey(int index) {
    CDeviceBase::SelectKey(index);
    const std::vector<KeyAssignment>& keys = m_keys.List();
    if (IKeyboardView* view = m_ctx.View(); view && index >= 0 && static_cast<size_t>(index) < keys.size())
        view->KeyAssignmentSelected(index, keys[static_cast<size_t>(index)]);
}

void CKeyboardDevice::SetFunctionMode(int mode) {
    CDeviceBase::SetFunctionMode(mode);
    if (IKeyboardView* view = m_ctx.View(); view && (mode == 1 || mode == 2))
        view->FnKeyEnabled(mode == 1);
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
    IKeyboardView* view = m_ctx.View();
    if (!view)
        return;
    view->KeyCaptionsChanged(KeyCaptions());
    view->SettingsChanged(SettingsControls(), m_lightSettings);
}

void CKeyboardDevice::RefreshNameLists() {
    const std::string folder = DataFolder();
    m_macros.ReadNames(folder);
    m_lightNames = {};
    if (!folder.empty())
        m_lightNames = ReadLightNameLists(FamilyIndex(DeviceFamily::Keyboard), DefaultLightNamesPath(),
                                          LightConfigPath(KindName()));
    if (IKeyboardView* view = m_ctx.View())
        view->NameListsChanged(MacroNames(), m_lightNames);
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
    FollowPreviewFlag();
    IKeyboardView* view = m_ctx.View();
    if (!IsLiveLighting() || !view)
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
        shown = m_preview.Colours();
    }
    for (size_t i = 0; i < shown.size(); ++i)
        view->ShowKeyColour(static_cast<int>(i), PackKeyButtonColour(shown[i]), shown[i].alpha);
    return kResultOk;
}

} // namespace nk7x
