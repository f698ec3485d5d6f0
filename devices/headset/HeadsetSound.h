// CHeadsetSound: the headset's sound settings as the page edits them: each user action reaches the
// audio chip, and what the chip took is kept in the profile (the sound stages, the preset slots and
// the named custom curves) and saved. Works on the page's thread; the chip may be absent.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "devices/headset/HeadsetSoundView.h"
#include "devices/headset/audio/AudioChip.h"
#include "profiles/HeadsetProfileData.h"

namespace nk7x {

class CHeadsetSound {
  public:
    // Results of SaveCustomEq and RenameCustomEq.
    static constexpr int kSaved = 1;
    static constexpr int kNameTaken = 0;
    static constexpr int kNothingToSave = -1;

    // `save` stores the profile file; `chip` and `view` may be null and can be set later.
    CHeadsetSound(CHs6533Profiledata& profile, std::function<void()> save);

    void SetChip(AudioChip* chip) { m_chip = chip; }
    void SetView(IHeadsetSoundView* view) { m_view = view; }

    // The chip's present state into the profile's fields (not saved): at connection, so that the
    // page shows what the headset does now.
    void ReadAudioState();
    // The profile's settings to the chip: after a profile switch or a reset.
    void ApplyProfile();
    // Both panels from the profile, in a fixed order, without notifications.
    void Refresh();

    // User actions. Volumes are 0..100; a refused write keeps the stored setting and shows it again.
    void SetMicVolume(int value);
    void ToggleMicMute();
    void SetMonitorVolume(int value);
    void ToggleMonitorMute();
    void SetMagicEnabled(bool on);
    void SelectMagicVoice(int choice);
    void SelectEqPreset(int eqType, int customSelection);
    void SetEqBand(int band, int value);
    void SelectCustomEq(int index);
    // `name` empty: the selected curve takes `bands`. Otherwise a new curve of that name.
    int SaveCustomEq(const std::string& name, const EqCurve& bands, int selection);
    int RenameCustomEq(int selection, const std::string& name);
    void DeleteCustomEq(int selection);

    const HeadsetSystemSetStages& Stages() const { return m_stages; }
    const EqCurve& Bands() const { return m_bands; }
    const std::vector<std::string>& CustomNames() const { return m_names; }
    bool MicMuted() const { return m_micMuted; }
    bool MonitorMuted() const { return m_monitorMuted; }

    // The profile's stages and curve names taken into this object (after a load).
    void TakeProfile();

  private:
    bool Supports(Feature feature) const { return m_chip && m_chip->Supports(feature); }
    void Store();
    bool NameTaken(const std::string& name, int except) const;
    void ShowBands();
    EqCurve CustomCurve(int index);

    CHs6533Profiledata& m_profile;
    std::function<void()> m_save;
    AudioChip* m_chip = nullptr;
    IHeadsetSoundView* m_view = nullptr;

    HeadsetSystemSetStages m_stages;
    EqCurve m_bands{};
    std::vector<std::string> m_names;
    bool m_micMuted = false;
    bool m_monitorMuted = false;
};

} // namespace nk7x
