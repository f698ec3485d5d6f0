// Helpers of the HID tests: fixture descriptors from tests/link/hid/fixtures and a readable dump of a
// parse to compare with the fixture's expected text.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "link/hid/ReportDescriptor.h"

namespace nk7x::test {

std::string FixturePath(const std::string& name);
std::vector<uint8_t> LoadFixture(const std::string& name);
std::string LoadText(const std::string& name);
std::string DumpCollections(const std::vector<HidCollectionInfo>& collections);

} // namespace nk7x::test
