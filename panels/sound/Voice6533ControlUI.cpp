#include "panels/sound/Voice6533ControlUI.h"

#include "panels/sound/EqChartView.h"
#include "panels/sound/SoundPanelTexts.h"
#include "ui/LanguageTexts.h"
#include "ui/QuietControls.h"
#include "ui/UiWindow.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStyle>

namespace nk7x {
namespace {

constexpr const char* kMicPrefix = "6533_MicIn_";
constexpr const char* kMonitorPrefix = "6533_MicMoniter_";
constexpr const char* kEqOptionPrefix = "6533_eq_option_";
constexpr const char* kBandPrefix = "6533_eq_hz_slider_";
constexpr const char* kChartName = "6533_eq_chart";
constexpr const char* kCustomLayoutName = "custom_eq_option_layout";
constexpr const char* kComboName = "custom_eq_name_combo";
constexpr const char* kNameEditName = "custom_eq_name_edit";
constexpr const char* kSaveName = "hs_EQ_btn_save";
constexpr const char* kRenameName = "hs_EQ_btn_rename";
constexpr const char* kDeleteName = "hs_EQ_btn_delete";
// The boxes that give way to notices when the headset lacks their features.
constexpr const char* kVolumeRowName = "6533_volume_row";
constexpr const char* kEqSectionName = "6533_eq_section";
constexpr const char* kEqNoticeName = "6533_eq_notice";
constexpr const char* kNoneNoticeName = "6533_none_notice";

// A curve name is stored in the item's data as well as shown, so that what the page reads back is
// exactly what it put there.
constexpr int kNameRole = Qt::UserRole;

// Sets a range without the notifications a value clamped into it would raise.
void SetRangeQuietly(QAbstractSlider* slider, int lo, int hi) {
    if (!slider || (slider->minimum() == lo && slider->maximum() == hi))
        return;
    const QSignalBlocker quiet(slider);
    slider->setRange(lo, hi);
}

// Restyles a control after a property its style sheet selects on has changed.
void Repolish(QWidget* w) {
    if (!w)
        return;
    w->style()->unpolish(w);
    w->style()->polish(w);
    w->update();
}

} // namespace

CVoice6533ControlUI::CVoice6533ControlUI(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_StyledBackground, true);
    m_supported.fill(true);
}

QString CVoice6533ControlUI::Text(const QString& key) const {
    return m_texts ? m_texts->Text(key) : key;
}

void CVoice6533ControlUI::LookUpVolume(Volume& v, const char* prefix) const {
    auto* self = const_cast<CVoice6533ControlUI*>(this);
    auto find = [self, prefix](const char* what) {
        return UiWindow::FindSubControlByName(self, QString::fromLatin1(prefix) + QString::fromLatin1(what));
    };
    v.option = qobject_cast<QAbstractButton*>(find("option"));
    v.slider = qobject_cast<QAbstractSlider*>(find("slider"));
    v.value = qobject_cast<QLabel*>(find("value"));
    v.notice = qobject_cast<QLabel*>(find("notice"));
    SetRangeQuietly(v.slider, 0, kVolumeMax);
    // The caption follows the handle while the user drags, and the slider looks muted with the
    // sound off; neither raises anything.
    if (v.slider && v.value)
        connect(v.slider, &QAbstractSlider::valueChanged, self, [self, &v] { self->ShowVolumeCaption(v); });
    if (v.option)
        connect(v.option, &QAbstractButton::toggled, self, [self, &v] { self->ShowVolumeCaption(v); });
    ShowVolumeCaption(v);
}

