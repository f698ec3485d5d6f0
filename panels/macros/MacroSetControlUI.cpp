#include "panels/macros/MacroSetControlUI.h"

#include "ui/ControlFactory.h"
#include "ui/LanguageTexts.h"
#include "ui/UiNotify.h"
#include "ui/UiWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QStyle>
#include <QTimer>

#include <algorithm>
#include <chrono>

namespace nk7x {
namespace {

constexpr int kDelayFieldHeight = 25;
constexpr const char* kDelayFieldName = "macro_delay";
constexpr const char* kRowName = "macro_action";
// Rows above and below the view that keep their widgets, so a step of scrolling finds them made.
constexpr int kRowsAroundView = 3;
// A control name; written in two pieces because "mouse_move_" literals are read as language keys.
constexpr const char* kMoveLayoutName = "mouse_move"
                                        "_layout";

QString Q(const std::string& s) {
    return QString::fromStdString(s);
}

int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

const char* KeyStyleName(KeyLabelStyle style) {
    return style == KeyLabelStyle::Keyboard ? "macro_label_keyboard_style" : "macro_label_mouse_style";
}

const char* ActionStyleName(ActionLabelStyle style) {
    switch (style) {
    case ActionLabelStyle::Down:
        return "macro_label_down_style";
    case ActionLabelStyle::Up:
        return "macro_label_up_style";
    case ActionLabelStyle::Text:
        break;
    }
    return "macro_label_text_style";
}

// A dynamic property the style sheet selects on takes effect only once the widget is polished again.
void SetStyleProperty(QWidget* w, const char* style) {
    if (w->property("style").toString() == QLatin1String(style))
        return;
    w->setProperty("style", QString::fromLatin1(style));
    w->style()->unpolish(w);
    w->style()->polish(w);
}

} // namespace

CMacroSetControlUI::CMacroSetControlUI(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_StyledBackground, true);
    m_recorder = std::make_unique<MacroRecorder>(m_actions, [] { return SteadyMs(); });
    m_recorder->SetStopButtonHitTest(
        [this](int x, int y) { return StopButtonScreenRect().contains(QPoint(x, y)); });
    m_actions.SetListener([this](const MacroActionChange& change) { OnActionsChanged(change); });
    m_scrollTimer = new QTimer(this);
    m_scrollTimer->setSingleShot(true);
    m_scrollTimer->setInterval(kScrollDelayMs);
    connect(m_scrollTimer, &QTimer::timeout, this, [this] { ScrollToSelected(); });
}

CMacroSetControlUI::~CMacroSetControlUI() {
    m_actions.SetListener({});
    // The list outlives this part of the panel: its scrolling must not reach the rows any more.
    if (m_actionList) {
        m_actionList->verticalScrollBar()->disconnect(this);
        m_actionList->viewport()->removeEventFilter(this);
    }
}

void CMacroSetControlUI::SetClock(MacroRecorder::Clock clock) {
    if (Recording() || !clock)
        return;
    m_recorder = std::make_unique<MacroRecorder>(m_actions, std::move(clock));
    m_recorder->SetStopButtonHitTest(
        [this](int x, int y) { return StopButtonScreenRect().contains(QPoint(x, y)); });
}

