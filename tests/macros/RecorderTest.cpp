// Recording into the action list: the auto-repeat filter, the delays of each delay mode and where
// they land, the placements (append, before, after, replace), the stop-button click, the row
// limit, and key picking.
#include "macros/KeyTables.h"
#include "macros/MacroActionList.h"
#include "macros/MacroRecorder.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <string>
#include <vector>

using namespace nk7x;

namespace {

constexpr uint8_t kScanA = 0x1E;
constexpr uint8_t kScanB = 0x30;
constexpr uint8_t kScanC = 0x2E;
constexpr uint8_t kScanLShift = 0x2A;

InputEvent Key(uint8_t scan, bool down, bool extended = false) {
    return KeyInputEvent(scan, extended, down);
}

// A recorder over its own list, with a clock the test moves.
struct Recording {
    MacroActionList list;
    int64_t now = 1000;
    MacroRecorder recorder{list, [this] { return now; }};

    RecordOutcome At(int64_t ms, const InputEvent& e) {
        now = ms;
        return recorder.Handle(e);
    }
    // The rows' buttons, for order checks.
    std::vector<int> Buttons() const {
        std::vector<int> out;
        for (const MacroActionRow& r : list.Rows())
            out.push_back(r.record["Button"].asInt());
        return out;
    }
    std::string Delay(std::size_t row) const { return list.Row(row).delayText; }
    const Json::Value& RecordDelay(std::size_t row) const { return list.Row(row).record["Delay"]; }
};

// Rows standing for a macro loaded from its file.
void LoadKeys(MacroActionList& list, std::initializer_list<uint8_t> usages) {
    std::vector<MacroEvent> events;
    for (uint8_t u : usages)
        events.push_back(MacroEvent{true, static_cast<int>(MacroEventType::KeyboardKey), u, 30});
    list.Load(events);
}

} // namespace

// --- The auto-repeat filter -------------------------------------------------------------------

TEST(RecorderRepeat, HeldKeyGivesOneDownAndOneUp) {
    Recording r;
    r.recorder.Start(DelayMode::Recorded, RecordPlacement::Append);
    EXPECT_EQ(r.At(1100, Key(kScanA, true)), RecordOutcome::Added);
    for (int i = 0; i < 30; ++i)
        EXPECT_EQ(r.At(1600 + 33 * i, Key(kScanA, true)), RecordOutcome::Dropped);
    EXPECT_EQ(r.At(2700, Key(kScanA, false)), RecordOutcome::Added);
    ASSERT_EQ(r.list.Size(), 2u);
    EXPECT_EQ(r.list.Row(0).record["Action"].asString(), "down");
    EXPECT_EQ(r.list.Row(1).record["Action"].asString(), "up");
    // The repeats did not move the clock: the press's wait runs to the release.
    EXPECT_EQ(r.Delay(0), "1600");
    // Pressed again after the release, the key counts again.
    EXPECT_EQ(r.At(2800, Key(kScanA, true)), RecordOutcome::Added);
}

TEST(RecorderRepeat, EachHandlerHasItsOwnMemoryKeptAcrossRecordings) {
    Recording r;
    r.recorder.Start(DelayMode::Ignored, RecordPlacement::Append);
    r.At(1100, Key(kScanA, true));
    r.recorder.Stop();
    // Still held from the last recording: the append handler remembers it...
    r.recorder.Start(DelayMode::Ignored, RecordPlacement::Append);
    EXPECT_EQ(r.At(1200, Key(kScanA, true)), RecordOutcome::Dropped);
    r.recorder.Stop();
    // ...the "after" handler has never seen it.
    r.list.Select(0);
    r.recorder.Start(DelayMode::Ignored, RecordPlacement::After);
    EXPECT_EQ(r.At(1300, Key(kScanA, true)), RecordOutcome::Added);
}

