// hidraw nodes: listed through libudev, opened as non-blocking file descriptors.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <libudev.h>
#include <linux/hidraw.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "platform/HidBackend.h"
#include "platform/linux/HidFdConnection.h"

namespace nk7x {

namespace {

constexpr size_t kMaxDescriptorBytes = 4096; // what the kernel keeps of a descriptor

struct UdevDeleter {
    void operator()(udev* u) const { udev_unref(u); }
    void operator()(udev_enumerate* e) const { udev_enumerate_unref(e); }
    void operator()(udev_device* d) const { udev_device_unref(d); }
};
using UdevPtr = std::unique_ptr<udev, UdevDeleter>;
using EnumeratePtr = std::unique_ptr<udev_enumerate, UdevDeleter>;
using DevicePtr = std::unique_ptr<udev_device, UdevDeleter>;

bool ParseHexAttr(const char* text, unsigned long limit, unsigned long& out) {
    if (text == nullptr || *text == '\0')
        return false;
    char* end = nullptr;
    errno = 0;
    unsigned long v = std::strtoul(text, &end, 16);
    if (errno != 0 || end == text || v > limit)
        return false;
    while (*end == '\n' || *end == ' ')
        ++end;
    if (*end != '\0')
        return false;
    out = v;
    return true;
}

// Vendor and product from the hid parent's HID_ID ("0003:00000C45:00000820").
bool ReadHidId(udev_device* hid, uint16_t& vendor, uint16_t& product) {
    const char* id = udev_device_get_property_value(hid, "HID_ID");
    if (id == nullptr)
        return false;
    unsigned bus = 0, v = 0, p = 0;
    if (std::sscanf(id, "%x:%x:%x", &bus, &v, &p) != 3 || v > 0xFFFF || p > 0xFFFF)
        return false;
    vendor = static_cast<uint16_t>(v);
    product = static_cast<uint16_t>(p);
    return true;
}

// Interface number and bcdDevice from the USB parents; a non-USB node has neither.
void ReadUsbDetails(udev_device* dev, int& interfaceNumber, uint16_t& version) {
    interfaceNumber = -1;
    version = 0;
    unsigned long v = 0;
    if (udev_device* intf = udev_device_get_parent_with_subsystem_devtype(dev, "usb", "usb_interface")) {
        if (ParseHexAttr(udev_device_get_sysattr_value(intf, "bInterfaceNumber"), 0xFF, v))
            interfaceNumber = static_cast<int>(v);
    }
    if (udev_device* usb = udev_device_get_parent_with_subsystem_devtype(dev, "usb", "usb_device")) {
        if (ParseHexAttr(udev_device_get_sysattr_value(usb, "bcdDevice"), 0xFFFF, v))
            version = static_cast<uint16_t>(v);
    }
}

bool ReadFileBytes(const std::string& path, std::vector<uint8_t>& out, size_t limit) {
    out.clear();
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    std::vector<uint8_t> data(limit + 1);
    size_t have = 0;
    while (have < data.size()) {
        ssize_t n = ::read(fd, data.data() + have, data.size() - have);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        have += static_cast<size_t>(n);
    }
    ::close(fd);
    if (have == 0 || have > limit)
        return false;
    data.resize(have);
    out = std::move(data);
    return true;
}

class HidrawConnection final : public HidFdConnection {
  public:
    using HidFdConnection::HidFdConnection;

    bool ReportDescriptor(std::vector<uint8_t>& out) override {
        out.clear();
        int size = 0;
        if (::ioctl(Fd(), HIDIOCGRDESCSIZE, &size) < 0 || size <= 0 ||
            static_cast<size_t>(size) > kMaxDescriptorBytes || size > HID_MAX_DESCRIPTOR_SIZE)
            return false;
        hidraw_report_descriptor desc{};
        desc.size = static_cast<uint32_t>(size);
        if (::ioctl(Fd(), HIDIOCGRDESC, &desc) < 0)
            return false;
        out.assign(desc.value, desc.value + size);
        return true;
    }

