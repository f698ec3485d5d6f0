// Recording a macro from hooked input into the editor's action list: the delay modes, the fixed
// delay, the time between events, the auto-repeat filter, the row limit, where each new event
// goes (append, before or after the selected row, or replacing it), and key picking for the key
// assignment panel. Runs on the UI thread; the clock and the stop button's position are given.
#pragma once

#include "macros/MacroActionList.h"
#include "platform/input/InputEvent.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace nk7x {

// How the wait after each recorded event is found.
enum class DelayMode : int {
    Recorded = 1, // the real time until the next event
    Fixed = 2,    // the panel's fixed delay
    Ignored = 3,  // 0 ms
};

// Where a recorded event goes; the recording kinds of the hook modes 4, 8, 16 and 32.
enum class RecordPlacement : int {
    Append = 0,  // at the end of the list
    Before = 1,  // before the selected row, which stays selected (a run lands in order above it)
    After = 2,   // after the selected row; the new row becomes selected
    Replace = 3, // no new row: the selected row takes the key or button, keeping direction and delay
};

inline constexpr int kDefaultFixedDelay = 50;

// The fixed delay read from its field: values above 65535 become 65535 and a minus sign reads as
// 0. `rewrite` is set when the field should show `text` instead of what it holds.
struct FixedDelayField {
    uint16_t value = 0;
    bool rewrite = false;
    std::string text;
};
FixedDelayField ReadFixedDelayField(std::string_view fieldText);

// What a handler did with an event.
enum class RecordOutcome : uint8_t {
    Added,    // a new row; it or its neighbour is selected: the panel scrolls the selection into view
    Replaced, // the selected row took the key or button
    Dropped,  // nothing changed
};

class MacroRecorder {
  public:
    // Milliseconds of a monotonic clock.
    using Clock = std::function<int64_t()>;
    // True when the screen point lies inside the stop button.
    using StopButtonHitTest = std::function<bool(int x, int y)>;

    // `list` is the panel's action list and must outlive the recorder.
    MacroRecorder(MacroActionList& list, Clock clock);

    void SetStopButtonHitTest(StopButtonHitTest hitTest) { m_stopButton = std::move(hitTest); }

    // Starts recording. In fixed mode the fixed delay is read from `fixedDelayField` (the result
    // says what to write back into the field); the other modes keep the fixed delay as it is.
    // The time of the last event becomes now.
    FixedDelayField Start(DelayMode mode, RecordPlacement placement, std::string_view fixedDelayField = {});
    // Stops recording; events that still arrive (queued before the hook was removed) are dropped.
    void Stop();

    bool Recording() const { return m_recording; }
    DelayMode Mode() const { return m_mode; }
    RecordPlacement Placement() const { return m_placement; }
    uint16_t FixedDelay() const { return m_fixedDelay; }
    // Whether any event was recorded since the recorder was made (never cleared). Until then a
    // new event gives no delay to the row before it.
    bool EventRecorded() const { return m_eventRecorded; }

    // Records a hooked event by the current placement; Dropped when not recording.
    RecordOutcome Handle(const InputEvent& event);

    // The eight handlers of a recording: a key or a mouse button, for each placement. Each keeps
    // its own memory of the last key pressed (mouse: the last button and direction) for the
    // auto-repeat filter; the memories live as long as the recorder.
    RecordOutcome HandleKey(RecordPlacement placement, const InputEvent& event);
    RecordOutcome HandleMouse(RecordPlacement placement, const InputEvent& event);

  private:
    struct KeyMemory {
        uint8_t scanCode = 0;
        bool extended = false;
    };
    struct MouseMemory {
        bool set = false;
        MouseButtonId button = MouseButtonId::Left;
        bool down = false;
    };

    RecordOutcome Place(RecordPlacement placement, const MacroEvent& event);
    uint16_t NextDelay();

    MacroActionList& m_list;
    Clock m_clock;
    StopButtonHitTest m_stopButton;
    bool m_recording = false;
    DelayMode m_mode = DelayMode::Recorded;
    RecordPlacement m_placement = RecordPlacement::Append;
    uint16_t m_fixedDelay = kDefaultFixedDelay;
    int64_t m_lastEventMs = 0;
    bool m_eventRecorded = false;
    std::array<KeyMemory, 4> m_keyMemory{};
    std::array<MouseMemory, 4> m_mouseMemory{};
};

// Key picking: the key-table row of a pressed or released key, found by scan code as recording
// does, or nothing when it is no keyboard-page key (category 0x20) or no key at all.
std::optional<std::size_t> PickKeyRow(const InputEvent& event);

} // namespace nk7x
