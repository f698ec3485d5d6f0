// The readers behind the language checks: a check that cannot see a key cannot miss it.
#include "lang/LangScan.h"

#include <gtest/gtest.h>

using namespace nk7x::langcheck;

namespace {

using Strings = std::vector<std::string>;

TEST(TextFileReader, AcceptsAFlatObjectAndSetsApartNonStrings) {
    const TextFile f = ParseTextFile(R"({"a" : "x", "b" : 3, "c" : "简体"})");
    ASSERT_TRUE(f.ok) << f.error;
    EXPECT_EQ(f.texts.size(), 2u);
    EXPECT_EQ(f.texts.at("c"), "简体");
    EXPECT_EQ(f.nonStringKeys, Strings{"b"});
}

TEST(TextFileReader, RejectsWhatTheProgramWouldMisread) {
    EXPECT_FALSE(ParseTextFile(R"({"a" : "x", "a" : "y"})").ok) << "duplicate key";
    EXPECT_FALSE(ParseTextFile(R"(["a"])").ok) << "not an object";
    EXPECT_FALSE(ParseTextFile(R"({"a" : "x"} {"b" : "y"})").ok) << "trailing data";
    EXPECT_FALSE(ParseTextFile(R"({"a" : "x",})").ok) << "trailing comma";
    EXPECT_FALSE(ParseTextFile("").ok);
}

TEST(Utf8, ValidAndBrokenSequences) {
    EXPECT_TRUE(IsValidUtf8("plain"));
    EXPECT_TRUE(IsValidUtf8("\xe7\xae\x80\xe4\xbd\x93")); // 简体
    EXPECT_FALSE(IsValidUtf8("\xe7\xae"));                // cut short
    EXPECT_FALSE(IsValidUtf8("\xc0\xaf"));                // overlong "/"
    EXPECT_FALSE(IsValidUtf8("\xed\xa0\x80"));            // surrogate
    EXPECT_FALSE(IsValidUtf8("\xff"));
    EXPECT_TRUE(ContainsCjk("OK 确定"));
    EXPECT_TRUE(ContainsCjk("重复延迟："));
    EXPECT_FALSE(ContainsCjk("Caps Lock ¥"));
}

TEST(FormatPlaceholders, PrintfInOrderOthersAsASet) {
    EXPECT_EQ(FindPlaceholders("Remove %d events").printf, Strings{"%d"});
    EXPECT_EQ(FindPlaceholders("%s of %5.2f%% and %lu").printf, (Strings{"%s", "%5.2f", "%lu"}));
    EXPECT_TRUE(FindPlaceholders("100%% sure").printf.empty());
    EXPECT_EQ(FindPlaceholders("{1} before {0}"), FindPlaceholders("{0} 在 {1} 之后"));
    EXPECT_EQ(FindPlaceholders("%2 / %1").positional, (Strings{"%1", "%2"}));
    EXPECT_FALSE(FindPlaceholders("%d then %s") == FindPlaceholders("%s then %d"));
    EXPECT_FALSE(FindPlaceholders("Remove %d events") == FindPlaceholders("请删除事件"));
    EXPECT_TRUE(FindPlaceholders("Caps Lock, {braces} are not } placeholders {").printf.empty());
}

TEST(SourceLiterals, FindsLiteralsButNotCommentsOrCharacters) {
    const char* code = R"cpp(
        // "message_text_1" in a comment is no use
        /* nor "message_text_2"
           here */
        const char* a = "message_text_3"; auto b = QStringLiteral("keyboard_key_Num +");
        char q = '"'; char e = '\''; int big = 1'000'000; unsigned m = 0xFF'FF;
        auto c = "keyboard_key_xie\"gang\\"; auto d = L"mouse_key_left";
        auto r = R"x(light_mode_raw)x"; auto u = u8R"(light_area_all)";
        auto s = "keyboard_key_'"; auto t = "keyboard_key_\'";
    )cpp";
    EXPECT_EQ(StringLiterals(code),
              (Strings{"message_text_3", "keyboard_key_Num +", "keyboard_key_xie\"gang\\", "mouse_key_left",
                       "light_mode_raw", "light_area_all", "keyboard_key_'", "keyboard_key_'"}));
}

TEST(SourceLiterals, OnlyWholeKeysOfTheCheckedFamiliesCount) {
    for (const char* key :
         {"message_text_16", "keyboard_key_Esc", "keyboard_key_Print Scr", "keyboard_key_`",
          "mouse_key_DPI_add", "mouse_move_to_left_text", "light_mode_off", "light_area_logo"})
        EXPECT_TRUE(IsCheckedKeyLiteral(key)) << key;
    for (const char* other : {"keyboard_key_", "mouse_key_", "message_text_", "message_text_x",
                              "keyboard_key_%s", "light_mode_{0}", "key_", "main_title", "Light_Set", ""})
        EXPECT_FALSE(IsCheckedKeyLiteral(other)) << other;
}

TEST(LayoutKeyReader, DesignerPropertiesAndAttributes) {
    const char* ui = R"(<widget class="QLabel" name="title">
        <property name="textKey" stdset="0">
          <string>main_title</string>
        </property>
        <property name="text"><string>not a key</string></property>
        <property name="tooltipKey" stdset="0"><string>a_&amp;_b</string></property>
        <property name="textKey" stdset="0"><string/></property>
      </widget>
      <Item name="about_menu" textKey="about_menu_text"/>
      <Resource name="XML_MAIN" file="main.ui"/>)";
    EXPECT_EQ(LayoutKeys(ui), (Strings{"main_title", "a_&_b", "about_menu_text"}));
}

TEST(MissingKeyReport, NamesEachUseTheFileLacks) {
    const TextFile f = ParseTextFile(R"({"present" : "x"})");
    ASSERT_TRUE(f.ok);
    const auto missing =
        MissingKeys({{"present", "a.ui"}, {"absent", "b.cpp"}, {"absent", "c.ui"}, {"absent", "b.cpp"}}, f);
    ASSERT_EQ(missing.size(), 2u);
    EXPECT_EQ(missing[0].key, "absent");
    EXPECT_EQ(missing[0].where, "b.cpp");
    EXPECT_EQ(missing[1].where, "c.ui");
}

} // namespace