void CMacroSetControlUI::Init() {
    auto find = [this](const char* name) {
        return UiWindow::FindSubControlByName(this, QString::fromLatin1(name));
    };
    auto button = [&find](const char* name) { return qobject_cast<QAbstractButton*>(find(name)); };
    auto edit = [&find](const char* name) { return qobject_cast<QLineEdit*>(find(name)); };
    m_nameList = qobject_cast<QListWidget*>(find("macro_name_list"));
    m_actionList = qobject_cast<QListWidget*>(find("macro_action_list"));
    m_nameTab = find("macro_name_tab");
    m_actionLayout = find("macro_action_layout");
    m_moveLayout = find(kMoveLayoutName);
    m_actionEdit = find("macro_tab_macroaction_edit");
    m_delayEdit = find("macro_tab_macrodelay_edit");
    m_startButton = button("macro_btn_starredio");
    m_stopButton = button("macro_btn_stopredio");
    m_exportButton = button("macro_btn_export");
    m_subButton = button("macro_btn_name_sub");
    m_renameButton = button("macro_btn_name_edit");
    m_fixedCheck = button("macro_check_time");
    m_fixedEdit = edit("macro_fixed_time_edit");
    m_nameEdit = edit("macro_edit_macroname");
    m_source = qobject_cast<QLabel*>(find("macro_input_source"));
    m_moveEdits = {edit("mouse_x_left_edit"), edit("mouse_x_right_edit"), edit("mouse_y_up_edit"),
                   edit("mouse_y_down_edit")};

    for (QLineEdit* e : m_moveEdits)
        if (e)
            e->setValidator(new QIntValidator(0, 99999, e));
    if (m_fixedEdit) {
        m_fixedEdit->setValidator(new QIntValidator(0, 999999, m_fixedEdit));
        if (m_fixedEdit->text().isEmpty())
            m_fixedEdit->setText(QString::number(kDefaultFixedDelay));
    }
    if (m_nameList && !m_nameList->property("_macroWired").toBool()) {
        m_nameList->setProperty("_macroWired", true);
        // Only the user's choice reaches the window; the panel's own selections load directly.
        // Told once the row is selected: a click makes the row current before it selects it, and
        // the macro is loaded only for a selected row.
        connect(m_nameList, &QListWidget::itemSelectionChanged, this, [this] {
            if (!m_syncing)
                RaiseNotify(m_nameList, QStringLiteral("itemselect"), m_nameList->currentRow());
        });
    }
    if (m_actionList && !m_actionList->property("_macroWired").toBool()) {
        m_actionList->setProperty("_macroWired", true);
        m_actionList->setSelectionMode(QAbstractItemView::SingleSelection);
        m_actionList->setUniformItemSizes(true); // every row is kRowHeight high
        m_actionList->viewport()->installEventFilter(this);
        connect(m_actionList->verticalScrollBar(), &QScrollBar::valueChanged, this,
                [this] { ShowVisibleRows(); });
        connect(m_actionList->verticalScrollBar(), &QScrollBar::rangeChanged, this,
                [this] { ShowVisibleRows(); });
        m_actionList->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(m_actionList, &QListWidget::currentRowChanged, this, [this](int row) {
            if (!m_syncing)
                m_actions.Select(row < 0 ? std::nullopt
                                         : std::optional<std::size_t>(static_cast<std::size_t>(row)));
        });
        connect(m_actionList, &QListWidget::customContextMenuRequested, this, [this](const QPoint& at) {
            QListWidgetItem* item = m_actionList->itemAt(at);
            QWidget* row = item ? m_actionList->itemWidget(item) : nullptr;
            if (item)
                m_actionList->setCurrentItem(item);
            RaiseNotify(row ? row : m_actionList.data(), QStringLiteral("menu"),
                        m_actionList->viewport()->mapToGlobal(at).x(),
                        m_actionList->viewport()->mapToGlobal(at).y());
        });
    }
    SetRecordingState(false);
    EnableEditing(SelectedMacro() >= 0);
}

void CMacroSetControlUI::SetLanguageTexts(const LanguageTexts* texts) {
    m_texts = texts;
    RebuildRows();
}

QString CMacroSetControlUI::Text(const std::string& key) const {
    if (key.empty())
        return QString();
    return m_texts ? m_texts->Text(Q(key)) : Q(key);
}

// ---- the macro list ---------------------------------------------------------------------------

void CMacroSetControlUI::SetDataFolder(const std::string& folder) {
    m_store = MacroStore(folder);
}

void CMacroSetControlUI::LoadMacroList() {
    const std::vector<MacroInfo> index = m_store.LoadIndex();
    m_names.clear();
    m_syncing = true;
    if (m_nameList) {
        m_nameList->clear();
        for (const MacroInfo& info : index)
            m_nameList->addItem(MacroItem(info));
        m_nameList->setCurrentRow(-1);
    }
    m_syncing = false;
    for (const MacroInfo& info : index)
        m_names.push_back(info.name);
    m_actions.Clear();
    EnableEditing(false);
}

int CMacroSetControlUI::MacroCount() const {
    return m_nameList ? m_nameList->count() : 0;
}

int CMacroSetControlUI::SelectedMacro() const {
    if (!m_nameList)
        return -1;
    const int row = m_nameList->currentRow();
    return row >= 0 && m_nameList->item(row) && m_nameList->item(row)->isSelected() ? row : -1;
}

