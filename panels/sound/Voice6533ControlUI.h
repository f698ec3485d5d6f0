// CVoice6533ControlUI: the headset's sound panel: microphone and monitoring volume and mute, and
// the equaliser (its type, its ten bands over a chart, and the named custom curves). It only shows
// values and reports what the user does as its controls' notifications; the headset page decides
// what they do (through SoundRoutes).
#pragma once

#include "devices/headset/HeadsetTables.h"
#include "devices/headset/audio/AudioChip.h"
#include "link/DeviceKind.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <array>

class QAbstractButton;
class QAbstractSlider;
class QComboBox;
class QLabel;
class QLineEdit;

namespace nk7x {

class EqChartView;
class LanguageTexts;

// The layout class of the panel's root, the layout item class whose content builds it, and the
// layout file.
inline constexpr const char* kVoice6533ControlClass = "Voice6533Control";
inline constexpr const char* kVoice6533ContentClass = "Voice6533SetControlUI";
inline constexpr const char* kVoice6533ControlLayout = "XML\\CustomControlXML\\Voice6533Control.xml";

class CVoice6533ControlUI : public QWidget {
    Q_OBJECT
  public:
    static constexpr int kEqTypeCount = kEqTypeCustom;
    static constexpr int kBandCount = kEqBandCount;
    static constexpr int kBandMin = -20;
    static constexpr int kBandMax = 20;
    static constexpr int kVolumeMax = 100;

    explicit CVoice6533ControlUI(QWidget* parent = nullptr);

    void SetLayoutStyle(DeviceKind kind) { m_style = kind; }
    DeviceKind LayoutStyle() const { return m_style; }

    // Texts of the language for what the panel words itself (the notices under controls the
    // headset lacks, the empty curve list); null shows the keys. Borrowed; rewords what is shown.
    void SetLanguageTexts(const LanguageTexts* texts);

    // A control group whose feature is missing is not offered: the equaliser gives way to a notice,
    // a missing volume or mute control is disabled with a note, and with none of them the panel
    // says that the headset's sound controls were not found. Until this is called every feature
    // counts as there.
    void SetFeatureSupport(const std::array<bool, kFeatureCount>& supported);
    bool Supports(Feature feature) const { return m_supported[static_cast<std::size_t>(feature)]; }

    // The custom curve controls, enabled only while the equaliser type is the custom curve.
    void SetCustomEqMode(bool on);
    // Shows type 1..13 as the only one selected, without notifications; any other value clears
    // all thirteen and is kept as 0.
    void ShowEqType(int eqType);
    int EqType() const { return m_eqType; }

    // Band 0..9, shown within -20..20 without a notification. GetBandValue is -1 for a band
    // without slider (which -1 as a value cannot tell apart: HasBand can).
    void SetBandValue(int band, int value);
    int GetBandValue(int band) const;
    bool HasBand(int band) const;

    // Mute switches (selected: sound on) and volumes 0..100, shown without notifications. The
    // volumes are -1 and the switches off when their control is missing.
    void ShowMicOn(bool on);
    bool IsMicOn() const;
    void ShowMonitorOn(bool on);
    bool IsMonitorOn() const;
    void SetMicSlider(int value);
    int GetMicSlider() const;
    void SetMonitorSlider(int value);
    int GetMonitorSlider() const;

    // The name field for a new curve or a rename; empty when missing.
    void SetCustomEqNameText(const QString& text);
    QString GetCustomEqNameText() const;

    // The named custom curves in profile order. Names are shown as written, never looked up as
    // language keys. Selection -1 (none, or no list), count 0, name empty when missing.
    void AddCustomEqName(const QString& name);
    int GetCustomEqSelection() const;
    int GetCustomEqCount() const;
    QString GetCustomEqName(int index) const;
    // Selects item `index` without a notification (-1 or an index outside the list: none) and
    // empties the name field.
    void SelectCustomEqItem(int index);
    void RemoveCustomEqItem(int index);
    void RenameCustomEqItem(int index, const QString& name);
    void ClearCustomEqNames();

    EqChartView* Chart() const;

  protected:
    void showEvent(QShowEvent* event) override;

  private:
    struct Volume {
        QPointer<QAbstractButton> option;
        QPointer<QAbstractSlider> slider;
        QPointer<QLabel> value;
        QPointer<QLabel> notice;
    };

    // Finds the controls once, on first use, and ties them together (value captions, chart); a
    // missing control stays null.
    void LookUp() const;
    void LookUpVolume(Volume& v, const char* prefix) const;
    QString Text(const QString& key) const;
    void SetVolume(const Volume& v, int value);
    void ShowOn(const Volume& v, bool on);
    void ShowVolumeCaption(const Volume& v) const;
    void ShowVolumeSupport(const Volume& v, Feature volume, Feature mute);
    void SetNotice(QLabel* notice, const char* key);
    // Save, rename and delete are offered only when they have something to work on.
    void UpdateCurveButtons() const;

    DeviceKind m_style = DeviceKind::Headset;
    const LanguageTexts* m_texts = nullptr;
    std::array<bool, kFeatureCount> m_supported;
    int m_eqType = 0;

    mutable bool m_lookedUp = false;
    mutable Volume m_mic;
    mutable Volume m_monitor;
    mutable std::array<QPointer<QAbstractButton>, kEqTypeCount> m_eqOptions;
    mutable std::array<QPointer<QAbstractSlider>, kBandCount> m_bands;
    mutable QPointer<EqChartView> m_chart;
    mutable QPointer<QWidget> m_customLayout;
    mutable QPointer<QComboBox> m_combo;
    mutable QPointer<QLineEdit> m_nameEdit;
    mutable QPointer<QAbstractButton> m_saveButton;
    mutable QPointer<QAbstractButton> m_renameButton;
    mutable QPointer<QAbstractButton> m_deleteButton;
    mutable QPointer<QWidget> m_volumeRow;
    mutable QPointer<QWidget> m_eqSection;
    mutable QPointer<QWidget> m_eqNotice;
    mutable QPointer<QWidget> m_noneNotice;
};

} // namespace nk7x
