#include "panels/pages/BrindovaHS6533Device.h"

#include "devices/discovery/DeviceTables.h"
#include "link/DeviceKind.h"
#include "panels/MpDevicePowerUI.h"
#include "panels/light/LightControlUI.h"
#include "panels/sound/MagicControlUI.h"
#include "panels/sound/SoundPanels.h"
#include "panels/sound/Voice6533ControlUI.h"
#include "platform/DebugLog.h"
#include "ui/ControlFactory.h"
#include "ui/LanguageTexts.h"
#include "ui/UiWindow.h"
#include "ui/controls/DeviceKeyButtonUI.h"
#include "windows/MessageBox.h"

#include <QAbstractButton>

#include <QLabel>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <algorithm>

namespace nk7x {
namespace {

constexpr const char* kLedContainer = "hs6533_device_key_light";

} // namespace

// The headset object of the page: the page learns when a connection's work is done.
class CBrindovaHS6533Device::PageHeadset final : public CHeadsetDevice {
  public:
    explicit PageHeadset(CBrindovaHS6533Device& page) : CHeadsetDevice(kLedCount), m_page(page) {}
    ~PageHeadset() override { StopKeyEventThread(); }

  protected:
    void ConnectFinished() override {
        ++m_page.m_connectsDone;
        emit m_page.connectDone();
    }

