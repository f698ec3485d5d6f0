#include "tools/sim/SimDevice.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <condition_variable>
#include <mutex>

#include "tools/sim/SimControl.h"
#include "tools/sim/SimFrameProtocol.h"
#include "tools/sim/SimKinds.h"
#include "tools/sim/SimPlugFiles.h"
#include "tools/sim/SimServer.h"
#include "tools/sim/SimSockets.h"
#include "tools/sim/SimUsbGadget.h"

namespace nk7x {

namespace {

constexpr int kMaxReplyDelayMs = 60000;

} // namespace

// Holds the device lock and what it guards, and plugs and unplugs: the files, the server and the
// protocol each do their share of it.
struct SimDevice::Impl {
    explicit Impl(SimOptions o)
        : options(ResolveOptions(std::move(o))), files(options), protocol(options, counters),
          server(mutex, counters) {}

    SimOptions options;

    mutable std::mutex mutex;
    mutable std::condition_variable framesChanged;
    SimCounters counters;
    SimPlugFiles files;
    SimFrameProtocol protocol;
    SimServer server;
    bool plugged = false;
    bool running = false;
    bool faultsFromOptionsArmed = false;
    std::string lastError;
    SimUsbGadget gadget; // on a USB bus (options.usbGadget)
    bool gadgetBuilt = false;

    bool ValidateLocked() {
        if (!ValidName(options.name)) {
            lastError = "device name must be 1-64 letters, digits, '-', '_' or '.', not starting with '.'";
            return false;
        }
        if (options.kind == SimKind::Keyboard && (options.keyCount < 1 || options.keyCount > 255)) {
            lastError = "key count must be 1..255";
            return false;
        }
        if (SimIsMouse(options.kind) && (options.buttonCount < 1 || options.buttonCount > 255)) {
            lastError = "button count must be 1..255";
            return false;
        }
        if (options.replyDelayMs < 0 || options.replyDelayMs > kMaxReplyDelayMs) {
            lastError = "reply delay must be 0.." + std::to_string(kMaxReplyDelayMs) + " ms";
            return false;
        }
        if (options.lightingPages < 0 || options.lightingPages > 128) {
            lastError = "lighting pages must be 0..128";
            return false;
        }
        return true;
    }

    int PlugLocked() {
        if (plugged)
            return 1;
        if (!files.Prepare(lastError))
            return 0;
        if (options.usbGadget)
            return PlugGadgetLocked();
        if (!files.ClaimPath(files.SocketPath(), lastError))
            return 0;
        // The rows come first: whoever sees the socket can already take the device.
        if (!files.WriteRows(lastError) || !files.WriteInterfaceFiles(lastError))
            return 0;
        if (!server.ListenLocked(files.SocketPath(), lastError)) {
            files.RemoveInterfaceFiles();
            files.RemoveRows();
            return 0;
        }
        plugged = true;
        server.Wake();
        return 1;
    }

    // Rows file, then the gadget on the bus, then its interface 1 node as the one connection.
    int PlugGadgetLocked() {
        if (!files.WriteRows(lastError))
            return 0;
        auto undo = [this] {
            gadget.Detach();
            files.RemoveRows();
            return 0;
        };
        if (!gadgetBuilt) {
            if (!gadget.Create(files.GadgetSpec(), lastError))
                return undo();
            gadgetBuilt = true;
        }
        if (!gadget.Attach(lastError))
            return undo();
        const std::string node = gadget.InterfaceNode(kSimInterfaceNumber);
        if (node.empty()) {
            lastError = "the gadget's interface node did not appear in /dev";
            return undo();
        }
        const int fd = open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            lastError = "cannot open " + node + ": " + ErrnoText();
            return undo();
        }
        server.AddConnectionLocked(fd, true);
        plugged = true;
        server.Wake();
        return 1;
    }

    // The socket goes first, then every connection, then the other files.
    void UnplugLocked() {
        if (!plugged)
            return;
        plugged = false;
        if (options.usbGadget) {
            server.DropConnectionsLocked(false);
            gadget.Detach(); // the host sees the device go
            files.RemoveRows();
            PowerGoneLocked();
            return;
        }
        unlink(files.SocketPath().c_str());
        server.StopListeningLocked();
        server.DropConnectionsLocked(true);
        files.RemoveInterfaceFiles();
        files.RemoveRows(); // only once nothing of the device can be found any more
        PowerGoneLocked();
    }

    // Power is gone: the volatile modes end; stored memory stays.
    void PowerGoneLocked() {
        SimMemory& memory = protocol.memory;
        memory.inConfig = false;
        memory.liveLighting = false;
        std::fill(memory.live.begin(), memory.live.end(), 0);
        memory.headsetLeds = {};
        ++counters.unplugs;
        framesChanged.notify_all();
    }

