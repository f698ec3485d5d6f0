// The keyboard's operations against the emulated keyboard: layout, settings, key table, macros and
// custom colours, with the failures the keyboard can answer.
#include "KeyboardTestSupport.h"
#include "profiles/FullDisk.h"

#include <fstream>
#include <sstream>

#include <algorithm>
#include <fstream>

#include "macros/MacroStore.h"
#include "tools/sim/KeyboardLayout.h"

namespace nk7x::test {
namespace {

class KeyboardLayoutTest : public KeyboardTest {};

TEST_F(KeyboardLayoutTest, LocatesEveryKeyAndItsLed) {
    ASSERT_EQ(m_kbd->ReadKeyLayout(), kResultOk);
    EXPECT_EQ(m_kbd->DeviceKeyCount(), 126);
    EXPECT_EQ(m_kbd->Link().DataSize(), 378);
    EXPECT_FALSE(m_sim->InConfig());
    const int firstBlank = std::min({SimKeyPosition(18), SimKeyPosition(19), SimKeyPosition(20),
                                     SimKeyPosition(62), SimKeyPosition(104)});
    for (int k = 0; k < kKeyboardKeyCount; ++k) {
        const bool blank = k == 18 || k == 19 || k == 20 || k == 62 || k == 104;
        // Keys sharing the blank code all land on the first position that holds it.
        EXPECT_EQ(m_kbd->KeyPosition(k), blank ? firstBlank : SimKeyPosition(k)) << k;
        EXPECT_EQ(m_kbd->KeyLed(k), m_sim->LedTable()[m_kbd->KeyPosition(k)]) << k;
    }
    EXPECT_EQ(m_kbd->KeyPosition(-1), kKeyNotFound);
    EXPECT_EQ(m_kbd->KeyPosition(126), kKeyNotFound);
}

TEST_F(KeyboardLayoutTest, AKeyReassignedBeforeTheReadIsNotFound) {
    const int p = SimKeyPosition(5);
    ASSERT_TRUE(m_sim->SetKeyEntry(p, 0x20, 0x00, 0x99));
    ASSERT_EQ(m_kbd->ReadKeyLayout(), kResultOk);
    EXPECT_EQ(m_kbd->KeyPosition(5), kKeyNotFound);
    EXPECT_EQ(m_kbd->KeyLed(5), kKeyNotFound);
    EXPECT_EQ(m_kbd->KeyPosition(6), SimKeyPosition(6));
}

TEST_F(KeyboardLayoutTest, ClosedLinkSendsNothing) {
    m_kbd->Link().ClosePath();
    m_sim->ClearFrameLog();
    EXPECT_EQ(m_kbd->ReadKeyLayout(), kResultFailed);
    EXPECT_EQ(m_kbd->WriteKeyAssignments(0, {}), kResultFailed);
    EXPECT_EQ(m_kbd->WriteSettings(0, 0), kResultFailed);
    EXPECT_EQ(m_sim->Counters().framesReceived, 0u);
}

TEST_F(KeyboardLayoutTest, NoKeyTableIsWrittenBeforeTheLayoutIsKnown) {
    m_sim->ClearFrameLog();
    const std::vector<uint8_t> before = m_sim->KeyTable();
    EXPECT_EQ(m_kbd->WriteKeyAssignments(0, std::vector<KeyAssignment>(126)), kResultFailed);
    EXPECT_EQ(m_sim->Counters().perCommand[9], 0u);
    EXPECT_EQ(m_sim->KeyTable(), before);
}

class LargeKeyboardTest : public KeyboardTest {
    SimOptions Options() override {
        SimOptions o;
        o.keyCount = 170;
        return o;
    }
};

TEST_F(LargeKeyboardTest, SeventyKeysMoreFitAndAKeyTableWriteChangesOnlyLocatedKeys) {
    const int moved = SimKeyPosition(7);
    ASSERT_TRUE(m_sim->SetKeyEntry(moved, 0x20, 0x00, 0x99)); // key 7 cannot be located
    ASSERT_EQ(m_kbd->ReadKeyLayout(), kResultOk);
    EXPECT_EQ(m_kbd->DeviceKeyCount(), 170);
    EXPECT_EQ(m_kbd->Link().DataSize(), 510);
    const std::vector<uint8_t> before = m_sim->KeyTable();
    ASSERT_EQ(before.size(), 510u);

    std::vector<KeyAssignment> list(kKeyboardKeyCount);
    for (int k = 0; k < kKeyboardKeyCount; ++k)
        list[static_cast<size_t>(k)].assignment = {0x20, 0x00, static_cast<uint8_t>(0xE0 + (k % 8))};
    ASSERT_EQ(m_kbd->WriteKeyAssignments(0, list), kResultOk);
    const std::vector<uint8_t> after = m_sim->KeyTable();
    ASSERT_EQ(after.size(), 510u);
    std::vector<bool> located(170, false);
    for (int k = 0; k < kKeyboardKeyCount; ++k) {
        const uint8_t p = m_kbd->KeyPosition(k);
        if (p == kKeyNotFound)
            continue;
        located[p] = true;
        // For keys sharing a position the last one in key order is what the position holds.
        const bool lastAtPosition = [&] {
            for (int j = k + 1; j < kKeyboardKeyCount; ++j)
                if (m_kbd->KeyPosition(j) == p)
                    return false;
            return true;
        }();
        if (lastAtPosition) {
            EXPECT_EQ(after[3 * p + 2], 0xE0 + (k % 8)) << k;
        }
    }
    for (int p = 0; p < 170; ++p) {
        if (located[static_cast<size_t>(p)])
            continue;
        EXPECT_EQ(std::vector<uint8_t>(after.begin() + 3 * p, after.begin() + 3 * p + 3),
                  std::vector<uint8_t>(before.begin() + 3 * p, before.begin() + 3 * p + 3))
            << "position " << p;
    }
    EXPECT_FALSE(located[static_cast<size_t>(moved)]);
    EXPECT_TRUE(m_view.failures.empty());
}

TEST_F(LargeKeyboardTest, AKeyTablePageOtherThanZeroIsReported) {
    ASSERT_EQ(m_kbd->ReadKeyLayout(), kResultOk);
    m_sim->ClearFrameLog();
    const std::vector<uint8_t> before = m_sim->KeyTable();
    EXPECT_EQ(m_kbd->WriteKeyAssignments(1, std::vector<KeyAssignment>(126)), kResultBadPage);
    EXPECT_TRUE(Frames(9).empty());
    EXPECT_EQ(Frames(2).size(), 1u); // the configuration session is still closed
    EXPECT_EQ(m_sim->KeyTable(), before);
    ASSERT_EQ(m_view.failures.size(), 1u);
    EXPECT_EQ(m_view.failures[0], std::make_pair(KeyboardWrite::KeyAssignments, kResultBadPage));
}

class OversizedKeyboardTest : public KeyboardTest {
    SimOptions Options() override {
        SimOptions o;
        o.keyCount = 171;
        return o;
    }
};

TEST_F(OversizedKeyboardTest, TooManyKeysStopAfterTheDeviceInformation) {
    m_sim->ClearFrameLog();
    EXPECT_EQ(m_kbd->ReadKeyLayout(), kResultFailed);
    EXPECT_EQ(Commands(), (std::vector<uint8_t>{1, 3, 2}));
    EXPECT_EQ(m_kbd->DeviceInfo()[5], 171);
    EXPECT_EQ(m_kbd->Link().DataSize(), 512);
    EXPECT_EQ(m_kbd->DeviceKeyCount(), 0);
    for (int k = 0; k < kKeyboardKeyCount; ++k)
        EXPECT_EQ(m_kbd->KeyPosition(k), kKeyNotFound);
}

class SettingsTest : public KeyboardTest {
  protected:
    void SetUp() override {
        KeyboardTest::SetUp();
        m_kbd->LoadProfile();
    }
    void PutDeviceRecord(std::vector<uint8_t> record) {
        record.resize(26, 0);
        ASSERT_TRUE(m_sim->SetParameters(0, record));
    }
};

TEST_F(SettingsTest, WriteSendsTheProfilesSettings) {
    LightState light = m_kbd->Profile().GetLightInfo();
    light.mode = 21;
    light.brightness = 2;
    light.speed = 1;
    light.red = 0xFF;
    light.green = 0x00;
    light.blue = 0x80;
    light.customGroup = 3;
    m_kbd->SetLightSettings(light);
    KeyboardSystemStages stages = m_kbd->Profile().GetSystemStages();
    stages.winKeyFlag = 1;
    stages.pollingRate = 3;
    m_kbd->Profile().SetSystemStages(stages);
    // Bytes the record does not carry already hold something on the keyboard.
    ASSERT_TRUE(m_sim->SetParameters(9, std::vector<uint8_t>(9, 0xAA)));

    m_sim->ClearFrameLog();
    ASSERT_EQ(m_kbd->WriteSettings(0, 0), kResultOk);
    EXPECT_EQ(Commands(), (std::vector<uint8_t>{1, 6, 2}));
    const std::vector<uint8_t> p = m_sim->Parameters();
    const std::vector<uint8_t> expected = {0,
                                           0,
                                           2,
                                           3,
                                           light.direction,
                                           light.multiColor,
                                           0xFF,
                                           0x00,
                                           0x80,
                                           0,
                                           0,
                                           0,
                                           0,
                                           0,
                                           0,
                                           0,
                                           0,
                                           0,
                                           light.secondaryMode,
                                           static_cast<uint8_t>(stages.wKeyFlag),
                                           static_cast<uint8_t>(stages.key6Flag),
                                           1,
                                           3,
                                           0,
                                           0,
                                           3};
    EXPECT_EQ(std::vector<uint8_t>(p.begin(), p.begin() + 26), expected);
    EXPECT_TRUE(m_view.failures.empty());
}

TEST_F(SettingsTest, AFailedWriteIsReported) {
    ASSERT_EQ(m_sim->AddFaults("status=0xFF@6"), 1);
    m_sim->ClearFrameLog();
    EXPECT_EQ(m_kbd->WriteSettings(0, 0), kResultDeviceFailed);
    EXPECT_EQ(Commands(), (std::vector<uint8_t>{1, 6, 2})); // the session is closed all the same
    ASSERT_EQ(m_view.failures.size(), 1u);
    EXPECT_EQ(m_view.failures[0], std::make_pair(KeyboardWrite::Settings, kResultDeviceFailed));

    // A refused key-table write is reported too.
    ASSERT_EQ(m_kbd->ReadKeyLayout(), kResultOk);
    ASSERT_EQ(m_sim->AddFaults("status=0xFE@9+2"), 1);
    EXPECT_EQ(m_kbd->WriteProfileKeyAssignments(0), kResultDeviceRefused);
    ASSERT_EQ(m_view.failures.size(), 2u);
    EXPECT_EQ(m_view.failures[1], std::make_pair(KeyboardWrite::KeyAssignments, kResultDeviceRefused));
    // The next write goes through again.
    EXPECT_EQ(m_kbd->WriteSettings(0, 0), kResultOk);
}

TEST_F(SettingsTest, ReadTakesTheKeyboardsSettingsIntoTheProfile) {
    m_kbd->SetLightSettings([] {
        LightState s;
        s.customGroup = 4;
        return s;
    }());
    PutDeviceRecord({0, 3, 2, 1, 1, 0, 0x10, 0x20, 0x30, 0, 0, 0, 0, 0, 0, 0, 0, 0, 5, 1, 0, 1, 2});
    ASSERT_EQ(m_kbd->ReadSettings(), kResultOk);
    const LightState l = m_kbd->GetLightSettings();
    EXPECT_EQ(l.mode, 3);
    EXPECT_EQ(l.brightness, 2);
    EXPECT_EQ(l.speed, 3);
    EXPECT_EQ(l.direction, 1);
    EXPECT_EQ(l.red, 0x10);
    EXPECT_EQ(l.blue, 0x30);
    EXPECT_EQ(l.secondaryMode, 5);
    EXPECT_EQ(l.customGroup, 4); // kept
    const KeyboardSystemStages before = m_kbd->SystemStages();
    EXPECT_EQ(before.wKeyFlag, 1);
    EXPECT_EQ(before.winKeyFlag, 1);
    // Saved: a fresh profile object reads the same from the file.
    CKeyboardProfiledata reread;
    reread.SetProfilePath(m_kbd->GetProfileName());
    reread.LoadFromFile(m_kbd->GetProfileName());
    EXPECT_EQ(reread.GetLightInfo().mode, 3);
    EXPECT_EQ(reread.GetSystemStages().wKeyFlag, 1);
    EXPECT_EQ(reread.GetSystemStages().pollingRate, 0); // never read back
}

TEST_F(SettingsTest, ForcedRedAppliesToOneReadOnly) {
    PutDeviceRecord({0, 1, 4, 2, 0, 0, 0x10, 0x20, 0x30});
    m_kbd->SetForcedRed();
    ASSERT_EQ(m_kbd->ReadSettings(), kResultOk);
    EXPECT_FALSE(m_kbd->ForcedRed());
    LightState l = m_kbd->GetLightSettings();
    EXPECT_EQ(std::vector<int>({l.red, l.green, l.blue}), std::vector<int>({0xFF, 0, 0}));
    EXPECT_EQ(m_kbd->Profile().GetLightInfo().red, 0xFF);
    ASSERT_EQ(m_kbd->ReadSettings(), kResultOk);
    l = m_kbd->GetLightSettings();
    EXPECT_EQ(std::vector<int>({l.red, l.green, l.blue}), std::vector<int>({0x10, 0x20, 0x30}));
}

TEST_F(SettingsTest, AFailedReadChangesNothing) {
    PutDeviceRecord({0, 6, 4, 2, 0, 0, 0x10, 0x20, 0x30});
    const LightState before = m_kbd->GetLightSettings();
    m_kbd->SetForcedRed();
    ASSERT_EQ(m_sim->AddFaults("status=0xFF@5+1"), 1); // the record read, after the index read
    EXPECT_EQ(m_kbd->ReadSettings(), kResultDeviceFailed);
    EXPECT_EQ(m_kbd->GetLightSettings(), before);
    EXPECT_TRUE(m_kbd->ForcedRed()); // still waiting for a read that succeeds
    // A record index that points past the parameter area is refused by the keyboard.
    PutDeviceRecord({200});
    EXPECT_EQ(m_kbd->ReadSettings(), kResultDeviceFailed);
    EXPECT_EQ(m_kbd->GetLightSettings(), before);
}

TEST_F(SettingsTest, ControlsShowTheSystemSettings) {
    KeyboardSystemStages s;
    s.pollingRate = 7; // outside the options
    s.repeatDelay = 2;
    s.winKeyFlag = 1;
    s.repeatRate = 12;
    m_kbd->Profile().SetSystemStages(s);
    m_kbd->Profile().Save();
    m_kbd->LoadProfile();
    m_kbd->RefreshPage();
    EXPECT_EQ(m_view.controls.pollingOption, 0);
    EXPECT_EQ(m_view.controls.repeatDelayOption, 2);
    EXPECT_EQ(m_view.controls.repeatDelayMs, 750);
    EXPECT_TRUE(m_view.controls.winLock);
    EXPECT_FALSE(m_view.controls.wFlag);
    EXPECT_EQ(m_view.controls.repeatRate, 12);
    ASSERT_EQ(m_view.captions.size(), 126u);
    EXPECT_EQ(m_view.captions[0].nameKey, "keyboard_key_Esc");
    EXPECT_TRUE(m_view.captions[0].factoryName);
}

class MacroDownloadTest : public KeyboardTest {
  protected:
    SimOptions Options() override {
        SimOptions o;
        o.macroCapacity = m_capacity;
        return o;
    }
    void AddMacros(std::initializer_list<size_t> counts) {
        MacroStore store(KindFolder());
        for (size_t n : counts) {
            MacroInfo info;
            ASSERT_EQ(store.Create(info), MacroResult::Ok);
            std::vector<MacroEvent> events;
            for (size_t i = 0; i < n; ++i)
                events.push_back(
                    {i % 2 == 0, 10, static_cast<uint8_t>(4 + i % 20), static_cast<uint16_t>(i * 7)});
            ASSERT_EQ(store.Save(info, events), MacroResult::Ok);
        }
    }
    uint8_t m_capacity = 32;
};

TEST_F(MacroDownloadTest, TheImageReachesTheMacroArea) {
    AddMacros({10, 0, 5});
    m_sim->ClearFrameLog();
    EXPECT_EQ(m_kbd->DownloadMacros().status, MacroDownload::Status::Sent);
    EXPECT_EQ(Commands().front(), 3);
    const std::vector<uint8_t> area = m_sim->MacroArea();
    EXPECT_EQ(area[0], 0xAA);
    EXPECT_EQ(area[1], 0x55);
    EXPECT_EQ(area[2] | area[3] << 8, 94);
    EXPECT_EQ(area[4], 3);
    EXPECT_EQ(std::vector<uint8_t>(area.begin() + 16, area.begin() + 22),
              (std::vector<uint8_t>{22, 0, 66, 0, 70, 0}));
    MacroImage image;
    ASSERT_TRUE(MacroImage::Parse(std::span<const uint8_t>(area.data(), 94), image));
    ASSERT_EQ(image.macros.size(), 3u);
    const std::vector<Macro> stored = MacroStore(KindFolder()).LoadAll();
    EXPECT_EQ(image.macros[0], stored[0].events);
    EXPECT_EQ(image.macros[2], stored[2].events);
    // 94 bytes in 56-byte pieces.
    const auto writes = Frames(21);
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].length, 56);
    EXPECT_EQ(writes[1].length, 38);
    EXPECT_EQ(writes[1].offset, 56);
    EXPECT_TRUE(m_view.failures.empty());
}

