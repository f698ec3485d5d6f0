// The shoot image of a mouse: four pattern files read into the macro image layout, byte for byte,
// with missing, broken and oversized patterns.
#include "devices/keyboard/KeyboardRecords.h"
#include "devices/mouse/ShootImageBuild.h"
#include "macros/MacroStore.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;
using namespace nk7x;

namespace {

using Bytes = std::vector<uint8_t>;

class ShootImageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_folder = fs::temp_directory_path() /
                   ("nk7x-shootimage-" + std::to_string(::getpid()) + "-" + info->name());
        fs::remove_all(m_folder);
        fs::create_directories(m_folder);
    }
    void TearDown() override { fs::remove_all(m_folder); }

    void Write(int gun, const std::string& text) const {
        std::ofstream out(m_folder / ShootPatternFileName(gun), std::ios::binary | std::ios::trunc);
        out << text;
    }
    std::string Folder() const { return m_folder.string(); }

    fs::path m_folder;
};

uint16_t U16(const Bytes& b, std::size_t at) {
    return static_cast<uint16_t>(b[at] | b[at + 1] << 8);
}

} // namespace

TEST(ShootPatternFiles, NamedPerGun) {
    EXPECT_EQ(ShootPatternFileName(0), "ShootData_0.Shoot");
    EXPECT_EQ(ShootPatternFileName(3), "ShootData_3.Shoot");
    EXPECT_EQ(ShootPatternPath("/data/mouse", 2), "/data/mouse/ShootData_2.Shoot");
}

// Gun 0 holds two events, gun 1 has no file, gun 2 a file that is no JSON, gun 3 one event: every
// byte of the image, header, offset table and blocks.
TEST_F(ShootImageTest, HeaderOffsetsAndBlocksByteForByte) {
    Write(0, R"({"Events": [
        {"Action": "down", "Button": 1, "Delay": 10, "Type": 1},
        {"Action": "up", "Button": 3, "Delay": "300", "Type": 4}]})");
    Write(2, "this is not a pattern");
    Write(3, R"({"Events": [{"Action": "down", "Button": 255, "Delay": 65535, "Type": 5}]})");

    const ShootImageBuild built = BuildShootImage(Folder());
    ASSERT_TRUE(built.ok);
    const Bytes expected = {
        0xAA, 0x55, 52, 0, 4,    0,                         // magic, T = 16 + 6 x 4 + 4 x 3, N = 4
        0,    0,    0,  0, 0,    0,    0,    0,    0,    0, // reserved
        24,   0,    36, 0, 40,   0,    44,   0,             // block offsets
        2,    0,    0,  0, 10,   0,    0x81, 1,    0x2C, 0x01,
        0x04, 3,                                   // gun 0: press left 10 ms, move right 3, 300 ms
        0,    0,    0,  0,                         // gun 1: no file
        0,    0,    0,  0,                         // gun 2: broken file
        1,    0,    0,  0, 0xFF, 0xFF, 0x85, 0xFF, // gun 3: move up 255, 65535 ms
    };
    EXPECT_EQ(built.bytes, expected);
    EXPECT_EQ((built.eventCounts), (std::array<std::size_t, 4>{2, 0, 0, 1}));
    // The broken file is reported; the missing one is simply a pattern without events.
    ASSERT_EQ(built.unreadable.size(), 1u);
    EXPECT_EQ(built.unreadable[0], ShootPatternPath(Folder(), 2));
}

TEST_F(ShootImageTest, AnEmptyFolderGivesFourEmptyBlocks) {
    const ShootImageBuild built = BuildShootImage(Folder());
    ASSERT_TRUE(built.ok);
    const Bytes expected = {0xAA, 0x55, 40, 0, 4, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 24, 0, 28, 0,
                            32,   0,    36, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  0, 0,  0};
    EXPECT_EQ(built.bytes, expected);
    EXPECT_TRUE(built.unreadable.empty());
}

// Records the panel leaves behind (nulls where a later bullet was saved first) and records no
// device can carry keep their slots as empty events, so that every later bullet stays in its place.
TEST_F(ShootImageTest, RecordsThatAreNoEventKeepTheirSlotsEmpty) {
    Write(1, R"({"Events": [null, null,
        {"Action": "UP", "Button": 7, "Delay": 90, "Type": 5},
        {"Action": "down", "Button": 256, "Delay": 5, "Type": 4},
        {"Action": "down", "Button": 1, "Delay": 5, "Type": 77},
        "text"]})");
    Write(2, R"({"Events": {"Action": "down"}})"); // "Events" that is no array
    const ShootImageBuild built = BuildShootImage(Folder());
    ASSERT_TRUE(built.ok);
    EXPECT_EQ((built.eventCounts), (std::array<std::size_t, 4>{0, 6, 0, 0}));
    EXPECT_EQ(built.emptied, 5u);
    ASSERT_EQ(built.bytes.size(), 16u + 24u + 4u * 6u);
    EXPECT_EQ(U16(built.bytes, 18), 28); // gun 1's block
    const Bytes zero(4, 0);
    EXPECT_EQ(Bytes(built.bytes.begin() + 28, built.bytes.begin() + 32), (Bytes{6, 0, 0, 0}));
    EXPECT_EQ(Bytes(built.bytes.begin() + 32, built.bytes.begin() + 36), zero);
    EXPECT_EQ(Bytes(built.bytes.begin() + 36, built.bytes.begin() + 40), zero);
    // The third record in the third slot; "UP" is not "down": the direction bit stays clear.
    EXPECT_EQ(Bytes(built.bytes.begin() + 40, built.bytes.begin() + 44), (Bytes{90, 0, 0x05, 7}));
    for (int slot = 3; slot < 6; ++slot)
        EXPECT_EQ(Bytes(built.bytes.begin() + 32 + 4 * slot, built.bytes.begin() + 36 + 4 * slot), zero)
            << slot;
    EXPECT_TRUE(built.unreadable.empty()) << "both files are readable patterns";
}

