// What device discovery needs of the HID layer: list the interface paths, open one read-only to learn
// who it is, and check that an attached path is still there. The real one wraps one CHidTransport.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "link/hid/HidTransport.h"

namespace nk7x {

struct ProbedInterface {
    uint16_t vendorId = 0;
    uint16_t productId = 0;
    uint16_t usagePage = 0;
    uint16_t usage = 0;
};

class IInterfaceProbe {
  public:
    virtual ~IInterfaceProbe() = default;
    // Every present HID interface path, in listing order. 1 on success (also with none), 0 when the
    // platform cannot list.
    virtual int EnumeratePaths(std::vector<std::string>& paths) = 0;
    // Opens `path` read-only and shared and reads its identity; the handle stays open until
    // CloseProbe. HidOpenError::None on success.
    virtual HidOpenError OpenProbe(const std::string& path, ProbedInterface& out) = 0;
    virtual void CloseProbe() = 0;
    // Opens `path` without access rights and closes it at once; false when the interface is gone.
    virtual bool IsPresent(const std::string& path) = 0;
};

class CTransportProbe final : public IInterfaceProbe {
  public:
    int EnumeratePaths(std::vector<std::string>& paths) override;
    HidOpenError OpenProbe(const std::string& path, ProbedInterface& out) override;
    void CloseProbe() override;
    bool IsPresent(const std::string& path) override;

  private:
    CHidTransport m_transport;
    // The node stamp of each path as of its last full presence check, and when that was.
    struct Stamp {
        std::string text;
        std::chrono::steady_clock::time_point checked;
    };
    std::unordered_map<std::string, Stamp> m_stamps;
};

} // namespace nk7x