TEST_F(MacroDownloadTest, NoMacrosSendsNothing) {
    m_sim->ClearFrameLog();
    EXPECT_EQ(m_kbd->DownloadMacros().status, MacroDownload::Status::NothingToSend);
    EXPECT_EQ(Commands(), (std::vector<uint8_t>{3}));
    // An index without entries is the same.
    std::filesystem::create_directories(KindFolder());
    std::ofstream(KindFolder() + "/macro.config") << "{\"MacroInfo\":[]}";
    EXPECT_EQ(m_kbd->DownloadMacros().status, MacroDownload::Status::NothingToSend);
    EXPECT_TRUE(Frames(1).empty());
    EXPECT_TRUE(Frames(21).empty());
}

TEST_F(MacroDownloadTest, AFailedMacroWriteIsReported) {
    AddMacros({3});
    ASSERT_EQ(m_sim->AddFaults("status=0xFF@21"), 1);
    const MacroDownload answer = m_kbd->DownloadMacros();
    EXPECT_EQ(answer.status, MacroDownload::Status::Sent);
    EXPECT_EQ(answer.link, kResultDeviceFailed);
    EXPECT_EQ(answer.Code(), 0); // the link's failure is the view's to report, not a download answer
    ASSERT_EQ(m_view.failures.size(), 1u);
    EXPECT_EQ(m_view.failures[0], std::make_pair(KeyboardWrite::Macros, kResultDeviceFailed));
}

