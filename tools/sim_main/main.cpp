// nk7x-sim: runs one emulated keyboard until SIGINT/SIGTERM, or talks to a running one (`ctl`).
#include <signal.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "tools/sim/SimControl.h"
#include "tools/sim/SimControlClient.h"
#include "tools/sim/SimDevice.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1; // the emulator could not start, or refused a control request
constexpr int kExitUsage = 2;
constexpr int kExitNotRunning = 3;

const char* kUsage =
    "usage: nk7x-sim [--kind keyboard] [--keys K] [--macro-capacity N] [--name NAME] [--fault LIST]\n"
    "       nk7x-sim ctl [--name NAME] REQUEST...\n"
    "\n"
    "Runs one emulated NK-7X keyboard in $NK7X_SIM_DIR (default $XDG_RUNTIME_DIR/nk7x-sim, or\n"
    "/tmp/nk7x-sim-$UID) until SIGINT or SIGTERM, which unplug it. The program and nk7x-cli list it\n"
    "when NK7X_SIM_DIR names that folder.\n"
    "\n"
    "  --kind keyboard       the device kind (only keyboards are emulated)\n"
    "  --keys K              key table positions, 1..255 (default 126)\n"
    "  --macro-capacity N    macro memory in units of 128 bytes, 0..255 (default 32)\n"
    "  --name NAME           device name, names its files (default kbd1)\n"
    "  --fault LIST          faults armed from the start (see below)\n"
    "  -h, --help            this text\n"
    "\n"
    "Faults: KIND[=VALUE][@CMD][+SKIP][:once|:always|:N], several separated by commas.\n"
    "  stale        a reply with a wrong echo before the real one\n"
    "  noreply      the frame is taken but never answered\n"
    "  slow=MS      the reply comes MS milliseconds late\n"
    "  status=0xFF  the frame is refused with that status (also 0xFE)\n"
    "  unplug       the device disappears after taking the frame\n"
    "  @CMD limits a fault to one command code, +SKIP lets that many matching frames pass first;\n"
    "  faults act once unless :always or :N.\n"
    "  Example: --fault stale@7,slow=300@5:always,unplug@21+2\n"
    "\n"
    "An unplug fault or `nk7x-sim ctl unplug` pulls the device out; the program keeps running and\n"
    "`nk7x-sim ctl plug` puts it back in.\n";

const char* kCtlUsage =
    "usage: nk7x-sim ctl [--name NAME] REQUEST...\n"
    "\n"
    "Sends one request to the running emulator NAME (default kbd1) in $NK7X_SIM_DIR and prints the\n"
    "answer. Requests:\n";

bool ParseInt(std::string_view s, int min, int max, int& out) {
    int base = 10;
    if (s.size() > 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        s.remove_prefix(2);
        base = 16;
    }
    int v = 0;
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), v, base);
    if (s.empty() || ec != std::errc() || end != s.data() + s.size() || v < min || v > max)
        return false;
    out = v;
    return true;
}

int UsageError(const std::string& message, const char* usage) {
    std::fprintf(stderr, "nk7x-sim: %s\n\n%s", message.c_str(), usage);
    return kExitUsage;
}

