// What the tests under the real kernel share: emulated devices plugged in on dummy_hcd's USB bus
// through the gadget framework, the host's hidraw nodes of them found through udev by their serial
// number, and the programs of the build run as a user would.
#pragma once

#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "support/TestSupport.h"
#include "tools/sim/SimDevice.h"

namespace nk7x::test {

inline constexpr std::chrono::milliseconds kKernelPatience{20000}; // a plug under emulation is slow

// Why this machine cannot run the kernel tests (not root, no gadget framework, no controller); empty
// when it can.
std::string KernelTestObstacle();

// An emulated device on the USB bus, with its rows file in `simFolder` (NK7X_SIM_DIR).
std::unique_ptr<SimDevice> PlugGadget(const std::string& simFolder, SimKind kind, const std::string& name,
                                      const std::string& faults = {});

// The host side of a gadget: the hidraw node of its interface `interfaceNumber`.
struct HostNode {
    std::string node;    // /dev/hidrawN
    std::string syspath; // the hidraw device in sysfs
};
// Waits until the host has the gadget's interface as a hidraw node; empty node on time-out.
HostNode WaitForHostNode(const std::string& serial, int interfaceNumber,
                         std::chrono::milliseconds timeout = kKernelPatience);
// Waits until no hidraw node of the serial is left.
bool WaitForHostGone(const std::string& serial, std::chrono::milliseconds timeout = kKernelPatience);

// A program of the build (build/bin/NAME) run with `args`; its exit status and what it printed.
struct RunResult {
    int status = -1;
    std::string out;
    std::string err;
};
RunResult RunProgram(const std::string& name, const std::vector<std::string>& args,
                     std::chrono::milliseconds timeout = std::chrono::milliseconds(30000));

// Hex text of bytes, "01 02 ff".
std::string Hex(const std::vector<uint8_t>& bytes);

} // namespace nk7x::test
