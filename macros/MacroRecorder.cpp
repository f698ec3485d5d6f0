#include "macros/MacroRecorder.h"

#include "macros/KeyTables.h"

#include <utility>

namespace nk7x {
namespace {

// The desktop mouse messages the mouse event table is keyed by.
constexpr uint16_t kLeftDown = 0x0201;
constexpr uint16_t kLeftUp = 0x0202;
constexpr uint16_t kRightDown = 0x0204;
constexpr uint16_t kRightUp = 0x0205;
constexpr uint16_t kMiddleDown = 0x0207;
constexpr uint16_t kMiddleUp = 0x0208;
constexpr uint16_t kExtraDown = 0x020B;
constexpr uint16_t kExtraUp = 0x020C;
constexpr int kExtraBack = 1;
constexpr int kExtraForward = 2;

std::optional<MacroEvent> MouseEvent(const InputEvent& e) {
    switch (e.button) {
    case MouseButtonId::Left:
        return MouseEventFromMessage(e.down ? kLeftDown : kLeftUp);
    case MouseButtonId::Right:
        return MouseEventFromMessage(e.down ? kRightDown : kRightUp);
    case MouseButtonId::Middle:
        return MouseEventFromMessage(e.down ? kMiddleDown : kMiddleUp);
    case MouseButtonId::Back:
        return MouseEventFromMessage(e.down ? kExtraDown : kExtraUp, kExtraBack);
    case MouseButtonId::Forward:
        return MouseEventFromMessage(e.down ? kExtraDown : kExtraUp, kExtraForward);
    }
    return std::nullopt;
}

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

} // namespace

FixedDelayField ReadFixedDelayField(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    uint32_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + static_cast<uint32_t>(text[i] - '0');
        if (value > kMaxDelay)
            value = kMaxDelay + 1u; // saturates however many digits follow
    }
    FixedDelayField field;
    if (negative) {
        // A negative wait cannot be stored in a macro: it is 0, and the field says so.
        field.value = 0;
        field.rewrite = true;
    } else if (value > kMaxDelay) {
        field.value = kMaxDelay;
        field.rewrite = true;
    } else {
        field.value = static_cast<uint16_t>(value);
    }
    field.text = std::to_string(field.value);
    return field;
}

MacroRecorder::MacroRecorder(MacroActionList& list, Clock clock) : m_list(list), m_clock(std::move(clock)) {}

FixedDelayField MacroRecorder::Start(DelayMode mode, RecordPlacement placement,
                                     std::string_view fixedDelayField) {
    m_mode = mode;
    m_placement = placement;
    m_lastEventMs = m_clock();
    FixedDelayField field;
    if (mode == DelayMode::Fixed) {
        field = ReadFixedDelayField(fixedDelayField);
        m_fixedDelay = field.value;
    } else {
        field.value = m_fixedDelay;
        field.text = std::to_string(m_fixedDelay);
    }
    m_recording = true;
    return field;
}

void MacroRecorder::Stop() {
    m_recording = false;
}

RecordOutcome MacroRecorder::Handle(const InputEvent& event) {
    if (event.kind == InputEventKind::Key)
        return HandleKey(m_placement, event);
    return HandleMouse(m_placement, event);
}

RecordOutcome MacroRecorder::HandleKey(RecordPlacement placement, const InputEvent& event) {
    if (!m_recording || event.kind != InputEventKind::Key)
        return RecordOutcome::Dropped;
    // Auto-repeat: a key held down sends presses until it is released; only the first counts.
    KeyMemory& memory = m_keyMemory[static_cast<std::size_t>(placement)];
    const bool same = memory.scanCode == event.scanCode && memory.extended == event.extended;
    if (event.down) {
        if (same)
            return RecordOutcome::Dropped;
        memory = KeyMemory{event.scanCode, event.extended};
    } else if (same) {
        memory = KeyMemory{};
    }
    const std::optional<MacroEvent> key = KeyEventFromScanCode(event.scanCode, event.extended, event.down);
    if (!key)
        return RecordOutcome::Dropped;
    return Place(placement, *key);
}

