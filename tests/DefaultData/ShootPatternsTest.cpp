// The default shoot patterns: thirty bullets per gun in the six-event layout the shoot panel reads
// and writes, events the device image can carry, and a recoil drift that grows over the burst.
#include "DefaultData.h"

#include "macros/MacroEvent.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>

using namespace nk7x;
using namespace nk7x::test;

namespace {

constexpr int kGuns = 4;
constexpr int kBullets = 30;
constexpr int kEventsPerBullet = 6;

Json::Value Pattern(int gun) {
    return ParseDefaultStrict("ShootData_" + std::to_string(gun) + ".Shoot");
}

struct Bullet {
    int sideways = 0; // counts; negative is to the left ("down")
    int upward = 0;   // counts; positive is up ("down")
    int delay = 0;
};

// Checks one event record member by member; `dir` empty accepts either direction.
::testing::AssertionResult IsEvent(const Json::Value& e, const std::string& dir, int type, int button,
                                   int delay) {
    if (!e.isObject())
        return ::testing::AssertionFailure() << "not an object";
    if (e.size() != 4)
        return ::testing::AssertionFailure() << e.size() << " members, not 4";
    if (!e["Action"].isString() || (e["Action"].asString() != "down" && e["Action"].asString() != "up"))
        return ::testing::AssertionFailure() << "Action " << e["Action"].toStyledString();
    if (!dir.empty() && e["Action"].asString() != dir)
        return ::testing::AssertionFailure() << "Action " << e["Action"].asString() << ", not " << dir;
    // The panel writes integers here (macro files hold strings); a string would still load but
    // would not be what the panel saves.
    for (const char* k : {"Button", "Delay", "Type"})
        if (e[k].type() != Json::intValue && e[k].type() != Json::uintValue)
            return ::testing::AssertionFailure() << k << " is not an integer";
    if (e["Type"].asInt() != type)
        return ::testing::AssertionFailure() << "Type " << e["Type"].asInt() << ", not " << type;
    if (button >= 0 && e["Button"].asInt() != button)
        return ::testing::AssertionFailure() << "Button " << e["Button"].asInt() << ", not " << button;
    if (e["Button"].asInt() < 0 || e["Button"].asInt() > 255)
        return ::testing::AssertionFailure() << "Button " << e["Button"].asInt() << " outside 0..255";
    if (delay >= 0 && e["Delay"].asInt() != delay)
        return ::testing::AssertionFailure() << "Delay " << e["Delay"].asInt() << ", not " << delay;
    if (e["Delay"].asInt() < 0 || e["Delay"].asInt() > 65535)
        return ::testing::AssertionFailure() << "Delay " << e["Delay"].asInt() << " outside 0..65535";
    return ::testing::AssertionSuccess();
}

// Reads a gun's bullets after checking every event; fails the test at the first broken element.
std::vector<Bullet> ReadBullets(int gun) {
    std::vector<Bullet> bullets;
    const Json::Value root = Pattern(gun);
    const Json::Value& events = root["Events"];
    EXPECT_TRUE(events.isArray()) << "gun " << gun;
    if (!events.isArray() || events.size() != kBullets * kEventsPerBullet) {
        ADD_FAILURE() << "gun " << gun << ": " << events.size() << " events, not "
                      << kBullets * kEventsPerBullet;
        return bullets;
    }
    for (int b = 0; b < kBullets; ++b) {
        const auto at = [&](int i) -> const Json::Value& { return events[b * kEventsPerBullet + i]; };
        const std::string where = "gun " + std::to_string(gun) + " bullet " + std::to_string(b) + " event ";
        EXPECT_TRUE(IsEvent(at(0), "down", 1, 1, 10)) << where << 0;
        EXPECT_TRUE(IsEvent(at(1), "up", 1, 1, 0)) << where << 1;
        EXPECT_TRUE(IsEvent(at(2), "", 4, -1, 5)) << where << 2;
        EXPECT_TRUE(IsEvent(at(3), "", 5, -1, -1)) << where << 3;
        // The trailing zero moves repeat the bullet's directions.
        EXPECT_TRUE(IsEvent(at(4), at(2)["Action"].asString(), 4, 0, 0)) << where << 4;
        EXPECT_TRUE(IsEvent(at(5), at(3)["Action"].asString(), 5, 0, 0)) << where << 5;
        Bullet bullet;
        const int x = at(2)["Button"].asInt();
        const int y = at(3)["Button"].asInt();
        bullet.sideways = at(2)["Action"].asString() == "down" ? -x : x;
        bullet.upward = at(3)["Action"].asString() == "down" ? y : -y;
        bullet.delay = at(3)["Delay"].asInt();
        bullets.push_back(bullet);
    }
    return bullets;
}

} // namespace

