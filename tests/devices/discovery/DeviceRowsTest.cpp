// The device rows files: what a good file adds to the tables (partners, the family's page), what a
// bad row or file costs (only itself), and where the files are looked for.
#include "devices/discovery/DeviceRowsFile.h"
#include "devices/discovery/DeviceTables.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

using namespace nk7x;

namespace {

const char* kMouseRows = R"({
  "interfaces": [
    {"vendor": "0x320f", "product": "0x5001", "interface": 1, "collection": 4, "kind": 2, "role": "command",
     "usagePage": "0xff1c", "usage": "0x0092"},
    {"vendor": 12815, "product": 20481, "interface": 1, "collection": 3, "kind": 2, "role": 255,
     "usagePage": "0x000c", "usage": 1}
  ],
  "options": [{"family": "mouse", "vendor": "0x320f", "product": "0x5001", "kind": 2, "role": "command"}]
})";

const char* kReceiverRows = R"({
  "interfaces": [
    {"vendor": "0x320f", "product": "0x5002", "interface": 1, "collection": 4, "kind": 6, "role": "command",
     "usagePage": "0xff1c", "usage": "0x0092"}
  ],
  "options": [{"family": "mouse", "vendor": "0x320f", "product": "0x5002", "kind": 6}]
})";

class DeviceRowsFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dir = std::filesystem::temp_directory_path() / ("nk7x-rows-" + std::to_string(::getpid()));
        std::filesystem::remove_all(m_dir);
        std::filesystem::create_directories(m_dir / "sim");
        std::filesystem::create_directories(m_dir / "config");
        ::setenv("NK7X_SIM_DIR", (m_dir / "sim").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (m_dir / "config").c_str(), 1);
    }
    void TearDown() override {
        ::unsetenv("NK7X_SIM_DIR");
        ::unsetenv("XDG_CONFIG_HOME");
        std::filesystem::remove_all(m_dir);
        ReloadDeviceRows();
    }
    void Write(const std::filesystem::path& file, const std::string& text) { std::ofstream(file) << text; }
    std::filesystem::path m_dir;
};

} // namespace

TEST(DeviceRows, ParsesNumbersRolesAndKindsInEitherForm) {
    const DeviceRows rows = ParseDeviceRows(kMouseRows, "test");
    EXPECT_TRUE(rows.problems.empty());
    ASSERT_EQ(rows.interfaces.size(), 2u);
    EXPECT_EQ(rows.interfaces[0].vendorId, 0x320F);
    EXPECT_EQ(rows.interfaces[1].productId, 0x5001);
    EXPECT_EQ(rows.interfaces[1].role, kRoleNotification);
    EXPECT_EQ(rows.interfaces[0].kind, DeviceKind::Mouse);
    EXPECT_EQ(rows.interfaces[0].usagePage, 0xFF1C);
    ASSERT_EQ(rows.options.size(), 1u);
    EXPECT_EQ(rows.options[0].family, DeviceFamily::Mouse);
}

TEST(DeviceRows, BadRowsAreSkippedWithAReasonAndTheRestIsKept) {
    const DeviceRows rows = ParseDeviceRows(R"({"interfaces": [
        {"vendor": "0x320f", "product": "0x5001", "interface": 1, "collection": 4, "kind": 9, "role": "command",
         "usagePage": 1, "usage": 1},
        {"vendor": "0x1ffff", "product": 1, "interface": 1, "collection": 1, "kind": 2, "role": 0, "usagePage": 1, "usage": 1},
        {"vendor": 0, "product": 1, "interface": 1, "collection": 1, "kind": 2, "role": 0, "usagePage": 1, "usage": 1},
        {"vendor": 1, "product": 1, "interface": 1, "collection": 1, "kind": 2, "role": "reader", "usagePage": 1, "usage": 1},
        "row",
        {"vendor": 1, "product": 2, "interface": 0, "collection": 0, "kind": 3, "role": 0, "usagePage": 1, "usage": 1}],
      "options": [{"family": "keyboard", "vendor": 1, "product": 2, "kind": 2}, {"family": "fridge"}, 7]})",
                                            "bad.json");
    ASSERT_EQ(rows.interfaces.size(), 1u);
    EXPECT_EQ(rows.interfaces[0].kind, DeviceKind::MousePad);
    EXPECT_TRUE(rows.options.empty()) << "a family that does not match its kind is refused";
    EXPECT_EQ(rows.problems.size(), 8u);
    EXPECT_NE(rows.problems[0].find("bad.json: interfaces[0]"), std::string::npos) << rows.problems[0];

    // Nested deeper than any rows file: refused like the rest, never an end of the program.
    const std::string deep = std::string(1001, '[');
    const std::string deepObject = "{\"interfaces\":" + std::string(1001, '[');
    for (const std::string& broken :
         {std::string(""), std::string("[1, 2]"), std::string("{\"interfaces\": 3}"),
          std::string("{\"interfaces\": ["), std::string("null"), deep, deepObject}) {
        const DeviceRows none = ParseDeviceRows(broken, "x");
        EXPECT_TRUE(none.interfaces.empty() && none.options.empty()) << broken;
        EXPECT_FALSE(none.problems.empty()) << broken;
    }
}

