#include "devices/headset/HeadsetSound.h"

#include <algorithm>
#include <cctype>

#include "platform/DebugLog.h"

namespace nk7x {
namespace {

EqCurve ToCurve(const std::vector<int32_t>& values) {
    EqCurve curve{};
    for (std::size_t b = 0; b < curve.size() && b < values.size(); ++b)
        curve[b] = values[b];
    return curve;
}

std::vector<int32_t> ToValues(const EqCurve& curve) {
    return {curve.begin(), curve.end()};
}

std::string Trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos)
        return {};
    const auto last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

// Letter case is ignored for the Latin letters; other characters compare as written.
bool SameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

} // namespace

CHeadsetSound::CHeadsetSound(CHs6533Profiledata& profile, std::function<void()> save)
    : m_profile(profile), m_save(std::move(save)) {}

void CHeadsetSound::TakeProfile() {
    m_stages = m_profile.GetSystemSetStages();
    m_names = m_profile.GetCustomEqNames();
    m_micMuted = m_stages.micInSelected == 0;
    m_monitorMuted = m_stages.micMonitorSelected == 0;
    // The curve the headset plays for the stored type: a preset's table, or the chosen custom curve.
    m_bands = {};
    if (const auto preset = EqPresetCurve(m_stages.eqType))
        m_bands = *preset;
    else if (m_stages.eqType == kEqTypeCustom && m_stages.customEqIndex >= 0 &&
             m_stages.customEqIndex < static_cast<int>(m_names.size()))
        m_bands = CustomCurve(m_stages.customEqIndex);
}

void CHeadsetSound::ReadAudioState() {
    TakeProfile();
    if (!m_chip)
        return;
    const AudioState state = m_chip->ReadState();
    if (state.micMuted) {
        m_micMuted = *state.micMuted;
        m_stages.micInSelected = m_micMuted ? 0 : 1;
    }
    if (state.micVolume)
        m_stages.micInValue = std::clamp(*state.micVolume, 0, 100);
    if (state.monitorMuted) {
        m_monitorMuted = *state.monitorMuted;
        m_stages.micMonitorSelected = m_monitorMuted ? 0 : 1;
    }
    if (state.monitorVolume)
        m_stages.micMonitorValue = std::clamp(*state.monitorVolume, 0, 100);
    if (Supports(Feature::VoiceEffect)) {
        if (state.voiceEffectOn)
            m_stages.voiceEffectEnabled = *state.voiceEffectOn ? 1 : 0;
        if (state.voiceEffect && *state.voiceEffect >= 1 && *state.voiceEffect <= 4)
            m_stages.voiceEffectType = *state.voiceEffect;
    }
    // Kept in the profile object for the page; written to the file with the next change.
    m_profile.SetSystemSetStages(m_stages);
}

void CHeadsetSound::ApplyProfile() {
    TakeProfile();
    if (!m_chip)
        return;
    int refused = 0;
    auto take = [&refused](bool ok) { refused += ok ? 0 : 1; };
    if (Supports(Feature::MicVolume))
        take(m_chip->SetMicVolume(std::clamp(m_stages.micInValue, 0, 100)));
    if (Supports(Feature::MicMute))
        take(m_chip->SetMicMuted(m_micMuted));
    if (Supports(Feature::MonitorVolume))
        take(m_chip->SetMonitorVolume(std::clamp(m_stages.micMonitorValue, 0, 100)));
    if (Supports(Feature::MonitorMute))
        take(m_chip->SetMonitorMuted(m_monitorMuted));
    if (Supports(Feature::VoiceEffect)) {
        take(m_chip->SetVoiceEffectEnabled(m_stages.voiceEffectEnabled != 0));
        if (m_stages.voiceEffectType >= 1 && m_stages.voiceEffectType <= 4)
            take(m_chip->SelectVoiceEffect(m_stages.voiceEffectType));
    }
    if (Supports(Feature::Equaliser) && m_stages.eqType != kEqTypeNone)
        take(m_chip->ApplyEqCurve(m_bands));
    if (refused > 0)
        DebugLogf("headset: %d sound settings of the profile were refused by the headset", refused);
}

void CHeadsetSound::ShowBands() {
    if (!m_view)
        return;
    for (int b = 0; b < kEqBandCount; ++b)
        m_view->SetBandValue(b, m_bands[static_cast<std::size_t>(b)]);
}