TEST_F(MacroDownloadTest, AnUnreadableMacroFileSendsNothing) {
    AddMacros({3, 4});
    const std::vector<MacroInfo> listed = MacroStore(KindFolder()).LoadIndex();
    ASSERT_EQ(listed.size(), 2u);
    // The second macro's file is damaged: sent as it reads, the keyboard would lose its events.
    std::ofstream(KindFolder() + "/" + listed[1].guid + ".mac", std::ios::trunc) << "{ not json";
    m_sim->ClearFrameLog();
    const MacroDownload answer = m_kbd->DownloadMacros();
    EXPECT_EQ(answer.status, MacroDownload::Status::NoImage);
    EXPECT_EQ(answer.Code(), -1) << "the user is told the download failed";
    EXPECT_TRUE(Frames(21).empty()) << "nothing reached the macro area";
}

class SmallMacroAreaTest : public MacroDownloadTest {
  protected:
    void SetUp() override {
        m_capacity = 2;
        MacroDownloadTest::SetUp();
    }
};

TEST_F(SmallMacroAreaTest, ExactlyFullIsSent) {
    AddMacros({57, 0}); // 16 + 12 + 228 = 256
    m_sim->ClearFrameLog();
    EXPECT_EQ(m_kbd->DownloadMacros().status, MacroDownload::Status::Sent);
    EXPECT_EQ(Frames(21).size(), 5u);
}