TEST(RecorderRepeat, MouseRepeatsDroppedAndExtraButtonsToldApart) {
    Recording r;
    r.recorder.Start(DelayMode::Ignored, RecordPlacement::Append);
    EXPECT_EQ(r.At(1, MouseInputEvent(MouseButtonId::Right, true)), RecordOutcome::Added);
    EXPECT_EQ(r.At(2, MouseInputEvent(MouseButtonId::Right, true)), RecordOutcome::Dropped);
    // Back and forward share a desktop message, but pressing one while the other is held is
    // two different events.
    EXPECT_EQ(r.At(3, MouseInputEvent(MouseButtonId::Back, true)), RecordOutcome::Added);
    EXPECT_EQ(r.At(4, MouseInputEvent(MouseButtonId::Forward, true)), RecordOutcome::Added);
    EXPECT_EQ(r.Buttons(), (std::vector<int>{0x02, 0x08, 0x10}));
    EXPECT_EQ(r.list.Row(2).keyName, "mouse_key_forward");
    EXPECT_EQ(r.list.Row(2).keyStyle, KeyLabelStyle::Mouse);
    EXPECT_EQ(r.list.Row(2).record["Type"].asInt(), 1);
}

// --- Delays -------------------------------------------------------------------------------------

TEST(RecorderDelays, ShiftAThenReleasesInRecordedMode) {
    Recording r;
    r.now = 5000;
    r.recorder.Start(DelayMode::Recorded, RecordPlacement::Append);
    r.At(5100, Key(kScanLShift, true));
    r.At(5250, Key(kScanA, true));
    r.At(5400, Key(kScanA, false));
    r.At(5640, Key(kScanLShift, false));
    ASSERT_EQ(r.list.Size(), 4u);
    const auto& rows = r.list.Rows();
    EXPECT_EQ(rows[0].record["Type"].asInt(), 9);
    EXPECT_EQ(rows[0].record["Button"].asInt(), 0x02);
    EXPECT_EQ(rows[0].keyName, "keyboard_key_LShift");
    EXPECT_EQ(rows[0].keyStyle, KeyLabelStyle::Keyboard);
    EXPECT_EQ(rows[1].record["Type"].asInt(), 10);
    EXPECT_EQ(rows[1].record["Button"].asInt(), 0x04);
    EXPECT_EQ(rows[1].keyName, "keyboard_key_A");
    EXPECT_EQ(rows[2].actionStyle, ActionLabelStyle::Up);
    EXPECT_EQ(rows[3].record["Action"].asString(), "up");
    // Each wait is the time to the next event, in the record and in the field alike.
    EXPECT_EQ(r.RecordDelay(0), Json::Value("150"));
    EXPECT_EQ(r.RecordDelay(1), Json::Value("150"));
    EXPECT_EQ(r.RecordDelay(2), Json::Value("240"));
    EXPECT_EQ(r.Delay(0), "150");
    EXPECT_EQ(r.Delay(2), "240");
    // The newest holds a placeholder until something follows.
    EXPECT_EQ(r.RecordDelay(3), Json::Value("0"));
    EXPECT_EQ(r.Delay(3), "0");
    EXPECT_EQ(r.list.Selected(), std::optional<std::size_t>(3));
}

TEST(RecorderDelays, FirstEventIntoEmptyListIsIntegerZeroUntilSaved) {
    Recording r;
    r.recorder.Start(DelayMode::Fixed, RecordPlacement::Append, "80");
    r.At(1100, Key(kScanA, true));
    const Json::Value& first = r.RecordDelay(0);
    EXPECT_TRUE(first.isInt());
    EXPECT_EQ(first.asInt(), 0);
    EXPECT_EQ(r.Delay(0), "0");
    r.At(1200, Key(kScanA, false));
    // The second is a string placeholder (the fixed delay), the first now holds the fixed delay.
    EXPECT_EQ(r.RecordDelay(1), Json::Value("80"));
    EXPECT_EQ(r.RecordDelay(0), Json::Value("80"));

    // A save writes strings everywhere.
    std::vector<MacroRow> saved = r.list.ToSaveRows();
    MacroStore store(testing::TempDir() + "nk7x-recorder-save");
    MacroInfo info{"macro_1", "2026_01_01_00_00_00_000"};
    ASSERT_EQ(store.SaveRows(info, saved), MacroResult::Ok);
    r.list.ApplySaved(saved);
    EXPECT_EQ(r.RecordDelay(0), Json::Value("80"));
    EXPECT_TRUE(r.RecordDelay(1).isString());
}