    void OnMessageLocked(const SimConnection& from, const uint8_t* msg, size_t size) {
        const SimFrameOutcome out = protocol.Take(from.id, from.node, msg, size);
        if (out.unplug) {
            UnplugLocked();
            return;
        }
        if (out.stale) {
            server.BroadcastLocked(out.staleBytes.data(), out.staleBytes.size());
            ++counters.staleRepliesSent;
        }
        if (out.reply)
            server.ReplyLocked(out.replyBytes, out.delayMs);
        framesChanged.notify_all();
    }
};

SimDevice::SimDevice(SimOptions options) : m_impl(std::make_unique<Impl>(std::move(options))) {}

SimDevice::~SimDevice() {
    Stop();
}

int SimDevice::Start() {
    Impl& d = *m_impl;
    std::lock_guard<std::mutex> lock(d.mutex);
    if (d.running)
        return d.PlugLocked();
    if (!d.ValidateLocked())
        return 0;
    if (!d.faultsFromOptionsArmed && !d.options.faults.empty()) {
        std::string error;
        if (!ParseSimFaults(d.options.faults, d.protocol.faults, &error)) {
            d.lastError = "bad fault list: " + error;
            return 0;
        }
    }
    d.faultsFromOptionsArmed = true;
    if (!d.server.OpenWake(d.lastError))
        return 0;
    if (!d.PlugLocked() || !d.files.ClaimPath(d.files.ControlPath(), d.lastError) ||
        !d.server.ListenControl(d.files.ControlPath(), d.lastError)) {
        d.UnplugLocked();
        d.server.CloseWake();
        return 0;
    }
    d.running = true;
    d.server.Start([&d](const SimConnection& from, const uint8_t* msg,
                        size_t size) { d.OnMessageLocked(from, msg, size); },
                   [this](std::string_view request) { return HandleControl(request); });
    return 1;
}

void SimDevice::Stop() {
    Impl& d = *m_impl;
    {
        std::lock_guard<std::mutex> lock(d.mutex);
        if (!d.running)
            return;
        d.server.RequestStopLocked();
    }
    d.server.Join();
    std::lock_guard<std::mutex> lock(d.mutex);
    d.UnplugLocked();
    d.gadget.Remove();
    d.gadgetBuilt = false;
    unlink(d.files.ControlPath().c_str());
    d.server.CloseControl();
    d.server.CloseWake();
    d.running = false;
}

void SimDevice::Unplug() {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->UnplugLocked();
}

bool SimDevice::IsPlugged() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->plugged;
}

std::string SimDevice::LastError() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->lastError;
}

const SimOptions& SimDevice::Options() const {
    return m_impl->options;
}
std::string SimDevice::Folder() const {
    return m_impl->files.Folder();
}
std::string SimDevice::SocketPath() const {
    return m_impl->files.SocketPath();
}
std::string SimDevice::InfoPath() const {
    return m_impl->files.InfoPath();
}
std::string SimDevice::DescriptorPath() const {
    return m_impl->files.DescriptorPath();
}
std::string SimDevice::ControlPath() const {
    return m_impl->files.ControlPath();
}
std::string SimDevice::DeviceRowsPath() const {
    return m_impl->files.DeviceRowsPath();
}

std::string SimDevice::UsbController() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->gadget.Controller();
}

std::string SimDevice::CollectionPath(int collection) const {
    return m_impl->files.CollectionPath(collection);
}

void SimDevice::AddFault(const SimFault& fault) {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->protocol.faults.push_back(fault);
}

int SimDevice::AddFaults(std::string_view faultList, std::string* error) {
    std::vector<SimFault> parsed;
    if (!ParseSimFaults(faultList, parsed, error))
        return 0;
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->protocol.faults.insert(m_impl->protocol.faults.end(), parsed.begin(), parsed.end());
    return 1;
}

void SimDevice::ClearFaults() {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->protocol.faults.clear();
}

std::vector<SimFault> SimDevice::Faults() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->protocol.faults;
}

int SimDevice::SendNotification(uint16_t code) {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->server.NotifyLocked(code);
}

std::vector<SimFrameRecord> SimDevice::FrameLog() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return std::vector<SimFrameRecord>(m_impl->protocol.log.begin(), m_impl->protocol.log.end());
}

void SimDevice::ClearFrameLog() {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->protocol.log.clear();
}

SimCounters SimDevice::Counters() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->counters;
}

int SimDevice::ConnectionCount() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->server.ConnectionCountLocked();
}

