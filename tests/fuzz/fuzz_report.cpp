// Decodes a sequence of arbitrary reports into the items an open interface would hold, for every
// collection and report type of a descriptor, the way the key-event thread decodes what a device
// sends. Each report sits in a buffer of exactly its length, so any read past it is caught. Beyond
// not crashing, a decode must keep the items' shape, leave items of other reports alone, list only
// usages of an item's own range and scale values into their physical range.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "link/hid/HidTransport.h"
#include "link/hid/ReportDescriptor.h"
#include "link/hid/ReportItems.h"

namespace {

using namespace nk7x;

// What DecodeReport must never change in an item.
struct Shape {
    bool isButton;
    uint16_t usagePage;
    uint32_t reportId;
    uint32_t usageMin, usageMax, usageListCapacity;
    size_t listSize;
    uint16_t usage;
    bool operator==(const Shape&) const = default;
};

Shape ShapeOf(const HidReportItem& i) {
    return {i.isButton, i.usagePage,         i.reportId,         i.usageMin,
            i.usageMax, i.usageListCapacity, i.usageList.size(), i.usage};
}

bool SameState(const HidReportItem& a, const HidReportItem& b) {
    return a.isSet == b.isSet && a.status == b.status && a.usageList == b.usageList && a.value == b.value &&
           a.scaledValue == b.scaledValue;
}

// The value capability an item of `id` reads from: the first of its page whose range holds the usage.
const HidValueCap* ValueCapOf(const HidCollectionInfo& c, HidReportType type, const HidReportItem& item) {
    for (const HidValueCap& cap : c.Report(type).values) {
        if (cap.usagePage == item.usagePage && cap.reportId == item.reportId && item.usage >= cap.usageMin &&
            item.usage <= cap.usageMax)
            return &cap;
    }
    return nullptr;
}

void CheckAfterDecode(const HidCollectionInfo& c, HidReportType type,
                      const std::vector<HidReportItem>& before, const std::vector<HidReportItem>& after,
                      uint8_t id) {
    for (size_t i = 0; i < after.size(); ++i) {
        const HidReportItem& a = after[i];
        if (!(ShapeOf(a) == ShapeOf(before[i])))
            __builtin_trap();
        if (a.reportId != id) {
            if (!SameState(a, before[i]))
                __builtin_trap();
            continue;
        }
        if (a.isButton && a.isSet) {
            // The usages that are on, then zeros; each inside the item's own range.
            bool ended = false;
            for (uint16_t u : a.usageList) {
                if (u == 0) {
                    ended = true;
                    continue;
                }
                if (ended || u < a.usageMin || u > a.usageMax)
                    __builtin_trap();
            }
        }
        if (!a.isButton && a.isSet && a.status == kHidStatusSuccess) {
            const HidValueCap* cap = ValueCapOf(c, type, a);
            if (cap == nullptr)
                __builtin_trap();
            if (cap->reportSize < 32 && a.value >> cap->reportSize != 0)
                __builtin_trap();
            if (a.scaledValue < cap->physicalMin || a.scaledValue > cap->physicalMax)
                __builtin_trap();
        }
    }
}

void Decode(const HidCollectionInfo& c, HidReportType type, std::vector<HidReportItem>& items,
            const std::vector<uint8_t>& bytes) {
    // Exactly as long as the report: a read past its end is out of bounds.
    std::vector<uint8_t> report(bytes);
    report.shrink_to_fit();
    const std::vector<HidReportItem> before = items;
    CHidTransport::DecodeReport(items.data(), static_cast<uint32_t>(items.size()),
                                report.empty() ? nullptr : report.data(),
                                static_cast<uint32_t>(report.size()), type, &c);
    if (!report.empty())
        CheckAfterDecode(c, type, before, items, report[0]);
    else if (!items.empty()) {
        for (size_t i = 0; i < items.size(); ++i) {
            if (!SameState(items[i], before[i]))
                __builtin_trap();
        }
    }
}

} // namespace

// Input: two bytes of descriptor length (little-endian, cut to what there is), the descriptor, then
// reports, each as one length byte and that many bytes (the first is the report id).
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    size_t descSize = static_cast<size_t>(data[0]) | static_cast<size_t>(data[1]) << 8;
    if (descSize > size - 2)
        descSize = size - 2;
    const uint8_t* desc = data + 2;
    const uint8_t* p = desc + descSize;
    const uint8_t* const end = data + size;

    std::vector<HidCollectionInfo> collections;
    if (ParseReportDescriptor(desc, descSize, collections) != HidParseError::None)
        return 0;

    std::vector<std::vector<uint8_t>> reports;
    while (p < end && reports.size() < 16) {
        const size_t wanted = *p++;
        const size_t len = std::min(wanted, static_cast<size_t>(end - p));
        reports.emplace_back(p, p + len);
        p += len;
    }

    constexpr HidReportType kTypes[] = {HidReportType::Input, HidReportType::Output, HidReportType::Feature};
    for (const HidCollectionInfo& c : collections) {
        // One budget per interface, as an open transport has.
        size_t budget = kHidMaxUsageListEntries;
        std::vector<HidReportItem> items[3];
        for (int t = 0; t < 3; ++t)
            BuildReportItems(c, kTypes[t], items[t], budget);
        // The same items over the whole sequence, so what one report leaves is seen by the next.
        for (const std::vector<uint8_t>& r : reports) {
            for (int t = 0; t < 3; ++t) {
                Decode(c, kTypes[t], items[t], r);
                // The same bytes under the collection's own report ids, which random bytes seldom hit.
                if (r.empty())
                    continue;
                size_t n = 0;
                for (uint8_t id : c.reportIds) {
                    if (n == 4)
                        break;
                    if (id == r[0])
                        continue;
                    ++n;
                    std::vector<uint8_t> same(r);
                    same[0] = id;
                    Decode(c, kTypes[t], items[t], same);
                }
            }
        }
    }
    return 0;
}