TEST(RecorderDelays, FixedDelayFieldIsClampedAndRewritten) {
    Recording r;
    const FixedDelayField field = r.recorder.Start(DelayMode::Fixed, RecordPlacement::Append, "70000");
    EXPECT_TRUE(field.rewrite);
    EXPECT_EQ(field.text, "65535");
    EXPECT_EQ(r.recorder.FixedDelay(), 65535);
    r.At(1001, Key(kScanA, true));
    r.At(1002, Key(kScanA, false));
    r.At(1003, Key(kScanB, true));
    EXPECT_EQ(r.RecordDelay(0), Json::Value("65535"));
    EXPECT_EQ(r.RecordDelay(1), Json::Value("65535"));
    EXPECT_EQ(r.Delay(2), "65535");

    // In range the field stays as typed; a negative wait cannot be stored and reads as 0.
    EXPECT_FALSE(ReadFixedDelayField("65535").rewrite);
    EXPECT_FALSE(ReadFixedDelayField("120").rewrite);
    EXPECT_EQ(ReadFixedDelayField("120").value, 120);
    EXPECT_EQ(ReadFixedDelayField("99999999999999999999").value, 65535);
    const FixedDelayField negative = ReadFixedDelayField("-20");
    EXPECT_EQ(negative.value, 0);
    EXPECT_TRUE(negative.rewrite);
    EXPECT_EQ(negative.text, "0");
}

TEST(RecorderDelays, LongGapIsCappedAndIgnoredModeGivesZero) {
    Recording r;
    r.recorder.Start(DelayMode::Recorded, RecordPlacement::Append);
    r.At(1000, Key(kScanA, true));
    r.At(81000, Key(kScanA, false)); // 80 s later
    r.At(81000 + 65535, Key(kScanB, true));
    r.At(81000 + 65535 + 65534, Key(kScanB, false));
    EXPECT_EQ(r.RecordDelay(0), Json::Value("65535"));
    EXPECT_EQ(r.RecordDelay(1), Json::Value("65535"));
    EXPECT_EQ(r.RecordDelay(2), Json::Value("65534"));
    r.recorder.Stop();

    r.list.SetDelay(3, 500);
    r.recorder.Start(DelayMode::Ignored, RecordPlacement::Append);
    r.At(300000, Key(kScanC, true));
    r.At(305000, Key(kScanC, false));
    EXPECT_EQ(r.RecordDelay(3), Json::Value("0")); // the time before C counts as nothing
    EXPECT_EQ(r.RecordDelay(4), Json::Value("0"));
    EXPECT_EQ(r.RecordDelay(5), Json::Value("0"));
}

TEST(RecorderDelays, RecordingStartTimesTheFirstGapOfAnAppend) {
    Recording r;
    r.recorder.Start(DelayMode::Recorded, RecordPlacement::Append);
    r.At(1100, Key(kScanA, true));
    r.recorder.Stop();
    // Later, appending to the same list: the last row gets the wait from the start to the first key.
    r.now = 50000;
    r.recorder.Start(DelayMode::Recorded, RecordPlacement::Append);
    r.At(50700, Key(kScanB, true));
    EXPECT_EQ(r.RecordDelay(0), Json::Value("700"));
}

TEST(RecorderDelays, NoDelayIsGivenBeforeTheFirstEventEverRecorded) {
    Recording r;
    LoadKeys(r.list, {0x04});
    r.recorder.Start(DelayMode::Recorded, RecordPlacement::Append);
    EXPECT_FALSE(r.recorder.EventRecorded());
    r.At(1500, Key(kScanB, true));
    EXPECT_TRUE(r.recorder.EventRecorded());
    EXPECT_EQ(r.RecordDelay(0), Json::Value("30")); // the loaded row keeps its own
    EXPECT_EQ(r.RecordDelay(1), Json::Value("0"));  // not the only row: a string placeholder
}

// --- Where events go --------------------------------------------------------------------------

