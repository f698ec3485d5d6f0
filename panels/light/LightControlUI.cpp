#include "panels/light/LightControlUI.h"

#include <QLabel>

#include <algorithm>

#include <QVBoxLayout>

#include "panels/light/ColorPaletteUI.h"
#include "panels/light/LightLayoutTable.h"
#include "ui/ControlFactory.h"
#include "ui/LanguageTexts.h"
#include "ui/UiWindow.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QBoxLayout>
#include <QColor>
#include <QComboBox>
#include <QLineEdit>
#include <QListView>
#include <QSignalBlocker>
#include <QVariant>

namespace nk7x {
namespace {

constexpr int kModeItemHeight = 30;
constexpr int kKeyRole = Qt::UserRole + 1; // the language key of an item's text

// Names of the enabling groups in LightGroup order; colour selects are two rows.
const char* const kGroupNames[] = {
    "deng_7color_check",  "deng_RGB_edit",     "deng_color_select", "deng_color_layout",
    "colorpallet_layout", "deng_light_layout", "deng_fx_layout",    "deng_color_select1",
};
constexpr std::size_t kSelect1Slot = 7;

void Apply(QWidget* w, GroupState s, void (QWidget::*set)(bool)) {
    if (w && s != GroupState::Keep)
        (w->*set)(s == GroupState::On);
}

QString HexColour(uint32_t argb) {
    return QStringLiteral("#%1").arg(argb & 0xFFFFFFu, 6, 16, QLatin1Char('0'));
}

} // namespace

CLightControlUI::CLightControlUI(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("LightControl"));
    // The colour field of the layout is the panel's own class: make sure the loader can build it.
    RegisterLightPanelControls(ControlFactory::Instance());
    m_groups.assign(std::size(kGroupNames), nullptr);
}

CLightControlUI::~CLightControlUI() = default;

QString CLightControlUI::Text(const QString& key) const {
    return m_texts ? m_texts->Text(key) : key;
}

QWidget* CLightControlUI::Control(QWidget*& cache, const char* name) {
    if (!cache)
        cache = UiWindow::FindSubControlByName(this, QString::fromLatin1(name));
    return cache;
}

QComboBox* CLightControlUI::Combo(QComboBox*& cache, const char* name) {
    if (!cache)
        cache = qobject_cast<QComboBox*>(UiWindow::FindSubControlByName(this, QString::fromLatin1(name)));
    return cache;
}

QComboBox* CLightControlUI::ModeCombo() {
    return Combo(m_modeCombo, "light_combo_modeSelect");
}

QAbstractSlider* CLightControlUI::Slider(QAbstractSlider*& cache, const char* name) {
    if (!cache)
        cache =
            qobject_cast<QAbstractSlider*>(UiWindow::FindSubControlByName(this, QString::fromLatin1(name)));
    return cache;
}

QLineEdit* CLightControlUI::Edit(QLineEdit*& cache, const char* name) {
    if (!cache)
        cache = qobject_cast<QLineEdit*>(UiWindow::FindSubControlByName(this, QString::fromLatin1(name)));
    return cache;
}

QAbstractButton* CLightControlUI::Button(QAbstractButton*& cache, const char* name) {
    if (!cache)
        cache =
            qobject_cast<QAbstractButton*>(UiWindow::FindSubControlByName(this, QString::fromLatin1(name)));
    return cache;
}

CColorPaletteUI* CLightControlUI::Palette() {
    if (!m_palette)
        m_palette = qobject_cast<CColorPaletteUI*>(
            UiWindow::FindSubControlByName(this, QStringLiteral("deng_Color_Pallet")));
    return m_palette;
}

void CLightControlUI::SetLanguageTexts(const LanguageTexts* texts) {
    m_texts = texts;
    TranslateModes();
    for (QAbstractButton* b :
         {Button(m_leftOption, "deng_FXL_check"), Button(m_rightOption, "deng_FXR_check")})
        if (b && b->property("textKey").isValid())
            b->setText(Text(b->property("textKey").toString()));
    FitCaptionColumn();
}

