// `nk7x-cli descriptor`: the top-level collections of a node's or a saved file's report descriptor,
// numbered as the HID backend numbers the paths ("&colNN", only when there are several).
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

#include "link/hid/ReportDescriptor.h"
#include "platform/HidBackend.h"
#include "tools/cli/CliCommands.h"

namespace nk7x::cli {
namespace {

bool IsSocket(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISSOCK(st.st_mode);
}

bool IsCharDevice(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode);
}

// Reads the descriptor of a transport path, a hidraw node, an emulator socket or a saved file.
Exit LoadDescriptor(const std::string& argument, std::vector<uint8_t>& out) {
    std::string node = argument;
    if (const size_t hash = argument.rfind('#'); hash != std::string::npos)
        node = argument.substr(hash + 1);
    const bool emulated = IsSocket(node);
    if (emulated || IsCharDevice(node)) {
        int error = 0;
        auto connection =
            OpenHidNode(emulated ? HidNodeKind::Emulated : HidNodeKind::Hidraw, node, true, false, &error);
        if (!connection) {
            if (error == EACCES || error == EPERM)
                return Fail(Exit::Permission, "no permission to open " + node + "\n" + kUdevHint);
            return Fail(Exit::Absent, "cannot open " + node + ": " + std::strerror(error));
        }
        if (!connection->ReportDescriptor(out))
            return Fail(Exit::Failure, "no report descriptor from " + node);
        return Exit::Ok;
    }
    std::ifstream in(node, std::ios::binary);
    if (!in)
        return Fail(Exit::Absent, "no such node or file: " + node);
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (out.size() > kHidMaxDescriptorBytes)
        return Fail(Exit::Failure, node + " is larger than any report descriptor (" +
                                       std::to_string(out.size()) + " bytes)");
    return Exit::Ok;
}

} // namespace

Exit RunDescriptor(const Options& options, const Args& args) {
    if (args.size() != 1)
        return Fail(Exit::Usage, "usage: nk7x-cli descriptor PATH|FILE");
    std::vector<uint8_t> bytes;
    if (const Exit e = LoadDescriptor(args[0], bytes); e != Exit::Ok)
        return e;
    std::vector<HidCollectionInfo> collections;
    const HidParseError error = ParseReportDescriptor(bytes.data(), bytes.size(), collections);
    if (error != HidParseError::None)
        return Fail(Exit::Failure, "the report descriptor (" + std::to_string(bytes.size()) +
                                       " bytes) does not parse: " + HidParseErrorText(error));
    const bool numbered = collections.size() > 1;
    static constexpr const char* kTypeNames[] = {"input", "output", "feature"};

    Json::Value list(Json::arrayValue);
    for (const HidCollectionInfo& c : collections) {
        Json::Value entry(Json::objectValue);
        entry["collection"] = numbered ? c.number : 0;
        entry["usagePage"] = c.usagePage;
        entry["usage"] = c.usage;
        Json::Value ids(Json::arrayValue);
        for (uint8_t id : c.reportIds)
            ids.append(id);
        entry["reportIds"] = ids;
        for (int t = 0; t < kHidReportTypeCount; ++t) {
            const HidReportCaps& caps = c.Report(static_cast<HidReportType>(t));
            Json::Value r(Json::objectValue);
            r["byteLength"] = caps.byteLength;
            r["buttonCaps"] = static_cast<Json::UInt>(caps.buttons.size());
            r["valueCaps"] = static_cast<Json::UInt>(caps.values.size());
            entry[kTypeNames[t]] = r;
        }
        list.append(entry);
        if (options.json)
            continue;
        if (numbered)
            std::printf("collection %u (&col%02x)", c.number, c.number);
        else
            std::printf("collection (single, no &col)");
        std::printf(": usage page 0x%04x usage 0x%04x, report ids", c.usagePage, c.usage);
        for (uint8_t id : c.reportIds)
            std::printf(" %u", id);
        std::printf("\n");
        for (int t = 0; t < kHidReportTypeCount; ++t) {
            const HidReportCaps& caps = c.Report(static_cast<HidReportType>(t));
            if (caps.byteLength == 0)
                continue;
            std::printf("  %-7s %3u bytes, %zu button caps, %zu value caps\n", kTypeNames[t], caps.byteLength,
                        caps.buttons.size(), caps.values.size());
        }
    }
    if (options.json) {
        Json::Value doc(Json::objectValue);
        doc["descriptorBytes"] = static_cast<Json::UInt>(bytes.size());
        doc["collections"] = list;
        PrintJson(doc);
    }
    return Exit::Ok;
}

} // namespace nk7x::cli
