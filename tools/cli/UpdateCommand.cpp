#include "tools/cli/UpdateCommand.h"

#include <cstdio>
#include <iostream>
#include <string_view>
#include <vector>

#include "devices/discovery/DeviceTables.h"
#include "link/hid/HidTransport.h"
#include "platform/DebugLog.h"
#include "platform/SettingsStore.h"
#include "update/AppVersion.h"
#include "update/UpdateCheck.h"
#include "update/UpdateServer.h"

namespace nk7x::cli {

namespace {

struct UpdateOptions {
    bool json = false;
    bool log = false;
    std::string server;
};

bool Parse(int argc, char** argv, UpdateOptions& o, std::string& error) {
    bool seenCommand = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--json") {
            o.json = true;
        } else if (arg == "--log") {
            o.log = true;
        } else if (arg == "--server") {
            if (i + 1 >= argc) {
                error = "--server needs a value";
                return false;
            }
            o.server = argv[++i];
        } else if (arg == "check-updates" && !seenCommand) {
            seenCommand = true;
        } else {
            error = "unexpected argument " + std::string(arg);
            return false;
        }
    }
    return true;
}

// The firmware versions of the device list as the main window builds it: one entry per option-table
// row that an interface row names, in option-table order; an entry holds the version of the first
// present command interface of its kind, or 0 when none is present.
std::vector<uint16_t> DeviceListVersions() {
    std::vector<int> entries; // option-table rows
    const auto& options = OptionTable();
    for (std::size_t o = 0; o < options.size(); ++o) {
        for (const DeviceSlot& row : InterfaceTable()) {
            if (row.role == kRoleCommand && row.kind && options[o].Kind() &&
                FamilyOf(*row.kind) == FamilyOf(*options[o].Kind())) {
                entries.push_back(static_cast<int>(o));
                break;
            }
        }
    }
    std::vector<uint16_t> versions(entries.size(), 0);
    CHidTransport probe;
    if (probe.EnumeratePaths() != 1)
        return versions;
    while (const char* path = probe.NextPath()) {
        const int row = FindRowByPath(CandidateFromPath(path));
        if (row < 0 || InterfaceTable()[static_cast<size_t>(row)].role != kRoleCommand)
            continue;
        if (probe.Open(path, true, false) != 1)
            continue;
        int matched = -1;
        const DeviceSlot slot = SlotFromTransport(probe, &matched);
        const uint16_t version = probe.Attributes().versionNumber;
        probe.Close();
        if (matched < 0 || slot.role != kRoleCommand || !slot.kind)
            continue;
        for (std::size_t e = 0; e < entries.size(); ++e) {
            const auto kind = options[static_cast<size_t>(entries[e])].Kind();
            if (kind && FamilyOf(*kind) == FamilyOf(*slot.kind) && versions[e] == 0)
                versions[e] = version;
        }
    }
    return versions;
}

} // namespace

bool IsUpdateCommand(int argc, char** argv) {
    return FirstCommandIs(argc, argv, "check-updates", {"--path", "--length", "--offset", "--server"});
}

Exit RunCheckUpdates(int argc, char** argv) {
    UpdateOptions o;
    std::string error;
    if (!Parse(argc, argv, o, error)) {
        std::cerr << "nk7x-cli: " << error << "\n\nusage:\n" << kUpdateUsage;
        return Exit::Usage;
    }
    if (o.log)
        SetDebugToStderr(true);
    // The command line wins over the address the settings window stored.
    if (o.server.empty())
        o.server = ReadUpdateServer(SettingsStore(SettingsStore::DefaultPath()));
    if (o.server.empty())
        return Fail(Exit::Failure, "no update server configured (give its API base address with --server)");

    CUpdateCheck check(o.server, BuildProductList(DeviceListVersions(), ApplicationVersionNumber()));
    const UpdateCheckState state = check.Run();
    const auto& records = check.Records();
    if (o.json) {
        Json::Value doc(Json::objectValue);
        doc["result"] = UpdateCheckStateName(state);
        Json::Value products(Json::arrayValue);
        for (const UpdateRecord& r : records) {
            Json::Value p(Json::objectValue);
            p["name"] = r.name;
            p["installed"] = r.installedText;
            p["newest"] = r.newestText;
            p["status"] = r.status;
            p["known"] = r.known; // false: no usable answer, so neither newer nor up to date
            products.append(p);
        }
        doc["products"] = products;
        PrintJson(doc);
    } else {
        for (const UpdateRecord& r : records) {
            if (!r.known)
                std::printf("%s: installed %s, no information from the server\n", r.name.c_str(),
                            r.installedText.c_str());
            else
                std::printf("%s: installed %s, newest %s, %s\n", r.name.c_str(), r.installedText.c_str(),
                            r.newestText.empty() ? "-" : TerminalSafe(r.newestText).c_str(),
                            r.status == kUpdateStatusAvailable ? "update available" : "up to date");
        }
        std::printf("result: %s\n", UpdateCheckStateName(state));
    }
    return Exit::Ok;
}

} // namespace nk7x::cli
