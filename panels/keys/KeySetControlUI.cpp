#include "panels/keys/KeySetControlUI.h"

#include "panels/keys/KeyPicking.h"
#include "ui/ControlFactory.h"
#include "ui/LanguageTexts.h"
#include "ui/UiWindow.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QStackedWidget>
#include <QTimer>

namespace nk7x {
namespace {

constexpr int kTextKeyRole = Qt::UserRole + 1; // the language key of an item's text
constexpr int kMacroItemHeight = 30;
constexpr int kKeyboardType = 1;

constexpr std::array<const char*, kMouseButtonBits.size()> kMouseButtonNames{
    "mouse_key_left", "mouse_key_middle", "mouse_key_right", "mouse_key_forward", "mouse_key_back"};
constexpr std::array<const char*, 2> kSwingNames{"mouse_move_to_left_text", "mouse_move_to_right_text"};
constexpr std::array<const char*, 2> kWheelNames{"keyset_wheel_up_text", "keyset_wheel_down_text"};
constexpr std::array<const char*, kDpiCodes.size()> kDpiNames{"mouse_key_DPI_add", "mouse_key_DPI_sub",
                                                              "mouse_key_DPI_loop"};
constexpr std::array<const char*, kShortcutUsages.size()> kShortcutNames{
    "keyset_shortcut_open_text",     "keyset_shortcut_new_text",    "keyset_shortcut_undo_text",
    "keyset_shortcut_save_text",     "keyset_shortcut_copy_text",   "keyset_shortcut_cut_text",
    "keyset_shortcut_paste_text",    "keyset_shortcut_find_text",   "keyset_shortcut_select_all_text",
    "keyset_shortcut_zoom_out_text", "keyset_shortcut_zoom_in_text"};
constexpr std::array<const char*, kRepeatModes> kRepeatNames{
    "keyset_macro_over_0_text", "keyset_macro_over_1_text", "keyset_macro_over_2_text",
    "keyset_macro_over_3_text", "keyset_macro_over_4_text"};
constexpr int kGunKeys = 4;
constexpr std::array<const char*, kGunKeys> kGunNames{"shoot_gun_op_0_text", "shoot_gun_op_1_text",
                                                      "shoot_gun_op_2_text", "shoot_gun_op_3_text"};
constexpr std::array<const char*, 4> kButtonNames{"key_butt_keydefalut", "key_butt_keysave",
                                                  "key_butt_keycancel", "key_butt_prosave"};

// The name key of the key-table row with these codes (media and system lists).
QString RowNameKey(uint8_t category, uint8_t low, uint8_t high) {
    const std::optional<std::size_t> row = FindKeyByCodes(category, low, high);
    return row ? QString::fromLatin1(KeyTable()[*row].nameKey.data(),
                                     static_cast<int>(KeyTable()[*row].nameKey.size()))
               : QString();
}

int FieldValue(const QLineEdit* edit) {
    return edit ? DecimalValue(edit->text().toStdString()) : 0;
}

void SetField(QLineEdit* edit, int value) {
    if (edit)
        edit->setText(QString::number(value));
}

int ItemOf(const QComboBox* combo) {
    return combo ? combo->currentIndex() : -1;
}

} // namespace

CKeySetControlUI::CKeySetControlUI(QWidget* parent) : QWidget(parent) {
    setObjectName(QString::fromLatin1(kKeySetControlClass));
    // The layout's style sheet paints the panel's background.
    setAttribute(Qt::WA_StyledBackground);
}

CKeySetControlUI::~CKeySetControlUI() = default;

QString CKeySetControlUI::Text(const QString& key) const {
    return m_texts ? m_texts->Text(key) : key;
}

void CKeySetControlUI::Init() {
    auto find = [this](const char* name) {
        return UiWindow::FindSubControlByName(this, QString::fromLatin1(name));
    };
    auto combo = [&](const char* name) { return qobject_cast<QComboBox*>(find(name)); };
    auto edit = [&](const char* name) { return qobject_cast<QLineEdit*>(find(name)); };
    m_layout = find("keyset_layout");
    m_hint = find("keyset_hint");
    m_keyTitle = qobject_cast<QLabel*>(find("keyset_key_name"));
    m_function = combo("keyset_function_combo");
    m_pages = qobject_cast<QStackedWidget*>(find("function_switch_tablayout"));
    m_mouseKey = combo("keyset_mousekey_combo");
    m_swingDirection = combo("keyset_mouseswing_combo");
    m_swingCount = edit("keyset_mouseswing_num_edit");
    m_swingDelay = edit("keyset_mouseswing_delay_edit");
    m_swingSpeed = edit("keyset_mouseswing_speed_edit");
    m_wheelDirection = combo("keyset_mousewheel_combo");
    m_wheelCount = edit("keyset_mousewheel_num_edit");
    m_wheelDelay = edit("keyset_mousewheel_delay_edit");
    m_wheelSpeed = edit("keyset_mousewheel_speed_edit");
    m_dpi = combo("keyset_mousedpi_combo");
    m_fireInterval = edit("keyset_mousefire_interval_edit");
    m_fireCount = edit("keyset_mousefire_num_edit");
    m_keyName = edit("keyset_keyboard_text_edit");
    for (int n = 0; n < kModifierOptions; ++n)
        m_modifiers[static_cast<std::size_t>(n)] = qobject_cast<QAbstractButton*>(
            UiWindow::FindSubControlByName(this, QStringLiteral("key_ComBox_check_%1").arg(n)));
    m_media = combo("keyset_media_combo");
    m_system = combo("keyset_system_combo");
    m_macro = combo("keyset_macro_combo");
    m_repeatMode = combo("keyset_macro_over_combo");
    m_cycleLayout = find("keyset_macro_cycle_layout");
    m_cycleCount = edit("keyset_macro_cycle_edit");
    m_gunKey = combo("keyset_gunkey_combo");
    m_shortcut = combo("keyset_combokey_combo");
    for (std::size_t i = 0; i < kButtonNames.size(); ++i)
        m_buttons[i] = qobject_cast<QAbstractButton*>(find(kButtonNames[i]));
    if (m_keyName) {
        m_keyName->setReadOnly(true);
        m_keyName->installEventFilter(this);
    }
    FillFixedLists();
    ShowEditor(false);
    ShowCountLayout(false);
}

void CKeySetControlUI::FillFixedLists() {
    auto fill = [this](QComboBox* combo, const std::vector<QString>& keys) {
        if (!combo)
            return;
        const QSignalBlocker block(combo);
        combo->clear();
        for (const QString& key : keys) {
            combo->addItem(Text(key));
            combo->setItemData(combo->count() - 1, key, kTextKeyRole);
        }
        combo->setCurrentIndex(-1);
    };
    auto keys = [](const auto& names) {
        std::vector<QString> out;
        for (const char* n : names)
            out.push_back(QString::fromLatin1(n));
        return out;
    };
    fill(m_mouseKey, keys(kMouseButtonNames));
    fill(m_swingDirection, keys(kSwingNames));
    fill(m_wheelDirection, keys(kWheelNames));
    fill(m_dpi, keys(kDpiNames));
    std::vector<QString> media;
    for (uint16_t usage : kMediaUsages)
        media.push_back(
            RowNameKey(kConsumerPage, static_cast<uint8_t>(usage & 0xFF), static_cast<uint8_t>(usage >> 8)));
    fill(m_media, media);
    std::vector<QString> system;
    for (uint8_t bit : kSystemBits)
        system.push_back(RowNameKey(kSystemControl, bit, 0));
    fill(m_system, system);
    fill(m_repeatMode, keys(kRepeatNames));
    fill(m_gunKey, keys(kGunNames));
    fill(m_shortcut, keys(kShortcutNames));
    FillFunctionList();
}

void CKeySetControlUI::FillFunctionList() {
    if (!m_function)
        return;
    const QSignalBlocker block(m_function);
    const int shown = SelectedCategory();
    m_function->clear();
    for (int category = 0; category < kCategoryCount; ++category) {
        // A keyboard has no DPI stages and no shoot patterns.
        if (m_deviceType == kKeyboardType && (category == kCategoryDpi || category == kCategoryGunKey))
            continue;
        const QString key = QStringLiteral("keyset_function_%1_text").arg(category);
        m_function->addItem(Text(key), category);
        m_function->setItemData(m_function->count() - 1, key, kTextKeyRole);
    }
    m_function->setCurrentIndex(CategoryIndex(shown));
}

void CKeySetControlUI::SetLanguageTexts(const LanguageTexts* texts) {
    m_texts = texts;
    for (QComboBox* combo : findChildren<QComboBox*>()) {
        for (int i = 0; i < combo->count(); ++i) {
            const QString key = combo->itemData(i, kTextKeyRole).toString();
            if (!key.isEmpty())
                combo->setItemText(i, Text(key));
        }
    }
    ShowKeyName(m_keyRow);
}

void CKeySetControlUI::SetDeviceType(int type) {
    m_deviceType = type;
    FillFunctionList();
}

void CKeySetControlUI::FillMacroNames(const std::vector<std::string>& names) {
    if (!m_macro)
        return;
    const QSignalBlocker block(m_macro);
    m_macro->clear();
    for (const std::string& name : names)
        AddMacroName(name);
    m_macro->setCurrentIndex(-1);
}

void CKeySetControlUI::AddMacroName(const std::string& name) {
    if (!m_macro)
        return;
    const QSignalBlocker block(m_macro);
    m_macro->addItem(QString::fromStdString(name));
    m_macro->setItemData(m_macro->count() - 1, QSize(0, kMacroItemHeight), Qt::SizeHintRole);
}

void CKeySetControlUI::RemoveMacroName(int index) {
    if (!m_macro || index < 0 || index >= m_macro->count())
        return;
    const QSignalBlocker block(m_macro);
    m_macro->removeItem(index);
}

void CKeySetControlUI::RenameMacroName(int index, const std::string& name) {
    if (!m_macro || index < 0 || index >= m_macro->count() || name.empty())
        return;
    m_macro->setItemText(index, QString::fromStdString(name));
}

int CKeySetControlUI::MacroCount() const {
    return m_macro ? m_macro->count() : 0;
}

void CKeySetControlUI::SetKeyTitle(const QString& title) {
    if (m_keyTitle)
        m_keyTitle->setText(title);
}

void CKeySetControlUI::SetKey(const KeyAssignment& record) {
    m_current = record;
    m_hasKey = true;
    ShowAssignment(record.assignment);
}

void CKeySetControlUI::ShowAssignment(const KeyCode& assignment) {
    KeyCode adjusted = assignment;
    const KeyChoice choice = nk7x::ShowChoice(assignment, m_current.defaultAssignment,
                                              static_cast<std::size_t>(MacroCount()), &adjusted);
    m_current.assignment = adjusted == assignment ? m_current.assignment : adjusted;
    ShowChoice(choice);
}

void CKeySetControlUI::ShowChoice(const KeyChoice& c) {
    const int index = CategoryIndex(c.category);
    if (index < 0) {
        ShowEditor(false);
        return;
    }
    switch (c.category) {
    case kCategoryMouseButton:
        SelectItem(m_mouseKey, c.row);
        break;
    case kCategoryDpi:
        SelectItem(m_dpi, c.row);
        break;
    case kCategoryMedia:
        SelectItem(m_media, c.row);
        break;
    case kCategorySystem:
        SelectItem(m_system, c.row);
        break;
    case kCategoryShortcut:
        SelectItem(m_shortcut, c.row);
        break;
    case kCategorySwing:
        SelectItem(m_swingDirection, c.direction);
        SetField(m_swingCount, c.count);
        SetField(m_swingDelay, c.delay);
        SetField(m_swingSpeed, c.speed);
        break;
    case kCategoryWheel:
        SelectItem(m_wheelDirection, c.direction);
        SetField(m_wheelCount, c.count);
        SetField(m_wheelDelay, c.delay);
        SetField(m_wheelSpeed, c.speed);
        break;
    case kCategoryFire:
        SetField(m_fireInterval, c.interval);
        SetField(m_fireCount, c.count);
        break;
    case kCategoryKeyboard:
        SelectModifier(c.modifier);
        m_usage = c.keyRow >= 0 ? c.usage : uint8_t{0};
        ShowKeyName(c.keyRow);
        break;
    case kCategoryMacro:
        SelectItem(m_macro, c.macro);
        SelectItem(m_repeatMode, c.repeatMode);
        ShowCountLayout(c.repeatMode == kCountedRepeatMode);
        if (c.repeatMode == kCountedRepeatMode)
            SetField(m_cycleCount, c.repeatCount);
        break;
    case kCategoryGunKey:
        SelectItem(m_gunKey, c.row);
        break;
    default:
        break;
    }
    ShowEditor(true);
    if (m_function)
        m_function->setCurrentIndex(index);
    if (m_pages && c.category < m_pages->count())
        m_pages->setCurrentIndex(c.category);
}

KeyChoice CKeySetControlUI::ReadChoice() const {
    KeyChoice c;
    c.category = SelectedCategory();
    switch (c.category) {
    case kCategoryMouseButton:
        c.row = ItemOf(m_mouseKey);
        break;
    case kCategoryDpi:
        c.row = ItemOf(m_dpi);
        break;
    case kCategoryMedia:
        c.row = ItemOf(m_media);
        break;
    case kCategorySystem:
        c.row = ItemOf(m_system);
        break;
    case kCategoryShortcut:
        c.row = ItemOf(m_shortcut);
        break;
    case kCategorySwing:
        c.direction = ItemOf(m_swingDirection) == 1 ? 1 : 0;
        c.count = FieldValue(m_swingCount);
        c.delay = FieldValue(m_swingDelay);
        c.speed = FieldValue(m_swingSpeed);
        break;
    case kCategoryWheel:
        c.direction = ItemOf(m_wheelDirection) == 1 ? 1 : 0;
        c.count = FieldValue(m_wheelCount);
        c.delay = FieldValue(m_wheelDelay);
        c.speed = FieldValue(m_wheelSpeed);
        break;
    case kCategoryFire:
        c.interval = FieldValue(m_fireInterval);
        c.count = FieldValue(m_fireCount);
        break;
    case kCategoryKeyboard:
        c.modifier = GetModifier();
        c.keyRow = m_keyName && !m_keyName->text().isEmpty() ? m_keyRow : -1;
        c.usage = c.keyRow >= 0 ? m_usage : uint8_t{0};
        break;
    case kCategoryMacro:
        c.macro = ItemOf(m_macro);
        c.repeatMode = ItemOf(m_repeatMode);
        c.repeatCount = FieldValue(m_cycleCount);
        break;
    case kCategoryGunKey:
        c.row = ItemOf(m_gunKey);
        break;
    default:
        break;
    }
    return c;
}

KeyAssignment CKeySetControlUI::CollectAssignment() {
    m_current.assignment = CollectChoice(ReadChoice(), m_current.assignment, m_current.defaultAssignment,
                                         static_cast<std::size_t>(MacroCount()));
    return m_current;
}

void CKeySetControlUI::ShowDefault() {
    ShowAssignment(m_current.defaultAssignment);
}

void CKeySetControlUI::ShowCurrent() {
    ShowAssignment(m_current.assignment);
}

void CKeySetControlUI::SelectModifier(int n) {
    for (int i = 0; i < kModifierOptions; ++i) {
        QAbstractButton* b = m_modifiers[static_cast<std::size_t>(i)];
        if (!b)
            continue;
        const QSignalBlocker block(b);
        // Options of one group clear each other only when one is checked; none at all needs this.
        const bool exclusive = b->autoExclusive();
        b->setAutoExclusive(false);
        b->setChecked(i == n);
        b->setAutoExclusive(exclusive);
    }
}

int CKeySetControlUI::GetModifier() const {
    for (int i = 0; i < kModifierOptions; ++i) {
        const QAbstractButton* b = m_modifiers[static_cast<std::size_t>(i)];
        if (b && b->isChecked())
            return i;
    }
    return -1;
}

void CKeySetControlUI::EnableEditButtons(bool enabled) {
    for (std::size_t i = 1; i < m_buttons.size(); ++i)
        if (m_buttons[i])
            m_buttons[i]->setEnabled(enabled);
}

int CKeySetControlUI::CategoryIndex(int category) const {
    if (!m_function || category < 0)
        return -1;
    for (int i = 0; i < m_function->count(); ++i)
        if (CategoryOfItem(i) == category)
            return i;
    return -1;
}

int CKeySetControlUI::CategoryOfItem(int index) const {
    if (!m_function || index < 0 || index >= m_function->count())
        return -1;
    const QVariant value = m_function->itemData(index);
    return value.isValid() ? value.toInt() : -1;
}

int CKeySetControlUI::SelectedCategory() const {
    return CategoryOfItem(ItemOf(m_function));
}

void CKeySetControlUI::OnFunctionSelected(int index) {
    const int category = CategoryOfItem(index);
    if (category < 0)
        return;
    if (m_function && m_function->currentIndex() != index) {
        const QSignalBlocker block(m_function);
        m_function->setCurrentIndex(index);
    }
    if (m_pages && category < m_pages->count())
        m_pages->setCurrentIndex(category);
    // Empty fields are stored as 0 and the first direction: they show it.
    auto neutral = [this](QComboBox* direction, std::initializer_list<QLineEdit*> fields) {
        if (direction && direction->currentIndex() < 0)
            SelectItem(direction, 0);
        for (QLineEdit* f : fields)
            if (f && f->text().isEmpty())
                SetField(f, 0);
    };
    if (category == kCategorySwing)
        neutral(m_swingDirection, {m_swingCount, m_swingDelay, m_swingSpeed});
    else if (category == kCategoryWheel)
        neutral(m_wheelDirection, {m_wheelCount, m_wheelDelay, m_wheelSpeed});
    else if (category == kCategoryFire)
        neutral(nullptr, {m_fireInterval, m_fireCount});
    if (category == kCategoryKeyboard) {
        SelectModifier(-1);
        m_usage = 0;
        ShowKeyName(-1);
    }
}

void CKeySetControlUI::OnRepeatModeSelected(int index) {
    ShowCountLayout(index == kCountedRepeatMode);
}

void CKeySetControlUI::SetPickedKey(const KeyCode& assignment) {
    m_current.assignment = assignment;
}

void CKeySetControlUI::PickKey(const KeyTableRow& row, bool down) {
    if (!down || !m_hasKey || row.category != kKeyboardPage)
        return;
    const std::optional<std::size_t> index = FindKeyByCodes(row.category, row.codeLow, row.codeHigh);
    if (!index)
        return;
    KeyChoice c = ReadChoice();
    c.category = kCategoryKeyboard;
    const KeyChoice picked = PickKeyRow(c, *index);
    SelectModifier(picked.modifier);
    m_usage = picked.usage;
    ShowKeyName(picked.keyRow);
    SetPickedKey({kTypeKeyboard, ModifierBitOfOption(picked.modifier), picked.usage});
    emit keyPicked();
    // One key per pick: the focus goes on to the next control, which ends the pick and lets the
    // keyboards go, so that nobody who came here with Tab is caught in the field. After the
    // current event: the pick may come from inside the input hook's delivery.
    QTimer::singleShot(0, this, [this] { LeaveKeyField(); });
}

void CKeySetControlUI::LeaveKeyField() {
    if (!m_keyName || !m_keyName->hasFocus())
        return;
    QWidget* next = m_keyName->nextInFocusChain();
    while (next && next != m_keyName &&
           !(next->isVisible() && next->isEnabled() && (next->focusPolicy() & Qt::TabFocus)))
        next = next->nextInFocusChain();
    if (next && next != m_keyName)
        next->setFocus(Qt::TabFocusReason);
    else
        m_keyName->clearFocus();
}

bool CKeySetControlUI::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_keyName && m_keyName && event->type() == QEvent::KeyPress) {
        // Every key is the key to pick, Tab and Escape included; none reaches the field.
        const std::optional<std::size_t> row = KeyRowOfEvent(*static_cast<QKeyEvent*>(event));
        if (row && !static_cast<QKeyEvent*>(event)->isAutoRepeat())
            PickKey(KeyTable()[*row], true);
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void CKeySetControlUI::ShowEditor(bool shown) {
    if (m_layout)
        m_layout->setVisible(shown);
    if (m_hint)
        m_hint->setVisible(!shown);
}

void CKeySetControlUI::ShowKeyName(int keyRow) {
    const std::span<const KeyTableRow> table = KeyTable();
    m_keyRow = keyRow >= 0 && static_cast<std::size_t>(keyRow) < table.size() ? keyRow : -1;
    if (!m_keyName)
        return;
    const QSignalBlocker block(m_keyName);
    if (m_keyRow < 0) {
        m_keyName->clear();
        return;
    }
    const std::string_view key = table[static_cast<std::size_t>(m_keyRow)].nameKey;
    m_keyName->setText(Text(QString::fromLatin1(key.data(), static_cast<int>(key.size()))));
}

void CKeySetControlUI::SelectItem(QComboBox* combo, int index) {
    if (!combo)
        return;
    const QSignalBlocker block(combo);
    combo->setCurrentIndex(index >= 0 && index < combo->count() ? index : -1);
}

void CKeySetControlUI::ShowCountLayout(bool shown) {
    if (m_cycleLayout)
        m_cycleLayout->setVisible(shown);
}

void RegisterKeySetControl(ControlFactory& factory) {
    if (!factory.Knows(QString::fromLatin1(kKeySetControlClass)))
        factory.Register(QString::fromLatin1(kKeySetControlClass),
                         [](QWidget* parent) { return new CKeySetControlUI(parent); });
}

} // namespace nk7x