void CHeadsetSound::Refresh() {
    if (!m_view)
        return;
    m_view->ShowMagicEnabled(m_stages.voiceEffectEnabled != 0);
    m_view->ShowMagicType(m_stages.voiceEffectType);
    m_view->ShowMicOn(m_stages.micInSelected != 0);
    m_view->SetMicSlider(m_stages.micInValue);
    m_view->ShowMonitorOn(m_stages.micMonitorSelected != 0);
    m_view->SetMonitorSlider(m_stages.micMonitorValue);
    m_view->ShowEqType(m_stages.eqType);
    m_view->ClearCustomEqNames();
    for (const std::string& name : m_names)
        m_view->AddCustomEqName(name);
    m_view->SelectCustomEqItem(
        m_stages.customEqIndex < static_cast<int>(m_names.size()) ? m_stages.customEqIndex : -1);
    m_view->SetCustomEqMode(m_stages.eqType == kEqTypeCustom);
    ShowBands();
}

void CHeadsetSound::Store() {
    m_profile.SetSystemSetStages(m_stages);
    if (m_save)
        m_save();
}

// ---- microphone and monitoring --------------------------------------------------------------

void CHeadsetSound::SetMicVolume(int value) {
    value = std::clamp(value, 0, 100);
    if (Supports(Feature::MicVolume) && m_chip->SetMicVolume(value)) {
        m_stages.micInValue = value;
        Store();
    } else if (m_view) {
        m_view->SetMicSlider(m_stages.micInValue);
    }
}

void CHeadsetSound::ToggleMicMute() {
    const bool muted = !m_micMuted;
    if (Supports(Feature::MicMute) && m_chip->SetMicMuted(muted)) {
        m_micMuted = muted;
        m_stages.micInSelected = muted ? 0 : 1;
        Store();
    }
    // The switch always ends showing what the headset does.
    if (m_view)
        m_view->ShowMicOn(!m_micMuted);
}

void CHeadsetSound::SetMonitorVolume(int value) {
    value = std::clamp(value, 0, 100);
    if (Supports(Feature::MonitorVolume) && m_chip->SetMonitorVolume(value)) {
        m_stages.micMonitorValue = value;
        Store();
    } else if (m_view) {
        m_view->SetMonitorSlider(m_stages.micMonitorValue);
    }
}

void CHeadsetSound::ToggleMonitorMute() {
    const bool muted = !m_monitorMuted;
    if (Supports(Feature::MonitorMute) && m_chip->SetMonitorMuted(muted)) {
        m_monitorMuted = muted;
        m_stages.micMonitorSelected = muted ? 0 : 1;
        Store();
    }
    if (m_view)
        m_view->ShowMonitorOn(!m_monitorMuted);
}

// ---- voice effect ---------------------------------------------------------------------------

void CHeadsetSound::SetMagicEnabled(bool on) {
    if (Supports(Feature::VoiceEffect) && m_chip->SetVoiceEffectEnabled(on)) {
        m_stages.voiceEffectEnabled = on ? 1 : 0;
        Store();
    } else if (m_view) {
        m_view->ShowMagicEnabled(m_stages.voiceEffectEnabled != 0);
    }
}

void CHeadsetSound::SelectMagicVoice(int choice) {
    if (choice < 1 || choice > 4)
        return;
    if (Supports(Feature::VoiceEffect) && m_chip->SelectVoiceEffect(choice)) {
        m_stages.voiceEffectType = choice;
        Store();
    }
    if (m_view)
        m_view->ShowMagicType(m_stages.voiceEffectType);
}

// ---- equaliser ------------------------------------------------------------------------------

EqCurve CHeadsetSound::CustomCurve(int index) {
    return ToCurve(m_profile.GetCustomEqValues(index));
}

void CHeadsetSound::SelectEqPreset(int eqType, int customSelection) {
    if (eqType == kEqTypeCustom) {
        m_stages.eqType = kEqTypeCustom;
        if (m_view)
            m_view->SetCustomEqMode(true);
        SelectCustomEq(customSelection);
        Store();
        return;
    }
    const std::optional<EqCurve> preset = EqPresetCurve(eqType);
    if (!preset)
        return;
    if (Supports(Feature::Equaliser) && !m_chip->ApplyEqCurve(*preset))
        DebugLogf("headset: equaliser preset %d not fully taken by the headset", eqType);
    m_bands = *preset;
    ShowBands();
    m_stages.eqType = eqType;
    if (m_view) {
        m_view->ShowEqType(eqType);
        m_view->SetCustomEqMode(false);
    }
    m_profile.SetEqValues(eqType, ToValues(m_bands));
    Store();
}

