#include "tools/sim/SimUsbGadget.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

namespace nk7x {

namespace {

constexpr const char* kGadgetRoot = "/sys/kernel/config/usb_gadget";
constexpr const char* kControllers = "/sys/class/udc";

std::string ErrnoText() {
    return std::strerror(errno);
}

bool WriteAttr(const std::string& path, const void* data, size_t size, std::string& error) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) {
        error = "cannot open " + path + ": " + ErrnoText();
        return false;
    }
    const ssize_t n = ::write(fd, data, size);
    const int saved = errno;
    ::close(fd);
    if (n != static_cast<ssize_t>(size)) {
        errno = n < 0 ? saved : EIO;
        error = "cannot write " + path + ": " + ErrnoText();
        return false;
    }
    return true;
}

bool WriteText(const std::string& path, const std::string& text, std::string& error) {
    return WriteAttr(path, text.data(), text.size(), error);
}

std::string ReadText(const std::string& path) {
    std::string out;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return out;
    char buf[256];
    const ssize_t n = ::read(fd, buf, sizeof buf);
    ::close(fd);
    if (n > 0)
        out.assign(buf, static_cast<size_t>(n));
    while (!out.empty() && (out.back() == '\n' || out.back() == ' '))
        out.pop_back();
    return out;
}

std::string Hex4(uint16_t v) {
    char s[8];
    std::snprintf(s, sizeof s, "0x%04x", v);
    return s;
}

std::vector<std::string> ListDir(const std::string& path) {
    std::vector<std::string> names;
    DIR* dir = ::opendir(path.c_str());
    if (!dir)
        return names;
    while (dirent* e = ::readdir(dir)) {
        if (e->d_name[0] != '.')
            names.emplace_back(e->d_name);
    }
    ::closedir(dir);
    return names;
}

bool MakeDir(const std::string& path, std::string& error) {
    if (::mkdir(path.c_str(), 0755) == 0 || errno == EEXIST)
        return true;
    error = "cannot create " + path + ": " + ErrnoText();
    return false;
}

// configfs takes a gadget down in the reverse order of building it.
void TearDown(const std::string& root) {
    struct stat st {};
    if (::stat(root.c_str(), &st) != 0)
        return;
    std::string ignored;
    WriteText(root + "/UDC", "\n", ignored);
    for (const std::string& config : ListDir(root + "/configs")) {
        const std::string c = root + "/configs/" + config;
        for (const std::string& entry : ListDir(c)) {
            struct stat l {};
            if (::lstat((c + "/" + entry).c_str(), &l) == 0 && S_ISLNK(l.st_mode))
                ::unlink((c + "/" + entry).c_str());
        }
        for (const std::string& lang : ListDir(c + "/strings"))
            ::rmdir((c + "/strings/" + lang).c_str());
        ::rmdir(c.c_str());
    }
    for (const std::string& function : ListDir(root + "/functions"))
        ::rmdir((root + "/functions/" + function).c_str());
    for (const std::string& lang : ListDir(root + "/strings"))
        ::rmdir((root + "/strings/" + lang).c_str());
    ::rmdir(root.c_str());
}

// The controllers some gadget already holds.
std::vector<std::string> ControllersInUse() {
    std::vector<std::string> used;
    for (const std::string& gadget : ListDir(kGadgetRoot)) {
        const std::string udc = ReadText(std::string(kGadgetRoot) + "/" + gadget + "/UDC");
        if (!udc.empty())
            used.push_back(udc);
    }
    return used;
}

} // namespace

SimUsbGadget::~SimUsbGadget() {
    Remove();
}

bool SimUsbGadget::Available(std::string* why) {
    auto no = [why](const std::string& reason) {
        if (why)
            *why = reason;
        return false;
    };
    struct stat st {};
    if (::stat(kGadgetRoot, &st) != 0 || !S_ISDIR(st.st_mode))
        return no(std::string(kGadgetRoot) +
                  " is missing (mount configfs and load libcomposite and usb_f_hid)");
    if (ListDir(kControllers).empty())
        return no("no USB device controller in /sys/class/udc (load dummy_hcd)");
    return true;
}