TEST_F(SmallMacroAreaTest, TooLargeTellsHowManyEventsToRemove) {
    AddMacros({59}); // 16 + 6 + 236 = 258
    m_sim->ClearFrameLog();
    const MacroDownload tooLarge = m_kbd->DownloadMacros();
    EXPECT_EQ(tooLarge.status, MacroDownload::Status::TooLarge);
    EXPECT_EQ(tooLarge.Code(), 1);
    AddMacros({0}); // 16 + 12 + 236 = 264
    EXPECT_EQ(m_kbd->DownloadMacros().excessEvents, 3);
    EXPECT_TRUE(Frames(21).empty());
    EXPECT_TRUE(Frames(1).empty());
}

TEST_F(SmallMacroAreaTest, TwoSixtyBytesAreTwoEventsTooMany) {
    AddMacros({58, 0}); // 16 + 12 + 232 = 260
    EXPECT_EQ(m_kbd->DownloadMacros().excessEvents, 2);
}

std::string ReadWholeFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

TEST_F(SettingsTest, AProfileThatCannotBeSavedIsToldOnceAndKeepsItsFile) {
    m_kbd->SaveProfile();
    const std::string path = m_kbd->Profile().GetProfilePath();
    ASSERT_FALSE(path.empty());
    const std::string before = ReadWholeFile(path);
    ASSERT_FALSE(before.empty());
    {
        FileSizeLimit full(16); // every profile is larger than this
        ASSERT_TRUE(full.Active());
        for (uint8_t mode : {2, 3, 4}) {
            LightState s = m_kbd->GetLightSettings();
            s.mode = mode;
            m_kbd->SetLightSettings(s);
            m_kbd->SaveProfile();
        }
    }
    EXPECT_EQ(m_view.saveFailures, 1) << "a run of failed saves is told once";
    EXPECT_EQ(ReadWholeFile(path), before) << "a failed save changed the profile file";
    m_kbd->SaveProfile(); // room again: the save succeeds and a later failure is told again
    EXPECT_NE(ReadWholeFile(path), before);
    {
        FileSizeLimit full(16);
        m_kbd->SaveProfile();
    }
    EXPECT_EQ(m_view.saveFailures, 2);
}

} // namespace
} // namespace nk7x::test