void CHeadsetSound::SetEqBand(int band, int value) {
    if (band < 0 || band >= kEqBandCount)
        return;
    if (m_stages.eqType != kEqTypeCustom) {
        // Editing a preset's band makes an unsaved custom curve of it.
        m_stages.eqType = kEqTypeCustom;
        if (m_view) {
            m_view->ShowEqType(kEqTypeCustom);
            m_view->SelectCustomEqItem(-1);
            m_view->SetCustomEqMode(true);
        }
    }
    if (Supports(Feature::Equaliser))
        (void)m_chip->SetEqBand(band, value);
    m_bands[static_cast<std::size_t>(band)] = value;
}

void CHeadsetSound::SelectCustomEq(int index) {
    if (index < 0 || index >= static_cast<int>(m_names.size()))
        return;
    m_bands = CustomCurve(index);
    if (Supports(Feature::Equaliser) && !m_chip->ApplyEqCurve(m_bands))
        DebugLog("headset: custom equaliser curve not fully taken by the headset");
    ShowBands();
    m_stages.customEqIndex = index;
    Store();
}

bool CHeadsetSound::NameTaken(const std::string& name, int except) const {
    for (std::size_t i = 0; i < m_names.size(); ++i)
        if (static_cast<int>(i) != except && SameName(m_names[i], name))
            return true;
    return false;
}

int CHeadsetSound::SaveCustomEq(const std::string& typedName, const EqCurve& bands, int selection) {
    const std::string name = Trimmed(typedName);
    if (name.empty()) {
        if (selection < 0 || selection >= static_cast<int>(m_names.size()))
            return kNothingToSave;
        m_profile.SetCustomEqValues(selection, ToValues(bands));
        m_bands = bands;
        m_stages.customEqIndex = selection;
        Store();
        return kSaved;
    }
    if (static_cast<int>(m_names.size()) >= kMaxCustomEqCurves)
        return kNothingToSave;
    if (NameTaken(name, -1))
        return kNameTaken;
    m_names.push_back(name);
    const int index = static_cast<int>(m_names.size()) - 1;
    m_profile.SetCustomEqNames(m_names);
    m_profile.SetCustomEqValues(index, ToValues(bands));
    m_bands = bands;
    m_stages.eqType = kEqTypeCustom;
    m_stages.customEqIndex = index;
    if (m_view) {
        m_view->AddCustomEqName(name);
        m_view->SelectCustomEqItem(index);
    }
    Store();
    return kSaved;
}

int CHeadsetSound::RenameCustomEq(int selection, const std::string& typedName) {
    const std::string name = Trimmed(typedName);
    if (name.empty() || selection < 0 || selection >= static_cast<int>(m_names.size()))
        return kNothingToSave;
    if (NameTaken(name, selection))
        return kNameTaken;
    m_names[static_cast<std::size_t>(selection)] = name;
    m_profile.SetCustomEqNames(m_names);
    if (m_view) {
        m_view->RenameCustomEqItem(selection, name);
        m_view->SelectCustomEqItem(selection);
    }
    Store();
    return kSaved;
}

void CHeadsetSound::DeleteCustomEq(int selection) {
    if (selection < 0 || selection >= static_cast<int>(m_names.size()))
        return;
    (void)m_profile.RemoveCustomEq(selection);
    m_names.erase(m_names.begin() + selection);
    if (m_view)
        m_view->RemoveCustomEqItem(selection);
    if (m_names.empty()) {
        m_stages.eqType = 1;
        m_stages.customEqIndex = 0;
        m_bands = ToCurve(m_profile.GetEqValues(1));
        if (m_view) {
            m_view->ShowEqType(1);
            m_view->SetCustomEqMode(false);
        }
    } else {
        m_stages.customEqIndex = 0;
        m_bands = CustomCurve(0);
        if (m_view)
            m_view->SelectCustomEqItem(0);
    }
    ShowBands();
    // The headset plays what the sliders now show, not the curve that was deleted.
    if (Supports(Feature::Equaliser))
        (void)m_chip->ApplyEqCurve(m_bands);
    Store();
}

} // namespace nk7x
