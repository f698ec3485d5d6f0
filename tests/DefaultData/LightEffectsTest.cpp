// The example user light effects: the effect list names effect files that exist beside it, and
// every frame is one the effect player can draw.
#include "DefaultData.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

namespace fs = std::filesystem;
using namespace nk7x::test;

namespace {

const Json::Value& EffectList() {
    static const Json::Value root = ParseDefaultStrict("tavro_light.config");
    return root;
}

// An effect name is a file name stem in the data folder: no folder parts, nothing hidden.
bool IsPlainStem(const std::string& s) {
    if (s.empty() || s.size() > 64 || s[0] == '.')
        return false;
    for (char c : s)
        if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' ||
              c == '-'))
            return false;
    return true;
}

} // namespace

TEST(LightEffects, ListHasAnEntryPerKind) {
    const Json::Value& info = EffectList()["LightInfo"];
    ASSERT_TRUE(info.isArray());
    // The name list of a kind is element kind number; the effect of a mode is looked up in
    // element 0, so element 0 must exist whatever the kind.
    ASSERT_EQ(info.size(), 4u);
    for (unsigned kind = 0; kind < info.size(); ++kind) {
        ASSERT_TRUE(info[kind].isArray()) << "kind " << kind;
        EXPECT_EQ(info[kind].size(), 2u) << "kind " << kind << ": the two example effects";
        std::set<std::string> names;
        for (unsigned i = 0; i < info[kind].size(); ++i) {
            const Json::Value& e = info[kind][i];
            const std::string where = "LightInfo[" + std::to_string(kind) + "][" + std::to_string(i) + "]";
            ASSERT_TRUE(e.isObject()) << where;
            ASSERT_TRUE(e["LightName"].isString()) << where;
            ASSERT_TRUE(e["Guid"].isString()) << where;
            EXPECT_FALSE(e["LightName"].asString().empty()) << where;
            EXPECT_TRUE(IsPlainStem(e["Guid"].asString())) << where << ": \"" << e["Guid"].asString() << "\"";
            EXPECT_TRUE(names.insert(e["LightName"].asString()).second) << where << " repeats a name";
        }
    }
}

TEST(LightEffects, EveryNamedEffectFileExistsAndPlays) {
    const Json::Value& info = EffectList()["LightInfo"];
    ASSERT_TRUE(info.isArray());
    std::set<std::string> stems;
    for (const auto& kind : info)
        for (const auto& e : kind)
            stems.insert(e["Guid"].asString());
    ASSERT_FALSE(stems.empty());
    for (const auto& stem : stems) {
        SCOPED_TRACE(stem);
        ASSERT_TRUE(IsPlainStem(stem));
        const std::string name = stem + ".light";
        ASSERT_TRUE(fs::is_regular_file(DefaultDataPath(name))) << name << " is named but missing";
        std::string error;
        const Json::Value doc = ParseDefaultStrict(name, &error);
        ASSERT_TRUE(doc.isObject()) << error;
        const Json::Value& frames = doc["LEDEffectList"];
        ASSERT_TRUE(frames.isArray());
        ASSERT_GE(frames.size(), 2u) << "an effect is a sequence of frames";
        for (unsigned f = 0; f < frames.size(); ++f) {
            const Json::Value& fr = frames[f];
            const std::string where = name + " frame " + std::to_string(f);
            ASSERT_TRUE(fr.isObject()) << where;
            EXPECT_EQ(fr.size(), 10u) << where;
            // Player modes 0 breathing, 1 static, 2 blink, 4 wave, 5 colour cycle; 3 draws nothing.
            ASSERT_TRUE(IsIntIn(fr["LEDREGMode"], 0, 5, where + ".LEDREGMode"));
            EXPECT_NE(fr["LEDREGMode"].asInt(), 3) << where << ": mode 3 draws nothing";
            // Brightness and speed index five-entry tables in the player.
            EXPECT_TRUE(IsIntIn(fr["LEDBrightness"], 0, 4, where + ".LEDBrightness"));
            EXPECT_TRUE(IsIntIn(fr["LEDSpeed"], 0, 4, where + ".LEDSpeed"));
            EXPECT_TRUE(IsIntIn(fr["LEDDirection"], 0, 1, where + ".LEDDirection"));
            EXPECT_TRUE(IsIntIn(fr["LEDMultiColor"], 0, 1, where + ".LEDMultiColor"));
            for (const char* c : {"red", "green", "blue"})
                EXPECT_TRUE(IsIntIn(fr[c], 0, 255, where + "." + c));
            // A frame time of 0 advances one frame per pass, too fast to see.
            EXPECT_TRUE(IsIntIn(fr["Time"], 100, 60000, where + ".Time"));
            EXPECT_TRUE(IsIntIn(fr["Cyle"], 0, 0x7FFFFFFF, where + ".Cyle"));
            // A single-colour frame in black would show nothing.
            if (fr["LEDMultiColor"].asInt() == 0) {
                EXPECT_GT(fr["red"].asInt() + fr["green"].asInt() + fr["blue"].asInt(), 0) << where;
            }
        }
    }
}

// Effect files that no list entry names would be installed but never reachable.
TEST(LightEffects, NoOrphanEffectFiles) {
    std::set<std::string> named;
    for (const auto& kind : EffectList()["LightInfo"])
        for (const auto& e : kind)
            named.insert(e["Guid"].asString() + ".light");
    for (const auto& entry : fs::directory_iterator(DefaultDataDir())) {
        const std::string name = entry.path().filename().string();
        if (name.ends_with(".light")) {
            EXPECT_TRUE(named.count(name)) << name << " is not named by tavro_light.config";
        }
    }
}