  private:
    CBrindovaHS6533Device& m_page;
};

CBrindovaHS6533Device::CBrindovaHS6533Device(QWidget* parent)
    : CPageWithView(std::make_unique<PageHeadset>(*this), parent),
      m_sound(static_cast<CHeadsetDevice&>(Device()).HeadsetProfile(), [this] { m_headset->SaveProfile(); }) {
    setObjectName(ClassName());
    m_headset = static_cast<CHeadsetDevice*>(&Device());
    m_headset->SetView(this);
    m_sound.SetView(this);
    ControlFactory& factory = ControlFactory::Instance();
    if (!factory.Knows(CDeviceKeyButtonUI::ClassName()))
        factory.Register(CDeviceKeyButtonUI::ClassName(),
                         [](QWidget* owner) { return new CDeviceKeyButtonUI(owner); });
    RegisterSoundPanels(factory);
}

CBrindovaHS6533Device::~CBrindovaHS6533Device() {
    m_headset->SetView(nullptr);
    m_sound.SetView(nullptr);
    StopDevice();
    m_sound.SetChip(nullptr);
}

void CBrindovaHS6533Device::Shutdown() {
    m_headset->StopLightThread();
    CBrindovaUSBDevice::Shutdown();
}

void CBrindovaHS6533Device::OnDeviceRemoved() {
    m_headset->StopLightThread();
}

CMagicControlUI* CBrindovaHS6533Device::MagicPanel() const {
    return m_magicPanel;
}

CVoice6533ControlUI* CBrindovaHS6533Device::VoicePanel() const {
    return m_voicePanel;
}

PageParts CBrindovaHS6533Device::Parts() {
    PageParts parts;
    parts.sound = this;
    parts.magic = MagicPanel();
    parts.voice = VoicePanel();
    return parts;
}

void CBrindovaHS6533Device::LoadContent() {
    BuildPage();
    InitAudio();
}

void CBrindovaHS6533Device::BuildPage() {
    ResetTables();
    CollectPictureButtons(QString::fromLatin1(kLedContainer), QStringLiteral("hs6533_led_text"));

    SetUpProfilePanel(DeviceKind::Headset, true);
    SetUpLightPanel(DeviceKind::Headset);
    m_magicPanel = findChild<CMagicControlUI*>();
    m_voicePanel = findChild<CVoice6533ControlUI*>();
    if (m_magicPanel)
        m_magicPanel->SetLayoutStyle(DeviceKind::Headset);
    if (m_voicePanel) {
        m_voicePanel->SetLayoutStyle(DeviceKind::Headset);
        m_voicePanel->SetLanguageTexts(Texts());
    }
    for (int t = 0; t < kTabCount && !m_tabsWired; ++t) {
        if (auto* tab = findChild<QAbstractButton*>(QStringLiteral("hs6533_device_seting_option_%1").arg(t)))
            connect(tab, &QAbstractButton::clicked, this, [this, t] { ShowSettingTab(t); });
    }
    m_tabsWired = true;
    ShowSettingTab(0);
    // The mode names, and the profile's settings before the headset is first seen.
    m_headset->LoadProfile();
    m_headset->RefreshPage();
}

void CBrindovaHS6533Device::ShowSettingTab(int tab) {
    if (tab < 0 || tab >= kTabCount)
        tab = 0;
    if (auto* pages = findChild<QStackedWidget*>(QStringLiteral("hs6533_option_layout")))
        pages->setCurrentIndex(std::min(tab, pages->count() - 1));
    if (auto* option =
            findChild<QAbstractButton*>(QStringLiteral("hs6533_device_seting_option_%1").arg(tab))) {
        const QSignalBlocker quiet(option);
        option->setChecked(true);
    }
}

// ---- sound backend --------------------------------------------------------------------------

void CBrindovaHS6533Device::InitAudio(HeadsetAudio::Sources sources) {
    m_sound.SetChip(nullptr);
    m_audio.reset();
    m_audioSources = std::move(sources);
    const DeviceSlot& identity = m_headset->GetIdentity();
    m_audio = std::make_unique<HeadsetAudio>(identity.vendorId, identity.productId, m_audioSources);
    DebugLogf("headset %04x:%04x: sound through %s (%s)", identity.vendorId, identity.productId,
              AudioBackendName(m_audio->Backend()), m_audio->Report().c_str());
    m_sound.SetChip(m_audio->Chip());
    ShowAudioSupport();
    ShowChipNotices();
}

void CBrindovaHS6533Device::ShowChipNotices() {
    const ChipLibrary* library = m_audio ? m_audio->Library() : nullptr;
    if (!library)
        return;
    for (ChipLibrary::Notice notice : library->Notices()) {
        if (std::find(m_noticesShown.begin(), m_noticesShown.end(), notice) != m_noticesShown.end())
            continue;
        m_noticesShown.push_back(notice);
        DebugLogf("headset: %s", ChipLibrary::NoticeText(notice));
        // After the current event: the library starts while the page is built or connected.
        RunOnPage([this, notice] {
            ShowMessage(window(), QString(), QString::fromLatin1(ChipLibrary::NoticeText(notice)),
                        CMsgWnd::kDefaultDpi, false, 0 /* the confirm button alone */);
        });
    }
}

void CBrindovaHS6533Device::ShowAudioSupport() {
    std::array<bool, kFeatureCount> supported{};
    for (int f = 0; f < kFeatureCount; ++f)
        supported[static_cast<std::size_t>(f)] = m_audio && m_audio->Supports(static_cast<Feature>(f));
    if (m_magicPanel)
        m_magicPanel->SetFeatureSupport(supported);
    if (m_voicePanel)
        m_voicePanel->SetFeatureSupport(supported);
    if (auto* source = findChild<QLabel*>(QStringLiteral("hs6533_sound_source"))) {
        const AudioBackend backend = m_audio ? m_audio->Backend() : AudioBackend::None;
        const char* key = backend == AudioBackend::ChipLibrary ? "hs6533_sound_source_library"
                          : backend == AudioBackend::Mixer     ? "hs6533_sound_source_mixer"
                                                               : "hs6533_sound_source_none";
        source->setText(Text(QString::fromLatin1(key)));
        source->setToolTip(QString::fromStdString(m_audio ? m_audio->Report() : std::string()));
    }
}

void CBrindovaHS6533Device::SoundConnected() {
    // The sound card may have come up after the page was made: look again while nothing was found.
    if (!m_audio || m_audio->Backend() == AudioBackend::None)
        InitAudio(m_audioSources);
    m_sound.ReadAudioState();
}

void CBrindovaHS6533Device::SoundProfileLoaded() {
    m_sound.ApplyProfile();
}

void CBrindovaHS6533Device::SoundRefresh() {
    ShowAudioSupport(); // its notices follow the language too
    m_sound.Refresh();
}

// ---- lighting, status -----------------------------------------------------------------------

void CBrindovaHS6533Device::PadLightChanged(const LightState& light) {
    if (m_lightPanel)
        m_lightPanel->ShowLightSettings(light);
}

void CBrindovaHS6533Device::LightNamesChanged(const LightNameLists& names) {
    FillLightModes(names.modes);
}

void CBrindovaHS6533Device::PadWriteFailed(LinkResult result) {
    ShowResultNotice(QStringLiteral("hs6533_write_notice"), QStringLiteral("hs6533_write_failed_settings"),
                     result);
}

void CBrindovaHS6533Device::StatusChanged(const DeviceStatusBytes& status) {
    ShowPowerStatus(status.data(), status.size());
}

// ---- the sound panels -----------------------------------------------------------------------

void CBrindovaHS6533Device::ShowMagicEnabled(bool on) {
    if (m_magicPanel)
        m_magicPanel->ShowMagicEnabled(on);
}
void CBrindovaHS6533Device::ShowMagicType(int choice) {
    if (m_magicPanel)
        m_magicPanel->ShowMagicType(choice);
}
void CBrindovaHS6533Device::ShowMicOn(bool on) {
    if (m_voicePanel)
        m_voicePanel->ShowMicOn(on);
}
void CBrindovaHS6533Device::SetMicSlider(int value) {
    if (m_voicePanel)
        m_voicePanel->SetMicSlider(value);
}
void CBrindovaHS6533Device::ShowMonitorOn(bool on) {
    if (m_voicePanel)
        m_voicePanel->ShowMonitorOn(on);
}
void CBrindovaHS6533Device::SetMonitorSlider(int value) {
    if (m_voicePanel)
        m_voicePanel->SetMonitorSlider(value);
}
void CBrindovaHS6533Device::ShowEqType(int eqType) {
    if (m_voicePanel)
        m_voicePanel->ShowEqType(eqType);
}
void CBrindovaHS6533Device::SetCustomEqMode(bool on) {
    if (m_voicePanel)
        m_voicePanel->SetCustomEqMode(on);
}
void CBrindovaHS6533Device::SetBandValue(int band, int value) {
    if (m_voicePanel)
        m_voicePanel->SetBandValue(band, value);
}
void CBrindovaHS6533Device::ClearCustomEqNames() {
    if (m_voicePanel)
        m_voicePanel->ClearCustomEqNames();
}
void CBrindovaHS6533Device::AddCustomEqName(const std::string& name) {
    if (m_voicePanel)
        m_voicePanel->AddCustomEqName(QString::fromStdString(name));
}
void CBrindovaHS6533Device::RemoveCustomEqItem(int index) {
    if (m_voicePanel)
        m_voicePanel->RemoveCustomEqItem(index);
}
void CBrindovaHS6533Device::RenameCustomEqItem(int index, const std::string& name) {
    if (m_voicePanel)
        m_voicePanel->RenameCustomEqItem(index, QString::fromStdString(name));
}
void CBrindovaHS6533Device::SelectCustomEqItem(int index) {
    if (m_voicePanel)
        m_voicePanel->SelectCustomEqItem(index);
}

// ---- user actions ---------------------------------------------------------------------------

void CBrindovaHS6533Device::SetMagicEnabled() {
    m_sound.SetMagicEnabled(m_magicPanel && m_magicPanel->IsMagicEnabled());
}
void CBrindovaHS6533Device::SelectMagicVoice(int choice) {
    m_sound.SelectMagicVoice(choice);
}
void CBrindovaHS6533Device::ToggleMicMute() {
    m_sound.ToggleMicMute();
}
void CBrindovaHS6533Device::ToggleMonitorMute() {
    m_sound.ToggleMonitorMute();
}
void CBrindovaHS6533Device::SelectEqPreset(int eqType) {
    m_sound.SelectEqPreset(eqType, m_voicePanel ? m_voicePanel->GetCustomEqSelection() : -1);
}
void CBrindovaHS6533Device::SetMicVolume() {
    if (m_voicePanel && m_voicePanel->GetMicSlider() >= 0)
        m_sound.SetMicVolume(m_voicePanel->GetMicSlider());
}
void CBrindovaHS6533Device::SetMonitorVolume() {
    if (m_voicePanel && m_voicePanel->GetMonitorSlider() >= 0)
        m_sound.SetMonitorVolume(m_voicePanel->GetMonitorSlider());
}
void CBrindovaHS6533Device::SetEqBand(int band) {
    if (m_voicePanel)
        m_sound.SetEqBand(band, m_voicePanel->GetBandValue(band));
}
void CBrindovaHS6533Device::SelectCustomEq() {
    if (m_voicePanel)
        m_sound.SelectCustomEq(m_voicePanel->GetCustomEqSelection());
}
int CBrindovaHS6533Device::SaveCustomEq() {
    if (!m_voicePanel)
        return CHeadsetSound::kNothingToSave;
    EqCurve bands{};
    for (int b = 0; b < kEqBandCount; ++b)
        bands[static_cast<std::size_t>(b)] = m_voicePanel->GetBandValue(b);
    return m_sound.SaveCustomEq(m_voicePanel->GetCustomEqNameText().toStdString(), bands,
                                m_voicePanel->GetCustomEqSelection());
}
int CBrindovaHS6533Device::RenameCustomEq() {
    if (!m_voicePanel)
        return CHeadsetSound::kNothingToSave;
    return m_sound.RenameCustomEq(m_voicePanel->GetCustomEqSelection(),
                                  m_voicePanel->GetCustomEqNameText().toStdString());
}
void CBrindovaHS6533Device::DeleteCustomEq() {
    if (m_voicePanel)
        m_sound.DeleteCustomEq(m_voicePanel->GetCustomEqSelection());
}

} // namespace nk7x