void CLightControlUI::TranslateModes() {
    for (QComboBox* c : {ModeCombo(), Combo(m_secondaryCombo, "light_combo_ZZCCmodeSelect"),
                         Combo(m_customCombo, "light_combo_custommodeSelect")}) {
        if (!c)
            continue;
        for (int i = 0; i < c->count(); ++i) {
            QVariant key = c->itemData(i, kKeyRole);
            if (!key.isValid() && c != m_modeCombo) {
                // Fixed items of the layout carry their language key as their text.
                key = c->itemText(i);
                c->setItemData(i, key, kKeyRole);
            }
            if (key.isValid())
                c->setItemText(i, Text(key.toString()));
        }
    }
}

void CLightControlUI::FillModes(const std::vector<std::string>& names, const std::vector<bool>& visible,
                                int maxBrightness, int maxSpeed) {
    if (QComboBox* c = ModeCombo()) {
        const QSignalBlocker block(c);
        c->clear();
        auto* view = qobject_cast<QListView*>(c->view());
        for (std::size_t i = 0; i < names.size(); ++i) {
            const QString key = QString::fromStdString(names[i]);
            c->addItem(Text(key), key);
            const int row = c->count() - 1;
            c->setItemData(row, key, kKeyRole);
            c->setItemData(row, QSize(0, kModeItemHeight), Qt::SizeHintRole);
            if (view)
                view->setRowHidden(row, !(i < visible.size() && visible[i]));
        }
    }
    // A lower maximum clamps the value: that is no edit of the user's.
    if (QAbstractSlider* s = Slider(m_brightSlider, "deng_light_slider")) {
        const QSignalBlocker block(s);
        s->setMaximum(maxBrightness);
    }
    if (QAbstractSlider* s = Slider(m_speedSlider, "deng_speed_slider")) {
        const QSignalBlocker block(s);
        s->setMaximum(maxSpeed);
    }
}

void CLightControlUI::FillModes(const std::vector<LightModeName>& modes, int maxBrightness, int maxSpeed) {
    std::vector<std::string> names;
    std::vector<bool> visible;
    for (const LightModeName& m : modes) {
        names.push_back(m.name);
        visible.push_back(m.visible);
    }
    FillModes(names, visible, maxBrightness, maxSpeed);
}

void CLightControlUI::ShowLightSettings(const LightState& state) {
    SelectMode(state.mode);
    SetBrightness(state.brightness);
    SetSpeed(state.speed);
    SetRedText(QString::number(state.red));
    SetGreenText(QString::number(state.green));
    SetBlueText(QString::number(state.blue));
    const uint32_t colour = 0xFF000000u | uint32_t{state.red} << 16 | uint32_t{state.green} << 8 | state.blue;
    SetPaletteColor(colour);
    SetMultiColor(state.multiColor != 0);
    SelectSecondaryMode(state.secondaryMode);
    SetDirection(state.direction != 0);
}

void CLightControlUI::SelectMode(int mode) {
    if (QComboBox* c = ModeCombo()) {
        const QSignalBlocker block(c);
        c->setCurrentIndex(mode >= 0 && mode < c->count() ? mode : -1);
    }
    Relayout(mode);
}

int CLightControlUI::MaxBrightness() {
    QAbstractSlider* s = Slider(m_brightSlider, "deng_light_slider");
    return s ? s->maximum() : 0;
}

int CLightControlUI::MaxSpeed() {
    QAbstractSlider* s = Slider(m_speedSlider, "deng_speed_slider");
    return s ? s->maximum() : 0;
}

int CLightControlUI::GetMode() {
    QComboBox* c = ModeCombo();
    return c ? c->currentIndex() : -1;
}

void CLightControlUI::SetBrightness(int value) {
    if (QAbstractSlider* s = Slider(m_brightSlider, "deng_light_slider")) {
        const QSignalBlocker block(s);
        s->setValue(value);
    }
}