MacroInfo CMacroSetControlUI::SelectedInfo() const {
    const int row = SelectedMacro();
    if (row < 0)
        return {};
    const QListWidgetItem* item = m_nameList->item(row);
    return {item->text().toStdString(), item->data(Qt::UserRole).toString().toStdString()};
}

void CMacroSetControlUI::SelectMacroAt(int index) {
    if (!m_nameList)
        return;
    m_syncing = true;
    if (index < 0 || index >= m_nameList->count()) {
        m_nameList->setCurrentRow(-1);
        m_nameList->clearSelection();
    } else {
        m_nameList->setCurrentRow(index, QItemSelectionModel::ClearAndSelect);
    }
    m_syncing = false;
    SelectMacro();
}

void CMacroSetControlUI::SelectMacro() {
    const MacroInfo info = SelectedInfo();
    if (SelectedMacro() < 0) {
        m_actions.Clear();
        EnableEditing(false);
        return;
    }
    if (info.guid.empty())
        return;
    EnableEditing(true);
    m_actions.Load(m_store.LoadEvents(info.guid));
}

void CMacroSetControlUI::EnableEditing(bool enabled) {
    for (QWidget* w : {static_cast<QWidget*>(m_actionLayout), static_cast<QWidget*>(m_moveLayout),
                       static_cast<QWidget*>(m_exportButton), static_cast<QWidget*>(m_subButton),
                       static_cast<QWidget*>(m_renameButton)})
        if (w)
            w->setEnabled(enabled);
}

QListWidgetItem* CMacroSetControlUI::MacroItem(const MacroInfo& info) const {
    auto* item = new QListWidgetItem(Q(info.name));
    item->setData(Qt::UserRole, Q(info.guid));
    item->setSizeHint(QSize(0, kRowHeight));
    return item;
}

QListWidgetItem* CMacroSetControlUI::AppendMacro(const MacroInfo& info) {
    QListWidgetItem* item = MacroItem(info);
    m_syncing = true;
    m_nameList->addItem(item);
    m_syncing = false;
    m_names.push_back(info.name);
    SelectMacroAt(m_nameList->count() - 1);
    return item;
}

std::string CMacroSetControlUI::CreateMacro() {
    if (!m_nameList)
        return {};
    MacroInfo created;
    if (m_store.Create(created) != MacroResult::Ok)
        return {};
    QListWidgetItem* item = AppendMacro(created);
    m_nameList->scrollToItem(item);
    return created.name;
}

CMacroSetControlUI::RenameOutcome CMacroSetControlUI::RenameMacro() {
    RenameOutcome out;
    const int index = SelectedMacro();
    if (index < 0 || !m_nameEdit)
        return out;
    const std::string name = m_nameEdit->text().toStdString();
    out.result = m_store.Rename(index, name);
    if (out.result != MacroResult::Ok)
        return out;
    out.index = index;
    m_nameList->item(index)->setText(Q(name));
    if (static_cast<std::size_t>(index) < m_names.size())
        m_names[static_cast<std::size_t>(index)] = name;
    m_nameEdit->clear();
    return out;
}

int CMacroSetControlUI::DeleteSelectedMacro() {
    const int index = SelectedMacro();
    if (index < 0)
        return -1;
    // The index entry goes first: a macro whose file could not be removed stays listed and loadable.
    if (m_store.Delete(index) != MacroResult::Ok)
        return -1;
    m_syncing = true;
    delete m_nameList->takeItem(index);
    m_syncing = false;
    if (static_cast<std::size_t>(index) < m_names.size())
        m_names.erase(m_names.begin() + index);
    m_actions.Clear();
    SelectMacroAt(m_nameList->count() > 0 ? 0 : -1);
    return index;
}

MacroResult CMacroSetControlUI::SaveMacro() {
    const MacroInfo info = SelectedInfo();
    if (SelectedMacro() < 0 || info.guid.empty())
        return MacroResult::NoSuchMacro;
    std::vector<MacroRow> rows = m_actions.ToSaveRows();
    const MacroResult result = m_store.SaveRows(info, rows);
    if (result == MacroResult::Ok)
        m_actions.ApplySaved(rows);
    return result;
}

void CMacroSetControlUI::ReloadMacro() {
    SelectMacro();
}

