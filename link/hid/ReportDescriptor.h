// Parser of a raw HID report descriptor into its top-level collections with their report ids, report
// lengths and button/value capabilities. Pure code on untrusted bytes: every limit is checked.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "link/hid/HidTypes.h"

namespace nk7x {

// Limits a descriptor must keep; beyond them it is refused rather than trusted.
inline constexpr size_t kHidMaxDescriptorBytes = 4096; // what the kernel hands out at most
inline constexpr int kHidMaxGlobalStackDepth = 8;      // Push without Pop
inline constexpr int kHidMaxCollectionDepth = 32;
inline constexpr size_t kHidMaxUsagesPerItem = 1024;    // usage entries before one main item
inline constexpr uint32_t kHidMaxReportSizeBits = 32;   // one data field
inline constexpr uint32_t kHidMaxPaddingSizeBits = 256; // one constant field
inline constexpr uint32_t kHidMaxReportBytes = 8192;    // one report, with its id byte
inline constexpr uint32_t kHidMaxTotalFields = 65536;   // data fields of the whole descriptor
inline constexpr size_t kHidMaxCapsPerCollection = 4096;

enum class HidParseError {
    None = 0,
    Empty,                // no bytes, or no top-level collection
    TooLong,              // more than kHidMaxDescriptorBytes
    Truncated,            // an item runs past the end
    GlobalStackOverflow,  // Push deeper than kHidMaxGlobalStackDepth
    GlobalStackUnderflow, // Pop without Push
    UnbalancedPush,       // Push left open at the end
    NestingTooDeep,       // collections deeper than kHidMaxCollectionDepth
    UnbalancedCollection, // End Collection without Collection, or a collection left open
    UnbalancedDelimiter,
    MainItemOutsideCollection,
    BadReportId, // Report ID 0 or above 255
    // Some reports carry an id and others do not, or two collections share the id-less report of
    // one type.
    MissingReportId,
    // One id with one report type in two collections; an input id of one collection may still be
    // an output or feature id of another.
    ReportIdInTwoCollections,
    BadReportSize, // a field wider than allowed
    ReportTooLong, // one report beyond kHidMaxReportBytes
    TooManyFields, // beyond kHidMaxTotalFields
    TooManyUsages, // beyond kHidMaxUsagesPerItem before one main item
    TooManyCaps,   // beyond kHidMaxCapsPerCollection in one collection
};

const char* HidParseErrorText(HidParseError error);

// A button set: variable one-bit fields (one bit per usage) or an array field (each field holds an
// index into the usage range).
struct HidButtonCap {
    uint16_t usagePage = 0;
    uint8_t reportId = 0;
    bool isRange = false;
    bool isArray = false;
    uint16_t usageMin = 0; // the single usage when not a range
    uint16_t usageMax = 0;
    uint32_t arrayIndexBase = 0; // array only: index of usageMin among the item's usages
    int32_t logicalMin = 0;
    int32_t logicalMax = 0;
    uint32_t bitPosition =
        0; // first bit of the first field, counted from the start of the report (id byte = bits 0-7)
    uint16_t reportSize = 0;  // bits per field
    uint16_t reportCount = 0; // fields of this cap
    uint16_t bitField = 0;    // the main item's data flags
};

// A value: one usage (possibly repeated over several fields, a value array) or a range of usages,
// one field each.
struct HidValueCap {
    uint16_t usagePage = 0;
    uint8_t reportId = 0;
    bool isRange = false;
    bool hasNull = false;
    bool isAbsolute = true;
    uint16_t usageMin = 0;
    uint16_t usageMax = 0;
    int32_t logicalMin = 0;
    int32_t logicalMax = 0;
    int32_t physicalMin = 0;
    int32_t physicalMax = 0;
    uint32_t units = 0;
    int32_t unitExponent = 0;
    uint32_t bitPosition = 0;
    uint16_t reportSize = 0;
    uint16_t reportCount = 0;
    uint16_t bitField = 0;
};

struct HidReportCaps {
    uint16_t byteLength = 0; // longest report of this type + 1 for the id byte; 0 when there is none
    std::vector<HidButtonCap> buttons;
    std::vector<HidValueCap> values;
};

struct HidCollectionInfo {
    uint32_t number = 0; // 1-based, in descriptor order
    uint16_t usagePage = 0;
    uint16_t usage = 0;
    bool usesReportIds = false;
    // Ids of this collection's reports of any type, each once, in order of first appearance; {0}
    // when the interface uses none. Another collection may list the same id for another report
    // type: ReportLength tells which types this collection owns.
    std::vector<uint8_t> reportIds;
    std::array<HidReportCaps, kHidReportTypeCount> reports;
    // Bytes of one report (data bits rounded up + the id byte) per report type and id; 0 when absent.
    std::array<std::array<uint16_t, 256>, kHidReportTypeCount> reportLengths{};

    const HidReportCaps& Report(HidReportType type) const { return reports[static_cast<int>(type)]; }
    bool HasReportId(uint8_t id) const; // of any report type
    uint16_t ReportLength(HidReportType type, uint8_t id) const {
        return reportLengths[static_cast<int>(type)][id];
    }
    // The longest list of "on" usages of one page a report of this type can give (0 = every page).
    uint32_t MaxUsageListLength(HidReportType type, uint16_t usagePage) const;
};

// Parses `size` bytes. On success `out` holds the top-level collections in descriptor order; on any
// error it is empty.
HidParseError ParseReportDescriptor(const uint8_t* data, size_t size, std::vector<HidCollectionInfo>& out);

} // namespace nk7x
