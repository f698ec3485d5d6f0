#include "link/hid/HidTestUtil.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

namespace nk7x::test {

std::string FixturePath(const std::string& name) {
    return std::string(NK7X_SOURCE_DIR) + "/tests/link/hid/fixtures/" + name;
}

std::vector<uint8_t> LoadFixture(const std::string& name) {
    std::ifstream in(FixturePath(name), std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string LoadText(const std::string& name) {
    std::ifstream in(FixturePath(name));
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

std::string DumpCollections(const std::vector<HidCollectionInfo>& collections) {
    static const char* kTypes[] = {"input", "output", "feature"};
    std::string out;
    char line[256];
    for (const HidCollectionInfo& c : collections) {
        std::string ids;
        for (uint8_t id : c.reportIds)
            ids += (ids.empty() ? "" : ",") + std::to_string(id);
        std::snprintf(line, sizeof line, "col=%u page=%04x usage=%04x ids=%s in=%u out=%u feature=%u\n",
                      c.number, c.usagePage, c.usage, ids.c_str(), c.Report(HidReportType::Input).byteLength,
                      c.Report(HidReportType::Output).byteLength,
                      c.Report(HidReportType::Feature).byteLength);
        out += line;
        for (int t = 0; t < kHidReportTypeCount; ++t) {
            for (const HidButtonCap& b : c.reports[t].buttons) {
                std::snprintf(line, sizeof line,
                              "  %s button page=%04x id=%u usages=%04x-%04x %s bit=%u size=%u count=%u "
                              "logical=%d..%d\n",
                              kTypes[t], b.usagePage, b.reportId, b.usageMin, b.usageMax,
                              b.isArray ? "array" : "var", b.bitPosition, b.reportSize, b.reportCount,
                              b.logicalMin, b.logicalMax);
                out += line;
            }
            for (const HidValueCap& v : c.reports[t].values) {
                std::snprintf(
                    line, sizeof line,
                    "  %s value page=%04x id=%u usages=%04x-%04x bit=%u size=%u count=%u logical=%d..%d "
                    "physical=%d..%d\n",
                    kTypes[t], v.usagePage, v.reportId, v.usageMin, v.usageMax, v.bitPosition, v.reportSize,
                    v.reportCount, v.logicalMin, v.logicalMax, v.physicalMin, v.physicalMax);
                out += line;
            }
        }
    }
    return out;
}

} // namespace nk7x::test
