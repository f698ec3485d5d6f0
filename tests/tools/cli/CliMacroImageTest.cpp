// nk7x-cli macro-image: the built program on real macro files in a private folder.
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include <json/reader.h>
#include <json/value.h>

#include "devices/keyboard/KeyboardRecords.h"
#include "devices/keyboard/MacroImageBuild.h"
#include "link/LinkTestSupport.h"
#include "macros/MacroStore.h"
#include "platform/Folders.h"
#include "support/TestSupport.h"
#include "tools/cli/CliJson.h"

using namespace nk7x;
using namespace nk7x::test;
namespace fs = std::filesystem;

namespace {

std::vector<uint8_t> FromHex(const std::string& hex) {
    std::vector<uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    return bytes;
}

// Every file of a folder with its content, to show that a run wrote nothing.
std::map<std::string, std::string> Snapshot(const std::string& folder) {
    std::map<std::string, std::string> files;
    for (const auto& e : fs::recursive_directory_iterator(folder)) {
        std::string content = "<folder>";
        if (e.is_regular_file()) {
            std::ifstream in(e.path(), std::ios::binary);
            std::stringstream ss;
            ss << in.rdbuf();
            content = ss.str();
        }
        files[e.path().string()] = content;
    }
    return files;
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

MacroEvent Ev(MacroEventType type, bool down, uint8_t button, uint16_t delay) {
    return MacroEvent{down, static_cast<int>(type), button, delay};
}

class CliMacroImageTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (::access(CliBinary().c_str(), X_OK) != 0)
            GTEST_SKIP() << "nk7x-cli is not built: " << CliBinary();
        m_folder = (m_root.Path() / "macros").string();
        fs::create_directories(m_folder);
    }
    CliResult Run(std::vector<std::string> args) { return RunCli(args, m_root.SimFolder()); }

    // Three macros: two saved with events and, between them, one listed but never saved.
    std::vector<std::vector<MacroEvent>> MakeMacros(const std::string& folder) {
        MacroStore store(folder);
        std::vector<std::vector<MacroEvent>> events{
            {Ev(MacroEventType::ModifierKey, true, 0x02, 12),
             Ev(MacroEventType::KeyboardKey, true, 0x04, 300),
             Ev(MacroEventType::KeyboardKey, false, 0x04, 65535),
             Ev(MacroEventType::ModifierKey, false, 0x02, 0)},
            {},
            {Ev(MacroEventType::MouseButton, true, 0x01, 50), Ev(MacroEventType::MouseMoveX, false, 200, 1),
             Ev(MacroEventType::MouseButton, false, 0x01, 7)},
        };
        for (std::size_t i = 0; i < events.size(); ++i) {
            MacroInfo info;
            EXPECT_EQ(store.Create(info), MacroResult::Ok);
            m_infos.push_back(info);
            if (!events[i].empty()) {
                EXPECT_EQ(store.Save(info, events[i]), MacroResult::Ok);
            }
        }
        return events;
    }

    DeviceTestRoot m_root{"nk7x-cli-macro"};
    std::string m_folder;
    std::vector<MacroInfo> m_infos;
};

} // namespace

TEST_F(CliMacroImageTest, PrintsTheImageADownloadSendsAndWritesNothing) {
    const auto events = MakeMacros(m_folder);
    const auto before = Snapshot(m_folder);

    const CliResult json = Run({"macro-image", "--folder", m_folder, "--json"});
    ASSERT_EQ(json.exitCode, 0) << json.err;
    const Json::Value root = ParseJson(json.out);
    const std::vector<uint8_t> image = FromHex(root["image"].asString());
    // 16 header bytes, 6 per macro, 4 per event.
    EXPECT_EQ(root["length"].asUInt(), 16u + 6u * 3u + 4u * 7u);
    EXPECT_EQ(image.size(), root["length"].asUInt());
    EXPECT_EQ(root["macros"].asUInt(), 3u);

    // The image decodes to the saved events, in list order, the unsaved macro empty.
    MacroImage decoded;
    ASSERT_TRUE(MacroImage::Parse(image, decoded));
    EXPECT_EQ(decoded.macros, events);
    // And it is byte for byte what the keyboard's download builds from the same folder.
    EXPECT_EQ(image, BuildMacroImage(m_folder).bytes);

    // The plain form: the same bytes, 16 to a line.
    const CliResult text = Run({"macro-image", "--folder", m_folder});
    ASSERT_EQ(text.exitCode, 0) << text.err;
    std::istringstream lines(text.out);
    std::string line, joined;
    std::vector<std::size_t> widths;
    while (std::getline(lines, line)) {
        std::istringstream words(line);
        std::string word;
        std::size_t n = 0;
        while (words >> word) {
            ASSERT_EQ(word.size(), 2u) << line;
            joined += word;
            ++n;
        }
        widths.push_back(n);
    }
    EXPECT_EQ(joined, root["image"].asString());
    EXPECT_EQ(widths, (std::vector<std::size_t>{16, 16, 16, 14}));

    EXPECT_EQ(Snapshot(m_folder), before);
}

