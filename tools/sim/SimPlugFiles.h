// SimPlugFiles: the names a device goes by in its folder, and the files that show it plugged in there:
// NAME-mi01.info and NAME-mi01.rdesc beside its socket, and NAME.devices.json with its table rows. On a
// USB bus, what the gadget shows instead. Written before the socket appears, removed after it has gone.
#pragma once

#include <string>

#include "tools/sim/SimDevice.h"
#include "tools/sim/SimUsbGadget.h"

namespace nk7x {

// The interface that holds the device's collections.
inline constexpr int kSimInterfaceNumber = 1;

class SimPlugFiles {
  public:
    // `options` as in use (kind defaults filled in); it outlives the files.
    explicit SimPlugFiles(const SimOptions& options);

    const std::string& Folder() const { return m_folder; }
    std::string SocketPath() const;     // NAME-mi01.sock
    std::string InfoPath() const;       // NAME-mi01.info
    std::string DescriptorPath() const; // NAME-mi01.rdesc
    std::string ControlPath() const;    // NAME.ctl
    std::string DeviceRowsPath() const; // NAME.devices.json
    // "sim#vid_0c45&pid_0820&mi_01&colNN#" + SocketPath().
    std::string CollectionPath(int collection) const;

    // The folder is usable and the socket paths fit a socket address; false with `error` set.
    bool Prepare(std::string& error) const;
    // Refuses to take over the files of a device that is still plugged in; removes leftovers of one
    // that died without unplugging.
    bool ClaimPath(const std::string& path, std::string& error) const;

    bool WritesRows() const { return m_options.deviceRows.value_or(false); }
    bool WriteRows(std::string& error) const; // nothing to do (true) when rows are off
    void RemoveRows() const;
    // NAME-mi01.info and NAME-mi01.rdesc; on failure neither is left, nor the rows file.
    bool WriteInterfaceFiles(std::string& error) const;
    void RemoveInterfaceFiles() const;

    // The gadget for a USB bus: interface 0 a placeholder, interface 1 the device's collections.
    SimGadgetSpec GadgetSpec() const;

  private:
    std::string FilePath(const std::string& suffix) const;

    const SimOptions& m_options;
    std::string m_folder;
};

} // namespace nk7x