bool SimUsbGadget::Create(const SimGadgetSpec& spec, std::string& error) {
    Remove();
    if (!Available(&error))
        return false;
    if (spec.name.empty() || spec.name.find('/') != std::string::npos || spec.name[0] == '.') {
        error = "bad gadget name '" + spec.name + "'";
        return false;
    }
    if (spec.interfaces.empty()) {
        error = "a gadget needs at least one interface";
        return false;
    }
    const std::string root = std::string(kGadgetRoot) + "/" + spec.name;
    TearDown(root);
    m_root = root;
    auto fail = [&](const std::string& message) {
        error = message;
        TearDown(root);
        m_root.clear();
        m_functions.clear();
        return false;
    };
    std::string e;
    if (!MakeDir(root, e) || !WriteText(root + "/idVendor", Hex4(spec.vendorId), e) ||
        !WriteText(root + "/idProduct", Hex4(spec.productId), e) ||
        !WriteText(root + "/bcdDevice", Hex4(spec.version), e) || !WriteText(root + "/bcdUSB", "0x0200", e) ||
        !MakeDir(root + "/strings/0x409", e) ||
        !WriteText(root + "/strings/0x409/manufacturer", spec.manufacturer, e) ||
        !WriteText(root + "/strings/0x409/product", spec.product, e) ||
        !WriteText(root + "/strings/0x409/serialnumber", spec.serial, e) ||
        !MakeDir(root + "/configs/c.1", e) || !MakeDir(root + "/configs/c.1/strings/0x409", e) ||
        !WriteText(root + "/configs/c.1/strings/0x409/configuration", "HID", e) ||
        !WriteText(root + "/configs/c.1/MaxPower", "100", e))
        return fail(e);
    for (size_t i = 0; i < spec.interfaces.size(); ++i) {
        const SimGadgetInterface& itf = spec.interfaces[i];
        // Functions take their interface numbers in the order they are linked into the configuration.
        const std::string name = (itf.hid ? "hid.if" : "Loopback.if") + std::to_string(i);
        const std::string f = root + "/functions/" + name;
        if (!itf.hid) {
            if (!MakeDir(f, e))
                return fail(e);
            if (::symlink(f.c_str(), (root + "/configs/c.1/" + name).c_str()) != 0)
                return fail("cannot add " + name + " to the configuration: " + ErrnoText());
            m_functions.push_back(f);
            continue;
        }
        if (!MakeDir(f, e)) {
            if (e.find("No such device") != std::string::npos)
                e += " (the kernel's HID function allows four interfaces at once: unplug another emulator)";
            return fail(e);
        }
        if (!WriteText(f + "/protocol", std::to_string(itf.protocol), e) ||
            !WriteText(f + "/subclass", std::to_string(itf.subclass), e) ||
            !WriteText(f + "/report_length", std::to_string(itf.reportLength), e) ||
            !WriteAttr(f + "/report_desc", itf.reportDescriptor.data(), itf.reportDescriptor.size(), e))
            return fail(e);
        struct stat st {};
        if (::stat((f + "/no_out_endpoint").c_str(), &st) == 0) {
            if (!WriteText(f + "/no_out_endpoint", itf.outEndpoint ? "0" : "1", e))
                return fail(e);
        } else if (!itf.outEndpoint) {
            return fail("this kernel's HID gadget function always has an OUT endpoint (no no_out_endpoint)");
        }
        if (::symlink(f.c_str(), (root + "/configs/c.1/" + name).c_str()) != 0)
            return fail("cannot add " + name + " to the configuration: " + ErrnoText());
        m_functions.push_back(f);
    }
    return true;
}

bool SimUsbGadget::Attach(std::string& error) {
    if (m_root.empty()) {
        error = "no gadget";
        return false;
    }
    if (!m_udc.empty())
        return true;
    const std::vector<std::string> used = ControllersInUse();
    std::vector<std::string> controllers = ListDir(kControllers);
    std::sort(controllers.begin(), controllers.end());
    std::string last = "every USB device controller is in use";
    for (const std::string& udc : controllers) {
        if (std::find(used.begin(), used.end(), udc) != used.end())
            continue;
        // Another emulator may take the same controller at the same moment: the kernel refuses the
        // second, which then tries the next.
        std::string e;
        if (WriteText(m_root + "/UDC", udc, e)) {
            m_udc = udc;
            return true;
        }
        last = e;
    }
    error = last;
    return false;
}

void SimUsbGadget::Detach() {
    if (m_root.empty() || m_udc.empty())
        return;
    std::string ignored;
    WriteText(m_root + "/UDC", "\n", ignored);
    m_udc.clear();
}

void SimUsbGadget::Remove() {
    if (m_root.empty())
        return;
    Detach();
    TearDown(m_root);
    m_root.clear();
    m_functions.clear();
}

std::string SimUsbGadget::InterfaceNode(size_t n, int waitMs) const {
    if (n >= m_functions.size() || m_udc.empty())
        return {};
    unsigned major = 0, minor = 0;
    if (std::sscanf(ReadText(m_functions[n] + "/dev").c_str(), "%u:%u", &major, &minor) != 2)
        return {};
    const dev_t want = makedev(major, minor);
    // devtmpfs makes the node when the function binds; give it a moment.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    for (;;) {
        for (const std::string& name : ListDir("/dev")) {
            if (name.rfind("hidg", 0) != 0)
                continue;
            struct stat st {};
            const std::string path = "/dev/" + name;
            if (::stat(path.c_str(), &st) == 0 && S_ISCHR(st.st_mode) && st.st_rdev == want)
                return path;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return {};
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

} // namespace nk7x
