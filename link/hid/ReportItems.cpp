#include "link/hid/ReportItems.h"

#include <algorithm>

#include "link/hid/HidTransport.h"
#include "link/hid/ReportDecoder.h"

namespace nk7x {

bool BuildReportItems(const HidCollectionInfo& info, HidReportType type, std::vector<HidReportItem>& items,
                      size_t& usageBudget) {
    items.clear();
    const HidReportCaps& caps = info.Report(type);
    size_t count = caps.buttons.size();
    for (const HidValueCap& v : caps.values)
        count += v.isRange ? static_cast<size_t>(v.usageMax - v.usageMin) + 1 : 1;
    items.reserve(count);

    // One list length per usage page, worked out once rather than once per capability.
    std::vector<std::pair<uint16_t, uint32_t>> lengths;
    auto listLength = [&](uint16_t page) {
        for (const auto& [p, n] : lengths) {
            if (p == page)
                return n;
        }
        lengths.emplace_back(page, info.MaxUsageListLength(type, page));
        return lengths.back().second;
    };
    for (const HidButtonCap& b : caps.buttons) {
        HidReportItem item;
        item.isButton = true;
        item.status = kHidStatusSuccess;
        item.usagePage = b.usagePage;
        item.reportId = b.reportId;
        item.usageMin = b.usageMin;
        item.usageMax = b.isRange ? b.usageMax : b.usageMin;
        item.usageListCapacity = listLength(b.usagePage);
        if (item.usageListCapacity > usageBudget) {
            items.clear();
            return false;
        }
        usageBudget -= item.usageListCapacity;
        item.usageList.assign(item.usageListCapacity, 0);
        items.push_back(std::move(item));
    }
    for (const HidValueCap& v : caps.values) {
        const uint32_t last = v.isRange ? v.usageMax : v.usageMin;
        for (uint32_t usage = v.usageMin; usage <= last; ++usage) {
            HidReportItem item;
            item.isButton = false;
            item.status = kHidStatusSuccess;
            item.usagePage = v.usagePage;
            item.usage = static_cast<uint16_t>(usage);
            item.reportId = v.reportId;
            items.push_back(std::move(item));
        }
    }
    return true;
}

int CHidTransport::DecodeReport(HidReportItem* items, uint32_t itemCount, const uint8_t* report,
                                uint32_t reportLength, HidReportType type,
                                const HidCollectionInfo* descriptor) {
    if (itemCount == 0)
        return 1;
    if (items == nullptr || report == nullptr || reportLength == 0)
        return 0;
    const uint8_t id = report[0];
    // The usages that are on, per usage page and list capacity: items of one page share one look.
    struct PageUsages {
        uint16_t page;
        size_t capacity;
        uint32_t status;
        std::vector<uint16_t> on;
    };
    std::vector<PageUsages> seen;
    for (uint32_t i = 0; i < itemCount; ++i) {
        HidReportItem& item = items[i];
        if (item.reportId != id)
            continue;
        if (descriptor == nullptr)
            return 0;
        if (item.isButton) {
            const size_t capacity = std::min<size_t>(item.usageListCapacity, item.usageList.size());
            const PageUsages* found = nullptr;
            for (const PageUsages& p : seen) {
                if (p.page == item.usagePage && p.capacity == capacity)
                    found = &p;
            }
            if (found == nullptr) {
                PageUsages p{item.usagePage, capacity, 0, {}};
                p.status =
                    HidGetUsages(*descriptor, type, item.usagePage, report, reportLength, p.on, capacity);
                seen.push_back(std::move(p));
                found = &seen.back();
            }
            item.status = found->status;
            const std::vector<uint16_t>& on = found->on;
            // Only the usages of this item's own range stay, at the front, in their order.
            size_t kept = 0;
            for (uint16_t usage : on) {
                if (usage >= item.usageMin && usage <= item.usageMax && kept < capacity)
                    item.usageList[kept++] = usage;
            }
            std::fill(item.usageList.begin() + static_cast<std::ptrdiff_t>(kept),
                      item.usageList.begin() + static_cast<std::ptrdiff_t>(capacity), 0);
            item.isSet = true;
            continue;
        }
        item.status =
            HidGetUsageValue(*descriptor, type, item.usagePage, item.usage, report, reportLength, item.value);
        if (item.status != kHidStatusSuccess)
            return 0;
        item.status = HidGetScaledUsageValue(*descriptor, type, item.usagePage, item.usage, report,
                                             reportLength, item.scaledValue);
        item.isSet = true;
    }
    return 1;
}

} // namespace nk7x
