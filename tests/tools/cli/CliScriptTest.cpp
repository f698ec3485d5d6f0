// nk7x-cli's settings commands without the program: the profile files and the emulated keyboard
// written with the program's own code, and what a script gets wrong refused with exit code 2.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include <json/reader.h>
#include <json/value.h>

#include "devices/keyboard/KeyboardDevice.h"
#include "devices/mouse/MouseRecords.h"
#include "devices/mousepad/PadRecords.h"
#include "link/KindDescriptors.h"
#include "link/LinkTestSupport.h"
#include "profiles/ProfileFolders.h"
#include "profiles/ProfileList.h"
#include "support/TestSupport.h"
#include "tools/cli/CliJson.h"
#include "tools/sim/SimDevice.h"

using namespace nk7x;
using namespace nk7x::test;

namespace {

class CliScriptTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (::access(CliBinary().c_str(), X_OK) != 0)
            GTEST_SKIP() << "nk7x-cli is not built: " << CliBinary();
        SimOptions options;
        options.folder = m_root.SimFolder();
        m_sim = std::make_unique<SimDevice>(options);
        ASSERT_EQ(m_sim->Start(), 1) << m_sim->LastError();
    }
    void TearDown() override {
        if (m_sim)
            m_sim->Stop();
    }
    CliResult Run(const std::vector<std::string>& args) { return RunCli(args, m_root.SimFolder()); }
    std::vector<uint8_t> Colour() const {
        const std::vector<uint8_t> p = m_sim->Parameters();
        return {p[6], p[7], p[8]};
    }

    // The emulator's folder, the user's data and the program folder of the test's own.
    DeviceTestRoot m_root{"cli-script"};
    // No program to reach: the tool works on the files and the device itself.
    ScopedEnv m_bus{"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus"};
    std::unique_ptr<SimDevice> m_sim;
};

} // namespace

