#include "profiles/json/JsonAccess.h"

#include <gtest/gtest.h>

#include <limits>

namespace nk7x {
namespace {

Json::Value Sample() {
    Json::Value v(Json::objectValue);
    v["int"] = -7;
    v["big"] = Json::UInt64(0x1234567890ABCDEFull);
    v["real"] = 3.9;
    v["huge"] = 1e300;
    v["text"] = "12";
    v["yes"] = true;
    v["arr"][0] = 5;
    v["obj"]["x"] = 1;
    v["null"] = Json::Value();
    return v;
}

TEST(JsonAccess, ReadersGiveTheDefaultForEveryWrongShape) {
    const Json::Value v = Sample();
    EXPECT_EQ(JsonInt(v, "int"), -7);
    EXPECT_EQ(JsonInt(v, "real"), 3);
    EXPECT_EQ(JsonInt(v, "yes"), 1);
    EXPECT_EQ(JsonInt(v, "text", 9), 9); // no string-to-number guessing
    EXPECT_EQ(JsonInt(v, "huge", 9), 9);
    EXPECT_EQ(JsonInt(v, "arr", 9), 9);
    EXPECT_EQ(JsonInt(v, "null", 9), 9);
    EXPECT_EQ(JsonInt(v, "absent", 9), 9);
    EXPECT_EQ(JsonInt64(v, "big"), static_cast<int64_t>(0x1234567890ABCDEFull));
    EXPECT_EQ(JsonInt(v, "big"), static_cast<int32_t>(0x90ABCDEF)); // low bits kept

    EXPECT_TRUE(JsonBool(v, "int"));
    EXPECT_TRUE(JsonBool(v, "yes"));
    EXPECT_FALSE(JsonBool(v, "text"));
    EXPECT_EQ(JsonString(v, "text"), "12");
    EXPECT_EQ(JsonString(v, "int", "d"), "d");

    EXPECT_EQ(JsonArray(v, "arr").size(), 1u);
    EXPECT_TRUE(JsonArray(v, "obj").isArray());
    EXPECT_TRUE(JsonArray(v, "obj").empty());
    EXPECT_TRUE(JsonObject(v, "arr").isObject());
    EXPECT_TRUE(JsonObject(v, "arr").empty());

    // Containers of the wrong type: JsonCpp's own operator[] would throw on each of these.
    for (const Json::Value& wrong :
         {Json::Value(5), Json::Value("s"), Json::Value(Json::arrayValue), Json::Value(true)}) {
        EXPECT_TRUE(JsonMember(wrong, "k").isNull());
        EXPECT_EQ(JsonInt(wrong, "k", 4), 4);
    }
    EXPECT_TRUE(JsonElement(Json::Value(5), 0).isNull());
    EXPECT_TRUE(JsonElement(v["obj"], 0).isNull());
    EXPECT_TRUE(JsonElement(v["arr"], 1).isNull());
    EXPECT_EQ(JsonValueInt(JsonElement(v["arr"], 0)), 5);
}

TEST(JsonAccess, RealsAtTheEdgeOfTheIntegerRangeAreRefused) {
    EXPECT_EQ(JsonValueInt64(Json::Value(9.3e18), -1), -1);
    EXPECT_EQ(JsonValueInt64(Json::Value(-9.3e18), -1), -1);
    EXPECT_EQ(JsonValueInt64(Json::Value(std::numeric_limits<double>::quiet_NaN()), -1), -1);
    EXPECT_EQ(JsonValueInt64(Json::Value(-2.7)), -2);
}

TEST(JsonAccess, WritersReshapeWhatIsInTheWay) {
    Json::Value v("text");
    JsonSlot(v, "a") = 1;
    EXPECT_TRUE(v.isObject());
    Json::Value& list = JsonSlot(v, "a"); // a number where an array is needed
    JsonSlot(list, 2) = 7;
    ASSERT_TRUE(v["a"].isArray());
    EXPECT_EQ(v["a"].size(), 3u);
    EXPECT_TRUE(v["a"][0].isNull());
    EXPECT_EQ(v["a"][2].asInt(), 7);
}

TEST(JsonAccess, GuardTurnsExceptionsIntoTheFallback) {
    EXPECT_EQ(JsonGuard(5, [] { return Json::Value("x").asInt(); }), 5);
    EXPECT_EQ(JsonGuard(5, [] { return 6; }), 6);
}

} // namespace
} // namespace nk7x