// The shipped patterns: thirty bullets of six events per gun, T = 16 + 24 + 4 x 720.
TEST_F(ShootImageTest, TheDefaultPatternsFillFourBlocksOf180Events) {
    const std::string defaults = NK7X_SOURCE_DIR "/DefaultData";
    const ShootImageBuild built = BuildShootImage(defaults);
    ASSERT_TRUE(built.ok);
    ASSERT_EQ(built.bytes.size(), 2920u);
    EXPECT_EQ(U16(built.bytes, 0), 0x55AA);
    EXPECT_EQ(U16(built.bytes, 2), 2920);
    EXPECT_EQ(U16(built.bytes, 4), 4);
    for (int gun = 0; gun < kShootGunCount; ++gun) {
        const std::size_t block = 24 + static_cast<std::size_t>(gun) * (4 + 4 * 180);
        EXPECT_EQ(U16(built.bytes, 16 + 2 * static_cast<std::size_t>(gun)), block) << "gun " << gun;
        EXPECT_EQ(U16(built.bytes, block), 180) << "gun " << gun;
    }
    // The first bullet of gun 0: press and release of the left button, then its two moves.
    EXPECT_EQ(
        Bytes(built.bytes.begin() + 28, built.bytes.begin() + 52),
        (Bytes{10, 0, 0x81, 1, 0, 0, 0x01, 1, 5, 0, 0x04, 0, 85, 0, 0x85, 2, 0, 0, 0x04, 0, 0, 0, 0x85, 0}));
    // The device reads back exactly the events of the files.
    MacroImage parsed;
    ASSERT_TRUE(MacroImage::Parse(built.bytes, parsed));
    ASSERT_EQ(parsed.macros.size(), 4u);
    for (int gun = 0; gun < kShootGunCount; ++gun)
        EXPECT_EQ(parsed.macros[static_cast<std::size_t>(gun)],
                  ReadMacroEvents(ShootPatternPath(defaults, gun)));
}

// Four blocks, so T = 16 + 6 x 4 + 4 x events: the keyboard's macro image rule with N = 4.
TEST_F(ShootImageTest, LengthFollowsTheMacroImageRule) {
    std::string events;
    for (int i = 0; i < 7; ++i)
        events += std::string(i ? "," : "") + R"({"Action": "up", "Button": 1, "Delay": 1, "Type": 1})";
    Write(0, R"({"Events": [)" + events + "]}");
    Write(3, R"({"Events": [)" + events + "]}");
    const ShootImageBuild built = BuildShootImage(Folder());
    ASSERT_TRUE(built.ok);
    const std::size_t counts[] = {7, 0, 0, 7};
    EXPECT_EQ(built.bytes.size(), MacroImage::SizeFor(counts));
    EXPECT_EQ(built.bytes.size(), 16u + 6u * 4u + 4u * 14u);
}

// More events than the 16-bit length can describe: nothing is built, nothing is to be sent.
TEST_F(ShootImageTest, AnImageBeyondSixteenBitsIsNotBuilt) {
    const auto pattern = [](int count) {
        std::string events;
        events.reserve(static_cast<std::size_t>(count) * 50);
        for (int i = 0; i < count; ++i)
            events += std::string(i ? "," : "") + R"({"Action":"up","Button":1,"Delay":1,"Type":1})";
        return R"({"Events": [)" + events + "]}";
    };
    const int count = (0xFFFF - 40) / 4 + 1; // one event too many
    Write(2, pattern(count));
    const ShootImageBuild built = BuildShootImage(Folder());
    EXPECT_FALSE(built.ok);
    EXPECT_TRUE(built.bytes.empty());

    // One event fewer fits, up to the last byte the length field can name.
    Write(2, pattern(count - 1));
    const ShootImageBuild fits = BuildShootImage(Folder());
    ASSERT_TRUE(fits.ok);
    EXPECT_EQ(fits.bytes.size(), 40u + 4u * static_cast<std::size_t>(count - 1));
    EXPECT_LE(fits.bytes.size(), 0xFFFFu);
}
