// nk7x-cli preview end to end: the built program, its text and JSON output and its argument checks.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <sstream>
#include <string>

#include <json/json.h>

#include "devices/light/LightTables.h"

namespace nk7x::light {
namespace {

struct CliRun {
    int exitCode = -1;
    std::string out;
};

CliRun RunCli(const std::string& args) {
    const std::string binary = std::string(NK7X_BINARY_DIR) + "/bin/nk7x-cli";
    CliRun run;
    if (access(binary.c_str(), X_OK) != 0)
        return run;
    FILE* pipe = popen((binary + " " + args + " 2>/dev/null").c_str(), "r");
    if (!pipe)
        return run;
    char buffer[4096];
    std::size_t n = 0;
    while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
        run.out.append(buffer, n);
    const int status = pclose(pipe);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

Json::Value Parse(const std::string& text) {
    Json::Value v;
    Json::CharReaderBuilder builder;
    std::string errors;
    std::istringstream in(text);
    EXPECT_TRUE(Json::parseFromStream(builder, in, &v, &errors)) << errors << text.substr(0, 200);
    return v;
}

class CliPreview : public ::testing::Test {
  protected:
    void SetUp() override {
        if (access((std::string(NK7X_BINARY_DIR) + "/bin/nk7x-cli").c_str(), X_OK) != 0)
            GTEST_SKIP() << "nk7x-cli is not built";
    }
};

TEST_F(CliPreview, PresetColourAsJson) {
    const CliRun run = RunCli("preview --kind keyboard --mode 17 --zzcc 2 --light 3 --steps 1 --json");
    ASSERT_EQ(run.exitCode, 0);
    const Json::Value v = Parse(run.out);
    EXPECT_EQ(v["mode"].asInt(), 17);
    ASSERT_EQ(v["keys"].size(), 126u);
    for (const Json::Value& key : v["keys"]) {
        ASSERT_EQ(key.size(), 4u);
        EXPECT_EQ(key[0].asInt(), 0);
        EXPECT_EQ(key[1].asInt(), 255);
        EXPECT_EQ(key[2].asInt(), 18);
        EXPECT_EQ(key[3].asInt(), 195);
    }
}

TEST_F(CliPreview, KeyEventsLightTheFlashedKeyAsText) {
    // Flash on key 5 after one step; two more steps fade it twice.
    const CliRun run =
        RunCli("preview --kind keyboard --mode 7 --rgb 10,20,30 --steps 3 --keys press:5@1,release:9@3");
    ASSERT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out.rfind("key red green blue alpha\n", 0), 0u);
    EXPECT_NE(run.out.find("\n5 10 20 30 174\n"), std::string::npos) << run.out.substr(0, 300);
    EXPECT_NE(run.out.find("\n4 10 20 30 0\n"), std::string::npos);
    // The release after the last step lights key 9 but nothing draws it any more.
    EXPECT_NE(run.out.find("\n9 10 20 30 0\n"), std::string::npos);
}

TEST_F(CliPreview, RepeatedRunsGiveTheSameFrame) {
    const std::string args = "preview --kind keyboard --mode 10 --multicolor 1 --steps 40 --json";
    const CliRun a = RunCli(args), b = RunCli(args);
    ASSERT_EQ(a.exitCode, 0);
    EXPECT_EQ(a.out, b.out);
    EXPECT_NE(a.out.find("\"steps\" : 40"), std::string::npos);
}

TEST_F(CliPreview, BadArgumentsAreUsageErrors) {
    for (const char* args : {"preview --kind keyboard --steps 3", "preview --kind mouse --mode 1 --steps 1",
                             "preview --kind keyboard --mode 1", "preview --kind keyboard --mode 1 --steps x",
                             "preview --kind keyboard --mode 1 --steps 2 --speed 5",
                             "preview --kind keyboard --mode 1 --steps 2 --rgb 1,2",
                             "preview --kind keyboard --mode 7 --steps 2 --keys press:126@0",
                             "preview --kind keyboard --mode 7 --steps 2 --keys tap:1@0",
                             "preview --kind keyboard --mode 7 --steps 2 --keys press:1@3",
                             "preview --kind keyboard --mode 7 --steps 2 --bogus 1"}) {
        const CliRun run = RunCli(args);
        EXPECT_EQ(run.exitCode, 2) << args;
        EXPECT_TRUE(run.out.empty()) << args;
    }
}

} // namespace
} // namespace nk7x::light
