// MacroEventRows: the macro editor's action list as the user sees it. One list item per event of the
// macro, kept in step with the action list model; row widgets (key, action and an editable delay) only
// for the rows in view; the model's selection shown, and the user's row choice and delay edits passed
// back to the model.
#pragma once

#include "macros/MacroActionList.h"

#include <QListWidget>
#include <QObject>
#include <QPointer>
#include <QString>

#include <string>
#include <unordered_set>

class QEvent;
class QWidget;

namespace nk7x {

class LanguageTexts;

// Every row of the macro lists is this high.
inline constexpr int kMacroRowHeight = 30;

// A widget and all its children let mouse input through (while recording), or take it again.
void SetMouseTransparent(QWidget* widget, bool transparent);

class MacroEventRows : public QObject {
    Q_OBJECT
  public:
    // `actions` outlives the rows.
    explicit MacroEventRows(MacroActionList& actions);
    ~MacroEventRows() override;

    // The list the rows live in (may be null); wired once per list.
    void Attach(QListWidget* list);
    QListWidget* List() const { return m_list; }
    // Texts of the language for the labels; null shows the name keys. Borrowed. Rebuilds the rows.
    void SetLanguageTexts(const LanguageTexts* texts);
    // Rows made while recording take no mouse input either.
    void SetRecordingState(bool recording) { m_recordingState = recording; }

    // Follows one change of the model.
    void OnActionsChanged(const MacroActionChange& change);
    void ScrollToSelected();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    QString Text(const std::string& key) const;
    QWidget* MakeRow(const MacroActionRow& row);
    void ShowRow(QWidget* widget, const MacroActionRow& row);
    void Rebuild();
    // Row widgets exist only for the rows in view and a few around them: a macro of thousands of
    // events would otherwise lay out and move thousands of widgets on every change.
    void ShowVisibleRows();
    void ShowSelection();
    int RowOfDelayEdit(const QObject* edit) const;

    MacroActionList& m_actions;
    const LanguageTexts* m_texts = nullptr;
    QPointer<QListWidget> m_list;
    bool m_syncing = false; // the list is being set from the model
    bool m_recordingState = false;
    bool m_showingRows = false;
    std::unordered_set<QListWidgetItem*> m_rowWidgets; // the items that have a row widget
};

} // namespace nk7x
