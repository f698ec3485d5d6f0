#include "macros/MacroEvent.h"
#include "macros/MacroNames.h"

#include <gtest/gtest.h>
#include <json/json.h>

#include <limits>
#include <string>

using namespace nk7x;

namespace {

Json::Value Record(const char* action, int button, int type, const Json::Value& delay) {
    Json::Value r(Json::objectValue);
    r["Action"] = action;
    r["Button"] = button;
    r["Type"] = type;
    r["Delay"] = delay;
    return r;
}

} // namespace

TEST(MacroDelay, TextIsDecimalAndCapped) {
    EXPECT_EQ(ParseDelayText(""), 0);
    EXPECT_EQ(ParseDelayText("50"), 50);
    EXPECT_EQ(ParseDelayText("65534"), 65534);
    EXPECT_EQ(ParseDelayText("65535"), 65535);
    EXPECT_EQ(ParseDelayText("70000"), 65535);
    EXPECT_EQ(ParseDelayText("999999999999999999999999"), 65535);
    EXPECT_EQ(ParseDelayText("-5"), 0);
    EXPECT_EQ(ParseDelayText(" 12abc"), 12);
    EXPECT_EQ(ParseDelayText("abc"), 0);
}

TEST(MacroDelay, IntegerStringAndOddShapes) {
    EXPECT_EQ(ReadDelay(Json::Value(0)), 0);
    EXPECT_EQ(ReadDelay(Json::Value(120)), 120);
    EXPECT_EQ(ReadDelay(Json::Value("120")), 120);
    EXPECT_EQ(ReadDelay(Json::Value(70000)), 65535);
    EXPECT_EQ(ReadDelay(Json::Value("70000")), 65535);
    EXPECT_EQ(ReadDelay(Json::Value(-1)), 0);
    EXPECT_EQ(ReadDelay(Json::Value(std::numeric_limits<Json::Int64>::min())), 0);
    EXPECT_EQ(ReadDelay(Json::Value(std::numeric_limits<Json::UInt64>::max())), 65535);
    EXPECT_EQ(ReadDelay(Json::Value(12.7)), 12);
    EXPECT_EQ(ReadDelay(Json::Value(1e300)), 65535);
    EXPECT_EQ(ReadDelay(Json::Value(true)), 0);
    EXPECT_EQ(ReadDelay(Json::Value()), 0);
    EXPECT_EQ(ReadDelay(Json::Value(Json::arrayValue)), 0);
}

TEST(MacroDelay, MoveDistanceIsModulo256) {
    EXPECT_EQ(ParseMoveDistance("300"), 44);
    EXPECT_EQ(ParseMoveDistance("255"), 255);
    EXPECT_EQ(ParseMoveDistance("256"), 0);
    EXPECT_EQ(ParseMoveDistance(""), 0);
    EXPECT_EQ(ParseMoveDistance("x1"), 0);
    // 10^30 is divisible by 256, so no overflow may leak into the result.
    EXPECT_EQ(ParseMoveDistance("1000000000000000000000000000000"), 0);
}

TEST(MacroEventRecord, IntegerAndStringDelaysReadAlike) {
    auto a = MacroEventFromJson(Record("down", 0x04, 10, Json::Value(0)));
    auto b = MacroEventFromJson(Record("down", 0x04, 10, Json::Value("0")));
    ASSERT_TRUE(a && b);
    EXPECT_EQ(*a, *b);
    EXPECT_TRUE(a->down);
    EXPECT_EQ(a->type, 10);
    EXPECT_EQ(a->button, 0x04);

    auto up = MacroEventFromJson(Record("up", 0x02, 9, Json::Value("70000")));
    ASSERT_TRUE(up);
    EXPECT_FALSE(up->down);
    EXPECT_EQ(up->delay, 65535);
}

TEST(MacroEventRecord, WrittenFormHasStringDelay) {
    MacroEvent e{false, 4, 44, 120};
    Json::Value r = MacroEventToJson(e);
    EXPECT_EQ(r["Action"].asString(), "up");
    EXPECT_EQ(r["Button"].asInt(), 44);
    EXPECT_EQ(r["Type"].asInt(), 4);
    ASSERT_TRUE(r["Delay"].isString());
    EXPECT_EQ(r["Delay"].asString(), "120");
    auto back = MacroEventFromText(MacroEventToText(e));
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, e);
}

