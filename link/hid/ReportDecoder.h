// Reads usages and values out of one report against a parsed collection: which buttons are on, a
// value's raw bits and its value scaled to the physical range. Pure code; the report is untrusted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "link/hid/HidTypes.h"
#include "link/hid/ReportDescriptor.h"

namespace nk7x {

// `size` (1..32) bits at `bitPosition` of the report, little-endian as HID packs them. False when
// the report is too short.
bool HidReadBits(const uint8_t* report, size_t length, uint32_t bitPosition, uint32_t size, uint32_t& out);

// The status a report of this type and id may be decoded with: success, or why not (unknown id, too short).
uint32_t HidCheckReport(const HidCollectionInfo& info, HidReportType type, const uint8_t* report,
                        size_t length);

// Every usage of `usagePage` that is on in the report, in capability order, at most `capacity`
// (kHidStatusBufferTooSmall when more were on). Usage 0 is "no usage" and never listed.
uint32_t HidGetUsages(const HidCollectionInfo& info, HidReportType type, uint16_t usagePage,
                      const uint8_t* report, size_t length, std::vector<uint16_t>& usages, size_t capacity);

// The raw bits of one value usage (the first field of a value array).
uint32_t HidGetUsageValue(const HidCollectionInfo& info, HidReportType type, uint16_t usagePage,
                          uint16_t usage, const uint8_t* report, size_t length, uint32_t& value);

// The value scaled from its logical to its physical range; kHidStatusBadLogPhyValues when either
// range is empty or absent, kHidStatusNull / kHidStatusValueOutOfRange outside the logical range.
uint32_t HidGetScaledUsageValue(const HidCollectionInfo& info, HidReportType type, uint16_t usagePage,
                                uint16_t usage, const uint8_t* report, size_t length, int32_t& scaled);

} // namespace nk7x