void CVoice6533ControlUI::LookUp() const {
    if (m_lookedUp)
        return;
    m_lookedUp = true;
    auto* self = const_cast<CVoice6533ControlUI*>(this);
    auto find = [self](const QString& name) { return UiWindow::FindSubControlByName(self, name); };
    auto named = [&find](const char* name) { return find(QString::fromLatin1(name)); };
    LookUpVolume(m_mic, kMicPrefix);
    LookUpVolume(m_monitor, kMonitorPrefix);
    for (int t = 1; t <= kEqTypeCount; ++t)
        m_eqOptions[static_cast<std::size_t>(t - 1)] =
            qobject_cast<QAbstractButton*>(find(QString::fromLatin1(kEqOptionPrefix) + QString::number(t)));
    std::array<QAbstractSlider*, kBandCount> bands{};
    for (int b = 0; b < kBandCount; ++b) {
        auto* s = qobject_cast<QAbstractSlider*>(find(QString::fromLatin1(kBandPrefix) + QString::number(b)));
        SetRangeQuietly(s, kBandMin, kBandMax);
        m_bands[static_cast<std::size_t>(b)] = s;
        bands[static_cast<std::size_t>(b)] = s;
    }
    m_chart = qobject_cast<EqChartView*>(named(kChartName));
    if (m_chart)
        m_chart->SetBandSliders(bands);
    m_customLayout = named(kCustomLayoutName);
    m_combo = qobject_cast<QComboBox*>(named(kComboName));
    m_nameEdit = qobject_cast<QLineEdit*>(named(kNameEditName));
    m_saveButton = qobject_cast<QAbstractButton*>(named(kSaveName));
    m_renameButton = qobject_cast<QAbstractButton*>(named(kRenameName));
    m_deleteButton = qobject_cast<QAbstractButton*>(named(kDeleteName));
    m_volumeRow = named(kVolumeRowName);
    m_eqSection = named(kEqSectionName);
    m_eqNotice = named(kEqNoticeName);
    m_noneNotice = named(kNoneNoticeName);
    if (m_combo) {
        m_combo->setPlaceholderText(Text(QString::fromLatin1(kCustomEqNoneKey)));
        connect(m_combo, &QComboBox::currentIndexChanged, self, [self] { self->UpdateCurveButtons(); });
    }
    if (m_nameEdit)
        connect(m_nameEdit, &QLineEdit::textChanged, self, [self] { self->UpdateCurveButtons(); });
    UpdateCurveButtons();
}

void CVoice6533ControlUI::showEvent(QShowEvent* event) {
    LookUp();
    QWidget::showEvent(event);
}

void CVoice6533ControlUI::SetLanguageTexts(const LanguageTexts* texts) {
    m_texts = texts;
    LookUp();
    if (m_combo)
        m_combo->setPlaceholderText(Text(QString::fromLatin1(kCustomEqNoneKey)));
    for (QLabel* notice : {m_mic.notice.data(), m_monitor.notice.data()}) {
        const QString key = notice ? notice->property("textKey").toString() : QString();
        if (!key.isEmpty())
            notice->setText(Text(key));
    }
}

void CVoice6533ControlUI::SetNotice(QLabel* notice, const char* key) {
    if (!notice)
        return;
    // The key goes with the text, so that a change of language rewords the notice shown.
    notice->setProperty("textKey", key ? QString::fromLatin1(key) : QString());
    notice->setText(key ? Text(QString::fromLatin1(key)) : QString());
    notice->setVisible(key != nullptr);
}

void CVoice6533ControlUI::ShowVolumeSupport(const Volume& v, Feature volume, Feature mute) {
    const bool hasVolume = Supports(volume);
    const bool hasMute = Supports(mute);
    if (v.slider)
        v.slider->setEnabled(hasVolume);
    if (v.value)
        v.value->setEnabled(hasVolume);
    if (v.option)
        v.option->setEnabled(hasMute);
    const char* key = nullptr;
    if (!hasVolume && !hasMute)
        key = kSoundVolumeMuteMissingKey;
    else if (!hasVolume)
        key = kSoundVolumeMissingKey;
    else if (!hasMute)
        key = kSoundMuteMissingKey;
    SetNotice(v.notice, key);
}