MacroResult CMacroSetControlUI::ExportMacro(const QString& path) const {
    const MacroInfo info = SelectedInfo();
    if (SelectedMacro() < 0 || info.guid.empty() || path.isEmpty())
        return MacroResult::NoSuchMacro;
    return m_store.Export(info.guid, path.toStdString());
}

std::string CMacroSetControlUI::ImportMacro(const QString& path, MacroResult* result) {
    MacroInfo created;
    const MacroResult r = path.isEmpty() || !m_nameList ? MacroResult::SourceUnreadable
                                                        : m_store.Import(path.toStdString(), created);
    if (result)
        *result = r;
    if (r != MacroResult::Ok)
        return {};
    AppendMacro(created);
    return created.name;
}

// ---- the events -------------------------------------------------------------------------------

bool CMacroSetControlUI::Changed() {
    return SaveMacro() == MacroResult::Ok;
}

bool CMacroSetControlUI::MoveSelected(int step) {
    const std::optional<std::size_t> s = m_actions.Selected();
    const std::size_t n = m_actions.Size();
    if (!s || (step < 0 && *s == 0) || (step > 0 && *s + 1 >= n))
        return false;
    const std::size_t to = step < 0 ? *s - 1 : *s + 1;
    m_actions.Move(*s, to);
    m_actions.Select(to);
    // A few rows beyond the moved one stay in sight, so the next steps can be seen coming.
    const std::size_t ahead = *s + (step < 0 ? 5 : 7);
    if (m_actionList) {
        if (ahead >= n)
            m_actionList->scrollToBottom();
        else
            m_actionList->scrollToItem(m_actionList->item(static_cast<int>(ahead)));
    }
    Changed();
    return true;
}

bool CMacroSetControlUI::MoveSelectedToTop() {
    const std::optional<std::size_t> s = m_actions.Selected();
    if (!s || *s == 0)
        return false;
    m_actions.Move(*s, 0);
    m_actions.Select(0);
    if (m_actionList)
        m_actionList->scrollToTop();
    Changed();
    return true;
}

bool CMacroSetControlUI::MoveSelectedToBottom() {
    const std::optional<std::size_t> s = m_actions.Selected();
    const std::size_t n = m_actions.Size();
    if (!s || *s + 1 >= n)
        return false;
    m_actions.Move(*s, n - 1);
    m_actions.Select(n - 1);
    if (m_actionList)
        m_actionList->scrollToBottom();
    Changed();
    return true;
}

bool CMacroSetControlUI::DeleteSelectedEvent() {
    const std::optional<std::size_t> s = m_actions.Selected();
    if (!s)
        return false;
    m_actions.Remove(*s);
    Changed();
    return true;
}

bool CMacroSetControlUI::DeleteAllEvents() {
    if (SelectedMacro() < 0)
        return false;
    m_actions.Clear();
    Changed();
    return true;
}

namespace {

// Where an inserted event goes: after the selected row, after row 0 without a selection, at the
// top of an empty list.
std::size_t InsertPosition(const MacroActionList& list) {
    if (list.Empty())
        return 0;
    return list.Selected() ? *list.Selected() + 1 : 1;
}

} // namespace

bool CMacroSetControlUI::InsertButton(uint8_t buttonBit, bool down) {
    if (SelectedMacro() < 0)
        return false;
    MacroEvent event;
    event.type = static_cast<int>(MacroEventType::MouseButton);
    event.button = buttonBit;
    event.down = down;
    event.delay = m_recorder->FixedDelay();
    const bool wasEmpty = m_actions.Empty();
    const std::size_t at = m_actions.Insert(InsertPosition(m_actions), MacroActionRow::FromEvent(event));
    if (!wasEmpty)
        m_actions.Select(at);
    if (m_actionList)
        m_actionList->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    Changed();
    return true;
}

bool CMacroSetControlUI::InsertMove(MoveDirection direction) {
    if (SelectedMacro() < 0)
        return false;
    const QLineEdit* edit = m_moveEdits[static_cast<std::size_t>(direction)];
    MacroEvent event;
    event.type = static_cast<int>(direction == MoveDirection::Left || direction == MoveDirection::Right
                                      ? MacroEventType::MouseMoveX
                                      : MacroEventType::MouseMoveY);
    event.down = direction == MoveDirection::Left || direction == MoveDirection::Up;
    event.button = ParseMoveDistance(edit ? edit->text().toStdString() : std::string());
    event.delay = m_recorder->FixedDelay();
    const bool wasEmpty = m_actions.Empty();
    const std::size_t at = m_actions.Insert(InsertPosition(m_actions), MacroActionRow::FromEvent(event));
    if (!wasEmpty)
        m_actions.Select(at);
    if (m_actionList)
        m_actionList->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    Changed();
    return true;
}

