#include "tools/sim/SimPlugFiles.h"

#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "tools/sim/HeadsetDescriptor.h"
#include "tools/sim/KeyboardDescriptor.h"
#include "tools/sim/MouseDescriptor.h"
#include "tools/sim/SimDeviceRows.h"
#include "tools/sim/SimKinds.h"
#include "tools/sim/SimMemory.h"
#include "tools/sim/SimSockets.h"

namespace nk7x {

namespace {

// The pad and the headset have no input of their own: they show the keyboard's collections, whose
// third and fourth are the ones every kind has (the headset's fourth with its LED report).
const std::vector<uint8_t>& InterfaceDescriptor(SimKind kind) {
    return SimIsMouse(kind)           ? MouseInterfaceDescriptor()
           : kind == SimKind::Headset ? HeadsetInterfaceDescriptor()
                                      : KeyboardInterfaceDescriptor();
}

std::string FolderOf(const SimOptions& options) {
    std::string folder = options.folder.empty() ? DefaultSimFolder() : options.folder;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

} // namespace

SimPlugFiles::SimPlugFiles(const SimOptions& options) : m_options(options), m_folder(FolderOf(options)) {}

std::string SimPlugFiles::FilePath(const std::string& suffix) const {
    char mi[8];
    std::snprintf(mi, sizeof mi, "-mi%02x", kSimInterfaceNumber);
    return m_folder + "/" + m_options.name + mi + suffix;
}

std::string SimPlugFiles::SocketPath() const {
    return FilePath(".sock");
}
std::string SimPlugFiles::InfoPath() const {
    return FilePath(".info");
}
std::string SimPlugFiles::DescriptorPath() const {
    return FilePath(".rdesc");
}
std::string SimPlugFiles::ControlPath() const {
    return m_folder + "/" + m_options.name + ".ctl";
}
std::string SimPlugFiles::DeviceRowsPath() const {
    return m_folder + "/" + m_options.name + ".devices.json";
}

std::string SimPlugFiles::CollectionPath(int collection) const {
    char markers[64];
    std::snprintf(markers, sizeof markers, "sim#vid_%04x&pid_%04x&mi_%02x&col%02x#", m_options.vendorId,
                  m_options.productId, kSimInterfaceNumber, collection & 0xFF);
    return markers + SocketPath();
}

bool SimPlugFiles::Prepare(std::string& error) const {
    if (!EnsureSimFolder(m_folder, &error))
        return false;
    sockaddr_un probe;
    if (!FillAddress(SocketPath(), probe) || !FillAddress(ControlPath(), probe)) {
        error = "folder path too long for a socket: " + m_folder;
        return false;
    }
    return true;
}

bool SimPlugFiles::ClaimPath(const std::string& path, std::string& error) const {
    struct stat st {};
    if (lstat(path.c_str(), &st) != 0)
        return true;
    if (S_ISSOCK(st.st_mode) && SocketAnswers(path)) {
        error = "a device named " + m_options.name + " is already running in " + m_folder;
        return false;
    }
    unlink(path.c_str());
    return true;
}

bool SimPlugFiles::WriteRows(std::string& error) const {
    if (!WritesRows())
        return true;
    const std::string rows = SimDeviceRowsJson(m_options);
    return WriteWholeFile(DeviceRowsPath(), rows.data(), rows.size(), error);
}

void SimPlugFiles::RemoveRows() const {
    if (WritesRows())
        unlink(DeviceRowsPath().c_str());
}

bool SimPlugFiles::WriteInterfaceFiles(std::string& error) const {
    char info[256];
    std::snprintf(info, sizeof info,
                  "vendor=0x%04x\nproduct=0x%04x\nversion=0x%04x\ninterface=%d\nname=%s (%s)\n",
                  m_options.vendorId, m_options.productId, m_options.version, kSimInterfaceNumber,
                  SimProductName(m_options), m_options.name.c_str());
    const std::vector<uint8_t>& rdesc = InterfaceDescriptor(m_options.kind);
    if (!WriteWholeFile(InfoPath(), info, std::strlen(info), error) ||
        !WriteWholeFile(DescriptorPath(), rdesc.data(), rdesc.size(), error)) {
        RemoveInterfaceFiles();
        RemoveRows();
        return false;
    }
    return true;
}

void SimPlugFiles::RemoveInterfaceFiles() const {
    unlink(InfoPath().c_str());
    unlink(DescriptorPath().c_str());
}

SimGadgetSpec SimPlugFiles::GadgetSpec() const {
    SimGadgetSpec spec;
    spec.name = "nk7x-" + m_options.name;
    spec.vendorId = m_options.vendorId;
    spec.productId = m_options.productId;
    spec.version = m_options.version;
    spec.manufacturer = "Norla Keys";
    spec.product = SimProductName(m_options);
    spec.serial = SimUsbSerial(m_options.name);
    // Interface 0 only holds its number: the collections live on interface 1, as on the device.
    SimGadgetInterface first;
    first.hid = false;
    SimGadgetInterface vendor;
    vendor.reportDescriptor = InterfaceDescriptor(m_options.kind);
    vendor.reportLength = kSimFrameBytes;
    // The headset takes its LED reports as SET_REPORT on the control pipe, so it has no OUT
    // endpoint (the kernel's HID function stalls SET_REPORT where it has one).
    vendor.outEndpoint = m_options.kind != SimKind::Headset;
    spec.interfaces = {first, vendor};
    return spec;
}

} // namespace nk7x
