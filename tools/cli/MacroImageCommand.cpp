#include "tools/cli/MacroImageCommand.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <string_view>
#include <system_error>

#include "devices/keyboard/MacroImageBuild.h"
#include "link/DeviceKind.h"
#include "platform/DebugLog.h"
#include "profiles/ProfileFolders.h"

namespace nk7x::cli {

namespace {

constexpr std::size_t kBytesPerLine = 16;

struct MacroImageOptions {
    bool json = false;
    bool log = false;
    std::string folder; // empty: the keyboard's folder of this user
};

bool Parse(int argc, char** argv, MacroImageOptions& o, std::string& error) {
    bool seenCommand = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--json") {
            o.json = true;
        } else if (arg == "--log") {
            o.log = true;
        } else if (arg == "--folder") {
            if (i + 1 >= argc || std::string_view(argv[i + 1]).empty()) {
                error = "--folder needs a folder";
                return false;
            }
            o.folder = argv[++i];
        } else if (arg == "macro-image" && !seenCommand) {
            seenCommand = true;
        } else {
            error = "unexpected argument " + std::string(arg);
            return false;
        }
    }
    return true;
}

} // namespace

bool IsMacroImageCommand(int argc, char** argv) {
    return FirstCommandIs(argc, argv, "macro-image", {"--path", "--length", "--offset", "--folder"});
}

Exit RunMacroImage(int argc, char** argv) {
    MacroImageOptions o;
    std::string error;
    if (!Parse(argc, argv, o, error)) {
        std::cerr << "nk7x-cli: " << error << "\n\nusage:\n" << kMacroImageUsage;
        return Exit::Usage;
    }
    if (o.log)
        SetDebugToStderr(true);
    std::string folder = o.folder;
    if (folder.empty()) {
        // The folder the keyboard page downloads from (it is created when missing, as the
        // program does on its first start).
        folder = KindFolder(DeviceFamily::Keyboard);
        if (folder.empty())
            return Fail(Exit::Failure, "the keyboard's macro folder could not be found");
    } else {
        std::error_code ec;
        if (!std::filesystem::is_directory(folder, ec))
            return Fail(Exit::Failure, "no folder at " + folder);
    }

    const MacroImageBuild built = BuildMacroImage(folder);
    if (!built.unreadable.empty()) {
        for (const std::string& path : built.unreadable)
            std::cerr << "nk7x-cli: cannot read " << path << '\n';
        return Fail(Exit::Failure,
                    "the macro image is not printed: a download would send these " +
                        std::string(built.macroCount ? "macros without their events" : "no macros at all"));
    }
    switch (built.status) {
    case MacroDownload::Status::NothingToSend:
        if (o.json) {
            Json::Value root(Json::objectValue);
            root["length"] = 0;
            root["macros"] = 0;
            root["image"] = "";
            PrintJson(root);
        } else {
            std::cout << "no macros in " << folder
                      << ": a download sends nothing and the keyboard keeps the macros it has\n";
        }
        return Exit::Ok;
    case MacroDownload::Status::NoImage:
    case MacroDownload::Status::TooLarge:
        return Fail(Exit::Failure, "the " + std::to_string(built.macroCount) +
                                       " macros do not fit in one macro image (at most 65535 bytes)");
    case MacroDownload::Status::Sent:
        break;
    }

    if (o.json) {
        Json::Value root(Json::objectValue);
        root["length"] = static_cast<Json::UInt64>(built.bytes.size());
        root["macros"] = static_cast<Json::UInt64>(built.macroCount);
        root["image"] = ToHex(built.bytes.data(), built.bytes.size(), '\0');
        PrintJson(root);
        return Exit::Ok;
    }
    for (std::size_t at = 0; at < built.bytes.size(); at += kBytesPerLine) {
        const std::size_t n = std::min(kBytesPerLine, built.bytes.size() - at);
        std::cout << ToHex(built.bytes.data() + at, n) << '\n';
    }
    return Exit::Ok;
}

} // namespace nk7x::cli
