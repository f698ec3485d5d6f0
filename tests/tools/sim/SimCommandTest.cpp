// The emulated keyboard's answers to the command frames, and the memory they reach.
#include <algorithm>
#include <numeric>
#include <set>

#include "devices/keyboard/KeyboardTables.h"
#include "tests/tools/sim/SimTestSupport.h"
#include "tools/sim/KeyboardLayout.h"

namespace nk7x::test {
namespace {

class SimCommand : public SimFixture {
  protected:
    void SetUp() override {
        SimFixture::SetUp();
        ASSERT_TRUE(m_client.Connect(m_device->SocketPath()));
    }
    RawClient m_client;
};

Bytes Pattern(size_t n, uint8_t seed) {
    Bytes b(n);
    for (size_t i = 0; i < n; ++i)
        b[i] = static_cast<uint8_t>(seed + i * 7);
    return b;
}

TEST(SimFrameBytes, ChecksumOfAFrameWithOnlyCommandOneIsOne) {
    const Bytes f = Request(1);
    EXPECT_EQ(f[1], 0x01);
    EXPECT_EQ(f[2], 0x00);
    EXPECT_EQ(f.size(), 64u);
}

TEST_F(SimCommand, EveryCommandEchoesItsCodeWithASuccessStatus) {
    for (uint8_t code : {1, 2, 28, 0xAA}) {
        auto r = m_client.Exchange(Request(code));
        ASSERT_TRUE(r) << int(code);
        ASSERT_EQ(r->size(), 64u);
        EXPECT_EQ((*r)[0], 4);
        EXPECT_EQ((*r)[3], code);
        EXPECT_EQ((*r)[7], kSimStatusOk);
        EXPECT_TRUE(IsSuccessStatus((*r)[7]));
    }
    // The status the device answers with is not one a zeroed buffer would show.
    EXPECT_NE(kSimStatusOk, 0);
}

TEST_F(SimCommand, ConfigAndLiveModesFollowTheirCommands) {
    EXPECT_FALSE(m_device->InConfig());
    ASSERT_TRUE(m_client.Exchange(Request(1)));
    EXPECT_TRUE(m_device->InConfig());
    ASSERT_TRUE(m_client.Exchange(Request(2)));
    EXPECT_FALSE(m_device->InConfig());
    EXPECT_FALSE(m_device->IsLiveLighting());
    ASSERT_TRUE(m_client.Exchange(Request(28)));
    EXPECT_TRUE(m_device->IsLiveLighting());
}

TEST_F(SimCommand, ProbeAnswersFFInByteEight) {
    auto r = m_client.Exchange(Request(0xAA));
    ASSERT_TRUE(r);
    EXPECT_EQ((*r)[8], 0xFF);
}

TEST_F(SimCommand, DeviceInformationCarriesKeyCountAndMacroCapacity) {
    auto r = m_client.Exchange(ReadRequest(3, 34));
    ASSERT_TRUE(r);
    EXPECT_EQ((*r)[7], kSimStatusOk);
    EXPECT_EQ((*r)[8 + 5], 126);
    EXPECT_EQ((*r)[8 + 6], 32);
    EXPECT_EQ(Bytes(r->begin() + 8, r->begin() + 42), m_device->DeviceInfo());
    // Past the 34 bytes there is no record.
    auto beyond = m_client.Exchange(ReadRequest(3, 35));
    ASSERT_TRUE(beyond);
    EXPECT_EQ((*beyond)[7], kSimStatusRefused);
}

TEST_F(SimCommand, BadFramesAreRefusedAndChangeNothing) {
    const Bytes before = m_device->Parameters();
    Bytes corrupt = Request(6, {1, 2, 3}, 40);
    corrupt[1] ^= 0x01;
    auto r = m_client.Exchange(corrupt);
    ASSERT_TRUE(r);
    EXPECT_EQ((*r)[3], 6);
    EXPECT_EQ((*r)[7], kSimStatusBadFrame);

    auto tooLong = m_client.Exchange(Request(6, Bytes(56, 9), 40, 57));
    ASSERT_TRUE(tooLong);
    EXPECT_EQ((*tooLong)[7], kSimStatusBadFrame);

    auto unknown = m_client.Exchange(Request(0x33));
    ASSERT_TRUE(unknown);
    EXPECT_EQ((*unknown)[3], 0x33);
    EXPECT_EQ((*unknown)[7], kSimStatusRefused);

    EXPECT_EQ(m_device->Parameters(), before);
    const SimCounters c = m_device->Counters();
    EXPECT_EQ(c.checksumErrors, 1u);
    EXPECT_EQ(c.refusedFrames, 3u);

    const std::vector<SimFrameRecord> log = m_device->FrameLog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_FALSE(log[0].checksumValid);
    EXPECT_TRUE(log[1].checksumValid);
    EXPECT_EQ(log[1].length, 57);
}

TEST_F(SimCommand, MessagesThatAreNotCommandFramesGetNoAnswer) {
    EXPECT_TRUE(m_client.Send(Bytes(10, 4))); // short
    Bytes otherReport = Request(1);
    otherReport[0] = 3; // another report id
    EXPECT_TRUE(m_client.Send(otherReport));
    // Both taken: an answer would already be on its way.
    EXPECT_TRUE(WaitUntil([&] { return m_device->Counters().messagesReceived >= 2; }));
    EXPECT_FALSE(m_client.ReceiveReply(100).has_value());
    const SimCounters c = m_device->Counters();
    EXPECT_EQ(c.messagesReceived, 2u);
    EXPECT_EQ(c.malformedMessages, 2u);
    EXPECT_EQ(c.framesReceived, 0u);
    // The connection still works, and the first reply on it is the one to this frame.
    const auto r = m_client.Exchange(Request(1));
    ASSERT_TRUE(r.has_value());
    EXPECT_EQ((*r)[3], 1);
}

TEST_F(SimCommand, ChunkedParameterWriteLandsAtItsOffsets) {
    const Bytes data = Pattern(120, 3);
    const std::vector<uint8_t> statuses = m_client.WriteChunked(6, data, 100);
    ASSERT_EQ(statuses.size(), 3u);
    for (uint8_t s : statuses)
        EXPECT_EQ(s, kSimStatusOk);

    const Bytes area = m_device->Parameters();
    EXPECT_EQ(Bytes(area.begin() + 100, area.begin() + 220), data);
    EXPECT_EQ(area[99], 0);
    EXPECT_EQ(area[220], 0);

    const std::vector<SimFrameRecord> log = m_device->FrameLog();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(log[0].length, 56);
    EXPECT_EQ(log[0].offset, 100);
    EXPECT_EQ(log[1].length, 56);
    EXPECT_EQ(log[1].offset, 156);
    EXPECT_EQ(log[2].length, 8);
    EXPECT_EQ(log[2].offset, 212);
    EXPECT_EQ(log[2].Payload(), Bytes(data.begin() + 112, data.end()));
    EXPECT_TRUE(log[2].checksumValid);
    EXPECT_TRUE(log[2].answered);

    auto back = m_client.ReadChunked(5, 120, 100);
    ASSERT_TRUE(back);
    EXPECT_EQ(*back, data);
}

TEST_F(SimCommand, ParameterAreaEndsAt4096) {
    auto last = m_client.Exchange(Request(6, {0xAB}, 4095));
    ASSERT_TRUE(last);
    EXPECT_EQ((*last)[7], kSimStatusOk);
    auto across = m_client.Exchange(Request(6, {1, 2}, 4095));
    ASSERT_TRUE(across);
    EXPECT_EQ((*across)[7], kSimStatusRefused);
    EXPECT_EQ(m_device->Parameters()[4095], 0xAB); // the refused frame changed nothing
    auto readAcross = m_client.Exchange(ReadRequest(5, 2, 4095));
    ASSERT_TRUE(readAcross);
    EXPECT_EQ((*readAcross)[7], kSimStatusRefused);
}

TEST_F(SimCommand, FactorySettingsRecordIsReadable) {
    auto index = m_client.Exchange(ReadRequest(5, 1, 0));
    ASSERT_TRUE(index);
    EXPECT_EQ((*index)[8], 0); // record index n
    auto record = m_client.Exchange(ReadRequest(5, 26, 0));
    ASSERT_TRUE(record);
    EXPECT_LT((*record)[8 + 1], 20); // a lighting mode the keyboard has
    EXPECT_LE((*record)[8 + 2], 4);  // brightness level
    EXPECT_LE((*record)[8 + 3], 4);  // speed
    EXPECT_LE((*record)[8 + 22], 3); // polling-rate option
    for (int b = 9; b <= 17; ++b)
        EXPECT_EQ((*record)[8 + b], 0) << b;
}

TEST_F(SimCommand, KeyTableReadsBackInSevenFramesAndWritesLand) {
    auto table = m_client.ReadChunked(7, 378);
    ASSERT_TRUE(table);
    EXPECT_EQ(*table, m_device->KeyTable());
    EXPECT_EQ(m_device->FrameLog().size(), 7u);
    EXPECT_EQ(m_device->FrameLog().back().length, 42);
    EXPECT_EQ(m_device->FrameLog().back().offset, 336);

    auto leds = m_client.ReadChunked(27, 126);
    ASSERT_TRUE(leds);
    EXPECT_EQ(*leds, m_device->LedTable());

    // Reassign key 0 (Esc) and write the whole table back.
    Bytes changed = *table;
    const size_t p = static_cast<size_t>(SimKeyPosition(0)) * 3;
    changed[p] = 0x20;
    changed[p + 1] = 0x00;
    changed[p + 2] = 0x04;
    for (uint8_t s : m_client.WriteChunked(9, changed))
        EXPECT_EQ(s, kSimStatusOk);
    EXPECT_EQ(m_device->KeyTable(), changed);

    auto past = m_client.Exchange(Request(9, {1, 2, 3}, 378));
    ASSERT_TRUE(past);
    EXPECT_EQ((*past)[7], kSimStatusRefused);
}

TEST_F(SimCommand, LightingPagesLiveColoursMacrosShootAndStatusBlock) {
    const Bytes colours = Pattern(378, 11);
    for (uint8_t s : m_client.WriteChunked(11, colours, 2 * 512))
        EXPECT_EQ(s, kSimStatusOk);
    const Bytes page2 = m_device->LightingPage(2);
    ASSERT_EQ(page2.size(), 512u);
    EXPECT_EQ(Bytes(page2.begin(), page2.begin() + 378), colours);
    EXPECT_EQ(m_device->LightingPage(1), Bytes(512, 0));
    EXPECT_TRUE(m_device->LightingPage(8).empty()); // eight pages, 0..7
    auto pastPages = m_client.Exchange(Request(11, {1}, 8 * 512));
    ASSERT_TRUE(pastPages);
    EXPECT_EQ((*pastPages)[7], kSimStatusRefused);

    const Bytes live = Pattern(378, 5);
    for (uint8_t s : m_client.WriteChunked(18, live))
        EXPECT_EQ(s, kSimStatusOk);
    const Bytes liveArea = m_device->LiveLighting();
    EXPECT_EQ(Bytes(liveArea.begin(), liveArea.begin() + 378), live);
    EXPECT_EQ(m_device->Counters().liveFrames, 7u);

    const Bytes shoot = Pattern(100, 1);
    for (uint8_t s : m_client.WriteChunked(23, shoot))
        EXPECT_EQ(s, kSimStatusOk);
    const Bytes shootArea = m_device->ShootArea();
    EXPECT_EQ(Bytes(shootArea.begin(), shootArea.begin() + 100), shoot);

    auto block = m_client.Exchange(ReadRequest(26, 6, 0));
    ASSERT_TRUE(block);
    EXPECT_EQ((*block)[7], kSimStatusOk);
    EXPECT_EQ(Bytes(block->begin() + 8, block->begin() + 14), m_device->StatusBlock());
    m_device->SetStatusBlock({55, 1, 0, 0, 0, 2});
    block = m_client.Exchange(ReadRequest(26, 6, 0));
    ASSERT_TRUE(block);
    EXPECT_EQ(Bytes(block->begin() + 8, block->begin() + 14), (Bytes{55, 1, 0, 0, 0, 2}));
    auto longBlock = m_client.Exchange(ReadRequest(26, 7, 0));
    ASSERT_TRUE(longBlock);
    EXPECT_EQ((*longBlock)[7], kSimStatusRefused);
}

TEST_F(SimCommand, MacroAreaIsBoundedByItsCapacity) {
    Plug([&] {
        SimOptions o = Options();
        o.macroCapacity = 2; // 256 bytes
        return o;
    }());
    ASSERT_TRUE(m_client.Connect(m_device->SocketPath()));
    ASSERT_EQ(m_device->MacroArea().size(), 256u);

    const Bytes image = Pattern(256, 0x55);
    for (uint8_t s : m_client.WriteChunked(21, image))
        EXPECT_EQ(s, kSimStatusOk);
    EXPECT_EQ(m_device->MacroArea(), image);

    // A frame that runs past the end is refused whole: the bytes that would fit stay as they were.
    auto across = m_client.Exchange(Request(21, Bytes(8, 0xEE), 252));
    ASSERT_TRUE(across);
    EXPECT_EQ((*across)[7], kSimStatusRefused);
    EXPECT_EQ(m_device->MacroArea(), image);
}

TEST(SimLayout, FactoryTableHoldsEveryProgramKeyAtItsOwnPosition) {
    std::set<int> positions;
    for (int k = 0; k < kKeyboardKeyCount; ++k) {
        const int p = SimKeyPosition(k);
        ASSERT_GE(p, 0);
        ASSERT_LT(p, kKeyboardKeyCount);
        positions.insert(p);
        EXPECT_EQ(SimKeyAtPosition(p), k);
    }
    EXPECT_EQ(positions.size(), size_t(kKeyboardKeyCount));
    int moved = 0;
    for (int k = 0; k < kKeyboardKeyCount; ++k)
        moved += SimKeyPosition(k) != k;
    EXPECT_GT(moved, 100); // device order really differs from key order

    const Bytes table = SimFactoryKeyTable(126);
    for (int k = 0; k < kKeyboardKeyCount; ++k) {
        const size_t p = static_cast<size_t>(SimKeyPosition(k)) * 3;
        const KeyCode& c = DefaultKeyCodeTable[static_cast<size_t>(k)].code;
        EXPECT_EQ(KeyCode({table[p], table[p + 1], table[p + 2]}), c) << "key " << k;
    }
}

TEST(SimLayout, LedTableGivesEachLitKeyItsOwnLed) {
    const Bytes leds = SimFactoryLedTable(126);
    std::set<int> used;
    int unlit = 0;
    for (int p = 0; p < 126; ++p) {
        if (leds[static_cast<size_t>(p)] == kSimNoLed) {
            ++unlit;
            const int key = SimKeyAtPosition(p);
            EXPECT_EQ(DefaultKeyCodeTable[static_cast<size_t>(key)].code, (KeyCode{0x20, 0, 0})) << key;
            continue;
        }
        EXPECT_LT(leds[static_cast<size_t>(p)], 170);
        EXPECT_TRUE(used.insert(leds[static_cast<size_t>(p)]).second) << "LED used twice at " << p;
    }
    EXPECT_EQ(unlit, 5);
    int differs = 0;
    for (int k = 0; k < 126; ++k)
        differs += SimKeyLed(k) != kSimNoLed && SimKeyLed(k) != k && SimKeyLed(k) != SimKeyPosition(k);
    EXPECT_GT(differs, 40); // LED order is neither key order nor position order
}

TEST(SimLayout, LargerAndSmallerBoards) {
    const Bytes big = SimFactoryKeyTable(170);
    ASSERT_EQ(big.size(), 510u);
    EXPECT_EQ(Bytes(big.begin(), big.begin() + 378), SimFactoryKeyTable(126));
    // The extra positions hold codes no program key has, so they never shadow one.
    for (size_t p = 126; p < 170; ++p) {
        const KeyCode c{big[p * 3], big[p * 3 + 1], big[p * 3 + 2]};
        if (c == KeyCode{0, 0, 0})
            continue;
        for (const DefaultKeyEntry& e : DefaultKeyCodeTable) {
            EXPECT_FALSE(c == e.code) << "position " << p;
        }
    }
    const Bytes bigLeds = SimFactoryLedTable(170);
    ASSERT_EQ(bigLeds.size(), 170u);

    // A board of 60 positions holds only the keys whose position is below 60.
    const Bytes small = SimFactoryKeyTable(60);
    ASSERT_EQ(small.size(), 180u);
    const int k = SimKeyAtPosition(59);
    const KeyCode& c = DefaultKeyCodeTable[static_cast<size_t>(k)].code;
    EXPECT_EQ(KeyCode({small[177], small[178], small[179]}), c);
}

TEST_F(SimCommand, KeyCount170And171AreServedWhole) {
    for (int keys : {170, 171}) {
        Plug([&] {
            SimOptions o = Options();
            o.keyCount = keys;
            return o;
        }());
        ASSERT_TRUE(m_client.Connect(m_device->SocketPath()));
        auto info = m_client.Exchange(ReadRequest(3, 34));
        ASSERT_TRUE(info);
        EXPECT_EQ((*info)[8 + 5], keys);
        auto table = m_client.ReadChunked(7, size_t(keys) * 3);
        ASSERT_TRUE(table) << keys;
        EXPECT_EQ(table->size(), size_t(keys) * 3);
        EXPECT_EQ(*table, m_device->KeyTable());
        auto leds = m_client.ReadChunked(27, size_t(keys));
        ASSERT_TRUE(leds);
        EXPECT_EQ(*leds, m_device->LedTable());
        // A reader that assumes 512 bytes runs past a 510-byte table and is refused at the end.
        if (keys == 170) {
            EXPECT_FALSE(m_client.ReadChunked(7, 512).has_value());
        }
    }
}

TEST_F(SimCommand, DeviceSideChangesAndFactoryReset) {
    ASSERT_TRUE(m_device->SetParameters(0, {0, 5, 2}));
    auto r = m_client.Exchange(ReadRequest(5, 3, 0));
    ASSERT_TRUE(r);
    EXPECT_EQ((*r)[9], 5);
    EXPECT_FALSE(m_device->SetParameters(4095, {1, 2}));
    EXPECT_FALSE(m_device->SetParameters(5000, {}));
    ASSERT_TRUE(m_device->SetKeyEntry(3, 0x70, 0x01, 0x00));
    EXPECT_EQ(m_device->KeyTable()[9], 0x70);
    EXPECT_FALSE(m_device->SetKeyEntry(126, 1, 2, 3));
    EXPECT_FALSE(m_device->SetKeyEntry(-1, 1, 2, 3));
    m_device->ResetToFactory();
    EXPECT_EQ(m_device->KeyTable(), SimFactoryKeyTable(126));
    EXPECT_EQ(m_device->Parameters()[1], 1);
}

} // namespace
} // namespace nk7x::test
