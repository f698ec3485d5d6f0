// nk7x-sim: runs one emulated keyboard, mouse, mouse receiver, mouse pad or headset until
// SIGINT/SIGTERM, or talks to a running one (`ctl`).
#include <signal.h>

#include <charconv>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "tools/sim/PadMemory.h"
#include "tools/sim/SimControl.h"
#include "tools/sim/SimControlClient.h"
#include "tools/sim/SimDevice.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailed = 1; // the emulator could not start, or refused a control request
constexpr int kExitUsage = 2;
constexpr int kExitNotRunning = 3;

const char* kUsage =
    "usage: nk7x-sim [--kind keyboard|mouse|receiver|pad|headset] [--keys K] [--buttons K]\n"
    "                [--dpi-step N] [--max-steps N] [--min-dpi N] [--macro-capacity N]\n"
    "                [--reply-delay-ms MS] [--name NAME] [--fault LIST] [--no-rows] [--usb-gadget]\n"
    "       nk7x-sim ctl [--name NAME] REQUEST...\n"
    "\n"
    "Runs one emulated NK-7X device in $NK7X_SIM_DIR (default $XDG_RUNTIME_DIR/nk7x-sim, or\n"
    "/tmp/nk7x-sim-$UID) until SIGINT or SIGTERM, which unplug it. The program and nk7x-cli list it\n"
    "when NK7X_SIM_DIR names that folder.\n"
    "\n"
    "  --kind KIND           keyboard (default, 0C45:0820), mouse (by cable, 320F:5001), receiver\n"
    "                        (the wireless receiver with the mouse behind it, 320F:5002), pad\n"
    "                        (the lighted mouse pad, 15 LEDs, 320F:1004) or headset (13 LEDs in\n"
    "                        two banks set by output reports, 0C45:6533)\n"
    "  --keys K              keyboard: key table positions, 1..255 (default 126)\n"
    "  --buttons K           mouse, receiver: button table entries, 1..255 (default 10)\n"
    "  --dpi-step N          mouse, receiver: DPI per step, 0..255 (default 50)\n"
    "  --max-steps N         mouse, receiver: largest DPI step count, 0..65535 (default 320)\n"
    "  --min-dpi N           mouse, receiver: smallest DPI, 0..65535 (default 100)\n"
    "  --macro-capacity N    keyboard, mouse, receiver: macro memory in units of 128 bytes, 0..255\n"
    "                        (default 32)\n"
    "  --reply-delay-ms MS   every reply goes out MS ms late, 0..60000 (default 0)\n"
    "  --name NAME           device name, names its files (default kbd1, mouse1, rcv1, pad1 or\n"
    "                        headset1)\n"
    "  --fault LIST          faults armed from the start (see below)\n"
    "  --no-rows             do not write NAME.devices.json, the device's rows for the program's\n"
    "                        supported-device tables\n"
    "  --usb-gadget          plug in on a real USB bus through the kernel's gadget framework\n"
    "                        (root; configfs, usb_f_hid and a device controller such as\n"
    "                        dummy_hcd's) instead of the socket folder: the program then finds it\n"
    "                        as a hidraw node. The rows file and the control socket stay in the\n"
    "                        folder; ctl unplug and plug detach and attach it\n"
    "  -h, --help            this text\n"
    "\n"
    "Faults: KIND[=VALUE][@CMD][+SKIP][:once|:always|:N], several separated by commas.\n"
    "  stale        a reply with a wrong echo before the real one\n"
    "  noreply      the frame is taken but never answered\n"
    "  slow=MS      the reply comes MS milliseconds late\n"
    "  status=0xFF  the frame is refused with that status (also 0xFE)\n"
    "  unplug       the device disappears after taking the frame\n"
    "  sleep        receiver: the mouse falls asleep once the frame is answered\n"
    "  @CMD limits a fault to one command code, +SKIP lets that many matching frames pass first;\n"
    "  faults act once unless :always or :N.\n"
    "  Example: --fault stale@7,slow=300@5:always,unplug@21+2\n"
    "\n"
    "An unplug fault or `nk7x-sim ctl unplug` pulls the device out; the program keeps running and\n"
    "`nk7x-sim ctl plug` puts it back in. `nk7x-sim ctl --name rcv1 sleep` puts a receiver's mouse to\n"
    "sleep: Probe then answers no and other frames go unanswered until `ctl wake`.\n"
    "`nk7x-sim ctl --name pad1 set status 100 0 1` lays an iPhone on the pad (phone type, byte 5).\n"
    "`nk7x-sim ctl --name headset1 dump live` shows the headset's LED colours as its output reports\n"
    "set them.\n";

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
    // Options given that fit one family only, and the macro capacity, which a pad and a headset lack.
    std::vector<std::string> keyboardOnly, mouseOnly, notPad;
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
            if (!nk7x::ParseSimKind(v, options.kind))
                return UsageError(
                    std::string("device kind '") + v +
                        "' is not emulated (keyboard, mouse or receiver; pad for the mouse pad, "
                        "headset for the headset)",
                    kUsage);
        } else if (a == "--keys") {
            const char* v = value();
            if (!v || !ParseInt(v, 1, 255, options.keyCount))
                return UsageError("--keys needs a number 1..255", kUsage);
            keyboardOnly.emplace_back(a);
        } else if (a == "--buttons") {
            const char* v = value();
            if (!v || !ParseInt(v, 1, 255, options.buttonCount))
                return UsageError("--buttons needs a number 1..255", kUsage);
            mouseOnly.emplace_back(a);
        } else if (a == "--dpi-step") {
            const char* v = value();
            int step = 0;
            if (!v || !ParseInt(v, 0, 255, step))
                return UsageError("--dpi-step needs a number 0..255", kUsage);
            options.dpiStep = static_cast<uint8_t>(step);
            mouseOnly.emplace_back(a);
        } else if (a == "--max-steps" || a == "--min-dpi") {
            const char* v = value();
            int n = 0;
            if (!v || !ParseInt(v, 0, 0xFFFF, n))
                return UsageError(std::string(a) + " needs a number 0..65535", kUsage);
            (a == "--max-steps" ? options.maxDpiSteps : options.minDpi) = static_cast<uint16_t>(n);
            mouseOnly.emplace_back(a);
        } else if (a == "--reply-delay-ms") {
            const char* v = value();
            if (!v || !ParseInt(v, 0, 60000, options.replyDelayMs))
                return UsageError("--reply-delay-ms needs a number 0..60000", kUsage);
        } else if (a == "--usb-gadget") {
            options.usbGadget = true;
        } else if (a == "--no-rows") {
            options.deviceRows = false;
        } else if (a == "--macro-capacity") {
            const char* v = value();
            int capacity = 0;
            if (!v || !ParseInt(v, 0, 255, capacity))
                return UsageError("--macro-capacity needs a number 0..255", kUsage);
            options.macroCapacity = static_cast<uint8_t>(capacity);
            notPad.emplace_back(a);
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

    const bool keyboard = options.kind == nk7x::SimKind::Keyboard;
    const bool pad = options.kind == nk7x::SimKind::Pad;
    const bool headset = options.kind == nk7x::SimKind::Headset;
    const bool mouse = !keyboard && !pad && !headset;
    if (!keyboard && !keyboardOnly.empty())
        return UsageError(keyboardOnly.front() + " is for a keyboard" +
                              (mouse ? " (use --buttons for a mouse)" : ""),
                          kUsage);
    if (!mouse && !mouseOnly.empty())
        return UsageError(mouseOnly.front() + " is for a mouse or receiver" +
                              (keyboard ? " (add --kind mouse)" : ""),
                          kUsage);
    if ((pad || headset) && !notPad.empty())
        return UsageError(notPad.front() + " is not for a " + (pad ? "pad" : "headset") +
                              ": it has no macro memory",
                          kUsage);
    // Run from a shell, every kind leaves its rows for the program, the keyboard's too (they equal
    // the built-in ones).
    if (!options.deviceRows.has_value())
        options.deviceRows = true;

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
    const nk7x::SimOptions& used = device.Options();
    const char* kind = nk7x::SimKindName(used.kind);
    if (used.usbGadget)
        std::printf("nk7x-sim: %s %s (%04x:%04x) plugged in on USB controller %s (serial %s)\n", kind,
                    used.name.c_str(), used.vendorId, used.productId, device.UsbController().c_str(),
                    nk7x::SimUsbSerial(used.name).c_str());
    else if (mouse)
        std::printf("nk7x-sim: %s %s (%04x:%04x) plugged in: %s (%d buttons)\n", kind, used.name.c_str(),
                    used.vendorId, used.productId, device.SocketPath().c_str(), used.buttonCount);
    else if (pad || headset)
        std::printf("nk7x-sim: %s %s (%04x:%04x) plugged in: %s (%d LEDs)\n", kind, used.name.c_str(),
                    used.vendorId, used.productId, device.SocketPath().c_str(),
                    pad ? nk7x::kSimPadLedCount : static_cast<int>(nk7x::kSimHeadsetLedCount));
    else
        std::printf("nk7x-sim: %s %s plugged in: %s (%d keys)\n", kind, used.name.c_str(),
                    device.SocketPath().c_str(), used.keyCount);
    std::printf("nk7x-sim: control with: nk7x-sim ctl --name %s status\n", used.name.c_str());
    std::fflush(stdout);

    int received = 0;
    while (sigwait(&stopSignals, &received) != 0) {
    }
    device.Stop();
    std::printf("nk7x-sim: %s %s unplugged\n", kind, used.name.c_str());
    return kExitOk;
}

} // namespace

int main(int argc, char** argv) {
    if (argc >= 2 && std::string_view(argv[1]) == "ctl")
        return RunControl(argc, argv);
    return RunDevice(argc, argv);
}
