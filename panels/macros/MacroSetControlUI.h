// CMacroSetControlUI: the macro editor of a device page. It finds its controls and puts together the
// macro list (MacroNameList), the rows of the selected macro's events (MacroEventRows), the operations
// on those events (MacroEventEdits) and the recording (MacroRecording); the clicks reach it through the
// main window's routes (MacroRoutes).
#pragma once

#include "macros/MacroActionList.h"
#include "macros/MacroRecorder.h"
#include "macros/MacroStore.h"
#include "panels/macros/MacroEventEdits.h"
#include "panels/macros/MacroEventRows.h"
#include "panels/macros/MacroNameList.h"
#include "panels/macros/MacroRecording.h"
#include "platform/input/InputEvent.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

namespace nk7x {

class LanguageTexts;

// The layout class name of the panel's root, and the layout item class whose content builds it.
inline constexpr const char* kMacroControlClass = "MacroControl";
inline constexpr const char* kMacroContentClass = "MacroSetControlUI";
// The action menu of an event row, relative to the skin folder.
inline constexpr const char* kMacroActionMenu = "XML\\Menus\\macro_action_menu.xml";

class CMacroSetControlUI : public QWidget {
    Q_OBJECT
  public:
    // The scroll timer brings the selected row into view after a recorded event.
    static constexpr int kScrollTimerId = 4101;
    static constexpr int kScrollDelayMs = kMacroScrollDelayMs;
    static constexpr int kRowHeight = kMacroRowHeight;

    explicit CMacroSetControlUI(QWidget* parent = nullptr);
    ~CMacroSetControlUI() override;

    // Finds the child controls; again after the content changed.
    void Init();
    // Texts of the language for the rows' labels; null shows the name keys. Borrowed.
    void SetLanguageTexts(const LanguageTexts* texts);

    // Set-up by the page.
    void SetDataFolder(const std::string& folder);
    const std::string& DataFolder() const { return m_names->DataFolder(); }
    // Fills the macro list from the index file; selects nothing.
    void LoadMacroList();
    std::vector<std::string> MacroNames() const { return m_names->Names(); }
    int MacroCount() const;

    // The recorder's clock (milliseconds); tests give their own. Not while recording.
    void SetClock(MacroRecorder::Clock clock);

    // ---- the macro list ----
    int SelectedMacro() const;
    // Selects macro `index` (none for -1) and loads it, as a click in the list does.
    void SelectMacroAt(int index);
    // The list's selection changed: the macro is loaded, or the action list emptied.
    void SelectMacro();
    // A new macro at the end, selected; its name, or empty when the list is full or not written.
    std::string CreateMacro();
    // Renames the selected macro to the text of "macro_edit_macroname".
    using RenameOutcome = MacroRenameOutcome;
    RenameOutcome RenameMacro();
    // Removes the selected macro (file, list entry, index entry) and selects the first remaining
    // one. The caller has fixed the key assignments. The removed index, or -1.
    int DeleteSelectedMacro();
    MacroResult SaveMacro();
    void ReloadMacro();
    MacroResult ExportMacro(const QString& path) const;
    // The new macro's name, or empty when nothing was imported (`result` says why).
    std::string ImportMacro(const QString& path, MacroResult* result = nullptr);

    // ---- the events (each saves when it changed something) ----
    bool MoveSelected(int step); // -1 up, +1 down
    bool MoveSelectedToTop();
    bool MoveSelectedToBottom();
    bool DeleteSelectedEvent();
    bool DeleteAllEvents();
    // Button bit of the mouse table (0x01 left, 0x02 right, 0x04 middle, 0x08 back, 0x10 forward).
    bool InsertButton(uint8_t buttonBit, bool down);
    bool InsertMove(MoveDirection direction);
    // An item of the action menu that inserts ("left_down", "back_click", ...); false for others.
    bool InsertMenuItem(const QString& item);

    // ---- recording ----
    // Starts recording with the given delay mode and placement; in fixed mode the fixed delay is
    // read from "macro_fixed_time_edit" (and written back when out of range).
    void StartRecording(DelayMode mode, RecordPlacement placement);
    // Leaves the recording state and saves the macro.
    void StopRecording();
    bool Recording() const { return m_recording->Recording(); }
    // A hooked event, on the UI thread.
    RecordOutcome HandleInput(const InputEvent& event);
    // Whether "macro_check_time" asks for the fixed delay.
    bool FixedDelayChecked() const;
    // The controls' recording state: the lists take no mouse input and the edit areas are disabled.
    void SetRecordingState(bool recording);
    // What the recording listens to, in the user's words, with the details as a tooltip.
    void ShowInputSource(const QString& text, const QString& details);
    // The stop button's rectangle on the screen.
    QRect StopButtonScreenRect() const;

    MacroActionList& Actions() { return m_actions; }
    const MacroRecorder& Recorder() const { return m_recording->Recorder(); }
    QListWidget* ActionList() const { return m_actionList; }
    QListWidget* NameList() const { return m_nameList; }
    bool ScrollPending() const { return m_recording->ScrollPending(); }

  private:
    void EnableEditing(bool enabled);

    // Declared before the parts, which hold on to it.
    MacroActionList m_actions;
    std::unique_ptr<MacroNameList> m_names;
    std::unique_ptr<MacroEventRows> m_rows;
    std::unique_ptr<MacroRecording> m_recording;
    std::unique_ptr<MacroEventEdits> m_edits;

    QPointer<QListWidget> m_nameList;
    QPointer<QListWidget> m_actionList;
    QPointer<QWidget> m_actionLayout;
    QPointer<QWidget> m_moveLayout;
    QPointer<QWidget> m_exportButton;
    QPointer<QWidget> m_subButton;
    QPointer<QWidget> m_renameButton;
};

class ControlFactory;
// Makes the panel known to the control factory under its layout class name.
void RegisterMacroSetControl(ControlFactory& factory);

} // namespace nk7x
