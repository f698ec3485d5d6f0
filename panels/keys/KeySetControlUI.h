// CKeySetControlUI: the key assignment editor of a keyboard or mouse page. It shows the assignment
// of the selected key in its controls and turns what the user chose back into the three bytes;
// the choices reach the hosting window as notifications of its controls, never handled here.
#pragma once

#include "devices/keyboard/KeyAssignmentCodes.h"
#include "profiles/ProfileRecords.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <array>
#include <string>
#include <vector>

class QAbstractButton;
class QComboBox;
class QLabel;
class QLineEdit;
class QStackedWidget;

namespace nk7x {

class LanguageTexts;

// The layout class name of the panel, and the layout item class whose content builds it.
inline constexpr const char* kKeySetControlClass = "KeySetControl";
inline constexpr const char* kKeySetContentClass = "KeySetControlUI";

class CKeySetControlUI : public QWidget {
    Q_OBJECT
  public:
    explicit CKeySetControlUI(QWidget* parent = nullptr);
    ~CKeySetControlUI() override;

    // Finds the child controls and fills the fixed lists; again after the content changed.
    void Init();

    // Texts of the language for list items and the picked key's name; null shows the keys. Borrowed;
    // re-translates what is shown.
    void SetLanguageTexts(const LanguageTexts* texts);

    // 1 keyboard (no DPI and gun key functions), 2 mouse.
    void SetDeviceType(int type);
    int DeviceType() const { return m_deviceType; }

    // The macro list: one item per name, none selected after filling.
    void FillMacroNames(const std::vector<std::string>& names);
    void AddMacroName(const std::string& name);
    void RemoveMacroName(int index);
    void RenameMacroName(int index, const std::string& name);
    int MacroCount() const;

    // The name of the selected key, shown above the functions.
    void SetKeyTitle(const QString& title);
    // Stores the record and shows its assignment.
    void SetKey(const KeyAssignment& record);
    const KeyAssignment& Current() const { return m_current; }
    bool HasKey() const { return m_hasKey; }

    // Shows an assignment; the editor hides itself for one it has no function for.
    void ShowAssignment(const KeyCode& assignment);
    // The record the controls stand for; it also becomes the current record.
    KeyAssignment CollectAssignment();
    void ShowDefault();
    void ShowCurrent();

    void SelectModifier(int n);
    int GetModifier() const;
    void EnableEditButtons(bool enabled);

    int CategoryIndex(int category) const;
    int CategoryOfItem(int index) const;
    // The category of the selected function item; -1 when none.
    int SelectedCategory() const;

    // A function item was chosen: its page is shown; a keyboard key starts with an empty name and
    // no modifier.
    void OnFunctionSelected(int index);
    // The repeat count is asked for only with the counted repeat mode.
    void OnRepeatModeSelected(int index);

    void SetPickedKey(const KeyCode& assignment);

    // Key picking: a key of the key table was pressed (down) or released while the name field had
    // the focus. A press shows the key or its modifier; the panel then says keyPicked so that the
    // host stores the choice, and the focus moves on to the next control (one key per pick).
    // Keys outside the keyboard page and releases change nothing.
    void PickKey(const KeyTableRow& row, bool down);

    // The controls' state as plain values, and back; no notification is raised.
    KeyChoice ReadChoice() const;
    void ShowChoice(const KeyChoice& choice);

  signals:
    void keyPicked();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // After a pick: the focus to the next control that takes it (or nowhere).
    void LeaveKeyField();
    QString Text(const QString& key) const;
    void FillFixedLists();
    void FillFunctionList();
    void ShowEditor(bool shown);
    void ShowKeyName(int keyRow);
    void SelectItem(QComboBox* combo, int index);
    void ShowCountLayout(bool shown);

    const LanguageTexts* m_texts = nullptr;
    int m_deviceType = 1;
    KeyAssignment m_current{};
    bool m_hasKey = false;
    int m_keyRow = -1; // key-table row of the name shown, -1 for an empty field
    uint8_t m_usage = 0;

    QPointer<QWidget> m_layout;
    QPointer<QWidget> m_hint;
    QPointer<QLabel> m_keyTitle;
    QPointer<QComboBox> m_function;
    QPointer<QStackedWidget> m_pages;
    QPointer<QComboBox> m_mouseKey;
    QPointer<QComboBox> m_swingDirection;
    QPointer<QLineEdit> m_swingCount;
    QPointer<QLineEdit> m_swingDelay;
    QPointer<QLineEdit> m_swingSpeed;
    QPointer<QComboBox> m_wheelDirection;
    QPointer<QLineEdit> m_wheelCount;
    QPointer<QLineEdit> m_wheelDelay;
    QPointer<QLineEdit> m_wheelSpeed;
    QPointer<QComboBox> m_dpi;
    QPointer<QLineEdit> m_fireInterval;
    QPointer<QLineEdit> m_fireCount;
    QPointer<QLineEdit> m_keyName;
    std::array<QPointer<QAbstractButton>, kModifierOptions> m_modifiers;
    QPointer<QComboBox> m_media;
    QPointer<QComboBox> m_system;
    QPointer<QComboBox> m_macro;
    QPointer<QComboBox> m_repeatMode;
    QPointer<QWidget> m_cycleLayout;
    QPointer<QLineEdit> m_cycleCount;
    QPointer<QComboBox> m_gunKey;
    QPointer<QComboBox> m_shortcut;
    std::array<QPointer<QAbstractButton>, 4> m_buttons; // default, store, cancel, write
};

class ControlFactory;
// Makes the panel known to the control factory under its layout class name.
void RegisterKeySetControl(ControlFactory& factory);

} // namespace nk7x
