// nk7x-cli: talks to a supported device (or the emulator) from a terminal, for diagnosis and scripts.
#include <cstdio>
#include <iostream>

#include "platform/DebugLog.h"
#include "tools/cli/CliCommands.h"
#include "tools/cli/CliSupport.h"
#include "tools/cli/MacroImageCommand.h"
#include "tools/cli/PreviewCommand.h"
#include "tools/cli/ScriptCommands.h"
#include "tools/cli/UpdateCommand.h"

using namespace nk7x;
using namespace nk7x::cli;

namespace {

constexpr const char* kUsage = R"(usage: nk7x-cli [--log] [--json] [--path PATH] COMMAND [ARGS]

commands:
  list                      every HID interface: vendor, product, usage page, usage, path;
                            '*' marks the interfaces of a supported device
  info                      the device information of the first supported device
  keytable                  its key table (3 bytes per position) and LED table
  params OFFSET LENGTH      read LENGTH bytes of the parameter area at OFFSET
  write-params OFFSET HEX   write bytes to the parameter area at OFFSET
  raw CODE [HEX]            send one command frame (payload HEX) and print the reply;
                            --length N sets the length byte, --offset N the offset
  descriptor PATH|FILE      the top-level collections of a node's report descriptor, or of
                            a saved raw descriptor file
  check-updates [--server BASE]
                            ask the update server (API base BASE, e.g. http://host/api/) about
                            the connected devices' firmware and this program; one line per
                            product and the overall result: available, up-to-date or
                            no-information (exit code 0 for each), 1 without a server

options:
  --path PATH   the command interface to use (a path from `list`)
  --log         write every frame and reply to stderr
  --json        print the result as JSON
  NK7X_SIM_DIR  environment: also list the emulated devices of that folder

exit codes: 0 success, 1 other failure, 2 usage, 3 no device, 4 no permission (udev rule),
            5 no answer from the device, 6 the device reported a failure
)";

Exit Run(int argc, char** argv) {
    if (IsPreviewCommand(argc, argv))
        return RunPreview(argc, argv);
    if (IsUpdateCommand(argc, argv))
        return RunCheckUpdates(argc, argv);
    if (IsMacroImageCommand(argc, argv))
        return RunMacroImage(argc, argv);
    if (IsScriptCommand(argc, argv))
        return RunScriptCommand(argc, argv);
    Options options;
    std::string error;
    if (!ParseArguments(argc, argv, options, error)) {
        std::cerr << "nk7x-cli: " << error << "\n\n"
                  << kUsage << "\nwithout a device:\n"
                  << kPreviewUsage << kMacroImageUsage;
        return Exit::Usage;
    }
    if (options.words.empty()) {
        std::cerr << kUsage;
        return Exit::Usage;
    }
    if (options.log)
        SetDebugToStderr(true);
    const std::string command = options.words.front();
    const Args args(options.words.begin() + 1, options.words.end());
    if (command == "help") {
        std::cout << kUsage << "\nsettings, for scripts:\n"
                  << kScriptUsage << "\nwithout a device:\n"
                  << kPreviewUsage << kMacroImageUsage;
        return Exit::Ok;
    }
    const bool noArgs = args.empty();
    if (command == "list" && noArgs)
        return RunList(options);
    if (command == "info" && noArgs)
        return RunInfo(options);
    if (command == "keytable" && noArgs)
        return RunKeyTable(options);
    if (command == "params")
        return RunParams(options, args);
    if (command == "write-params")
        return RunWriteParams(options, args);
    if (command == "raw")
        return RunRaw(options, args);
    if (command == "descriptor")
        return RunDescriptor(options, args);
    std::cerr << "nk7x-cli: unknown command or extra arguments: " << command << "\n\n" << kUsage;
    return Exit::Usage;
}

} // namespace

int main(int argc, char** argv) {
    return static_cast<int>(Run(argc, argv));
}