TEST(ShootPatterns, ThirtyBulletsOfSixEventsEach) {
    for (int gun = 0; gun < kGuns; ++gun)
        EXPECT_EQ(ReadBullets(gun).size(), static_cast<std::size_t>(kBullets)) << "gun " << gun;
}

// The mouse receives the patterns through the macro event encoding: every record must be an event
// it can encode, with the type and direction byte the layout implies.
TEST(ShootPatterns, EveryRecordIsAMacroEvent) {
    for (int gun = 0; gun < kGuns; ++gun) {
        const Json::Value root = Pattern(gun);
        const Json::Value& events = root["Events"];
        for (unsigned i = 0; i < events.size(); ++i) {
            const auto event = MacroEventFromJson(events[i]);
            ASSERT_TRUE(event.has_value()) << "gun " << gun << " event " << i;
            EXPECT_EQ(event->type, events[i]["Type"].asInt());
            EXPECT_EQ(event->button, events[i]["Button"].asInt());
            EXPECT_EQ(event->delay, events[i]["Delay"].asInt());
            EXPECT_EQ(event->down, events[i]["Action"].asString() == "down");
            EXPECT_EQ(TypeAndDirection(*event), (event->down ? 0x80 : 0) | event->type);
        }
    }
}

TEST(ShootPatterns, RecoilDriftsUpAndSidewaysMoreOverTheBurst) {
    std::array<std::vector<Bullet>, kGuns> guns;
    for (int gun = 0; gun < kGuns; ++gun) {
        guns[gun] = ReadBullets(gun);
        ASSERT_EQ(guns[gun].size(), static_cast<std::size_t>(kBullets));
        const auto& bullets = guns[gun];
        int upFirst = 0, upLast = 0, sideFirst = 0, sideLast = 0;
        for (int b = 0; b < 10; ++b) {
            upFirst += bullets[b].upward;
            upLast += bullets[kBullets - 10 + b].upward;
            sideFirst += std::abs(bullets[b].sideways);
            sideLast += std::abs(bullets[kBullets - 10 + b].sideways);
        }
        for (const auto& bullet : bullets) {
            EXPECT_GT(bullet.upward, 0) << "gun " << gun << ": every bullet kicks upwards";
            // Small moves: a recoil step is a few counts, never a jump across the screen.
            EXPECT_LE(bullet.upward, 40) << "gun " << gun;
            EXPECT_LE(std::abs(bullet.sideways), 20) << "gun " << gun;
            // One bullet every 40..400 ms (about 150..1500 rounds a minute).
            EXPECT_GE(bullet.delay + 15, 40) << "gun " << gun;
            EXPECT_LE(bullet.delay + 15, 400) << "gun " << gun;
            EXPECT_EQ(bullet.delay, bullets[0].delay) << "gun " << gun << ": one fire rate per gun";
        }
        EXPECT_GT(upLast, upFirst) << "gun " << gun << ": the climb grows over the burst";
        EXPECT_GT(sideLast, sideFirst) << "gun " << gun << ": the sideways drift grows over the burst";
    }
    // Every gun has a pattern of its own.
    for (int a = 0; a < kGuns; ++a) {
        for (int b = a + 1; b < kGuns; ++b) {
            bool differ = guns[a][0].delay != guns[b][0].delay;
            for (int i = 0; i < kBullets && !differ; ++i)
                differ = guns[a][i].upward != guns[b][i].upward || guns[a][i].sideways != guns[b][i].sideways;
            EXPECT_TRUE(differ) << "guns " << a << " and " << b << " share one pattern";
        }
    }
}

// Nothing else in the files: the panel keeps every other member as read, so extra members would
// travel with every user copy.
TEST(ShootPatterns, FilesHoldOnlyTheEvents) {
    for (int gun = 0; gun < kGuns; ++gun) {
        const Json::Value root = Pattern(gun);
        ASSERT_TRUE(root.isObject()) << "gun " << gun;
        EXPECT_EQ(root.getMemberNames(), std::vector<std::string>{"Events"}) << "gun " << gun;
    }
}
