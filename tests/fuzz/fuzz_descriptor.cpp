// Feeds arbitrary bytes to the report-descriptor parser; when they parse, decodes arbitrary reports
// of every type against every collection, as a device's input would be decoded.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "link/hid/HidTransport.h"
#include "link/hid/ReportDescriptor.h"
#include "link/hid/ReportItems.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace nk7x;
    // Two bytes of descriptor length (little-endian, cut to what there is), the descriptor, then
    // the bytes the reports are made of.
    if (size < 2)
        return 0;
    size_t descSize = static_cast<size_t>(data[0]) | static_cast<size_t>(data[1]) << 8;
    if (descSize > size - 2)
        descSize = size - 2;
    const uint8_t* desc = data + 2;
    const uint8_t* rest = desc + descSize;
    const size_t restSize = size - 2 - descSize;

    std::vector<HidCollectionInfo> collections;
    if (ParseReportDescriptor(desc, descSize, collections) != HidParseError::None)
        return 0;
    for (const HidCollectionInfo& c : collections) {
        size_t budget = kHidMaxUsageListEntries;
        for (HidReportType type : {HidReportType::Input, HidReportType::Output, HidReportType::Feature}) {
            std::vector<HidReportItem> items;
            if (!BuildReportItems(c, type, items, budget))
                break;
            // Every report id of the collection, with the remaining bytes as its data at three lengths.
            for (uint8_t id : c.reportIds) {
                std::vector<uint8_t> report(rest, rest + restSize);
                report.insert(report.begin(), id);
                for (size_t len : {report.size(), static_cast<size_t>(c.ReportLength(type, id)), size_t{1}}) {
                    if (len > report.size())
                        report.resize(len, 0xA5);
                    CHidTransport::DecodeReport(items.data(), static_cast<uint32_t>(items.size()),
                                                report.data(), static_cast<uint32_t>(len), type, &c);
                }
            }
        }
    }
    return 0;
}
