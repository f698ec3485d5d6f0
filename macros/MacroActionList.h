// The action list of the macro editor: the ordered event rows of the selected macro with what
// each row shows (key label, action label, delay field) and the selected row. The panel draws it;
// the recorder and the editor's operations change it; a listener tells the panel what to redraw.
#pragma once

#include "macros/MacroEvent.h"
#include "macros/MacroStore.h"

#include <json/value.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace nk7x {

// The key label's style: keyboard events (types 9, 10) or mouse events (types 1-5).
enum class KeyLabelStyle : uint8_t { Keyboard, Mouse };

// The action label's style: pressed or released, or plain text (moves show their distance; the
// old mouse kinds 2 and 3 show nothing).
enum class ActionLabelStyle : uint8_t { Down, Up, Text };

struct MacroActionRow {
    // The event record: "Button", "Type", "Action" and "Delay" ("Delay" a decimal string, or the
    // integer 0 on the first event recorded into an empty list until the next save). The record is
    // the truth for everything but the delay, which the delay field holds until a save.
    Json::Value record{Json::objectValue};
    std::string keyName; // the key label's text: a name key of the key or mouse tables, or empty
    KeyLabelStyle keyStyle = KeyLabelStyle::Keyboard;
    ActionLabelStyle actionStyle = ActionLabelStyle::Down;
    std::string actionText; // the action label's text (a move's distance), else empty
    std::string delayText;  // the delay field's text

    // A row showing `event`, its record and delay field holding the event's delay.
    static MacroActionRow FromEvent(const MacroEvent& event);
    // A row showing `record` (labels from its event; empty labels when it is no usable event),
    // the delay field from the record's "Delay" (above 65534 shows 65535).
    static MacroActionRow FromRecord(const Json::Value& record);

    // The event the record holds (nothing when the record is no usable event).
    std::optional<MacroEvent> Event() const;
};

// What changed, so the panel redraws only that.
struct MacroActionChange {
    enum class Kind : uint8_t {
        Inserted,  // a row was inserted at `row`; rows from there on moved down one
        Replaced,  // row `row` shows something else
        Removed,   // the row at `row` was removed; rows after it moved up one
        Moved,     // the row at `row` moved to `to`
        Reset,     // every row may have changed (cleared, loaded)
        Selection, // the selected row changed (see Selected())
    };
    Kind kind;
    std::size_t row = 0;
    std::size_t to = 0;
};

class MacroActionList {
  public:
    using Listener = std::function<void(const MacroActionChange&)>;

    // One listener, called after every change; an empty function removes it.
    void SetListener(Listener listener) { m_listener = std::move(listener); }

    std::size_t Size() const { return m_rows.size(); }
    bool Empty() const { return m_rows.empty(); }
    const MacroActionRow& Row(std::size_t index) const { return m_rows.at(index); }
    const std::vector<MacroActionRow>& Rows() const { return m_rows; }

    // The selected row, or nothing. Selection follows its row when rows are inserted, removed or
    // moved around it; removing the selected row selects nothing.
    std::optional<std::size_t> Selected() const { return m_selected; }
    // Selects `index` (nothing when it is out of range) or, with nothing, clears the selection.
    void Select(std::optional<std::size_t> index);

    // Inserts before `index` (at the end when `index` is Size() or more); returns the position.
    std::size_t Insert(std::size_t index, MacroActionRow row);
    std::size_t Append(MacroActionRow row) { return Insert(m_rows.size(), std::move(row)); }
    // Replaces the row at `index`; false when there is none.
    bool Replace(std::size_t index, MacroActionRow row);
    bool Remove(std::size_t index);
    // Moves the row at `from` to position `to` (both must be rows).
    bool Move(std::size_t from, std::size_t to);
    void Clear();

    // Sets the delay of row `index` in its record (as a decimal string) and its delay field.
    bool SetDelay(std::size_t index, uint16_t delay);
    // Sets only the delay field's text, as the user types it; the next save takes it.
    bool SetDelayText(std::size_t index, std::string text);

    // Replaces every row with rows showing `events`; nothing is selected.
    void Load(const std::vector<MacroEvent>& events);
    // The rows as a save takes them (the record's event and the field's text), and back: after a
    // save, ApplySaved updates each row's record and field to what was written.
    std::vector<MacroRow> ToSaveRows() const;
    void ApplySaved(const std::vector<MacroRow>& rows);

  private:
    void Notify(MacroActionChange::Kind kind, std::size_t row = 0, std::size_t to = 0);

    std::vector<MacroActionRow> m_rows;
    std::optional<std::size_t> m_selected;
    Listener m_listener;
};

} // namespace nk7x
