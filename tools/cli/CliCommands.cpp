#include "tools/cli/CliCommands.h"

#include <cstdio>
#include <iostream>
#include <optional>

#include "devices/discovery/DeviceTables.h"
#include "link/DeviceCommandLink.h"
#include "platform/DebugLog.h"
#include "tools/cli/CliDevice.h"

namespace nk7x::cli {
namespace {

const char* KindName(std::optional<DeviceKind> kind) {
    return kind ? DisplayName(*kind) : "unknown";
}

const char* RoleName(uint16_t role) {
    return role == kRoleCommand ? "command" : "notification";
}

// Runs `body` between BeginConfig and EndConfig; the first failure decides the result. When the device
// stopped answering, EndConfig is not tried (it would only wait for the same time-out again).
template <typename Body> LinkResult InConfig(CDeviceCommandLink& link, Body body) {
    const LinkResult begin = link.BeginConfig();
    if (begin != kResultOk)
        return begin;
    const LinkResult result = body();
    if (result == kResultFailed || result == kResultWriteFailed)
        return result;
    const LinkResult end = link.EndConfig();
    return result != kResultOk ? result : end;
}

Exit Report(LinkResult result, const char* what) {
    if (result == kResultOk)
        return Exit::Ok;
    return Fail(ExitForResult(result), std::string(what) + ": " + ResultText(result));
}

void PrintHexDump(const uint8_t* data, size_t size, uint32_t base) {
    for (size_t i = 0; i < size; i += 16) {
        const size_t n = std::min<size_t>(16, size - i);
        std::printf("%04x: %s\n", static_cast<unsigned>(base + i), ToHex(data + i, n).c_str());
    }
}

} // namespace

Exit RunList(const Options& options) {
    CHidTransport probe;
    if (probe.EnumeratePaths() != 1)
        return Fail(Exit::Failure, "the HID interfaces cannot be listed");
    Json::Value list(Json::arrayValue);
    bool permissionDenied = false;
    if (!options.json)
        std::printf("   VID  PID  PAGE USAGE  PATH\n");
    while (const char* path = probe.NextPath()) {
        Json::Value entry(Json::objectValue);
        entry["path"] = path;
        const DeviceSlot fromPath = CandidateFromPath(path);
        const bool opened = probe.Open(path, true, false) == 1;
        int row = -1;
        DeviceSlot slot = fromPath;
        if (opened) {
            slot = SlotFromTransport(probe, &row);
            probe.Close();
        } else {
            const HidOpenError error = probe.LastOpenError();
            entry["openError"] = HidOpenErrorText(error);
            // A path the tables name that cannot be opened is most likely a missing udev rule.
            permissionDenied |= error == HidOpenError::PermissionDenied && FindRowByPath(fromPath) >= 0;
        }
        entry["vendor"] = slot.vendorId;
        entry["product"] = slot.productId;
        entry["interface"] = slot.interfaceNumber;
        entry["collection"] = slot.collection;
        entry["supported"] = row >= 0;
        if (opened) {
            entry["usagePage"] = slot.usagePage;
            entry["usage"] = slot.usage;
        }
        if (row >= 0) {
            entry["row"] = row;
            entry["kind"] = slot.kind ? KindNumber(*slot.kind) : 0;
            entry["kindName"] = KindName(slot.kind);
            entry["role"] = RoleName(slot.role);
        }
        list.append(entry);
        if (options.json)
            continue;
        if (opened)
            std::printf("%s  %04x %04x %04x %04x   %s", row >= 0 ? "*" : " ", slot.vendorId, slot.productId,
                        slot.usagePage, slot.usage, path);
        else
            std::printf("?  %04x %04x    -    -   %s", slot.vendorId, slot.productId, path);
        if (row >= 0)
            std::printf("  (%s %s interface)", KindName(slot.kind), RoleName(slot.role));
        else if (!opened)
            std::printf("  (cannot open: %s)", HidOpenErrorText(probe.LastOpenError()));
        std::printf("\n");
    }
    if (options.json) {
        Json::Value doc(Json::objectValue);
        doc["interfaces"] = list;
        PrintJson(doc);
    } else if (list.empty()) {
        std::printf("(no HID interface present)\n");
    }
    if (permissionDenied)
        std::cerr << "nk7x-cli: some interfaces of a supported device cannot be opened.\n"
                  << kUdevHint << '\n';
    return Exit::Ok;
}

Exit RunInfo(const Options& options) {
    CDeviceCommandLink link;
    if (const Exit e = OpenCommandLink(options, link); e != Exit::Ok)
        return e;
    DeviceInfoRecord info{};
    const LinkResult result = InConfig(link, [&] { return link.ReadDeviceInfo(info); });
    if (result != kResultOk)
        return Report(result, "reading the device information");
    const HidAttributes& a = link.Transport().Attributes();
    const unsigned keys = info[5];
    const unsigned macroUnits = info[6];
    if (options.json) {
        Json::Value doc(Json::objectValue);
        doc["path"] = link.Transport().DevicePath();
        doc["vendor"] = a.vendorId;
        doc["product"] = a.productId;
        doc["version"] = a.versionNumber;
        doc["keyCount"] = keys;
        doc["macroUnits"] = macroUnits;
        doc["macroBytes"] = macroUnits * 128;
        doc["record"] = ToHex(info.data(), info.size(), 0);
        PrintJson(doc);
    } else {
        std::printf("path:         %s\n", link.Transport().DevicePath().c_str());
        std::printf("device:       vendor %s product %s version %s\n", Hex16(a.vendorId).c_str(),
                    Hex16(a.productId).c_str(), Hex16(a.versionNumber).c_str());
        std::printf("keys:         %u (key table %u bytes)\n", keys, keys * 3);
        std::printf("macro memory: %u x 128 = %u bytes\n", macroUnits, macroUnits * 128);
        std::printf("record:       %s\n", ToHex(info.data(), info.size()).c_str());
    }
    return Exit::Ok;
}

Exit RunKeyTable(const Options& options) {
    CDeviceCommandLink link;
    if (const Exit e = OpenCommandLink(options, link); e != Exit::Ok)
        return e;
    DeviceInfoRecord info{};
    std::vector<uint8_t> keys, leds;
    unsigned count = 0;
    bool tooMany = false;
    const LinkResult result = InConfig(link, [&] {
        LinkResult r = link.ReadDeviceInfo(info);
        if (r != kResultOk)
            return r;
        count = info[5];
        if (link.SetDataSize(count * 3) != 1) {
            tooMany = true;
            return kResultOk;
        }
        keys.assign(count * 3, 0);
        leds.assign(count, 0);
        r = link.ReadKeyTable(keys.data());
        return r == kResultOk ? link.ReadKeyIndexTable(leds.data()) : r;
    });
    if (result != kResultOk)
        return Report(result, "reading the key table");
    if (tooMany)
        return Fail(Exit::Failure, "the device reports " + std::to_string(count) +
                                       " keys; a key table of more than 512 bytes is not supported");
    if (options.json) {
        Json::Value doc(Json::objectValue);
        doc["keyCount"] = count;
        Json::Value list(Json::arrayValue);
        for (unsigned p = 0; p < count; ++p) {
            Json::Value k(Json::objectValue);
            k["position"] = p;
            k["entry"] = ToHex(&keys[p * 3], 3, 0);
            k["led"] = leds[p];
            list.append(k);
        }
        doc["keys"] = list;
        PrintJson(doc);
    } else {
        std::printf("%u keys\nPOS  ENTRY     LED\n", count);
        for (unsigned p = 0; p < count; ++p) {
            char led[8];
            if (leds[p] == 0xFF)
                std::snprintf(led, sizeof led, "-");
            else
                std::snprintf(led, sizeof led, "%u", leds[p]);
            std::printf("%3u  %s  %s\n", p, ToHex(&keys[p * 3], 3).c_str(), led);
        }
    }
    return Exit::Ok;
}

Exit RunParams(const Options& options, const Args& args) {
    if (args.size() != 2)
        return Fail(Exit::Usage, "usage: nk7x-cli params OFFSET LENGTH");
    const auto offset = ParseNumber(args[0], 0xFFFF);
    const auto length = ParseNumber(args[1], 0x10000);
    if (!offset || !length || *length == 0 || *offset + *length > 0x10000)
        return Fail(Exit::Usage,
                    "OFFSET and LENGTH must lie inside the 64 KiB parameter area, LENGTH above 0\n"
                    "usage: nk7x-cli params OFFSET LENGTH");
    CDeviceCommandLink link;
    if (const Exit e = OpenCommandLink(options, link); e != Exit::Ok)
        return e;
    std::vector<uint8_t> data(*length, 0);
    const LinkResult result = InConfig(
        link, [&] { return link.ReadParameters(data.data(), data.size(), static_cast<uint16_t>(*offset)); });
    if (result != kResultOk)
        return Report(result, "reading the parameters");
    if (options.json) {
        Json::Value doc(Json::objectValue);
        doc["offset"] = *offset;
        doc["length"] = *length;
        doc["data"] = ToHex(data.data(), data.size(), 0);
        PrintJson(doc);
    } else {
        PrintHexDump(data.data(), data.size(), *offset);
    }
    return Exit::Ok;
}

Exit RunWriteParams(const Options& options, const Args& args) {
    if (args.size() != 2)
        return Fail(Exit::Usage, "usage: nk7x-cli write-params OFFSET HEX");
    const auto offset = ParseNumber(args[0], 0xFFFF);
    const auto bytes = ParseHex(args[1]);
    if (!offset || !bytes || bytes->empty() || *offset + bytes->size() > 0x10000)
        return Fail(Exit::Usage,
                    "OFFSET must be a number and HEX pairs of hex digits inside the parameter area\n"
                    "usage: nk7x-cli write-params OFFSET HEX");
    CDeviceCommandLink link;
    if (const Exit e = OpenCommandLink(options, link); e != Exit::Ok)
        return e;
    const LinkResult result = InConfig(link, [&] {
        return link.WriteParameters(bytes->data(), bytes->size(), static_cast<uint16_t>(*offset));
    });
    if (result != kResultOk)
        return Report(result, "writing the parameters");
    if (options.json) {
        Json::Value doc(Json::objectValue);
        doc["offset"] = *offset;
        doc["written"] = static_cast<Json::UInt>(bytes->size());
        PrintJson(doc);
    } else {
        std::printf("wrote %zu bytes at offset 0x%04x\n", bytes->size(), *offset);
    }
    return Exit::Ok;
}

Exit RunRaw(const Options& options, const Args& args) {
    if (args.empty() || args.size() > 2)
        return Fail(Exit::Usage, "usage: nk7x-cli raw CODE [HEX] [--length N] [--offset N]");
    const auto code = ParseNumber(args[0], 0xFF);
    const auto payload =
        args.size() == 2 ? ParseHex(args[1]) : std::optional<std::vector<uint8_t>>(std::vector<uint8_t>{});
    if (!code || *code == 0)
        return Fail(Exit::Usage, "CODE must be a command code 1..255\nusage: nk7x-cli raw CODE [HEX]");
    if (!payload || payload->size() > kFramePayloadSize)
        return Fail(Exit::Usage,
                    "HEX must be at most 56 bytes as pairs of hex digits\nusage: nk7x-cli raw CODE [HEX]");
    CDeviceCommandLink link;
    if (const Exit e = OpenCommandLink(options, link); e != Exit::Ok)
        return e;
    const auto length = static_cast<uint8_t>(options.length.value_or(static_cast<uint32_t>(payload->size())));
    const FrameBytes request =
        CommandRequest::Make(static_cast<uint8_t>(*code), length,
                             static_cast<uint16_t>(options.offset.value_or(0)), payload->data())
            .Serialise();
    FrameBytes reply{};
    LinkResult result;
    {
        std::lock_guard<std::mutex> lock(link.CommandLock());
        result = link.Exchange(request.data(), request.size(), reply.data(), reply.size(), nullptr);
    }
    if (result != kResultOk)
        return Report(result, "sending the frame");
    const ReplyView view(reply.data());
    const LinkResult status = view.StatusResult();
    if (options.json) {
        Json::Value doc(Json::objectValue);
        doc["request"] = ToHex(request.data(), request.size(), 0);
        doc["reply"] = ToHex(reply.data(), reply.size(), 0);
        doc["echo"] = view.Echo();
        doc["status"] = view.Status();
        doc["result"] = ResultCode(status);
        PrintJson(doc);
    } else {
        std::printf("request: %s\n         %s\n", FormatHexLine(request.data()).c_str(),
                    FormatHexLine(request.data() + 32).c_str());
        std::printf("reply:   %s\n         %s\n", FormatHexLine(reply.data()).c_str(),
                    FormatHexLine(reply.data() + 32).c_str());
        std::printf("echo 0x%02x%s, status 0x%02x (%s)\n", view.Echo(),
                    view.Echo() == *code ? "" : " (mismatch)", view.Status(),
                    status == kResultOk ? "success" : ResultText(status).c_str());
    }
    return status == kResultOk ? Exit::Ok : Exit::DeviceStatus;
}

} // namespace nk7x::cli
