// CBrindovaHS6533Device: the headset's device page. It owns the headset's device object, draws the
// headset with the live colours of its 13 LEDs, holds the profile and lighting panels and the two
// sound panels, and reaches the headset's sound through its chip library or its sound card's mixer.
#pragma once

#include <memory>

#include "devices/headset/HeadsetDevice.h"
#include "devices/headset/HeadsetSound.h"
#include "devices/headset/audio/HeadsetAudio.h"
#include "panels/pages/PageWithView.h"
#include "panels/sound/HeadsetSoundActions.h"

namespace nk7x {

class CMagicControlUI;
class CVoice6533ControlUI;

class CBrindovaHS6533Device : public CPageWithView<IHeadsetView>,
                              public IHeadsetSoundView,
                              public IHeadsetSoundActions {
    Q_OBJECT
  public:
    static constexpr int kLedCount = kHeadsetLedCount;
    // The page's views: lighting, sound, voice effect.
    static constexpr int kTabCount = 3;

    explicit CBrindovaHS6533Device(QWidget* parent = nullptr);
    ~CBrindovaHS6533Device() override;

    static QString ClassName() { return QStringLiteral("BrindovaHS6533Device"); }

    CHeadsetDevice& Headset() { return *m_headset; }
    CHeadsetSound& Sound() { return m_sound; }
    // Null before InitAudio.
    const HeadsetAudio* Audio() const { return m_audio.get(); }
    CMagicControlUI* MagicPanel() const;
    CVoice6533ControlUI* VoicePanel() const;
    PageParts Parts() override;

    // BuildPage, then InitAudio with the program's own library folder and the sound cards.
    void LoadContent() override;
    void BuildPage();
    // Decides how the headset's sound is reached (its USB ids are the page's identity) and shows
    // on the panels what the headset can do. Tests give other sources.
    void InitAudio(HeadsetAudio::Sources sources = {});
    void ShowSettingTab(int tab);
    void Shutdown() override;
    void OnDeviceRemoved() override;
    int ConnectsDone() const { return m_connectsDone; }

    // IStreamedLightView / IMousePadView
    void LightNamesChanged(const LightNameLists& names) override;
    void StatusChanged(const DeviceStatusBytes& status) override;
    void PadLightChanged(const LightState& light) override;
    void PadWriteFailed(LinkResult result) override;
    // IHeadsetView
    void SoundConnected() override;
    void SoundProfileLoaded() override;
    void SoundRefresh() override;

    // IHeadsetSoundView: the sound panels.
    void ShowMagicEnabled(bool on) override;
    void ShowMagicType(int choice) override;
    void ShowMicOn(bool on) override;
    void SetMicSlider(int value) override;
    void ShowMonitorOn(bool on) override;
    void SetMonitorSlider(int value) override;
    void ShowEqType(int eqType) override;
    void SetCustomEqMode(bool on) override;
    void SetBandValue(int band, int value) override;
    void ClearCustomEqNames() override;
    void AddCustomEqName(const std::string& name) override;
    void RemoveCustomEqItem(int index) override;
    void RenameCustomEqItem(int index, const std::string& name) override;
    void SelectCustomEqItem(int index) override;

    // IHeadsetSoundActions: what the routes call; values come from the panels.
    void SetMagicEnabled() override;
    void SelectMagicVoice(int choice) override;
    void ToggleMicMute() override;
    void ToggleMonitorMute() override;
    void SelectEqPreset(int eqType) override;
    void SetMicVolume() override;
    void SetMonitorVolume() override;
    void SetEqBand(int band) override;
    void SelectCustomEq() override;
    int SaveCustomEq() override;
    int RenameCustomEq() override;
    void DeleteCustomEq() override;

  private:
    class PageHeadset;
    void ShowAudioSupport();
    // The chip library's start-up failures as message boxes, each once.
    void ShowChipNotices();

    CHeadsetDevice* m_headset = nullptr; // owned by the base as its device
    CHeadsetSound m_sound;
    std::unique_ptr<HeadsetAudio> m_audio;
    HeadsetAudio::Sources m_audioSources;
    // The chip library's start-up notices already shown (each once per run of the program).
    std::vector<ChipLibrary::Notice> m_noticesShown;
    QPointer<CMagicControlUI> m_magicPanel;
    QPointer<CVoice6533ControlUI> m_voicePanel;
    int m_connectsDone = 0;
    bool m_tabsWired = false;
};

} // namespace nk7x