void CVoice6533ControlUI::SetFeatureSupport(const std::array<bool, kFeatureCount>& supported) {
    LookUp();
    m_supported = supported;
    ShowVolumeSupport(m_mic, Feature::MicVolume, Feature::MicMute);
    ShowVolumeSupport(m_monitor, Feature::MonitorVolume, Feature::MonitorMute);
    const bool eq = Supports(Feature::Equaliser);
    const bool anything = eq || Supports(Feature::MicVolume) || Supports(Feature::MicMute) ||
                          Supports(Feature::MonitorVolume) || Supports(Feature::MonitorMute);
    if (m_volumeRow) {
        m_volumeRow->setVisible(anything);
        m_volumeRow->setEnabled(anything);
    }
    if (m_eqSection) {
        m_eqSection->setVisible(eq);
        m_eqSection->setEnabled(eq);
    } else {
        // Without the section box the equaliser's controls are at least not usable.
        for (const QPointer<QAbstractButton>& o : m_eqOptions)
            if (o)
                o->setEnabled(eq);
        for (const QPointer<QAbstractSlider>& s : m_bands)
            if (s)
                s->setEnabled(eq);
        if (m_customLayout && !eq)
            m_customLayout->setEnabled(false);
    }
    if (m_eqNotice)
        m_eqNotice->setVisible(!eq && anything);
    if (m_noneNotice)
        m_noneNotice->setVisible(!anything);
}

void CVoice6533ControlUI::SetCustomEqMode(bool on) {
    LookUp();
    if (m_customLayout)
        m_customLayout->setEnabled(on && (m_eqSection || Supports(Feature::Equaliser)));
}

void CVoice6533ControlUI::ShowEqType(int eqType) {
    LookUp();
    m_eqType = eqType >= 1 && eqType <= kEqTypeCount ? eqType : 0;
    SelectOnlyQuietly(m_eqOptions, m_eqType - 1);
}

bool CVoice6533ControlUI::HasBand(int band) const {
    LookUp();
    return band >= 0 && band < kBandCount && m_bands[static_cast<std::size_t>(band)];
}

void CVoice6533ControlUI::SetBandValue(int band, int value) {
    if (!HasBand(band))
        return;
    QAbstractSlider* s = m_bands[static_cast<std::size_t>(band)];
    {
        const QSignalBlocker quiet(s);
        s->setValue(value);
    }
    // The chart heard nothing either.
    if (m_chart)
        m_chart->update();
}

int CVoice6533ControlUI::GetBandValue(int band) const {
    if (!HasBand(band))
        return -1;
    return m_bands[static_cast<std::size_t>(band)]->value();
}

void CVoice6533ControlUI::ShowVolumeCaption(const Volume& v) const {
    if (v.value && v.slider)
        v.value->setText(QStringLiteral("%1%").arg(v.slider->value()));
    // A muted channel's slider is drawn dimmed; it stays usable, so the level can be set first.
    const bool muted = v.option && !v.option->isChecked();
    for (QWidget* w : {static_cast<QWidget*>(v.slider.data()), static_cast<QWidget*>(v.value.data())}) {
        if (w && w->property("muted").toBool() != muted) {
            w->setProperty("muted", muted);
            Repolish(w);
        }
    }
}

void CVoice6533ControlUI::SetVolume(const Volume& v, int value) {
    if (!v.slider)
        return;
    {
        const QSignalBlocker quiet(v.slider);
        v.slider->setValue(value);
    }
    ShowVolumeCaption(v);
}

void CVoice6533ControlUI::ShowOn(const Volume& v, bool on) {
    if (!v.option)
        return;
    SetCheckedQuietly(v.option, on);
    ShowVolumeCaption(v);
}

void CVoice6533ControlUI::ShowMicOn(bool on) {
    LookUp();
    ShowOn(m_mic, on);
}

bool CVoice6533ControlUI::IsMicOn() const {
    LookUp();
    return m_mic.option && m_mic.option->isChecked();
}

void CVoice6533ControlUI::ShowMonitorOn(bool on) {
    LookUp();
    ShowOn(m_monitor, on);
}

bool CVoice6533ControlUI::IsMonitorOn() const {
    LookUp();
    return m_monitor.option && m_monitor.option->isChecked();
}