TEST_F(DeviceRowsFiles, EmulatorAndUserRowsJoinTheTablesWithPartnersAndPages) {
    Write(m_dir / "sim" / "mouse1.devices.json", kMouseRows);
    Write(m_dir / "sim" / "rcv1.devices.json", kReceiverRows);
    Write(m_dir / "sim" / "notes.json", "not read: the wrong name");
    std::filesystem::create_directories(m_dir / "config" / "Norla Keys NK-7X");
    Write(m_dir / "config" / "Norla Keys NK-7X" / "devices.json", "{ broken");
    ReloadDeviceRows();

    const auto& interfaces = InterfaceTable();
    ASSERT_EQ(interfaces.size(), kInterfaceRowCount + 3);
    const DeviceSlot& cable = interfaces[kInterfaceRowCount];
    const DeviceSlot& receiver = interfaces[kInterfaceRowCount + 2];
    EXPECT_EQ(receiver.kind, DeviceKind::MouseReceiver);
    ASSERT_TRUE(cable.hasPartner);
    EXPECT_EQ(cable.partner, kInterfaceRowCount + 2);
    EXPECT_EQ(receiver.partner, kInterfaceRowCount);
    EXPECT_FALSE(interfaces[kInterfaceRowCount + 1].hasPartner) << "no receiver row of the notification role";

    // The shipped mouse row names no device: the first file's mouse fills it; the receiver gets a
    // row (and the mouse page row) of its own.
    const auto& options = OptionTable();
    ASSERT_EQ(options.size(), kOptionRowCount + 1);
    EXPECT_EQ(options[0].VendorId(), 0x320F);
    EXPECT_EQ(options[0].ProductId(), 0x5001);
    EXPECT_EQ(options[kOptionRowCount].Kind(), DeviceKind::MouseReceiver);
    ASSERT_EQ(PageTable().size(), options.size());
    EXPECT_STREQ(PageTable()[kOptionRowCount].pageLayout, PageTable()[0].pageLayout);
    ASSERT_EQ(DeviceRowProblems().size(), 1u) << "the broken user file is reported";
    EXPECT_NE(DeviceRowProblems()[0].find("devices.json"), std::string::npos);

    // Rows equal to shipped ones add nothing.
    Write(m_dir / "sim" / "kbd1.devices.json", R"({"interfaces": [{"vendor": "0x0c45", "product": "0x0820",
        "interface": 1, "collection": 4, "kind": 1, "role": "command", "usagePage": "0xff1c", "usage": "0x0092"}],
        "options": [{"family": "keyboard", "vendor": "0x0c45", "product": "0x0820", "kind": 1}]})");
    ReloadDeviceRows();
    EXPECT_EQ(InterfaceTable().size(), kInterfaceRowCount + 3);
    EXPECT_EQ(OptionTable().size(), kOptionRowCount + 1);

    // Without the files, the shipped tables alone.
    ::unsetenv("NK7X_SIM_DIR");
    ReloadDeviceRows();
    EXPECT_EQ(InterfaceTable().size(), kInterfaceRowCount);
    EXPECT_EQ(OptionTable()[0].VendorId(), 0);
}
