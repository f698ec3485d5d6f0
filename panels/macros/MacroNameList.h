// MacroNameList: the macro list of the editor. It shows the page's macros from the index file, keeps
// the list and the macro files in step as macros are created, imported, renamed and deleted, and loads
// the selected macro's events into the action list model (saving them back on request).
#pragma once

#include "macros/MacroActionList.h"
#include "macros/MacroStore.h"

#include <QLineEdit>
#include <QListWidget>
#include <QObject>
#include <QPointer>
#include <QString>

#include <functional>
#include <string>
#include <vector>

namespace nk7x {

struct MacroRenameOutcome {
    int index = -1; // the renamed macro, -1 when nothing happened
    MacroResult result = MacroResult::NoSuchMacro;
};

class MacroNameList : public QObject {
    Q_OBJECT
  public:
    // `actions` outlives the list; `enableEditing` is told whether a macro is there to edit.
    MacroNameList(MacroActionList& actions, std::function<void(bool)> enableEditing);

    // The list widget and the rename field (either may be null); the list is wired once.
    void Attach(QListWidget* list, QLineEdit* nameEdit);

    void SetDataFolder(const std::string& folder);
    const std::string& DataFolder() const { return m_store.Folder(); }
    void Load();
    const std::vector<std::string>& Names() const { return m_names; }
    int Count() const;

    int Selected() const;
    MacroInfo SelectedInfo() const;
    void SelectAt(int index);
    void SelectionChanged();
    std::string Create();
    MacroRenameOutcome Rename();
    int DeleteSelected();
    MacroResult Save();
    MacroResult Export(const QString& path) const;
    std::string Import(const QString& path, MacroResult* result);

  private:
    // A row of the list for `info`; Append adds it at the end and selects it.
    QListWidgetItem* Item(const MacroInfo& info) const;
    QListWidgetItem* Append(const MacroInfo& info);

    MacroActionList& m_actions;
    std::function<void(bool)> m_enableEditing;
    MacroStore m_store{std::string()};
    std::vector<std::string> m_names;
    bool m_syncing = false; // the list is being set by the panel itself
    QPointer<QListWidget> m_list;
    QPointer<QLineEdit> m_nameEdit;
};

} // namespace nk7x