    HidIoResult SetOutputReport(const uint8_t* data, size_t length, size_t* sent) override {
        if (sent)
            *sent = 0;
#ifdef HIDIOCSOUTPUT
        if (data == nullptr || length == 0 || length > HID_MAX_DESCRIPTOR_SIZE)
            return HidIoResult::Refused;
        // The ioctl takes a writable buffer (it may hand a report back); never the caller's.
        std::vector<uint8_t> report(data, data + length);
        int r;
        do {
            r = ::ioctl(Fd(), HIDIOCSOUTPUT(length), report.data());
        } while (r < 0 && errno == EINTR);
        if (r >= 0) {
            if (sent)
                *sent = length;
            return HidIoResult::Ok;
        }
        switch (errno) {
        case ENOTTY: // a kernel before 5.11
        case EINVAL:
        case ENOSYS:
        case EOPNOTSUPP:
        case EPIPE: // the device stalls SET_REPORT: it takes output reports on its endpoint only
            return HidIoResult::Refused;
        default:
            return HidIoResult::Error;
        }
#else
        (void)data;
        (void)length;
        return HidIoResult::Refused;
#endif
    }

    bool Identity(HidNodeIdentity& out) override {
        out = HidNodeIdentity{};
        hidraw_devinfo info{};
        if (::ioctl(Fd(), HIDIOCGRAWINFO, &info) < 0)
            return false;
        out.vendorId = static_cast<uint16_t>(info.vendor);
        out.productId = static_cast<uint16_t>(info.product);
        struct stat st {};
        if (::fstat(Fd(), &st) == 0 && S_ISCHR(st.st_mode)) {
            UdevPtr u(udev_new());
            if (u) {
                DevicePtr dev(udev_device_new_from_devnum(u.get(), 'c', st.st_rdev));
                if (dev)
                    ReadUsbDetails(dev.get(), out.interfaceNumber, out.version);
            }
        }
        return true;
    }
};

} // namespace

bool EnumerateHidrawInterfaces(std::vector<HidInterfaceRecord>& out) {
    UdevPtr u(udev_new());
    if (!u)
        return false;
    EnumeratePtr e(udev_enumerate_new(u.get()));
    if (!e)
        return false;
    if (udev_enumerate_add_match_subsystem(e.get(), "hidraw") < 0 || udev_enumerate_scan_devices(e.get()) < 0)
        return false;
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(e.get())) {
        DevicePtr dev(udev_device_new_from_syspath(u.get(), udev_list_entry_get_name(entry)));
        if (!dev)
            continue;
        const char* node = udev_device_get_devnode(dev.get());
        udev_device* hid = udev_device_get_parent_with_subsystem_devtype(dev.get(), "hid", nullptr);
        if (node == nullptr || hid == nullptr)
            continue;
        HidInterfaceRecord rec;
        rec.kind = HidNodeKind::Hidraw;
        rec.node = node;
        if (!ReadHidId(hid, rec.vendorId, rec.productId))
            continue;
        ReadUsbDetails(dev.get(), rec.interfaceNumber, rec.version);
        const char* syspath = udev_device_get_syspath(hid);
        if (syspath == nullptr || !ReadFileBytes(std::string(syspath) + "/report_descriptor",
                                                 rec.reportDescriptor, kMaxDescriptorBytes))
            continue;
        out.push_back(std::move(rec));
    }
    return true;
}

std::shared_ptr<IHidConnection> OpenHidrawNode(const std::string& node, bool read, bool write, int* error) {
    int mode = O_RDONLY;
    if (write)
        mode = read ? O_RDWR : O_WRONLY;
    int fd = ::open(node.c_str(), mode | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        if (error)
            *error = errno;
        return nullptr;
    }
    auto c = std::make_shared<HidrawConnection>(fd, false, read, write);
    if (!c->Valid()) {
        if (error)
            *error = EMFILE;
        return nullptr;
    }
    return c;
}

} // namespace nk7x
