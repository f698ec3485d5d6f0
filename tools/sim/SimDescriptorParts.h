// The top-level collections the emulated interfaces are built from. Every emulated kind puts its
// consumer-control collection third and its vendor command collection fourth, so the discovery
// tables name the same collection numbers for all of them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace nk7x {

inline constexpr uint8_t kSimReportConsumer = 3;
inline constexpr uint8_t kSimReportVendor = 4;
inline constexpr size_t kSimConsumerReportBytes = 3; // report id + 16-bit usage
inline constexpr size_t kSimVendorReportBytes = 64;  // report id + 63 data bytes

// 1-based collection numbers of interface 1 and the usages that open them.
inline constexpr int kSimNotificationCollection = 3;
inline constexpr int kSimCommandCollection = 4;
inline constexpr uint16_t kSimConsumerUsagePage = 0x000C;
inline constexpr uint16_t kSimConsumerUsage = 0x0001;
inline constexpr uint16_t kSimVendorUsagePage = 0xFF1C;
inline constexpr uint16_t kSimVendorUsage = 0x0092;

// Each appends one whole collection (its report id given) to `out`.
void AppendSystemControlCollection(std::vector<uint8_t>& out, uint8_t reportId);
void AppendKeyboardCollection(std::vector<uint8_t>& out, uint8_t reportId);
void AppendConsumerCollection(std::vector<uint8_t>& out); // report 3
// Report 4; `moreReports` are items of a kind's further reports of this collection, placed after the
// command reports (whose report size and logical range they inherit).
void AppendVendorCollection(std::vector<uint8_t>& out, const std::vector<uint8_t>& moreReports = {});

} // namespace nk7x