int CLightControlUI::GetBrightness() {
    QAbstractSlider* s = Slider(m_brightSlider, "deng_light_slider");
    return s ? s->value() : 0;
}

void CLightControlUI::SetSpeed(int value) {
    if (QAbstractSlider* s = Slider(m_speedSlider, "deng_speed_slider")) {
        const QSignalBlocker block(s);
        s->setValue(value);
    }
}

int CLightControlUI::GetSpeed() {
    QAbstractSlider* s = Slider(m_speedSlider, "deng_speed_slider");
    return s ? s->value() : 0;
}

void CLightControlUI::SetEditText(QLineEdit* edit, const QString& text) {
    if (edit)
        edit->setText(text); // programmatic text raises no edit notification
}

void CLightControlUI::SetRedText(const QString& text) {
    SetEditText(Edit(m_editR, "deng_edit_R"), text);
}
void CLightControlUI::SetGreenText(const QString& text) {
    SetEditText(Edit(m_editG, "deng_edit_G"), text);
}
void CLightControlUI::SetBlueText(const QString& text) {
    SetEditText(Edit(m_editB, "deng_edit_B"), text);
}

QString CLightControlUI::GetRedText() {
    QLineEdit* e = Edit(m_editR, "deng_edit_R");
    return e ? e->text() : QString();
}
QString CLightControlUI::GetGreenText() {
    QLineEdit* e = Edit(m_editG, "deng_edit_G");
    return e ? e->text() : QString();
}
QString CLightControlUI::GetBlueText() {
    QLineEdit* e = Edit(m_editB, "deng_edit_B");
    return e ? e->text() : QString();
}

void CLightControlUI::SelectSecondaryMode(int index) {
    if (QComboBox* c = Combo(m_secondaryCombo, "light_combo_ZZCCmodeSelect")) {
        const QSignalBlocker block(c);
        c->setCurrentIndex(index >= 0 && index < c->count() ? index : -1);
    }
}

int CLightControlUI::GetSecondaryMode() {
    QComboBox* c = Combo(m_secondaryCombo, "light_combo_ZZCCmodeSelect");
    return c ? c->currentIndex() : -1;
}

void CLightControlUI::SelectCustomGroupItem(int index) {
    if (QComboBox* c = Combo(m_customCombo, "light_combo_custommodeSelect")) {
        const QSignalBlocker block(c);
        c->setCurrentIndex(index >= 0 && index < c->count() ? index : -1);
    }
}

int CLightControlUI::GetCustomGroupItem() {
    QComboBox* c = Combo(m_customCombo, "light_combo_custommodeSelect");
    return c ? c->currentIndex() : -1;
}

void CLightControlUI::SetPaletteColor(uint32_t colour) {
    if (CColorPaletteUI* p = Palette())
        p->SetSelectColor(colour);
    SetColorButton(colour);
}

uint32_t CLightControlUI::GetPaletteColor() {
    CColorPaletteUI* p = Palette();
    return p ? p->GetSelectColor() : 0xFF000000u;
}

uint32_t CLightControlUI::GetPresetColor(int n) {
    if (n < 0)
        return 0;
    QWidget* w = UiWindow::FindSubControlByName(this, QStringLiteral("color_option_%1").arg(n));
    if (!w)
        return 0;
    QColor c(w->property("bkcolor").toString());
    if (!c.isValid())
        c = w->palette().color(w->backgroundRole());
    return 0xFF000000u | uint32_t(c.red()) << 16 | uint32_t(c.green()) << 8 | uint32_t(c.blue());
}