bool CMacroSetControlUI::InsertMenuItem(const QString& item) {
    static const struct {
        const char* prefix;
        uint8_t bit;
    } kButtons[] = {
        {"left_", 0x01}, {"right_", 0x02}, {"middle_", 0x04}, {"back_", 0x08}, {"forward_", 0x10}};
    for (const auto& b : kButtons) {
        const QLatin1String prefix(b.prefix);
        if (!item.startsWith(prefix))
            continue;
        const QString what = item.mid(prefix.size());
        if (what == QLatin1String("down"))
            return InsertButton(b.bit, true);
        if (what == QLatin1String("up"))
            return InsertButton(b.bit, false);
        if (what == QLatin1String("click")) {
            // The release lands right after the press: the press is selected when it goes in, except
            // in an empty list, where the release then goes after row 0 as well.
            return InsertButton(b.bit, true) && InsertButton(b.bit, false);
        }
    }
    return false;
}

// ---- recording --------------------------------------------------------------------------------

bool CMacroSetControlUI::FixedDelayChecked() const {
    return m_fixedCheck && m_fixedCheck->isChecked();
}

void CMacroSetControlUI::StartRecording(DelayMode mode, RecordPlacement placement) {
    const QString field = m_fixedEdit ? m_fixedEdit->text() : QString();
    const FixedDelayField fixed = m_recorder->Start(mode, placement, field.toStdString());
    if (fixed.rewrite && m_fixedEdit) {
        m_fixedEdit->setText(Q(fixed.text));
        m_fixedEdit->setCursorPosition(static_cast<int>(m_fixedEdit->text().size()));
    }
    SetRecordingState(true);
}

void CMacroSetControlUI::StopRecording() {
    m_recorder->Stop();
    SetRecordingState(false);
    SaveMacro();
}

RecordOutcome CMacroSetControlUI::HandleInput(const InputEvent& event) {
    const RecordOutcome outcome = m_recorder->Handle(event);
    if (outcome == RecordOutcome::Added)
        StartScrollTimer();
    return outcome;
}

void CMacroSetControlUI::MakeMouseTransparent(QWidget* widget, bool transparent) {
    if (!widget)
        return;
    widget->setAttribute(Qt::WA_TransparentForMouseEvents, transparent);
    for (QWidget* child : widget->findChildren<QWidget*>())
        child->setAttribute(Qt::WA_TransparentForMouseEvents, transparent);
}

void CMacroSetControlUI::SetRecordingState(bool recording) {
    m_recordingState = recording;
    MakeMouseTransparent(m_nameTab, recording);
    MakeMouseTransparent(m_actionList, recording);
    if (m_actionEdit)
        m_actionEdit->setEnabled(!recording);
    if (m_delayEdit)
        m_delayEdit->setEnabled(!recording);
    if (m_startButton)
        m_startButton->setVisible(!recording);
    if (m_stopButton)
        m_stopButton->setVisible(recording);
}

void CMacroSetControlUI::ShowInputSource(const QString& text, const QString& details) {
    if (!m_source)
        return;
    m_source->setText(text);
    m_source->setToolTip(details);
}

QRect CMacroSetControlUI::StopButtonScreenRect() const {
    if (!m_stopButton || !m_stopButton->isVisible())
        return {};
    return QRect(m_stopButton->mapToGlobal(QPoint(0, 0)), m_stopButton->size());
}

void CMacroSetControlUI::StartScrollTimer() {
    m_scrollTimer->start();
}

bool CMacroSetControlUI::ScrollPending() const {
    return m_scrollTimer->isActive();
}

void CMacroSetControlUI::ScrollToSelected() {
    const std::optional<std::size_t> s = m_actions.Selected();
    if (m_actionList && s && static_cast<int>(*s) < m_actionList->count())
        m_actionList->scrollToItem(m_actionList->item(static_cast<int>(*s)));
}

// ---- the rows ---------------------------------------------------------------------------------

