#include "devices/StreamedLightDevice.h"

#include <json/value.h>

#include <algorithm>

#include "devices/light/MouseLightEngine.h"
#include "devices/light/RingLightEngine.h"
#include "platform/DebugLog.h"
#include "profiles/ProfileFolders.h"
#include "profiles/json/JsonFile.h"

namespace nk7x {
namespace {

std::unique_ptr<light::LightEngine> MakeEngine(DeviceFamily family, std::size_t leds,
                                               const light::LightClock& clock) {
    const auto seed = static_cast<uint32_t>(clock.NowMs());
    if (family == DeviceFamily::MousePad || family == DeviceFamily::Headset)
        return std::make_unique<light::RingLightEngine>(family, leds, clock, seed);
    return std::make_unique<light::MouseLightEngine>(leds, clock, seed);
}

} // namespace

CStreamedLightDevice::CStreamedLightDevice(DeviceFamily family, int ledCount)
    : m_family(family),
      m_lightEngine(MakeEngine(family, static_cast<std::size_t>(std::max(ledCount, 1)), m_lightClock)),
      m_lightThread(std::make_unique<light::LightThread>(
          *m_lightEngine, [this] { return Link().IsOpen(); }, [this] { return Link().BackgroundPause(); })) {
    SetKindName(FolderName(family));
    SetKeyCount(std::max(ledCount, 1));
}

CStreamedLightDevice::~CStreamedLightDevice() {
    StopLightThread();
}

void CStreamedLightDevice::SetStreamedLightView(IStreamedLightView* view) {
    m_view = view;
    SetDeviceView(view);
}

// ---- lighting and status --------------------------------------------------------------------

bool CStreamedLightDevice::StartLightThread() {
    return m_lightThread->Start();
}

void CStreamedLightDevice::StopLightThread() {
    m_lightThread->Stop();
}

std::vector<light::Rgba> CStreamedLightDevice::FrameColours() const {
    const std::vector<DirectColour> direct = Direct().Colours();
    if (direct.empty())
        return m_lightEngine->Colours();
    std::vector<light::Rgba> colours;
    colours.reserve(direct.size());
    for (const DirectColour& c : direct)
        colours.push_back({c.red, c.green, c.blue, 0xFF});
    return colours;
}

LinkResult CStreamedLightDevice::RefreshLighting() {
    if (!IsLiveLighting())
        return kResultOk;
    const std::vector<light::Rgba> colours = FrameColours();
    for (size_t i = 0; i < colours.size() && i < KeyColours().size(); ++i)
        CDeviceBase::SetKeyColour(static_cast<int>(i),
                                  {colours[i].r, colours[i].g, colours[i].b, colours[i].a});
    if (StreamingFromLightThread()) {
        ShowLiveColours();
        return kResultOk;
    }
    return CDeviceBase::RefreshLighting();
}

LinkResult CStreamedLightDevice::StreamKeyColours() {
    if (Link().LongTimeouts())
        return kResultOk;
    std::vector<light::Rgba> colours;
    colours.reserve(KeyColours().size());
    for (const KeyColour& c : KeyColours())
        colours.push_back({c.red, c.green, c.blue, c.alpha});
    return SendStreamFrame([this, colours] { return SendLiveColours(colours); });
}

bool CStreamedLightDevice::StreamFromLightThread(bool on) {
    if (!on || !m_lightThread->Running()) {
        m_lightThread->SetFrameSink({}, std::chrono::milliseconds(kLiveFramePeriodMs));
        return false;
    }
    m_lightThread->SetFrameSink(
        [this](light::LightThreadClock::TimePoint due) {
            if (!IsLiveLighting() || Link().LongTimeouts())
                return;
            NoteStreamSend(due);
            (void)SendLiveColours(FrameColours()); // a lost frame is followed by the next
        },
        std::chrono::milliseconds(kLiveFramePeriodMs));
    return true;
}

LinkResult CStreamedLightDevice::SendLiveColours(const std::vector<light::Rgba>& colours) {
    std::array<uint8_t, kLiveLightingBytes> buffer{};
    const size_t count = std::min<size_t>(colours.size(), static_cast<size_t>(KeyCount()));
    for (size_t i = 0; i < count && 3 * i + 2 < buffer.size(); ++i) {
        buffer[3 * i] = static_cast<uint8_t>((colours[i].r * colours[i].a) >> 8);
        buffer[3 * i + 1] = static_cast<uint8_t>((colours[i].g * colours[i].a) >> 8);
        buffer[3 * i + 2] = static_cast<uint8_t>((colours[i].b * colours[i].a) >> 8);
    }
    return Link().StreamLighting(buffer.data(), std::min(buffer.size(), 3 * static_cast<size_t>(KeyCount())));
}

void CStreamedLightDevice::StatusPoll() {
    CDeviceCommandLink& link = Link();
    if (!link.IsOpen())
        return;
    const bool wireless = link.LongTimeouts();
    RunTransfer("status", [this, wireless]() -> Continuation {
        DeviceStatusBytes status{};
        if (Link().ReadBlock(status.data(), status.size(), 0) != kResultOk)
            return nullptr;
        // The indicator shows the wireless state whatever the device sent in this byte.
        status[DeviceStatusRecord::kWireless] = wireless ? 1 : 0;
        return [this, status] {
            m_status = status;
            if (m_view)
                m_view->StatusChanged(status);
        };
    });
}

// ---- profile --------------------------------------------------------------------------------

void CStreamedLightDevice::ApplyProfileLighting() {
    CBasicProfiledata& profile = ProfileData();
    m_lightSettings = profile.GetLightInfo();
    m_lightEngine->SetLightSettings(m_lightSettings);
    m_lightEngine->SetLightList(profile.GetLightList());
    m_lightEngine->SetEffectFrames(profile.GetEffectFrames());
}

void CStreamedLightDevice::SetProfilePaths() {
    const std::string folder = DataFolder();
    if (folder.empty())
        return;
    CBasicProfiledata& profile = ProfileData();
    if (IsPlainFileName(ProfileName()))
        profile.SetProfilePath(folder + ProfileName() + ".Json");
    if (IsPlainFileName(LightingName()))
        profile.SetConfigPath(folder + LightingName() + ".config");
}

void CStreamedLightDevice::LoadProfile() {
    SetProfilePaths();
    CBasicProfiledata& profile = ProfileData();
    (void)profile.LoadFromFile(profile.GetProfilePath());
    ProfileLoaded();
    ApplyProfile();
}

void CStreamedLightDevice::RestoreDefaults() {
    SetProfilePaths();
    CBasicProfiledata& profile = ProfileData();
    const Json::Value document = LoadJson(profile.GetDefaultPath());
    Json::Value value;
    const auto index = static_cast<Json::ArrayIndex>(profile.GetIndex());
    if (document.isObject() && document["Device"].isArray() && index < document["Device"].size())
        value = document["Device"][index];
    profile.SetProfileValue(value);
    ProfileLoaded();
    ApplyProfile();
    SaveProfile();
    RefreshPage();
}

void CStreamedLightDevice::StoreProfile() {
    if (ProfileData().Save() == 1) {
        m_saveFailureTold = false;
    } else if (!m_saveFailureTold) {
        m_saveFailureTold = true;
        DebugLogf("%s: profile %s could not be saved", FolderName(m_family),
                  ProfileData().GetProfilePath().c_str());
    }
}

void CStreamedLightDevice::SetProfileIndex(int index) {
    CDeviceBase::SetProfileIndex(index);
    // Every profile file of the family holds its one device at element 0.
    ProfileData().SetIndex(0);
}

void CStreamedLightDevice::SetLightSettings(LightState state) {
    CDeviceBase::SetLightSettings(state);
    ProfileData().SetLightInfo(state);
    m_lightEngine->SetLightSettings(state);
}

void CStreamedLightDevice::RefreshNameLists() {
    m_lightNames = {};
    if (!DataFolder().empty())
        m_lightNames =
            ReadLightNameLists(FamilyIndex(m_family), DefaultLightNamesPath(), LightConfigPath(KindName()));
    if (m_view)
        m_view->LightNamesChanged(m_lightNames);
}

} // namespace nk7x