void CLightControlUI::SetColorButton(uint32_t colour) {
    QWidget* b = Control(m_colorButton, "deng_colordp_btn");
    if (!b)
        return;
    b->setProperty("bkcolor", HexColour(colour));
    // Switched off, the colour sinks into the panel so that it does not look like a choice.
    const QColor c = QColor::fromRgb(colour & 0xFFFFFFu);
    const QColor dim = QColor::fromRgb((c.red() * 3 + 0x18 * 7) / 10, (c.green() * 3 + 0x1b * 7) / 10,
                                       (c.blue() * 3 + 0x21 * 7) / 10);
    b->setStyleSheet(
        QStringLiteral("QPushButton { background-color: %1; } QPushButton:disabled { background-color: %2; }")
            .arg(HexColour(colour), dim.name()));
}

bool CLightControlUI::IsMultiColor() {
    QAbstractButton* b = Button(m_multiCheck, "deng_7color_check");
    return b && b->isChecked();
}

void CLightControlUI::SetMultiColor(bool on) {
    if (QAbstractButton* b = Button(m_multiCheck, "deng_7color_check"))
        b->setChecked(on); // a change raises "selectchanged" like a click
}

void CLightControlUI::SetDirection(bool on) {
    QAbstractButton* left = Button(m_leftOption, "deng_FXL_check");
    QAbstractButton* right = Button(m_rightOption, "deng_FXR_check");
    // Both: checking one option unchecks the other, which would speak up otherwise.
    const QSignalBlocker blockLeft(left);
    const QSignalBlocker blockRight(right);
    if (left)
        left->setChecked(on);
    if (right)
        right->setChecked(!on);
}

void CLightControlUI::SetSameModeAvailable(bool available) {
    m_sameModeAvailable = available;
    Relayout(GetMode());
}

void CLightControlUI::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    ArrangeColumns();
}

void CLightControlUI::FitCaptionColumn() {
    QLabel* captions[] = {findChild<QLabel*>(QStringLiteral("deng_light_label")),
                          findChild<QLabel*>(QStringLiteral("deng_speed_label"))};
    int width = 0;
    for (QLabel* l : captions)
        if (l)
            width = std::max({width, l->sizeHint().width(), l->minimumWidth()});
    for (QLabel* l : captions)
        if (l && l->width() != width)
            l->setFixedWidth(width);
}

void CLightControlUI::ArrangeColumns() {
    FitCaptionColumn();
    QWidget* columns = UiWindow::FindSubControlByName(this, QStringLiteral("light_columns"));
    auto* box = columns ? qobject_cast<QBoxLayout*>(columns->layout()) : nullptr;
    if (!box)
        return;
    const bool wide = width() >= kSideBySideWidth;
    ArrangeThirdColumn(width() >= kThreeColumnWidth);
    const QBoxLayout::Direction direction = wide ? QBoxLayout::LeftToRight : QBoxLayout::TopToBottom;
    if (box->direction() == direction)
        return;
    box->setDirection(direction);
    box->setSpacing(wide ? 28 : 10);
    // Side by side, each column keeps to the top instead of stretching to the other's height.
    for (int i = 0; i < box->count(); ++i)
        if (QWidget* column = box->itemAt(i)->widget())
            box->setAlignment(column, wide ? Qt::AlignTop : Qt::Alignment());
}

