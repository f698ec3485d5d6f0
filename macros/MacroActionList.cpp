#include "macros/MacroActionList.h"

#include <utility>

namespace nk7x {
namespace {

bool IsMove(int type) {
    return type == static_cast<int>(MacroEventType::MouseMoveX) ||
           type == static_cast<int>(MacroEventType::MouseMoveY);
}

void ShowEvent(MacroActionRow& row, const MacroEvent& event) {
    row.keyName = EventKeyName(event);
    row.keyStyle = IsKeyboardEvent(event) ? KeyLabelStyle::Keyboard : KeyLabelStyle::Mouse;
    // Types 2-5 show text (a move's distance, nothing for the old kinds) instead of a direction.
    const bool text = event.type >= 2 && event.type <= 5;
    row.actionStyle =
        text ? ActionLabelStyle::Text : (event.down ? ActionLabelStyle::Down : ActionLabelStyle::Up);
    row.actionText = IsMove(event.type) ? EventActionText(event) : std::string();
}

} // namespace

MacroActionRow MacroActionRow::FromEvent(const MacroEvent& event) {
    MacroActionRow row;
    row.record = MacroEventToJson(event);
    ShowEvent(row, event);
    row.delayText = std::to_string(event.delay);
    return row;
}

MacroActionRow MacroActionRow::FromRecord(const Json::Value& record) {
    MacroActionRow row;
    row.record = record;
    if (const std::optional<MacroEvent> event = MacroEventFromJson(record)) {
        ShowEvent(row, *event);
        row.delayText = std::to_string(event->delay);
    } else {
        row.keyName.clear();
        row.keyStyle = KeyLabelStyle::Mouse;
        row.actionStyle = ActionLabelStyle::Text;
        row.delayText = record.isObject() ? std::to_string(ReadDelay(record.get("Delay", Json::Value())))
                                          : std::string("0");
    }
    return row;
}

std::optional<MacroEvent> MacroActionRow::Event() const {
    return MacroEventFromJson(record);
}

void MacroActionList::Notify(MacroActionChange::Kind kind, std::size_t row, std::size_t to) {
    if (m_listener)
        m_listener(MacroActionChange{kind, row, to});
}

void MacroActionList::Select(std::optional<std::size_t> index) {
    if (index && *index >= m_rows.size())
        index.reset();
    if (index == m_selected)
        return;
    m_selected = index;
    Notify(MacroActionChange::Kind::Selection, m_selected.value_or(0));
}

std::size_t MacroActionList::Insert(std::size_t index, MacroActionRow row) {
    if (index > m_rows.size())
        index = m_rows.size();
    m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(index), std::move(row));
    if (m_selected && *m_selected >= index)
        ++*m_selected; // the selected row moved down with the rows after it
    Notify(MacroActionChange::Kind::Inserted, index);
    return index;
}

bool MacroActionList::Replace(std::size_t index, MacroActionRow row) {
    if (index >= m_rows.size())
        return false;
    m_rows[index] = std::move(row);
    Notify(MacroActionChange::Kind::Replaced, index);
    return true;
}

bool MacroActionList::Remove(std::size_t index) {
    if (index >= m_rows.size())
        return false;
    m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(index));
    bool selectionChanged = false;
    if (m_selected) {
        if (*m_selected == index) {
            m_selected.reset();
            selectionChanged = true;
        } else if (*m_selected > index) {
            --*m_selected;
        }
    }
    Notify(MacroActionChange::Kind::Removed, index);
    if (selectionChanged)
        Notify(MacroActionChange::Kind::Selection);
    return true;
}

bool MacroActionList::Move(std::size_t from, std::size_t to) {
    if (from >= m_rows.size() || to >= m_rows.size())
        return false;
    if (from == to)
        return true;
    MacroActionRow row = std::move(m_rows[from]);
    m_rows.erase(m_rows.begin() + static_cast<std::ptrdiff_t>(from));
    m_rows.insert(m_rows.begin() + static_cast<std::ptrdiff_t>(to), std::move(row));
    if (m_selected) {
        std::size_t& s = *m_selected;
        if (s == from)
            s = to;
        else if (from < s && s <= to)
            --s;
        else if (to <= s && s < from)
            ++s;
    }
    Notify(MacroActionChange::Kind::Moved, from, to);
    return true;
}

void MacroActionList::Clear() {
    m_rows.clear();
    m_selected.reset();
    Notify(MacroActionChange::Kind::Reset);
}

bool MacroActionList::SetDelay(std::size_t index, uint16_t delay) {
    if (index >= m_rows.size())
        return false;
    MacroActionRow& row = m_rows[index];
    if (!row.record.isObject())
        row.record = Json::Value(Json::objectValue);
    row.record["Delay"] = std::to_string(delay);
    row.delayText = std::to_string(delay);
    Notify(MacroActionChange::Kind::Replaced, index);
    return true;
}

bool MacroActionList::SetDelayText(std::size_t index, std::string text) {
    if (index >= m_rows.size())
        return false;
    m_rows[index].delayText = std::move(text);
    Notify(MacroActionChange::Kind::Replaced, index);
    return true;
}

void MacroActionList::Load(const std::vector<MacroEvent>& events) {
    m_rows.clear();
    m_rows.reserve(events.size());
    for (const MacroEvent& event : events)
        m_rows.push_back(MacroActionRow::FromEvent(event));
    m_selected.reset();
    Notify(MacroActionChange::Kind::Reset);
}

std::vector<MacroRow> MacroActionList::ToSaveRows() const {
    std::vector<MacroRow> rows;
    rows.reserve(m_rows.size());
    for (const MacroActionRow& row : m_rows)
        rows.push_back(MacroRow{row.Event(), row.delayText});
    return rows;
}

void MacroActionList::ApplySaved(const std::vector<MacroRow>& rows) {
    for (std::size_t i = 0; i < rows.size() && i < m_rows.size(); ++i) {
        if (!rows[i].event)
            break; // the save stopped at the first empty row
        m_rows[i].record = MacroEventToJson(*rows[i].event);
        m_rows[i].delayText = rows[i].delayText;
    }
    Notify(MacroActionChange::Kind::Reset);
}

} // namespace nk7x