TEST_F(CliScriptTest, ProfilesAndLightingReachTheFilesAndTheKeyboard) {
    CliResult r = Run({"devices"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "keyboard  NK-7X Keyboard   0C45:0820 cable\n");
    r = Run({"profile", "list", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    Json::Value profiles = ParseJson(r.out)["profiles"];
    ASSERT_EQ(profiles.size(), 1u) << r.out;
    EXPECT_EQ(profiles[0]["name"].asString(), "profile1");
    EXPECT_TRUE(profiles[0]["active"].asBool());

    ProfileList list;
    list.SetDeviceType(KindNumber(DeviceKind::Keyboard));
    list.SetFolders(KindFolder(DeviceFamily::Keyboard), DefaultProfilePath(DeviceFamily::Keyboard));
    ASSERT_EQ(list.LoadList(), ProfileResult::Done);
    ASSERT_EQ(list.AddProfile(), ProfileResult::Done);

    // The second profile, its lighting set; the keyboard holds it at once.
    r = Run({"profile", "use", "PROFILE2"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = Run({"light", "static", "--color", "#123456", "--brightness", "2"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(m_sim->Parameters()[1], 6) << "static";
    EXPECT_EQ(m_sim->Parameters()[2], 2);
    EXPECT_EQ(Colour(), (std::vector<uint8_t>{0x12, 0x34, 0x56}));
    r = Run({"profile", "list"});
    EXPECT_EQ(r.out, "  profile1\n* profile2\n");

    // Back to the first: the keyboard gets the first profile's lighting, read from its file.
    r = Run({"profile", "use", "profile1"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    EXPECT_NE(Colour(), (std::vector<uint8_t>{0x12, 0x34, 0x56}));
    {
        CKeyboardDevice stored;
        stored.SetLightingName(Describe(DeviceFamily::Keyboard).lightingName);
        stored.SetProfileName(list.UuidAt(1));
        stored.LoadProfile();
        const LightState light = stored.Profile().GetLightInfo();
        EXPECT_EQ(light.mode, 6);
        EXPECT_EQ(std::vector<uint8_t>({light.red, light.green, light.blue}),
                  (std::vector<uint8_t>{0x12, 0x34, 0x56}));
    }

    // What a script gets wrong changes nothing.
    m_sim->ClearFrameLog();
    r = Run({"light", "disco"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("no lighting mode \"disco\"; its modes are wave,"), std::string::npos) << r.err;
    r = Run({"light", "-", "--color", "orange"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("RRGGBB"), std::string::npos) << r.err;
    r = Run({"light", "static", "--brightness", "300"});
    EXPECT_EQ(r.exitCode, 2);
    r = Run({"profile", "use", "gaming"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_NE(r.err.find("no profile \"gaming\""), std::string::npos) << r.err;
    r = Run({"--kind", "toaster", "profile", "list"});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_NE(r.err.find("the kinds are mouse, keyboard, pad, headset"), std::string::npos) << r.err;
    EXPECT_TRUE(m_sim->FrameLog().empty());
    r = Run({"profile", "list"});
    EXPECT_EQ(r.out, "* profile1\n  profile2\n");

    // A copy under a name of its own; the active profile stays.
    r = Run({"profile", "add", "Night", "--copy", "profile2"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = Run({"profile", "list"});
    EXPECT_EQ(r.out, "* profile1\n  profile2\n  Night\n");
    ASSERT_EQ(list.LoadList(), ProfileResult::Done);
    {
        CKeyboardDevice copy;
        copy.SetLightingName(Describe(DeviceFamily::Keyboard).lightingName);
        copy.SetProfileName(list.UuidAt(2));
        copy.LoadProfile();
        const LightState light = copy.Profile().GetLightInfo();
        EXPECT_EQ(std::vector<uint8_t>({light.red, light.green, light.blue}),
                  (std::vector<uint8_t>{0x12, 0x34, 0x56}));
    }
    EXPECT_EQ(Run({"profile", "add", "night"}).exitCode, 2) << "the name is taken";
    EXPECT_EQ(Run({"profile", "add", "  "}).exitCode, 2) << "no name";
    EXPECT_EQ(Run({"profile", "add", "Day", "--copy", "dawn"}).exitCode, 1);
    EXPECT_EQ(Run({"profile", "list"}).out, "* profile1\n  profile2\n  Night\n");
}

// Without the program a mouse and a mouse pad get what the window would write too: the mouse's
// record with its lighting, report rate, a stage's DPI in its own steps and the stage in use, read
// back as the mouse holds it; the pad's record with its lighting.
TEST_F(CliScriptTest, TheMouseAndThePadAreWrittenWithoutTheProgram) {
    m_sim->Stop();
    SimOptions mouseOptions;
    mouseOptions.folder = m_root.SimFolder();
    mouseOptions.kind = SimKind::Mouse;
    mouseOptions.name = "mouse1";
    SimDevice mouse(mouseOptions);
    ASSERT_EQ(mouse.Start(), 1) << mouse.LastError();

    CliResult r = Run({"--kind", "mouse", "dpi", "2=1600", "--active", "2", "--json"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Json::Value stages = ParseJson(r.out)["stages"];
    ASSERT_GE(stages.size(), 2u) << r.out;
    EXPECT_EQ(stages[1]["dpi"].asInt(), 1600);
    EXPECT_TRUE(stages[1]["active"].asBool());
    MouseSettingsRecord record;
    ASSERT_TRUE(MouseSettingsRecord::Parse(mouse.SettingsRecord(0), record));
    EXPECT_EQ(record.activeStage, 1);
    ASSERT_GE(record.stages.size(), 2u);
    EXPECT_EQ(record.stages[1].dpiX * mouseOptions.dpiStep, 1600) << "the mouse's own steps";

    r = Run({"--kind", "mouse", "light", "static", "--color", "123456"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    r = Run({"--kind", "mouse", "rate", "500"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    ASSERT_TRUE(MouseSettingsRecord::Parse(mouse.SettingsRecord(0), record));
    EXPECT_EQ(record.light.mode, 3) << "static";
    EXPECT_EQ(std::vector<uint8_t>({record.light.red, record.light.green, record.light.blue}),
              (std::vector<uint8_t>{0x12, 0x34, 0x56}));
    EXPECT_EQ(record.reportStage, 2) << "500 Hz";
    EXPECT_EQ(record.activeStage, 1) << "the stage in use stays";

    // Refused, and nothing written.
    mouse.ClearFrameLog();
    EXPECT_EQ(Run({"--kind", "mouse", "dpi", "2=999999"}).exitCode, 2);
    EXPECT_EQ(Run({"--kind", "mouse", "dpi", "9=800"}).exitCode, 2);
    EXPECT_EQ(Run({"--kind", "mouse", "rate", "300"}).exitCode, 2);
    for (const SimFrameRecord& f : mouse.FrameLog())
        EXPECT_NE(f.command, 6) << "no settings record written";
    mouse.Stop();

    SimOptions padOptions;
    padOptions.folder = m_root.SimFolder();
    padOptions.kind = SimKind::Pad;
    padOptions.name = "pad1";
    SimDevice pad(padOptions);
    ASSERT_EQ(pad.Start(), 1) << pad.LastError();
    r = Run({"--kind", "pad", "light", "breathing", "--color", "00FF80"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    PadSettingsRecord padRecord;
    ASSERT_TRUE(padRecord.TakeRead(pad.SettingsRecord(0)));
    const PadWireRecord& bytes = padRecord.Bytes();
    EXPECT_EQ(bytes[PadSettingsRecord::kMode], 2) << "breathing";
    EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + PadSettingsRecord::kRed,
                                   bytes.begin() + PadSettingsRecord::kRed + 3),
              (std::vector<uint8_t>{0x00, 0xFF, 0x80}));
    EXPECT_EQ(Run({"--kind", "pad", "dpi"}).exitCode, 2) << "a pad has no stages";
}
