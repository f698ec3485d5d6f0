#include "panels/macros/MacroNameList.h"

#include "panels/macros/MacroEventRows.h"
#include "ui/UiNotify.h"

namespace nk7x {
namespace {

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

} // namespace

MacroNameList::MacroNameList(MacroActionList& actions, std::function<void(bool)> enableEditing)
    : m_actions(actions), m_enableEditing(std::move(enableEditing)) {}

void MacroNameList::Attach(QListWidget* list, QLineEdit* nameEdit) {
    m_list = list;
    m_nameEdit = nameEdit;
    if (m_list && !m_list->property("_macroWired").toBool()) {
        m_list->setProperty("_macroWired", true);
        // Only the user's choice reaches the window; the panel's own selections load directly.
        // Told once the row is selected: a click makes the row current before it selects it, and
        // the macro is loaded only for a selected row.
        connect(m_list, &QListWidget::itemSelectionChanged, this, [this] {
            if (!m_syncing)
                RaiseNotify(m_list, QStringLiteral("itemselect"), m_list->currentRow());
        });
    }
}

void MacroNameList::SetDataFolder(const std::string& folder) {
    m_store = MacroStore(folder);
}

void MacroNameList::Load() {
    const std::vector<MacroInfo> index = m_store.LoadIndex();
    m_names.clear();
    m_syncing = true;
    if (m_list) {
        m_list->clear();
        for (const MacroInfo& info : index)
            m_list->addItem(Item(info));
        m_list->setCurrentRow(-1);
    }
    m_syncing = false;
    for (const MacroInfo& info : index)
        m_names.push_back(info.name);
    m_actions.Clear();
    m_enableEditing(false);
}

int MacroNameList::Count() const {
    return m_list ? m_list->count() : 0;
}

int MacroNameList::Selected() const {
    if (!m_list)
        return -1;
    const int row = m_list->currentRow();
    return row >= 0 && m_list->item(row) && m_list->item(row)->isSelected() ? row : -1;
}

MacroInfo MacroNameList::SelectedInfo() const {
    const int row = Selected();
    if (row < 0)
        return {};
    const QListWidgetItem* item = m_list->item(row);
    return {item->text().toStdString(), item->data(Qt::UserRole).toString().toStdString()};
}

void MacroNameList::SelectAt(int index) {
    if (!m_list)
        return;
    m_syncing = true;
    if (index < 0 || index >= m_list->count()) {
        m_list->setCurrentRow(-1);
        m_list->clearSelection();
    } else {
        m_list->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
    }
    m_syncing = false;
    SelectionChanged();
}

void MacroNameList::SelectionChanged() {
    const MacroInfo info = SelectedInfo();
    if (Selected() < 0) {
        m_actions.Clear();
        m_enableEditing(false);
        return;
    }
    if (info.guid.empty())
        return;
    m_enableEditing(true);
    m_actions.Load(m_store.LoadEvents(info.guid));
}

QListWidgetItem* MacroNameList::Item(const MacroInfo& info) const {
    auto* item = new QListWidgetItem(Q(info.name));
    item->setData(Qt::UserRole, Q(info.guid));
    item->setSizeHint(QSize(0, kMacroRowHeight));
    return item;
}

QListWidgetItem* MacroNameList::Append(const MacroInfo& info) {
    QListWidgetItem* item = Item(info);
    m_syncing = true;
    m_list->addItem(item);
    m_syncing = false;
    m_names.push_back(info.name);
    SelectAt(m_list->count() - 1);
    return item;
}

std::string MacroNameList::Create() {
    if (!m_list)
        return {};
    MacroInfo created;
    if (m_store.Create(created) != MacroResult::Ok)
        return {};
    QListWidgetItem* item = Append(created);
    m_list->scrollToItem(item);
    return created.name;
}

MacroRenameOutcome MacroNameList::Rename() {
    MacroRenameOutcome out;
    const int index = Selected();
    if (index < 0 || !m_nameEdit)
        return out;
    const std::string name = m_nameEdit->text().toStdString();
    out.result = m_store.Rename(index, name);
    if (out.result != MacroResult::Ok)
        return out;
    out.index = index;
    m_list->item(index)->setText(Q(name));
    if (static_cast<std::size_t>(index) < m_names.size())
        m_names[static_cast<std::size_t>(index)] = name;
    m_nameEdit->clear();
    return out;
}

int MacroNameList::DeleteSelected() {
    const int index = Selected();
    if (index < 0)
        return -1;
    // The index entry goes first: a macro whose file could not be removed stays listed and loadable.
    if (m_store.Delete(index) != MacroResult::Ok)
        return -1;
    m_syncing = true;
    delete m_list->takeItem(index);
    m_syncing = false;
    if (static_cast<std::size_t>(index) < m_names.size())
        m_names.erase(m_names.begin() + index);
    m_actions.Clear();
    SelectAt(m_list->count() > 0 ? 0 : -1);
    return index;
}

MacroResult MacroNameList::Save() {
    const MacroInfo info = SelectedInfo();
    if (Selected() < 0 || info.guid.empty())
        return MacroResult::NoSuchMacro;
    std::vector<MacroRow> rows = m_actions.ToSaveRows();
    const MacroResult result = m_store.SaveRows(info, rows);
    if (result == MacroResult::Ok)
        m_actions.ApplySaved(rows);
    return result;
}

MacroResult MacroNameList::Export(const QString& path) const {
    const MacroInfo info = SelectedInfo();
    if (Selected() < 0 || info.guid.empty() || path.isEmpty())
        return MacroResult::NoSuchMacro;
    return m_store.Export(info.guid, path.toStdString());
}

std::string MacroNameList::Import(const QString& path, MacroResult* result) {
    MacroInfo created;
    const MacroResult r = path.isEmpty() || !m_list ? MacroResult::SourceUnreadable
                                                    : m_store.Import(path.toStdString(), created);
    if (result)
        *result = r;
    if (r != MacroResult::Ok)
        return {};
    Append(created);
    return created.name;
}

} // namespace nk7x