RecordOutcome MacroRecorder::HandleMouse(RecordPlacement placement, const InputEvent& event) {
    if (!m_recording || event.kind != InputEventKind::MouseButton)
        return RecordOutcome::Dropped;
    const std::optional<MacroEvent> button = MouseEvent(event);
    if (!button)
        return RecordOutcome::Dropped;
    // The same button and direction twice in a row is a repeat. (Both extra buttons share one
    // desktop message; they are told apart here so that one pressed while the other is held is
    // not lost.)
    MouseMemory& memory = m_mouseMemory[static_cast<std::size_t>(placement)];
    if (memory.set && memory.button == event.button && memory.down == event.down)
        return RecordOutcome::Dropped;
    memory = MouseMemory{true, event.button, event.down};
    // The click that ends the recording is not part of the macro.
    if (event.button == MouseButtonId::Left && event.hasPosition && m_stopButton &&
        m_stopButton(event.x, event.y))
        return RecordOutcome::Dropped;
    return Place(placement, *button);
}

uint16_t MacroRecorder::NextDelay() {
    switch (m_mode) {
    case DelayMode::Recorded: {
        const int64_t now = m_clock();
        const int64_t d = now - m_lastEventMs;
        m_lastEventMs = now;
        if (d < 0)
            return 0;
        return d > kMaxDelay - 1 ? kMaxDelay : static_cast<uint16_t>(d);
    }
    case DelayMode::Fixed:
        return m_fixedDelay;
    case DelayMode::Ignored:
        break;
    }
    return 0;
}

RecordOutcome MacroRecorder::Place(RecordPlacement placement, const MacroEvent& event) {
    const std::optional<std::size_t> selected = m_list.Selected();
    if (placement != RecordPlacement::Append && !selected)
        return RecordOutcome::Dropped;

    if (placement == RecordPlacement::Replace) {
        // The row keeps its direction and delay; the delays and the clock are left alone.
        MacroActionRow row = m_list.Row(*selected);
        if (!row.record.isObject())
            row.record = Json::Value(Json::objectValue);
        row.record["Button"] = static_cast<int>(event.button);
        row.record["Type"] = event.type;
        const Json::Value action = row.record.get("Action", Json::Value());
        const bool down = action.isString() && action.asString() == kActionDown;
        row.keyName = EventKeyName(event);
        row.keyStyle = IsKeyboardEvent(event) ? KeyLabelStyle::Keyboard : KeyLabelStyle::Mouse;
        row.actionStyle = down ? ActionLabelStyle::Down : ActionLabelStyle::Up;
        row.actionText.clear();
        m_list.Replace(*selected, std::move(row));
        return RecordOutcome::Replaced;
    }

    if (m_list.Size() >= kMaxRecordedEvents)
        return RecordOutcome::Dropped;

    std::size_t position = m_list.Size();
    if (placement == RecordPlacement::Before)
        position = *selected;
    else if (placement == RecordPlacement::After)
        position = *selected + 1;
    // "Before" asks whether the new row is on top, the others whether it is the only row.
    const bool first = placement == RecordPlacement::Before ? position == 0 : m_list.Empty();

    const uint16_t d = NextDelay();
    MacroActionRow row = MacroActionRow::FromEvent(event);
    if (first) {
        // Stays an integer until the macro is next saved.
        row.record["Delay"] = Json::Value(0);
        row.delayText = "0";
    } else {
        // A placeholder until the next event (or the end of the recording) gives the real wait.
        const uint16_t placeholder = m_mode == DelayMode::Fixed ? m_fixedDelay : 0;
        row.record["Delay"] = std::to_string(placeholder);
        row.delayText = std::to_string(placeholder);
    }
    position = m_list.Insert(position, std::move(row));
    if (!first && m_eventRecorded)
        m_list.SetDelay(position - 1, d);
    m_eventRecorded = true;
    if (placement != RecordPlacement::Before)
        m_list.Select(position);
    return RecordOutcome::Added;
}

std::optional<std::size_t> PickKeyRow(const InputEvent& event) {
    if (event.kind != InputEventKind::Key)
        return std::nullopt;
    const std::optional<std::size_t> row = FindKeyByScanCode(event.scanCode, event.extended);
    if (!row || KeyTable()[*row].category != kKeyboardPage)
        return std::nullopt;
    return row;
}

} // namespace nk7x