TEST(MacroEventRecord, UnusableRecordsAreRefused) {
    EXPECT_TRUE(MacroEventFromJson(Record("down", 1, 2, 0))); // older kinds still load
    EXPECT_TRUE(MacroEventFromJson(Record("down", 1, 3, 0)));
    EXPECT_FALSE(MacroEventFromJson(Record("down", 1, 0, 0)));
    EXPECT_FALSE(MacroEventFromJson(Record("down", 1, 6, 0)));
    EXPECT_FALSE(MacroEventFromJson(Record("down", 1, 11, 0)));
    EXPECT_FALSE(MacroEventFromJson(Record("down", 1, -1, 0)));
    EXPECT_FALSE(MacroEventFromJson(Record("down", 256, 10, 0)));
    EXPECT_FALSE(MacroEventFromJson(Record("down", -1, 10, 0)));
    Json::Value typeText = Record("down", 4, 10, 0);
    typeText["Type"] = "10";
    EXPECT_FALSE(MacroEventFromJson(typeText));
    Json::Value noButton = Record("down", 4, 10, 0);
    noButton.removeMember("Button");
    EXPECT_FALSE(MacroEventFromJson(noButton));
    EXPECT_FALSE(MacroEventFromJson(Json::Value(Json::arrayValue)));
    EXPECT_FALSE(MacroEventFromJson(Json::Value("down")));
    EXPECT_FALSE(MacroEventFromText("{\"Type\": 10,"));
    // Only "down" presses; anything else is a release, as the device image encodes it.
    auto odd = MacroEventFromJson(Record("DOWN", 4, 10, 0));
    ASSERT_TRUE(odd);
    EXPECT_FALSE(odd->down);
}

TEST(MacroEventRow, KeyLabelAndActionText) {
    EXPECT_EQ(EventKeyName({true, 10, 0x04, 0}), "keyboard_key_A");
    EXPECT_EQ(EventKeyName({true, 10, 0x32, 0}), ""); // no key-table row for that usage
    EXPECT_EQ(EventKeyName({true, 9, 0x02, 0}), "keyboard_key_LShift");
    EXPECT_EQ(EventKeyName({true, 9, 0x03, 0}), "");
    EXPECT_EQ(EventKeyName({true, 1, 0x10, 0}), "mouse_key_forward");
    EXPECT_EQ(EventKeyName({false, 1, 0x08, 0}), "mouse_key_back");
    EXPECT_EQ(EventKeyName({true, 4, 10, 0}), "mouse_move_to_left_text");
    EXPECT_EQ(EventKeyName({false, 4, 10, 0}), "mouse_move_to_right_text");
    EXPECT_EQ(EventKeyName({true, 5, 10, 0}), "mouse_move_to_up_text");
    EXPECT_EQ(EventKeyName({false, 5, 10, 0}), "mouse_move_to_down_text");
    EXPECT_EQ(EventKeyName({true, 2, 1, 0}), "");
    EXPECT_EQ(EventActionText({true, 4, 44, 0}), "44");
    EXPECT_EQ(EventActionText({true, 10, 4, 0}), "");
    EXPECT_TRUE(IsKeyboardEvent({true, 9, 1, 0}));
    EXPECT_FALSE(IsKeyboardEvent({true, 3, 1, 0}));
    EXPECT_EQ(TypeAndDirection({true, 4, 0, 0}), 0x84);
    EXPECT_EQ(TypeAndDirection({false, 10, 0, 0}), 0x0A);
}

