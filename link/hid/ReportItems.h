// The items an open interface offers per report type: one per button capability and one per value
// usage (ranges expanded), ready for CHidTransport::DecodeReport to fill.
#pragma once

#include <cstddef>
#include <vector>

#include "link/hid/HidTypes.h"
#include "link/hid/ReportDescriptor.h"

namespace nk7x {

// Usage-list entries one open interface may hold over all its items; a descriptor asking for more is
// refused rather than allowed to take the memory.
inline constexpr size_t kHidMaxUsageListEntries = size_t{1} << 20;

// Fills `items` for one report type. `usageBudget` is what is left of kHidMaxUsageListEntries; false
// (and no items) when the usage lists would exceed it.
bool BuildReportItems(const HidCollectionInfo& info, HidReportType type, std::vector<HidReportItem>& items,
                      size_t& usageBudget);

} // namespace nk7x
