// The platform side of HID: lists the HID interface nodes that are present (real hidraw nodes and
// emulated ones) and opens one node as an IHidConnection that moves whole reports.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace nk7x {

enum class HidNodeKind { Hidraw = 0, Emulated = 1 };

// One USB interface node. Its top-level collections all share the node.
struct HidInterfaceRecord {
    HidNodeKind kind = HidNodeKind::Hidraw;
    std::string node; // /dev/hidrawN, or the emulator's NAME-miNN.sock
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t version = 0;
    int interfaceNumber = -1; // -1 when the node is not a USB interface
    std::vector<uint8_t> reportDescriptor;
};

// Vendor, product and version as the open node itself reports them.
struct HidNodeIdentity {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t version = 0;
    int interfaceNumber = -1;
};

enum class HidIoResult {
    Ok = 0,
    Timeout,
    Aborted, // Abort() was called, before or during the transfer
    Refused, // not opened for that direction, or bad arguments
    Error,   // the node failed or went away (unplug, peer closed)
};

// One open node. Read and Write may run on two threads at once (one each); Abort may come from any
// thread at any time and ends every waiting and every later transfer of this connection.
class IHidConnection {
  public:
    virtual ~IHidConnection() = default;

    // Reads one message (one report as the node delivers it). timeoutMs < 0 waits without limit.
    virtual HidIoResult Read(uint8_t* buffer, size_t length, size_t* received, int64_t timeoutMs) = 0;
    // Writes one message whole.
    virtual HidIoResult Write(const uint8_t* data, size_t length, size_t* sent, int64_t timeoutMs) = 0;
    // Sends one output report through the system's output-report call, meant for SET_REPORT on the
    // control pipe (Linux's hidraw still takes the interrupt OUT endpoint when the device has one,
    // as for Write). Refused where the node or the kernel cannot (the caller then writes it); the
    // wait is the kernel's time-out.
    virtual HidIoResult SetOutputReport(const uint8_t* data, size_t length, size_t* sent) {
        (void)data;
        (void)length;
        if (sent)
            *sent = 0;
        return HidIoResult::Refused;
    }
    // Cuts every waiting transfer short and refuses later ones. Sticky; safe from any thread.
    virtual void Abort() = 0;
    // Releases the node. Only when no transfer runs; the destructor does the same.
    virtual void Close() = 0;

    virtual bool ReportDescriptor(std::vector<uint8_t>& out) = 0;
    virtual bool Identity(HidNodeIdentity& out) = 0;
};

// Every present interface: hidraw nodes first, then, when NK7X_SIM_DIR names a folder, the emulated
// ones in name order. An interface whose details cannot be read is left out. False only when the
// platform cannot list at all.
bool EnumerateHidInterfaces(std::vector<HidInterfaceRecord>& out);
bool EnumerateHidrawInterfaces(std::vector<HidInterfaceRecord>& out);
bool EnumerateEmulatedInterfaces(const std::string& folder, std::vector<HidInterfaceRecord>& out);

// A short text naming the device a node stands for now, read without opening the node; false when
// the node is gone or cannot be stamped. The same stamp twice means the same device is still there:
// a hidraw number reused by another device, or an emulator plugged in again, stamps differently.
bool HidNodeStamp(HidNodeKind kind, const std::string& node, std::string& stamp);

// Opens one node. Null on failure with the errno in *error (EACCES/EPERM: permission, ENOENT,
// ENODEV, ECONNREFUSED: absent).
std::shared_ptr<IHidConnection> OpenHidNode(HidNodeKind kind, const std::string& node, bool read, bool write,
                                            int* error);

} // namespace nk7x