TEST(MacroEventRow, RecordedInputBecomesEvents) {
    EXPECT_EQ(KeyEventFromScanCode(0x2A, false, true), (MacroEvent{true, 9, 0x02, 0}));    // left Shift
    EXPECT_EQ(KeyEventFromScanCode(0x1E, false, false), (MacroEvent{false, 10, 0x04, 0})); // A
    EXPECT_EQ(KeyEventFromScanCode(0x38, true, true), (MacroEvent{true, 9, 0x40, 0}));     // right Alt
    EXPECT_EQ(KeyEventFromScanCode(0x1C, true, true), (MacroEvent{true, 10, 0x58, 0}));    // keypad Enter
    EXPECT_FALSE(KeyEventFromScanCode(0x00, false, true));
    EXPECT_EQ(MouseEventFromMessage(0x0204), (MacroEvent{true, 1, 0x02, 0}));
    EXPECT_EQ(MouseEventFromMessage(0x0208), (MacroEvent{false, 1, 0x04, 0}));
    EXPECT_EQ(MouseEventFromMessage(0x020C, 2), (MacroEvent{false, 1, 0x10, 0}));
    EXPECT_EQ(MouseEventFromMessage(0x020B, 1), (MacroEvent{true, 1, 0x08, 0}));
    EXPECT_FALSE(MouseEventFromMessage(0x020B, 0));
    EXPECT_FALSE(MouseEventFromMessage(0x020A));
}

TEST(MacroNaming, NextFreeName) {
    EXPECT_EQ(NextFreeMacroName({}), "macro_1");
    EXPECT_EQ(NextFreeMacroName({"macro_1", "MACRO_3"}), "macro_2");
    EXPECT_EQ(NextFreeMacroName({"macro_1", "MACRO_3", "macro_2"}), "macro_4");
    EXPECT_EQ(NextFreeMacroName({"macro_10", "macro_01"}), "macro_1"); // the text counts, not the number
}

TEST(MacroNaming, BlankAndCaseRules) {
    EXPECT_TRUE(IsBlankName(""));
    EXPECT_TRUE(IsBlankName("   "));
    EXPECT_TRUE(IsBlankName("\t\r\n"));
    EXPECT_TRUE(IsBlankName("\xE3\x80\x80 "));
    EXPECT_FALSE(IsBlankName(" a "));
    EXPECT_EQ(TrimWhitespace("  My macro \t"), "My macro");

    EXPECT_TRUE(SameNameIgnoringCase("Macro_2", "macro_2"));
    EXPECT_TRUE(SameNameIgnoringCase("\xC3\x89t\xC3\xA9", "\xC3\xA9T\xC3\x89")); // Été / éTÉ
    EXPECT_TRUE(SameNameIgnoringCase("\xD0\x9C\xD0\xB0\xD0\xBA", "\xD0\xBC\xD0\x90\xD0\x9A")); // Мак / мАК
    EXPECT_TRUE(SameNameIgnoringCase("\xE5\xAE\x8F"
                                     "1",
                                     "\xE5\xAE\x8F"
                                     "1"));
    EXPECT_FALSE(SameNameIgnoringCase("macro", "macro_"));
    EXPECT_FALSE(SameNameIgnoringCase("\xE5\xAE\x8F", "\xE5\xAE\x90"));
    // Broken UTF-8 compares byte for byte and never reads past the end.
    EXPECT_TRUE(SameNameIgnoringCase("a\xC3", "A\xC3"));
    EXPECT_FALSE(SameNameIgnoringCase("\xC3", "\xE3"));
    EXPECT_FALSE(SameNameIgnoringCase("\xF0\x9F", "\xF0"));
}

TEST(MacroNaming, IdentifiersStayInsideTheFolder) {
    EXPECT_TRUE(IsValidMacroIdentifier("2021_03_07_09_05_01_042"));
    EXPECT_TRUE(IsValidMacroIdentifier("macro-v2.1"));
    EXPECT_FALSE(IsValidMacroIdentifier(""));
    EXPECT_FALSE(IsValidMacroIdentifier("."));
    EXPECT_FALSE(IsValidMacroIdentifier(".."));
    EXPECT_FALSE(IsValidMacroIdentifier("../x"));
    EXPECT_FALSE(IsValidMacroIdentifier("a/b"));
    EXPECT_FALSE(IsValidMacroIdentifier("a\\b"));
    EXPECT_FALSE(IsValidMacroIdentifier(".hidden"));
    EXPECT_FALSE(IsValidMacroIdentifier(std::string("a\0b", 3)));
    EXPECT_FALSE(IsValidMacroIdentifier(std::string(129, 'a')));
}
