// SimUsbGadget: puts an emulated device on a real USB bus through the kernel's gadget framework
// (configfs, one HID function per interface, bound to a USB device controller such as dummy_hcd's),
// so that the host side sees it through usbhid, hidraw and udev exactly as it would see the device.
// Only the wire is the kernel's; what the device answers stays the emulator's.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace nk7x {

struct SimGadgetInterface {
    // A HID interface, or an interface that only holds its number (a vendor-specific loopback
    // function the host leaves alone): the kernel's HID function allows only four at once.
    bool hid = true;
    std::vector<uint8_t> reportDescriptor;
    uint16_t reportLength = 64; // the longest report of the interface, and the endpoints' packet size
    // Without an interrupt OUT endpoint the host sends every output report with SET_REPORT on the
    // control pipe; with one, SET_REPORT is refused (stalled) and writes go over the endpoint.
    bool outEndpoint = true;
    uint8_t subclass = 0; // 1: boot interface
    uint8_t protocol = 0; // boot protocol: 1 keyboard, 2 mouse
};

struct SimGadgetSpec {
    std::string name; // the configfs gadget's folder name; letters, digits, '-', '_', '.'
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t version = 0; // bcdDevice
    std::string manufacturer;
    std::string product;
    std::string serial;
    std::vector<SimGadgetInterface> interfaces; // interface n is entry n
};

class SimUsbGadget {
  public:
    SimUsbGadget() = default;
    ~SimUsbGadget(); // detaches and removes the gadget
    SimUsbGadget(const SimUsbGadget&) = delete;
    SimUsbGadget& operator=(const SimUsbGadget&) = delete;

    // Whether this system can make gadgets at all; false with the reason (configfs not mounted,
    // usb_f_hid or a device controller missing).
    static bool Available(std::string* why);

    // Builds the gadget in configfs without connecting it. A leftover gadget of the same name (an
    // emulator that died) is taken down first.
    bool Create(const SimGadgetSpec& spec, std::string& error);
    // Connects it to the first free device controller: the host enumerates it (a plug).
    bool Attach(std::string& error);
    // Disconnects it from its controller: the host sees the device go (an unplug).
    void Detach();
    // Detaches and takes the gadget out of configfs.
    void Remove();

    bool Attached() const { return !m_udc.empty(); }
    const std::string& Controller() const { return m_udc; }
    // The gadget side's node of interface n (/dev/hidgN) while attached; empty when it is not there.
    std::string InterfaceNode(size_t n, int waitMs = 2000) const;

  private:
    std::string m_root; // /sys/kernel/config/usb_gadget/NAME
    std::vector<std::string> m_functions;
    std::string m_udc;
};

} // namespace nk7x