void CVoice6533ControlUI::SetMicSlider(int value) {
    LookUp();
    SetVolume(m_mic, value);
}

int CVoice6533ControlUI::GetMicSlider() const {
    LookUp();
    return m_mic.slider ? m_mic.slider->value() : -1;
}

void CVoice6533ControlUI::SetMonitorSlider(int value) {
    LookUp();
    SetVolume(m_monitor, value);
}

int CVoice6533ControlUI::GetMonitorSlider() const {
    LookUp();
    return m_monitor.slider ? m_monitor.slider->value() : -1;
}

void CVoice6533ControlUI::SetCustomEqNameText(const QString& text) {
    LookUp();
    if (m_nameEdit)
        m_nameEdit->setText(text);
}

QString CVoice6533ControlUI::GetCustomEqNameText() const {
    LookUp();
    return m_nameEdit ? m_nameEdit->text() : QString();
}

void CVoice6533ControlUI::AddCustomEqName(const QString& name) {
    LookUp();
    if (!m_combo)
        return;
    {
        const QSignalBlocker quiet(m_combo);
        // Filling an empty list would choose its first item; the choice stays the page's.
        const int selection = m_combo->currentIndex();
        m_combo->addItem(name, name);
        if (m_combo->currentIndex() != selection)
            m_combo->setCurrentIndex(selection);
    }
    UpdateCurveButtons();
}

int CVoice6533ControlUI::GetCustomEqSelection() const {
    LookUp();
    return m_combo ? m_combo->currentIndex() : -1;
}

int CVoice6533ControlUI::GetCustomEqCount() const {
    LookUp();
    return m_combo ? m_combo->count() : 0;
}

QString CVoice6533ControlUI::GetCustomEqName(int index) const {
    LookUp();
    if (!m_combo || index < 0 || index >= m_combo->count())
        return {};
    return m_combo->itemData(index, kNameRole).toString();
}

void CVoice6533ControlUI::SelectCustomEqItem(int index) {
    LookUp();
    if (m_combo) {
        const QSignalBlocker quiet(m_combo);
        m_combo->setCurrentIndex(index >= 0 && index < m_combo->count() ? index : -1);
    }
    if (m_nameEdit)
        m_nameEdit->clear();
    UpdateCurveButtons();
}

void CVoice6533ControlUI::RemoveCustomEqItem(int index) {
    LookUp();
    if (!m_combo || index < 0 || index >= m_combo->count())
        return;
    {
        const QSignalBlocker quiet(m_combo);
        m_combo->removeItem(index);
    }
    UpdateCurveButtons();
}

void CVoice6533ControlUI::RenameCustomEqItem(int index, const QString& name) {
    LookUp();
    if (!m_combo || index < 0 || index >= m_combo->count())
        return;
    const QSignalBlocker quiet(m_combo);
    m_combo->setItemText(index, name);
    m_combo->setItemData(index, name, kNameRole);
}

void CVoice6533ControlUI::ClearCustomEqNames() {
    LookUp();
    if (!m_combo)
        return;
    {
        const QSignalBlocker quiet(m_combo);
        m_combo->clear();
    }
    UpdateCurveButtons();
}

void CVoice6533ControlUI::UpdateCurveButtons() const {
    const bool selected = m_combo && m_combo->currentIndex() >= 0;
    const bool named = m_nameEdit && !m_nameEdit->text().trimmed().isEmpty();
    // A name saves a new curve, which a full list refuses; without a name the chosen curve takes
    // the bands.
    const bool full = m_combo && m_combo->count() >= kMaxCustomEqCurves;
    if (m_saveButton)
        m_saveButton->setEnabled(named ? !full : selected || !m_nameEdit || !m_combo);
    if (m_renameButton)
        m_renameButton->setEnabled((selected || !m_combo) && (named || !m_nameEdit));
    if (m_deleteButton)
        m_deleteButton->setEnabled(selected || !m_combo);
}

EqChartView* CVoice6533ControlUI::Chart() const {
    LookUp();
    return m_chart;
}

} // namespace nk7x