int RunControl(int argc, char** argv) {
    std::string name = "kbd1";
    std::string request;
    for (int i = 2; i < argc; ++i) {
        const std::string_view a = argv[i];
        if (a == "-h" || a == "--help") {
            std::printf("%s%s", kCtlUsage, nk7x::SimControlHelp());
            return kExitOk;
        }
        if (a == "--name" && request.empty()) {
            if (++i >= argc)
                return UsageError("--name needs a value", kCtlUsage);
            name = argv[i];
            continue;
        }
        request += (request.empty() ? "" : " ") + std::string(a);
    }
    if (request.empty())
        return UsageError("no request given", kCtlUsage);
    if (name.empty() || name.find('/') != std::string::npos)
        return UsageError("bad device name '" + name + "'", kCtlUsage);

    const std::string path = nk7x::DefaultSimFolder() + "/" + name + ".ctl";
    std::string answer, error;
    switch (nk7x::SimControlRequest(path, request, answer, error)) {
    case nk7x::SimControlResult::NotRunning:
        std::fprintf(stderr, "nk7x-sim: %s (start one with: nk7x-sim --name %s)\n", error.c_str(),
                     name.c_str());
        return kExitNotRunning;
    case nk7x::SimControlResult::Failed:
        std::fprintf(stderr, "nk7x-sim: %s\n", error.c_str());
        return kExitFailed;
    case nk7x::SimControlResult::Answered:
        break;
    }
    if (answer.rfind("ok", 0) == 0) {
        const size_t body = answer.find('\n');
        if (body != std::string::npos)
            std::fputs(answer.c_str() + body + 1, stdout);
        return kExitOk;
    }
    std::fprintf(stderr, "nk7x-sim: %s", answer.c_str());
    if (answer.empty() || answer.back() != '\n')
        std::fputc('\n', stderr);
    return kExitFailed;
}

int RunDevice(int argc, char** argv) {
    nk7x::SimOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view a = argv[i];
        auto value = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (a == "-h" || a == "--help") {
            std::printf("%s", kUsage);
            return kExitOk;
        } else if (a == "--kind") {
            const char* v = value();
            if (!v)
                return UsageError("--kind needs a value", kUsage);
            if (std::string_view(v) != "keyboard")
                return UsageError(std::string("device kind '") + v + "' is not emulated (only keyboard)",
                                  kUsage);
        } else if (a == "--keys") {
            const char* v = value();
            if (!v || !ParseInt(v, 1, 255, options.keyCount))
                return UsageError("--keys needs a number 1..255", kUsage);
        } else if (a == "--macro-capacity") {
            const char* v = value();
            int capacity = 0;
            if (!v || !ParseInt(v, 0, 255, capacity))
                return UsageError("--macro-capacity needs a number 0..255", kUsage);
            options.macroCapacity = static_cast<uint8_t>(capacity);
        } else if (a == "--name") {
            const char* v = value();
            if (!v || !*v)
                return UsageError("--name needs a value", kUsage);
            options.name = v;
        } else if (a == "--fault") {
            const char* v = value();
            if (!v)
                return UsageError("--fault needs a fault list", kUsage);
            std::vector<nk7x::SimFault> check;
            std::string error;
            if (!nk7x::ParseSimFaults(v, check, &error))
                return UsageError("bad fault list: " + error, kUsage);
            options.faults += (options.faults.empty() ? "" : ",") + std::string(v);
        } else {
            return UsageError("unknown argument '" + std::string(a) + "'", kUsage);
        }
    }

    // Signals are taken by sigwait below; the server thread inherits the blocked mask.
    sigset_t stopSignals;
    sigemptyset(&stopSignals);
    sigaddset(&stopSignals, SIGINT);
    sigaddset(&stopSignals, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &stopSignals, nullptr);
    signal(SIGPIPE, SIG_IGN);

    options.folder = nk7x::DefaultSimFolder();
    nk7x::SimDevice device(options);
    if (!device.Start()) {
        std::fprintf(stderr, "nk7x-sim: %s\n", device.LastError().c_str());
        return kExitFailed;
    }
    std::printf("nk7x-sim: keyboard %s plugged in: %s (%d keys)\n", options.name.c_str(),
                device.SocketPath().c_str(), options.keyCount);
    std::printf("nk7x-sim: control with: nk7x-sim ctl --name %s status\n", options.name.c_str());
    std::fflush(stdout);

    int received = 0;
    while (sigwait(&stopSignals, &received) != 0) {
    }
    device.Stop();
    std::printf("nk7x-sim: keyboard %s unplugged\n", options.name.c_str());
    return kExitOk;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::string_view(argv[1]) == "ctl")
        return RunControl(argc, argv);
    return RunDevice(argc, argv);
}
