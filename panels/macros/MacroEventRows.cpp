#include "panels/macros/MacroEventRows.h"

#include "ui/LanguageTexts.h"
#include "ui/UiNotify.h"

#include <QApplication>
#include <QEvent>
#include <QHBoxLayout>
#include <QIntValidator>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QStyle>

#include <algorithm>
#include <optional>

namespace nk7x {
namespace {

constexpr int kDelayFieldHeight = 25;
constexpr const char* kDelayFieldName = "macro_delay";
constexpr const char* kRowName = "macro_action";
// Rows above and below the view that keep their widgets, so a step of scrolling finds them made.
constexpr int kRowsAroundView = 3;

QString Q(const std::string& s) {
    return QString::fromStdString(s);
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

void SetMouseTransparent(QWidget* widget, bool transparent) {
    if (!widget)
        return;
    widget->setAttribute(Qt::WA_TransparentForMouseEvents, transparent);
    for (QWidget* child : widget->findChildren<QWidget*>())
        child->setAttribute(Qt::WA_TransparentForMouseEvents, transparent);
}

MacroEventRows::MacroEventRows(MacroActionList& actions) : m_actions(actions) {}

MacroEventRows::~MacroEventRows() {
    // The list outlives the rows: its scrolling must not reach them any more.
    if (m_list) {
        m_list->verticalScrollBar()->disconnect(this);
        m_list->viewport()->removeEventFilter(this);
    }
}

void MacroEventRows::Attach(QListWidget* list) {
    m_list = list;
    if (m_list && !m_list->property("_macroWired").toBool()) {
        m_list->setProperty("_macroWired", true);
        m_list->setSelectionMode(QAbstractItemView::SingleSelection);
        m_list->setUniformItemSizes(true); // every row is kMacroRowHeight high
        m_list->viewport()->installEventFilter(this);
        connect(m_list->verticalScrollBar(), &QScrollBar::valueChanged, this, [this] { ShowVisibleRows(); });
        connect(m_list->verticalScrollBar(), &QScrollBar::rangeChanged, this, [this] { ShowVisibleRows(); });
        m_list->setContextMenuPolicy(Qt::CustomContextMenu);
        connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) {
            if (!m_syncing)
                m_actions.Select(row < 0 ? std::nullopt
                                         : std::optional<std::size_t>(static_cast<std::size_t>(row)));
        });
        connect(m_list, &QListWidget::customContextMenuRequested, this, [this](const QPoint& at) {
            QListWidgetItem* item = m_list->itemAt(at);
            QWidget* row = item ? m_list->itemWidget(item) : nullptr;
            if (item)
                m_list->setCurrentItem(item);
            RaiseNotify(row ? row : m_list.data(), QStringLiteral("menu"),
                        m_list->viewport()->mapToGlobal(at).x(), m_list->viewport()->mapToGlobal(at).y());
        });
    }
}

void MacroEventRows::SetLanguageTexts(const LanguageTexts* texts) {
    m_texts = texts;
    Rebuild();
}

QString MacroEventRows::Text(const std::string& key) const {
    if (key.empty())
        return QString();
    return m_texts ? m_texts->Text(Q(key)) : Q(key);
}

QWidget* MacroEventRows::MakeRow(const MacroActionRow& row) {
    auto* w = new QWidget;
    w->setObjectName(QString::fromLatin1(kRowName));
    w->setFixedHeight(kMacroRowHeight);
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
        SetMouseTransparent(w, true);
    return w;
}

void MacroEventRows::ShowRow(QWidget* w, const MacroActionRow& row) {
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

void MacroEventRows::Rebuild() {
    if (!m_list)
        return;
    m_syncing = true;
    m_list->setUpdatesEnabled(false);
    m_list->clear();
    m_rowWidgets.clear();
    for (std::size_t i = 0; i < m_actions.Size(); ++i) {
        auto* item = new QListWidgetItem(m_list);
        item->setSizeHint(QSize(0, kMacroRowHeight));
    }
    m_list->setUpdatesEnabled(true);
    m_syncing = false;
    ShowSelection();
    ShowVisibleRows();
}

void MacroEventRows::ShowVisibleRows() {
    // Creating a row can scroll the list, which calls back here.
    if (!m_list || m_showingRows || m_list->count() != static_cast<int>(m_actions.Size()))
        return;
    m_showingRows = true;
    const int count = m_list->count();
    const QRect view = m_list->viewport()->rect();
    int first = 0;
    for (int y : {view.top(), view.top() + kMacroRowHeight / 2})
        if (QListWidgetItem* top = m_list->itemAt(QPoint(view.center().x(), y))) {
            first = m_list->row(top);
            break;
        }
    const int low = std::max(0, first - kRowsAroundView);
    const int high = std::min(count - 1, first + view.height() / kMacroRowHeight + 1 + kRowsAroundView);
    // A row being typed in keeps its widget wherever it is.
    const QWidget* focus = QApplication::focusWidget();
    for (auto it = m_rowWidgets.begin(); it != m_rowWidgets.end();) {
        const int r = m_list->row(*it);
        QWidget* w = m_list->itemWidget(*it);
        if ((r >= low && r <= high) || (w && focus && w->isAncestorOf(focus))) {
            ++it;
            continue;
        }
        m_list->removeItemWidget(*it);
        delete w;
        it = m_rowWidgets.erase(it);
    }
    for (int r = low; r <= high; ++r) {
        QListWidgetItem* item = m_list->item(r);
        if (item && m_rowWidgets.insert(item).second)
            m_list->setItemWidget(item, MakeRow(m_actions.Row(static_cast<std::size_t>(r))));
    }
    m_showingRows = false;
}

void MacroEventRows::ShowSelection() {
    if (!m_list)
        return;
    m_syncing = true;
    const std::optional<std::size_t> s = m_actions.Selected();
    if (s && static_cast<int>(*s) < m_list->count()) {
        m_list->setCurrentRow(static_cast<int>(*s), QItemSelectionModel::ClearAndSelect);
    } else {
        m_list->setCurrentRow(-1);
        m_list->clearSelection();
    }
    m_syncing = false;
}

void MacroEventRows::OnActionsChanged(const MacroActionChange& change) {
    if (!m_list)
        return;
    const int row = static_cast<int>(change.row);
    switch (change.kind) {
    case MacroActionChange::Kind::Inserted: {
        m_syncing = true;
        auto* item = new QListWidgetItem;
        item->setSizeHint(QSize(0, kMacroRowHeight));
        m_list->insertItem(row, item);
        m_syncing = false;
        ShowSelection();
        ShowVisibleRows();
        break;
    }
    case MacroActionChange::Kind::Replaced:
        if (QListWidgetItem* item = m_list->item(row))
            if (QWidget* w = m_list->itemWidget(item))
                ShowRow(w, m_actions.Row(change.row));
        break;
    case MacroActionChange::Kind::Removed:
        m_syncing = true;
        m_rowWidgets.erase(m_list->item(row));
        delete m_list->takeItem(row);
        m_syncing = false;
        ShowSelection();
        ShowVisibleRows();
        break;
    case MacroActionChange::Kind::Moved: {
        // The row is built anew from its stored record at its new place.
        m_syncing = true;
        m_rowWidgets.erase(m_list->item(row));
        delete m_list->takeItem(row);
        auto* item = new QListWidgetItem;
        item->setSizeHint(QSize(0, kMacroRowHeight));
        m_list->insertItem(static_cast<int>(change.to), item);
        m_syncing = false;
        ShowSelection();
        ShowVisibleRows();
        break;
    }
    case MacroActionChange::Kind::Reset:
        Rebuild();
        break;
    case MacroActionChange::Kind::Selection:
        ShowSelection();
        break;
    }
}

int MacroEventRows::RowOfDelayEdit(const QObject* edit) const {
    if (!m_list)
        return -1;
    for (int i = 0; i < m_list->count(); ++i) {
        QWidget* w = m_list->itemWidget(m_list->item(i));
        if (w && w->isAncestorOf(qobject_cast<const QWidget*>(edit)))
            return i;
    }
    return -1;
}

bool MacroEventRows::eventFilter(QObject* watched, QEvent* event) {
    if (m_list && watched == m_list->viewport() &&
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
    return QObject::eventFilter(watched, event);
}

void MacroEventRows::ScrollToSelected() {
    const std::optional<std::size_t> s = m_actions.Selected();
    if (m_list && s && static_cast<int>(*s) < m_list->count())
        m_list->scrollToItem(m_list->item(static_cast<int>(*s)));
}

} // namespace nk7x