void CLightControlUI::ArrangeThirdColumn(bool three) {
    QWidget* columns = UiWindow::FindSubControlByName(this, QStringLiteral("light_columns"));
    QWidget* right = UiWindow::FindSubControlByName(this, QStringLiteral("light_column_right"));
    auto* columnsBox = columns ? qobject_cast<QBoxLayout*>(columns->layout()) : nullptr;
    auto* rightBox = right ? qobject_cast<QBoxLayout*>(right->layout()) : nullptr;
    if (!columnsBox || !rightBox)
        return;
    QWidget* extra =
        columns->findChild<QWidget*>(QStringLiteral("light_column_extra"), Qt::FindDirectChildrenOnly);
    if (three == (extra && extra->isVisibleTo(columns) && extra->layout() && extra->layout()->count() > 0))
        return;
    if (!extra) {
        extra = new QWidget(columns);
        extra->setObjectName(QStringLiteral("light_column_extra"));
        auto* extraBox = new QVBoxLayout(extra);
        extraBox->setContentsMargins(0, 0, 0, 0);
        extraBox->setSpacing(rightBox->spacing());
        columnsBox->addWidget(extra, 0, Qt::AlignTop);
    }
    auto* extraBox = qobject_cast<QBoxLayout*>(extra->layout());
    QBoxLayout* from = three ? rightBox : extraBox;
    QBoxLayout* to = three ? extraBox : rightBox;
    QWidget* toParent = three ? extra : right;
    // The values under the colour field, the custom colour controls and the copy to all devices,
    // in their order; each keeps whether the enabling table hid it.
    for (const char* name : {"deng_RGB_edit", "lightcustom_layout", "deng_same_mode"}) {
        QWidget* w = UiWindow::FindSubControlByName(this, QString::fromLatin1(name));
        if (!w || from->indexOf(w) < 0)
            continue;
        const bool hidden = w->isHidden();
        from->removeWidget(w);
        w->setParent(toParent);
        to->addWidget(w);
        w->setVisible(!hidden);
    }
    extra->setVisible(three);
}

void CLightControlUI::SetCaptions(const char* leftKey, const char* rightKey) {
    for (auto [b, key] : {std::pair{Button(m_leftOption, "deng_FXL_check"), leftKey},
                          std::pair{Button(m_rightOption, "deng_FXR_check"), rightKey}}) {
        if (!b)
            continue;
        b->setProperty("textKey", QString::fromLatin1(key)); // a language change translates it again
        b->setText(Text(QString::fromLatin1(key)));
    }
}

void CLightControlUI::Relayout(int mode) {
    for (std::size_t i = 0; i < m_groups.size(); ++i)
        Control(m_groups[i], kGroupNames[i]);
    QWidget* effect = UiWindow::FindSubControlByName(this, QStringLiteral("lighteffect_layout"));
    QWidget* speed = UiWindow::FindSubControlByName(this, QStringLiteral("deng_speed_layout"));
    QWidget* custom = UiWindow::FindSubControlByName(this, QStringLiteral("lightcustom_layout"));
    QWidget* secondary =
        UiWindow::FindSubControlByName(this, QStringLiteral("light_combo_ZZCCmodeSelectLayout"));
    QWidget* same = Button(m_sameMode, "deng_same_mode");
    QWidget* direction = m_groups[static_cast<std::size_t>(LightGroup::Direction)];

    // Every re-layout starts from the same place.
    if (effect)
        effect->setEnabled(true);
    if (direction)
        direction->setEnabled(true);
    if (same)
        same->setVisible(false);
    const bool keyboard = IsKeyboardLayoutStyle(m_style);
    if (keyboard) {
        if (custom)
            custom->setVisible(false);
        if (secondary)
            secondary->setVisible(false);
        if (speed) {
            speed->setVisible(false);
            speed->setEnabled(true);
        }
    }
    SetCaptions(LeftCaptionKey(DirectionCaptions::LeftRight), RightCaptionKey(DirectionCaptions::LeftRight));

    const LightLayoutRow row = LightLayoutFor(m_style, mode);
    for (std::size_t i = 0; i < kLightGroupCount; ++i)
        Apply(m_groups[i], row.enable[i], &QWidget::setEnabled);
    Apply(m_groups[kSelect1Slot], row.enable[static_cast<std::size_t>(LightGroup::ColorSelects)],
          &QWidget::setEnabled);
    Apply(speed, row.speedShown, &QWidget::setVisible);
    Apply(speed, row.speedEnabled, &QWidget::setEnabled);
    if (same)
        same->setVisible(m_sameModeAvailable && row.sameMode);
    if (keyboard) {
        if (custom)
            custom->setVisible(row.customShown);
        if (secondary)
            secondary->setVisible(row.secondaryShown);
    }
    if (row.captions != DirectionCaptions::LeftRight)
        SetCaptions(LeftCaptionKey(row.captions), RightCaptionKey(row.captions));
}

} // namespace nk7x
