// Types shared by the HID transport, the report-descriptor parser and the report decoder: report
// kinds, the status codes a decode leaves in an item, and the decoded item itself.
#pragma once

#include <cstdint>
#include <vector>

namespace nk7x {

enum class HidReportType { Input = 0, Output = 1, Feature = 2 };
inline constexpr int kHidReportTypeCount = 3;

// Status codes of a decode, with the values HID class software has always used for them.
inline constexpr uint32_t kHidStatusSuccess = 0x00110000; // HIDP_STATUS_SUCCESS
inline constexpr uint32_t kHidStatusNull = 0x80110001;    // value outside its range, null state
inline constexpr uint32_t kHidStatusInvalidReportLength = 0xC0110003;
inline constexpr uint32_t kHidStatusUsageNotFound = 0xC0110004;
inline constexpr uint32_t kHidStatusValueOutOfRange = 0xC0110005;
inline constexpr uint32_t kHidStatusBadLogPhyValues = 0xC0110006;
inline constexpr uint32_t kHidStatusBufferTooSmall = 0xC0110007;
inline constexpr uint32_t kHidStatusIncompatibleReportId = 0xC011000A;
inline constexpr uint32_t kHidStatusReportDoesNotExist = 0xC0110010;

// One button set or one value that an interface reports. Button and value fields are kept apart
// (no shared storage) so that a reader can never see one through the other.
struct HidReportItem {
    bool isButton = false;
    uint16_t usagePage = 0;
    uint32_t status = kHidStatusSuccess;
    uint32_t reportId = 0;
    bool isSet = false;
    // button set
    uint32_t usageMin = 0;
    uint32_t usageMax = 0;
    uint32_t usageListCapacity = 0;
    std::vector<uint16_t> usageList; // usageListCapacity entries, the usages that are on
    // value
    uint16_t usage = 0;
    uint32_t value = 0;
    int32_t scaledValue = 0;
};

} // namespace nk7x