QWidget* CMacroSetControlUI::MakeRow(const MacroActionRow& row) {
    auto* w = new QWidget;
    w->setObjectName(QString::fromLatin1(kRowName));
    w->setFixedHeight(kRowHeight);
    auto* box = new QHBoxLayout(w);
    box->setContentsMargins(10, 0, 10, 0);
    box->setSpacing(8);
    auto* key = new QLabel(w);
    key->setObjectName(QStringLiteral("macro_key_label"));
    auto* action = new QLabel(w);
    action->setObjectName(QStringLiteral("macro_action_label"));
    auto* delay = new QLineEdit(w);
    delay->setObjectName(QString::fromLatin1(kDelayFieldName));
    delay->setFixedHeight(kDelayFieldHeight);
    delay->setMaxLength(static_cast<int>(kDelayFieldMaxChars));
    delay->setValidator(new QIntValidator(0, kMaxDelay, delay));
    SetStyleProperty(delay, "macro_label_text_style");
    box->addWidget(key, 5, Qt::AlignVCenter);
    box->addWidget(action, 4, Qt::AlignVCenter);
    box->addWidget(delay, 3, Qt::AlignVCenter);
    connect(delay, &QLineEdit::textEdited, this, [this, delay](const QString& text) {
        const int r = RowOfDelayEdit(delay);
        if (r >= 0) {
            m_syncing = true;
            m_actions.SetDelayText(static_cast<std::size_t>(r), text.toStdString());
            m_syncing = false;
        }
    });
    delay->installEventFilter(this);
    ShowRow(w, row);
    if (m_recordingState)
        MakeMouseTransparent(w, true);
    return w;
}

void CMacroSetControlUI::ShowRow(QWidget* w, const MacroActionRow& row) {
    auto* key = w->findChild<QLabel*>(QStringLiteral("macro_key_label"));
    auto* action = w->findChild<QLabel*>(QStringLiteral("macro_action_label"));
    auto* delay = w->findChild<QLineEdit*>(QString::fromLatin1(kDelayFieldName));
    if (!key || !action || !delay)
        return;
    key->setText(Text(row.keyName));
    SetStyleProperty(key, KeyStyleName(row.keyStyle));
    SetStyleProperty(action, ActionStyleName(row.actionStyle));
    if (row.actionStyle == ActionLabelStyle::Down)
        action->setText(Text("macro_action_down_text"));
    else if (row.actionStyle == ActionLabelStyle::Up)
        action->setText(Text("macro_action_up_text"));
    else
        action->setText(Q(row.actionText));
    // A move shows its direction in the key label and its distance here.
    if (!row.actionText.empty())
        action->setText(Q(row.actionText));
    const QString text = Q(row.delayText);
    if (delay->text() != text)
        delay->setText(text);
}

void CMacroSetControlUI::RebuildRows() {
    if (!m_actionList)
        return;
    m_syncing = true;
    m_actionList->setUpdatesEnabled(false);
    m_actionList->clear();
    m_rowWidgets.clear();
    for (std::size_t i = 0; i < m_actions.Size(); ++i) {
        auto* item = new QListWidgetItem(m_actionList);
        item->setSizeHint(QSize(0, kRowHeight));
    }
    m_actionList->setUpdatesEnabled(true);
    m_syncing = false;
    ShowSelection();
    ShowVisibleRows();
}

void CMacroSetControlUI::ShowVisibleRows() {
    // Creating a row can scroll the list, which calls back here.
    if (!m_actionList || m_showingRows || m_actionList->count() != static_cast<int>(m_actions.Size()))
        return;
    m_showingRows = true;
    const int count = m_actionList->count();
    const QRect view = m_actionList->viewport()->rect();
    int first = 0;
    for (int y : {view.top(), view.top() + kRowHeight / 2})
        if (QListWidgetItem* top = m_actionList->itemAt(QPoint(view.center().x(), y))) {
            first = m_actionList->row(top);
            break;
        }
    const int low = std::max(0, first - kRowsAroundView);
    const int high = std::min(count - 1, first + view.height() / kRowHeight + 1 + kRowsAroundView);
    // A row being typed in keeps its widget wherever it is.
    const QWidget* focus = QApplication::focusWidget();
    for (auto it = m_rowWidgets.begin(); it != m_rowWidgets.end();) {
        const int r = m_actionList->row(*it);
        QWidget* w = m_actionList->itemWidget(*it);
        if ((r >= low && r <= high) || (w && focus && w->isAncestorOf(focus))) {
            ++it;
            continue;
        }
        m_actionList->removeItemWidget(*it);
        delete w;
        it = m_rowWidgets.erase(it);
    }
    for (int r = low; r <= high; ++r) {
        QListWidgetItem* item = m_actionList->item(r);
        if (item && m_rowWidgets.insert(item).second)
            m_actionList->setItemWidget(item, MakeRow(m_actions.Row(static_cast<std::size_t>(r))));
    }
    m_showingRows = false;
}