TEST_F(CliMacroImageTest, DefaultsToTheKeyboardFolderOfTheUser) {
    const std::string keyboard = JoinPath(UserDataRoot(), "keyboard");
    fs::create_directories(keyboard);
    MakeMacros(keyboard);
    const CliResult r = Run({"--json", "macro-image"});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const Json::Value root = ParseJson(r.out);
    EXPECT_EQ(root["macros"].asUInt(), 3u);
    EXPECT_EQ(FromHex(root["image"].asString()), BuildMacroImage(keyboard).bytes);
}

TEST_F(CliMacroImageTest, NoMacrosIsSaidAndIsNoFailure) {
    // No index, an empty index file, and an index with no entries all mean nothing is sent.
    for (const char* index : {"", "<none>", "{ \"MacroInfo\" : [] }"}) {
        fs::remove(JoinPath(m_folder, "macro.config"));
        if (std::string(index) != "<none>")
            WriteText(JoinPath(m_folder, "macro.config"), index);
        const CliResult text = Run({"macro-image", "--folder", m_folder});
        EXPECT_EQ(text.exitCode, 0) << index << "\n" << text.err;
        EXPECT_NE(text.out.find("no macros"), std::string::npos) << text.out;
        const CliResult json = Run({"macro-image", "--folder", m_folder, "--json"});
        EXPECT_EQ(json.exitCode, 0) << json.err;
        const Json::Value root = ParseJson(json.out);
        EXPECT_EQ(root["length"].asUInt(), 0u);
        EXPECT_EQ(root["macros"].asUInt(), 0u);
        EXPECT_EQ(root["image"].asString(), "");
    }
}

TEST_F(CliMacroImageTest, UnreadableFilesFailWithTheirPath) {
    MakeMacros(m_folder);
    const MacroStore store(m_folder);
    const std::string macroFile = store.MacroPath(m_infos[2].guid);

    // A macro file that is no JSON document, and one that cannot be opened as a file (a folder in
    // its place; permissions would not stop a test running as root).
    const std::string saved = [&] {
        std::ifstream in(macroFile);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }();
    WriteText(macroFile, "{ \"Events\" : [ ");
    for (int round = 0; round < 2; ++round) {
        const CliResult r = Run({"macro-image", "--folder", m_folder, "--json"});
        EXPECT_EQ(r.exitCode, 1) << r.out;
        EXPECT_EQ(r.out, "");
        EXPECT_NE(r.err.find("cannot read " + macroFile), std::string::npos) << r.err;
        fs::remove(macroFile);
        fs::create_directory(macroFile);
    }
    fs::remove(macroFile);
    WriteText(macroFile, saved);
    ASSERT_EQ(Run({"macro-image", "--folder", m_folder}).exitCode, 0);

    // An index that cannot be read.
    WriteText(store.IndexPath(), "MacroInfo");
    const CliResult r = Run({"macro-image", "--folder", m_folder});
    EXPECT_EQ(r.exitCode, 1) << r.out;
    EXPECT_EQ(r.out, "");
    EXPECT_NE(r.err.find("cannot read " + store.IndexPath()), std::string::npos) << r.err;

    // A folder that is not there is no empty list.
    const CliResult missing = Run({"macro-image", "--folder", m_folder + "/nowhere"});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_NE(missing.err.find("no folder at"), std::string::npos) << missing.err;
}

TEST_F(CliMacroImageTest, BadArgumentsAreUsageErrors) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"macro-image", "--folder"}, {"macro-image", "--bogus"}, {"macro-image", "extra"}}) {
        const CliResult r = Run(args);
        EXPECT_EQ(r.exitCode, 2) << args.back();
        EXPECT_NE(r.err.find("macro-image [--folder KINDFOLDER]"), std::string::npos) << r.err;
    }
    const CliResult help = Run({"help"});
    EXPECT_NE(help.out.find("macro-image [--folder KINDFOLDER] [--json]"), std::string::npos);
}
