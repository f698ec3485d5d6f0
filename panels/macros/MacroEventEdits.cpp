#include "panels/macros/MacroEventEdits.h"

#include "macros/MacroActionList.h"
#include "panels/macros/MacroEventRows.h"
#include "panels/macros/MacroNameList.h"
#include "panels/macros/MacroRecording.h"

#include <QListWidget>
#include <QScrollBar>

#include <optional>
#include <string>

namespace nk7x {

MacroEventEdits::MacroEventEdits(MacroActionList& actions, MacroNameList& names, MacroEventRows& rows,
                                 MacroRecording& recording)
    : m_actions(actions), m_names(names), m_rows(rows), m_recording(recording) {}

bool MacroEventEdits::Changed() {
    return m_names.Save() == MacroResult::Ok;
}

bool MacroEventEdits::MoveSelected(int step) {
    const std::optional<std::size_t> s = m_actions.Selected();
    const std::size_t n = m_actions.Size();
    if (!s || (step < 0 && *s == 0) || (step > 0 && *s + 1 >= n))
        return false;
    const std::size_t to = step < 0 ? *s - 1 : *s + 1;
    m_actions.Move(*s, to);
    m_actions.Select(to);
    // A few rows beyond the moved one stay in sight, so the next steps can be seen coming.
    const std::size_t ahead = *s + (step < 0 ? 5 : 7);
    if (QListWidget* list = m_rows.List()) {
        if (ahead >= n)
            list->scrollToBottom();
        else
            list->scrollToItem(list->item(static_cast<int>(ahead)));
    }
    Changed();
    return true;
}

bool MacroEventEdits::MoveSelectedToTop() {
    return MoveSelectedToEnd(true);
}

bool MacroEventEdits::MoveSelectedToBottom() {
    return MoveSelectedToEnd(false);
}

bool MacroEventEdits::MoveSelectedToEnd(bool top) {
    const std::optional<std::size_t> s = m_actions.Selected();
    const std::size_t n = m_actions.Size();
    if (!s || (top ? *s == 0 : *s + 1 >= n))
        return false;
    const std::size_t to = top ? 0 : n - 1;
    m_actions.Move(*s, to);
    m_actions.Select(to);
    if (QListWidget* list = m_rows.List()) {
        if (top)
            list->scrollToTop();
        else
            list->scrollToBottom();
    }
    Changed();
    return true;
}

bool MacroEventEdits::DeleteSelectedEvent() {
    const std::optional<std::size_t> s = m_actions.Selected();
    if (!s)
        return false;
    m_actions.Remove(*s);
    Changed();
    return true;
}

bool MacroEventEdits::DeleteAllEvents() {
    if (m_names.Selected() < 0)
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

void MacroEventEdits::Insert(const MacroEvent& event) {
    const bool wasEmpty = m_actions.Empty();
    const std::size_t at = m_actions.Insert(InsertPosition(m_actions), MacroActionRow::FromEvent(event));
    if (!wasEmpty)
        m_actions.Select(at);
    if (QListWidget* list = m_rows.List())
        list->verticalScrollBar()->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    Changed();
}

bool MacroEventEdits::InsertButton(uint8_t buttonBit, bool down) {
    if (m_names.Selected() < 0)
        return false;
    MacroEvent event;
    event.type = static_cast<int>(MacroEventType::MouseButton);
    event.button = buttonBit;
    event.down = down;
    event.delay = m_recording.FixedDelay();
    Insert(event);
    return true;
}

bool MacroEventEdits::InsertMove(MoveDirection direction) {
    if (m_names.Selected() < 0)
        return false;
    const QLineEdit* edit = m_moveEdits[static_cast<std::size_t>(direction)];
    MacroEvent event;
    event.type = static_cast<int>(direction == MoveDirection::Left || direction == MoveDirection::Right
                                      ? MacroEventType::MouseMoveX
                                      : MacroEventType::MouseMoveY);
    event.down = direction == MoveDirection::Left || direction == MoveDirection::Up;
    event.button = ParseMoveDistance(edit ? edit->text().toStdString() : std::string());
    event.delay = m_recording.FixedDelay();
    Insert(event);
    return true;
}

bool MacroEventEdits::InsertMenuItem(const QString& item) {
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

} // namespace nk7x