TEST(RecorderPlacement, BeforeRowZeroKeepsOrderAndSelection) {
    Recording r;
    LoadKeys(r.list, {0x10, 0x11});
    r.list.Select(0);
    r.recorder.Start(DelayMode::Recorded, RecordPlacement::Before);
    r.At(1100, Key(kScanA, true));
    r.At(1180, Key(kScanB, true));
    r.At(1300, Key(kScanC, true));
    EXPECT_EQ(r.Buttons(), (std::vector<int>{0x04, 0x05, 0x06, 0x10, 0x11}));
    EXPECT_EQ(r.list.Selected(), std::optional<std::size_t>(3));
    // The top row started as an integer 0 and then took the wait to the next key.
    EXPECT_EQ(r.RecordDelay(0), Json::Value("80"));
    EXPECT_EQ(r.RecordDelay(1), Json::Value("120"));
    EXPECT_EQ(r.RecordDelay(2), Json::Value("0"));
    EXPECT_EQ(r.RecordDelay(3), Json::Value("30")); // the row that was selected is untouched
}

TEST(RecorderPlacement, BeforeAMiddleRowGivesTheRowAboveItsWait) {
    Recording r;
    r.recorder.Start(DelayMode::Recorded, RecordPlacement::Append);
    r.At(1000, Key(kScanA, true)); // makes the recorder's first event
    r.recorder.Stop();
    LoadKeys(r.list, {0x10, 0x11, 0x12});
    r.list.Select(1);
    r.now = 2000;
    r.recorder.Start(DelayMode::Recorded, RecordPlacement::Before);
    r.At(2250, Key(kScanB, true));
    EXPECT_EQ(r.Buttons(), (std::vector<int>{0x10, 0x05, 0x11, 0x12}));
    EXPECT_EQ(r.RecordDelay(0), Json::Value("250"));
    EXPECT_EQ(r.RecordDelay(1), Json::Value("0"));
    EXPECT_TRUE(r.RecordDelay(1).isString());
    EXPECT_EQ(r.list.Selected(), std::optional<std::size_t>(2));
}

TEST(RecorderPlacement, AfterNeedsASelectionAndFollowsTheNewRow) {
    Recording r;
    LoadKeys(r.list, {0x10, 0x11});
    r.recorder.Start(DelayMode::Fixed, RecordPlacement::After, "40");
    EXPECT_EQ(r.At(1100, Key(kScanA, true)), RecordOutcome::Dropped);
    EXPECT_EQ(r.At(1200, MouseInputEvent(MouseButtonId::Left, true)), RecordOutcome::Dropped);
    EXPECT_EQ(r.list.Size(), 2u);
    r.recorder.Stop();

    r.list.Select(0);
    r.recorder.Start(DelayMode::Fixed, RecordPlacement::After, "40");
    r.At(1300, Key(kScanB, true));
    r.At(1400, Key(kScanC, true));
    EXPECT_EQ(r.Buttons(), (std::vector<int>{0x10, 0x05, 0x06, 0x11}));
    EXPECT_EQ(r.list.Selected(), std::optional<std::size_t>(2));
    EXPECT_EQ(r.RecordDelay(1), Json::Value("40")); // the selected row took the fixed wait
    EXPECT_EQ(r.RecordDelay(2), Json::Value("40")); // placeholder
}