void CMacroSetControlUI::ShowSelection() {
    if (!m_actionList)
        return;
    m_syncing = true;
    const std::optional<std::size_t> s = m_actions.Selected();
    if (s && static_cast<int>(*s) < m_actionList->count()) {
        m_actionList->setCurrentRow(static_cast<int>(*s), QItemSelectionModel::ClearAndSelect);
    } else {
        m_actionList->setCurrentRow(-1);
        m_actionList->clearSelection();
    }
    m_syncing = false;
}

void CMacroSetControlUI::OnActionsChanged(const MacroActionChange& change) {
    if (!m_actionList)
        return;
    const int row = static_cast<int>(change.row);
    switch (change.kind) {
    case MacroActionChange::Kind::Inserted: {
        m_syncing = true;
        auto* item = new QListWidgetItem;
        item->setSizeHint(QSize(0, kRowHeight));
        m_actionList->insertItem(row, item);
        m_syncing = false;
        ShowSelection();
        ShowVisibleRows();
        break;
    }
    case MacroActionChange::Kind::Replaced:
        if (QListWidgetItem* item = m_actionList->item(row))
            if (QWidget* w = m_actionList->itemWidget(item))
                ShowRow(w, m_actions.Row(change.row));
        break;
    case MacroActionChange::Kind::Removed:
        m_syncing = true;
        m_rowWidgets.erase(m_actionList->item(row));
        delete m_actionList->takeItem(row);
        m_syncing = false;
        ShowSelection();
        ShowVisibleRows();
        break;
    case MacroActionChange::Kind::Moved: {
        // The row is built anew from its stored record at its new place.
        m_syncing = true;
        m_rowWidgets.erase(m_actionList->item(row));
        delete m_actionList->takeItem(row);
        auto* item = new QListWidgetItem;
        item->setSizeHint(QSize(0, kRowHeight));
        m_actionList->insertItem(static_cast<int>(change.to), item);
        m_syncing = false;
        ShowSelection();
        ShowVisibleRows();
        break;
    }
    case MacroActionChange::Kind::Reset:
        RebuildRows();
        break;
    case MacroActionChange::Kind::Selection:
        ShowSelection();
        break;
    }
}

int CMacroSetControlUI::RowOfDelayEdit(const QObject* edit) const {
    if (!m_actionList)
        return -1;
    for (int i = 0; i < m_actionList->count(); ++i) {
        QWidget* w = m_actionList->itemWidget(m_actionList->item(i));
        if (w && w->isAncestorOf(qobject_cast<const QWidget*>(edit)))
            return i;
    }
    return -1;
}

bool CMacroSetControlUI::eventFilter(QObject* watched, QEvent* event) {
    if (m_actionList && watched == m_actionList->viewport() &&
        (event->type() == QEvent::Resize || event->type() == QEvent::Show))
        ShowVisibleRows();
    if (watched->objectName() == QLatin1String(kDelayFieldName)) {
        if (event->type() == QEvent::FocusIn) {
            // Typing a delay selects its row, as a click on the row does.
            const int r = RowOfDelayEdit(watched);
            if (r >= 0 && m_actions.Selected() != std::optional<std::size_t>(static_cast<std::size_t>(r)))
                m_actions.Select(static_cast<std::size_t>(r));
        } else if (event->type() == QEvent::FocusOut) {
            RaiseNotify(static_cast<QWidget*>(watched), QStringLiteral("killfocus"));
        }
    }
    return QWidget::eventFilter(watched, event);
}

void RegisterMacroSetControl(ControlFactory& factory) {
    factory.Register(QString::fromLatin1(kMacroControlClass), [](QWidget* parent) {
        auto* panel = new CMacroSetControlUI(parent);
        return panel;
    });
}

} // namespace nk7x
