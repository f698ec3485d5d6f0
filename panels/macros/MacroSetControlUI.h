// CMacroSetControlUI: the macro editor of a device page. It shows the page's macros and the events
// of the selected one, performs the list and event operations on the macro files, and holds the
// recording state; the clicks reach it through the main window's routes (MacroRoutes).
#pragma once

#include "macros/MacroActionList.h"
#include "macros/MacroRecorder.h"
#include "macros/MacroStore.h"
#include "platform/input/InputEvent.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <vector>

class QTimer;

namespace nk7x {

class LanguageTexts;

// The layout class name of the panel's root, and the layout item class whose content builds it.
inline constexpr const char* kMacroControlClass = "MacroControl";
inline constexpr const char* kMacroContentClass = "MacroSetControlUI";
// The action menu of an event row, relative to the skin folder.
inline constexpr const char* kMacroActionMenu = "XML\\Menus\\macro_action_menu.xml";

// The four mouse-move buttons, in the order of their edits.
enum class MoveDirection : int { Left, Right, Up, Down };

class CMacroSetControlUI : public QWidget {
    Q_OBJECT
  public:
    // The scroll timer brings the selected row into view after a recorded event.
    static constexpr int kScrollTimerId = 4101;
    static constexpr int kScrollDelayMs = 50;
    static constexpr int kRowHeight = 30;

    explicit CMacroSetControlUI(QWidget* parent = nullptr);
    ~CMacroSetControlUI() override;

    // Finds the child controls; again after the content changed.
    void Init();
    // Texts of the language for the rows' labels; null shows the name keys. Borrowed.
    void SetLanguageTexts(const LanguageTexts* texts);

    // Set-up by the page.
    void SetDataFolder(const std::string& folder);
    const std::string& DataFolder() const { return m_store.Folder(); }
    // Fills the macro list from the index file; selects nothing.
    void LoadMacroList();
    std::vector<std::string> MacroNames() const { return m_names; }
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
    struct RenameOutcome {
        int index = -1; // the renamed macro, -1 when nothing happened
        MacroResult result = MacroResult::NoSuchMacro;
    };
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
    bool Recording() const { return m_recorder->Recording(); }
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
    const MacroRecorder& Recorder() const { return *m_recorder; }
    QListWidget* ActionList() const { return m_actionList; }
    QListWidget* NameList() const { return m_nameList; }
    bool ScrollPending() const;

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // A row of the macro list for `info`; AppendMacro adds it at the end and selects it.
    QListWidgetItem* MacroItem(const MacroInfo& info) const;
    QListWidgetItem* AppendMacro(const MacroInfo& info);
    QString Text(const std::string& key) const;
    MacroInfo SelectedInfo() const;
    void EnableEditing(bool enabled);
    void OnActionsChanged(const MacroActionChange& change);
    QWidget* MakeRow(const MacroActionRow& row);
    void ShowRow(QWidget* widget, const MacroActionRow& row);
    void RebuildRows();
    // Row widgets exist only for the rows in view and a few around them: a macro of thousands of
    // events would otherwise lay out and move thousands of widgets on every change.
    void ShowVisibleRows();
    void ShowSelection();
    int RowOfDelayEdit(const QObject* edit) const;
    void ScrollToSelected();
    void StartScrollTimer();
    void MakeMouseTransparent(QWidget* widget, bool transparent);
    // Saves after an event operation; the list keeps what it shows when the write fails.
    bool Changed();

    const LanguageTexts* m_texts = nullptr;
    MacroStore m_store{std::string()};
    std::vector<std::string> m_names;
    MacroActionList m_actions;
    std::unique_ptr<MacroRecorder> m_recorder;
    bool m_syncing = false; // the widgets are being set from the model
    bool m_recordingState = false;
    bool m_showingRows = false;
    std::unordered_set<QListWidgetItem*> m_rowWidgets; // the items that have a row widget

    QPointer<QListWidget> m_nameList;
    QPointer<QListWidget> m_actionList;
    QPointer<QWidget> m_nameTab;
    QPointer<QWidget> m_actionLayout;
    QPointer<QWidget> m_moveLayout;
    QPointer<QWidget> m_actionEdit;
    QPointer<QWidget> m_delayEdit;
    QPointer<QAbstractButton> m_startButton;
    QPointer<QAbstractButton> m_stopButton;
    QPointer<QAbstractButton> m_exportButton;
    QPointer<QAbstractButton> m_subButton;
    QPointer<QAbstractButton> m_renameButton;
    QPointer<QAbstractButton> m_fixedCheck;
    QPointer<QLineEdit> m_fixedEdit;
    QPointer<QLineEdit> m_nameEdit;
    QPointer<QLabel> m_source;
    std::array<QPointer<QLineEdit>, 4> m_moveEdits;
    QTimer* m_scrollTimer = nullptr;
};

class ControlFactory;
// Makes the panel known to the control factory under its layout class name.
void RegisterMacroSetControl(ControlFactory& factory);

} // namespace nk7x