TEST(RecorderPlacement, ReplaceKeepsDirectionDelayAndClock) {
    Recording r;
    LoadKeys(r.list, {0x10, 0x11});
    r.list.SetDelayText(1, "77");
    Json::Value upRecord = r.list.Row(1).record;
    upRecord["Action"] = "up";
    upRecord["Delay"] = "77";
    r.list.Replace(1, MacroActionRow::FromRecord(upRecord));
    r.list.Select(1);
    r.recorder.Start(DelayMode::Ignored, RecordPlacement::Replace);
    EXPECT_EQ(r.At(1100, Key(kScanLShift, true)), RecordOutcome::Replaced);
    const MacroActionRow& row = r.list.Row(1);
    EXPECT_EQ(row.record["Type"].asInt(), 9);
    EXPECT_EQ(row.record["Button"].asInt(), 0x02);
    EXPECT_EQ(row.record["Action"].asString(), "up");
    EXPECT_EQ(row.actionStyle, ActionLabelStyle::Up);
    EXPECT_EQ(row.record["Delay"], Json::Value("77"));
    EXPECT_EQ(row.delayText, "77");
    EXPECT_EQ(row.keyName, "keyboard_key_LShift");
    EXPECT_EQ(r.list.Size(), 2u);
    EXPECT_EQ(r.list.Selected(), std::optional<std::size_t>(1));
    EXPECT_FALSE(r.recorder.EventRecorded());

    // A mouse button replaces too, with the mouse style.
    EXPECT_EQ(r.At(1200, MouseInputEvent(MouseButtonId::Middle, true)), RecordOutcome::Replaced);
    EXPECT_EQ(r.list.Row(1).record["Type"].asInt(), 1);
    EXPECT_EQ(r.list.Row(1).record["Button"].asInt(), 0x04);
    EXPECT_EQ(r.list.Row(1).keyStyle, KeyLabelStyle::Mouse);

    r.list.Select(std::nullopt);
    EXPECT_EQ(r.At(1300, Key(kScanB, true)), RecordOutcome::Dropped);
}

TEST(RecorderPlacement, RowLimitDropsNewRowsSilently) {
    Recording r;
    std::vector<MacroEvent> events(kMaxRecordedEvents,
                                   MacroEvent{true, static_cast<int>(MacroEventType::KeyboardKey), 0x04, 0});
    r.list.Load(events);
    int changes = 0;
    r.list.SetListener([&](const MacroActionChange&) { ++changes; });
    r.recorder.Start(DelayMode::Recorded, RecordPlacement::Append);
    EXPECT_EQ(r.At(1100, Key(kScanB, true)), RecordOutcome::Dropped);
    EXPECT_EQ(r.At(1200, MouseInputEvent(MouseButtonId::Left, true)), RecordOutcome::Dropped);
    EXPECT_EQ(r.list.Size(), kMaxRecordedEvents);
    EXPECT_EQ(changes, 0);
    // One row fewer and the next event fits.
    r.list.Remove(0);
    EXPECT_EQ(r.At(1300, Key(kScanB, false)), RecordOutcome::Added);
    EXPECT_EQ(r.list.Size(), kMaxRecordedEvents);
}

TEST(RecorderPlacement, NothingIsRecordedWhenStoppedOrUnknown) {
    Recording r;
    EXPECT_EQ(r.At(1, Key(kScanA, true)), RecordOutcome::Dropped);
    r.recorder.Start(DelayMode::Recorded, RecordPlacement::Append);
    EXPECT_EQ(r.At(2, Key(0x00, true)), RecordOutcome::Dropped);       // a key without a scan code
    EXPECT_EQ(r.At(3, Key(0x22, true, true)), RecordOutcome::Dropped); // play/pause: no table row
    r.recorder.Stop();
    EXPECT_EQ(r.At(4, Key(kScanB, true)), RecordOutcome::Dropped); // queued after the stop
    EXPECT_TRUE(r.list.Empty());
}

// --- The stop button ----------------------------------------------------------------------------

TEST(RecorderStopButton, LeftClickOnStopIsNotRecordedRightClickIs) {
    Recording r;
    // The stop button covers x 100-179, y 20-49 on the screen.
    r.recorder.SetStopButtonHitTest([](int x, int y) { return x >= 100 && x < 180 && y >= 20 && y < 50; });
    r.recorder.Start(DelayMode::Recorded, RecordPlacement::Append);
    EXPECT_EQ(r.At(1100, MouseInputEventAt(MouseButtonId::Right, true, 120, 30)), RecordOutcome::Added);
    EXPECT_EQ(r.At(1150, MouseInputEventAt(MouseButtonId::Right, false, 120, 30)), RecordOutcome::Added);
    EXPECT_EQ(r.At(1200, MouseInputEventAt(MouseButtonId::Left, true, 10, 10)), RecordOutcome::Added);
    EXPECT_EQ(r.At(1250, MouseInputEventAt(MouseButtonId::Left, false, 10, 10)), RecordOutcome::Added);
    EXPECT_EQ(r.At(1300, MouseInputEventAt(MouseButtonId::Left, true, 120, 30)), RecordOutcome::Dropped);
    EXPECT_EQ(r.At(1350, MouseInputEventAt(MouseButtonId::Left, false, 120, 30)), RecordOutcome::Dropped);
    ASSERT_EQ(r.list.Size(), 4u);
    EXPECT_EQ(r.list.Row(0).keyName, "mouse_key_right");
    EXPECT_EQ(r.list.Row(3).record["Action"].asString(), "up");
    // The dropped click did not give the last row a wait.
    EXPECT_EQ(r.RecordDelay(3), Json::Value("0"));
}