bool SimDevice::WaitForFrames(uint64_t total, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(m_impl->mutex);
    return m_impl->framesChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                          [&] { return m_impl->counters.framesReceived >= total; });
}

#define NK7X_SIM_COPY(member)                                                                                \
    std::lock_guard<std::mutex> lock(m_impl->mutex);                                                         \
    return m_impl->protocol.memory.member

std::vector<uint8_t> SimDevice::DeviceInfo() const {
    NK7X_SIM_COPY(info);
}
std::vector<uint8_t> SimDevice::Parameters() const {
    NK7X_SIM_COPY(parameters);
}
std::vector<uint8_t> SimDevice::KeyTable() const {
    NK7X_SIM_COPY(keyTable);
}
std::vector<uint8_t> SimDevice::LedTable() const {
    NK7X_SIM_COPY(ledTable);
}
std::vector<uint8_t> SimDevice::LiveLighting() const {
    NK7X_SIM_COPY(live);
}
std::vector<uint8_t> SimDevice::MacroArea() const {
    NK7X_SIM_COPY(macros);
}
std::vector<uint8_t> SimDevice::ShootArea() const {
    NK7X_SIM_COPY(shoot);
}
std::vector<uint8_t> SimDevice::StatusBlock() const {
    NK7X_SIM_COPY(status);
}
SimHeadsetFrame SimDevice::HeadsetLeds() const {
    NK7X_SIM_COPY(headsetLeds);
}
bool SimDevice::IsLiveLighting() const {
    NK7X_SIM_COPY(liveLighting);
}
bool SimDevice::InConfig() const {
    NK7X_SIM_COPY(inConfig);
}
#undef NK7X_SIM_COPY

std::vector<uint8_t> SimDevice::LightingPage(int page) const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    const std::vector<uint8_t>& all = m_impl->protocol.memory.lighting;
    if (page < 0 || size_t(page + 1) * kSimLightingPageBytes > all.size())
        return {};
    const auto begin = all.begin() + static_cast<std::ptrdiff_t>(size_t(page) * kSimLightingPageBytes);
    return std::vector<uint8_t>(begin, begin + kSimLightingPageBytes);
}

bool SimDevice::SetParameters(size_t offset, const std::vector<uint8_t>& bytes) {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    std::vector<uint8_t>& area = m_impl->protocol.memory.parameters;
    if (offset > area.size() || bytes.size() > area.size() - offset)
        return false;
    std::copy(bytes.begin(), bytes.end(), area.begin() + static_cast<std::ptrdiff_t>(offset));
    return true;
}

bool SimDevice::SetKeyEntry(int position, uint8_t type, uint8_t b1, uint8_t b2) {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    std::vector<uint8_t>& table = m_impl->protocol.memory.keyTable;
    if (position < 0 || size_t(position) * 3 + 3 > table.size())
        return false;
    table[size_t(position) * 3] = type;
    table[size_t(position) * 3 + 1] = b1;
    table[size_t(position) * 3 + 2] = b2;
    return true;
}

void SimDevice::SetStatusBlock(const std::array<uint8_t, kSimStatusBlockBytes>& block) {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->protocol.memory.status.assign(block.begin(), block.end());
}

bool SimDevice::SetPowerStatus(int battery, int power, int phone) {
    if (battery < 0 || battery > 100 || power < 0 || power > 2 || phone > 255)
        return false;
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    std::vector<uint8_t>& status = m_impl->protocol.memory.status;
    status[0] = static_cast<uint8_t>(battery);
    status[1] = static_cast<uint8_t>(power);
    if (phone >= 0)
        status[5] = static_cast<uint8_t>(phone);
    return true;
}

std::vector<uint8_t> SimDevice::SettingsRecord(int n) const {
    const size_t stride = SimSettingsStride(m_impl->options.kind);
    const size_t size = SimSettingsRecordBytes(m_impl->options.kind);
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    const std::vector<uint8_t>& area = m_impl->protocol.memory.parameters;
    if (n < 0 || size_t(n) * stride + size > area.size())
        return {};
    const auto begin = area.begin() + static_cast<std::ptrdiff_t>(size_t(n) * stride);
    return std::vector<uint8_t>(begin, begin + static_cast<std::ptrdiff_t>(size));
}

bool SimDevice::SetMouseAsleep(bool asleep) {
    if (m_impl->options.kind != SimKind::Receiver)
        return false;
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->protocol.mouseAsleep = asleep;
    return true;
}

bool SimDevice::IsMouseAsleep() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->protocol.mouseAsleep;
}

void SimDevice::ResetToFactory() {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->protocol.memory.ResetToFactory();
}

std::string SimDevice::HandleControl(std::string_view request) {
    return RunSimControl(*this, request);
}

} // namespace nk7x
