#include "link/hid/ReportDecoder.h"

#include <algorithm>

namespace nk7x {

namespace {

int64_t SignExtend(uint32_t raw, uint32_t size) {
    if (size == 0 || size >= 32)
        return static_cast<int32_t>(raw);
    const uint32_t sign = 1u << (size - 1);
    return static_cast<int64_t>(static_cast<int32_t>((raw ^ sign) - sign));
}

// A field reads signed when its logical range reaches below zero.
int64_t FieldNumber(uint32_t raw, uint32_t size, int32_t logicalMin) {
    return logicalMin < 0 ? SignExtend(raw, size) : static_cast<int64_t>(raw);
}

const HidValueCap* FindValue(const HidCollectionInfo& info, HidReportType type, uint16_t page, uint16_t usage,
                             uint8_t id, bool& inOtherReport) {
    inOtherReport = false;
    for (const HidValueCap& cap : info.Report(type).values) {
        if (cap.usagePage != page || usage < cap.usageMin || usage > cap.usageMax)
            continue;
        if (cap.reportId == id)
            return &cap;
        inOtherReport = true;
    }
    return nullptr;
}

uint32_t ReadValue(const HidCollectionInfo& info, HidReportType type, uint16_t page, uint16_t usage,
                   const uint8_t* report, size_t length, uint32_t& value, const HidValueCap** found) {
    uint32_t status = HidCheckReport(info, type, report, length);
    if (status != kHidStatusSuccess)
        return status;
    bool other = false;
    const HidValueCap* cap = FindValue(info, type, page, usage, report[0], other);
    if (cap == nullptr)
        return other ? kHidStatusIncompatibleReportId : kHidStatusUsageNotFound;
    const uint32_t index = cap->isRange ? static_cast<uint32_t>(usage - cap->usageMin) : 0;
    const uint32_t bit = cap->bitPosition + index * cap->reportSize;
    if (!HidReadBits(report, length, bit, cap->reportSize, value))
        return kHidStatusInvalidReportLength;
    *found = cap;
    return kHidStatusSuccess;
}

} // namespace

bool HidReadBits(const uint8_t* report, size_t length, uint32_t bitPosition, uint32_t size, uint32_t& out) {
    out = 0;
    if (report == nullptr || size == 0 || size > 32)
        return false;
    const uint64_t end = static_cast<uint64_t>(bitPosition) + size;
    if (end > static_cast<uint64_t>(length) * 8)
        return false;
    uint64_t acc = 0;
    const uint32_t firstByte = bitPosition / 8;
    const uint32_t lastByte = static_cast<uint32_t>((end - 1) / 8);
    for (uint32_t b = lastByte + 1; b-- > firstByte;)
        acc = (acc << 8) | report[b];
    acc >>= bitPosition % 8;
    out = static_cast<uint32_t>(size == 32 ? acc : (acc & ((uint64_t{1} << size) - 1)));
    return true;
}

uint32_t HidCheckReport(const HidCollectionInfo& info, HidReportType type, const uint8_t* report,
                        size_t length) {
    if (report == nullptr || length == 0)
        return kHidStatusInvalidReportLength;
    const uint8_t id = report[0];
    if (!info.HasReportId(id))
        return kHidStatusIncompatibleReportId;
    const uint16_t needed = info.ReportLength(type, id);
    if (needed == 0)
        return kHidStatusReportDoesNotExist;
    if (length < needed)
        return kHidStatusInvalidReportLength;
    return kHidStatusSuccess;
}

uint32_t HidGetUsages(const HidCollectionInfo& info, HidReportType type, uint16_t usagePage,
                      const uint8_t* report, size_t length, std::vector<uint16_t>& usages, size_t capacity) {
    usages.clear();
    uint32_t status = HidCheckReport(info, type, report, length);
    if (status != kHidStatusSuccess)
        return status;
    const uint8_t id = report[0];
    auto add = [&](uint16_t usage) {
        if (usage == 0)
            return true;
        if (usages.size() >= capacity)
            return false;
        usages.push_back(usage);
        return true;
    };
    for (const HidButtonCap& cap : info.Report(type).buttons) {
        if (cap.reportId != id || (usagePage != 0 && cap.usagePage != usagePage))
            continue;
        for (uint32_t k = 0; k < cap.reportCount; ++k) {
            uint32_t raw = 0;
            if (!HidReadBits(report, length, cap.bitPosition + k * cap.reportSize, cap.reportSize, raw))
                return kHidStatusInvalidReportLength;
            uint32_t usage = 0;
            if (cap.isArray) {
                const int64_t v = FieldNumber(raw, cap.reportSize, cap.logicalMin);
                if (v < cap.logicalMin || v > cap.logicalMax)
                    continue; // out of range: the field reports nothing
                const int64_t index = v - cap.logicalMin - static_cast<int64_t>(cap.arrayIndexBase);
                if (index < 0 || index > static_cast<int64_t>(cap.usageMax) - cap.usageMin)
                    continue; // belongs to another usage range of the same field
                usage = cap.usageMin + static_cast<uint32_t>(index);
            } else {
                if (raw == 0)
                    continue;
                usage = cap.isRange ? cap.usageMin + k : cap.usageMin;
                if (usage > cap.usageMax)
                    continue;
            }
            if (!add(static_cast<uint16_t>(usage)))
                return kHidStatusBufferTooSmall;
            if (!cap.isArray && !cap.isRange)
                break; // one usage over several bits: listed once
        }
    }
    return kHidStatusSuccess;
}

uint32_t HidGetUsageValue(const HidCollectionInfo& info, HidReportType type, uint16_t usagePage,
                          uint16_t usage, const uint8_t* report, size_t length, uint32_t& value) {
    value = 0;
    const HidValueCap* cap = nullptr;
    return ReadValue(info, type, usagePage, usage, report, length, value, &cap);
}

uint32_t HidGetScaledUsageValue(const HidCollectionInfo& info, HidReportType type, uint16_t usagePage,
                                uint16_t usage, const uint8_t* report, size_t length, int32_t& scaled) {
    scaled = 0;
    uint32_t raw = 0;
    const HidValueCap* cap = nullptr;
    uint32_t status = ReadValue(info, type, usagePage, usage, report, length, raw, &cap);
    if (status != kHidStatusSuccess)
        return status;
    if (cap->logicalMin >= cap->logicalMax || cap->physicalMin >= cap->physicalMax)
        return kHidStatusBadLogPhyValues;
    const int64_t v = FieldNumber(raw, cap->reportSize, cap->logicalMin);
    if (v < cap->logicalMin || v > cap->logicalMax)
        return cap->hasNull ? kHidStatusNull : kHidStatusValueOutOfRange;
    const uint64_t logicalSpan =
        static_cast<uint64_t>(static_cast<int64_t>(cap->logicalMax) - cap->logicalMin);
    const uint64_t physicalSpan =
        static_cast<uint64_t>(static_cast<int64_t>(cap->physicalMax) - cap->physicalMin);
    const uint64_t offset = static_cast<uint64_t>(v - cap->logicalMin);
    // Every factor is below 2^32, so the unsigned product cannot wrap; the quotient is at most
    // the physical span, so the sum stays inside the physical range.
    scaled =
        static_cast<int32_t>(static_cast<int64_t>(offset * physicalSpan / logicalSpan) + cap->physicalMin);
    return kHidStatusSuccess;
}

} // namespace nk7x