// --- Key picking --------------------------------------------------------------------------------

TEST(RecorderKeyPicking, KeyboardPageRowsOnly) {
    EXPECT_EQ(PickKeyRow(Key(kScanA, true)), std::optional<std::size_t>(8));
    EXPECT_EQ(PickKeyRow(Key(kScanA, false)), std::optional<std::size_t>(8));
    EXPECT_EQ(PickKeyRow(Key(kScanLShift, true)), std::optional<std::size_t>(1));
    EXPECT_EQ(PickKeyRow(Key(0x1D, true, true)), std::optional<std::size_t>(4)); // right Ctrl
    EXPECT_EQ(PickKeyRow(Key(0x1C, true, true)), FindKeyByName("keyboard_key_Num Enter"));
    EXPECT_EQ(PickKeyRow(Key(0x30, true, true)), std::nullopt); // volume up: no row
    EXPECT_EQ(PickKeyRow(MouseInputEvent(MouseButtonId::Left, true)), std::nullopt);
}

// --- The list itself ----------------------------------------------------------------------------

TEST(MacroActionListRows, SelectionFollowsItsRowAndListenerHearsChanges) {
    MacroActionList list;
    std::vector<MacroActionChange::Kind> heard;
    list.SetListener([&](const MacroActionChange& c) { heard.push_back(c.kind); });
    LoadKeys(list, {0x04, 0x05, 0x06, 0x07, 0x08});
    list.Select(3);
    list.Move(4, 0); // a row from below moves above: the selection moves down with its row
    EXPECT_EQ(list.Selected(), std::optional<std::size_t>(4));
    list.Move(4, 1);
    EXPECT_EQ(list.Selected(), std::optional<std::size_t>(1));
    list.Remove(0);
    EXPECT_EQ(list.Selected(), std::optional<std::size_t>(0));
    list.Remove(0);
    EXPECT_EQ(list.Selected(), std::nullopt);
    list.Select(99);
    EXPECT_EQ(list.Selected(), std::nullopt);
    using K = MacroActionChange::Kind;
    EXPECT_EQ(heard, (std::vector<K>{K::Reset, K::Selection, K::Moved, K::Moved, K::Removed, K::Removed,
                                     K::Selection}));
}

TEST(MacroActionListRows, RowsShowMovesAndOldKindsAsText) {
    const MacroActionRow move =
        MacroActionRow::FromEvent(MacroEvent{false, static_cast<int>(MacroEventType::MouseMoveY), 44, 65535});
    EXPECT_EQ(move.keyName, "mouse_move_to_down_text");
    EXPECT_EQ(move.actionStyle, ActionLabelStyle::Text);
    EXPECT_EQ(move.actionText, "44");
    EXPECT_EQ(move.delayText, "65535");

    Json::Value old(Json::objectValue);
    old["Action"] = "down";
    old["Button"] = 1;
    old["Type"] = 2;
    old["Delay"] = "70000";
    const MacroActionRow oldRow = MacroActionRow::FromRecord(old);
    EXPECT_EQ(oldRow.keyStyle, KeyLabelStyle::Mouse);
    EXPECT_EQ(oldRow.actionStyle, ActionLabelStyle::Text);
    EXPECT_EQ(oldRow.actionText, "");
    EXPECT_EQ(oldRow.delayText, "65535");
}
