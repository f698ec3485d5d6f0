#include "tools/sim/SimDevice.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>

#include "tools/sim/HeadsetDescriptor.h"
#include "tools/sim/HeadsetLighting.h"
#include "tools/sim/KeyboardDescriptor.h"
#include "tools/sim/MouseDescriptor.h"
#include "tools/sim/SimControl.h"
#include "tools/sim/SimDeviceRows.h"
#include "tools/sim/SimFrame.h"
#include "tools/sim/SimKinds.h"
#include "tools/sim/SimMemory.h"
#include "tools/sim/SimSockets.h"
#include "tools/sim/SimUsbGadget.h"

namespace nk7x {

using Clock = std::chrono::steady_clock;

namespace {

constexpr int kInterfaceNumber = 1;
constexpr size_t kReceiveBytes = 4096; // a longer message is malformed anyway
constexpr uint8_t kStaleFill = 0xEE;
constexpr int kMaxReplyDelayMs = 60000;
constexpr size_t kNodeQueueReports = 256; // input reports waiting for the host to poll the endpoint

// An echo that cannot be mistaken for the real one, and never 0.
uint8_t StaleEcho(uint8_t command) {
    const uint8_t e = static_cast<uint8_t>(command ^ 0x40);
    return e != 0 ? e : 0x80;
}

} // namespace

std::vector<uint8_t> SimFrameRecord::Payload() const {
    const size_t n = std::min<size_t>(length, kSimFramePayload);
    return std::vector<uint8_t>(raw.begin() + 8, raw.begin() + 8 + static_cast<std::ptrdiff_t>(n));
}

struct SimDevice::Impl {
    explicit Impl(SimOptions o) : options(ResolveOptions(std::move(o))), memory(options) {}

    struct Connection {
        int fd = -1;
        int id = 0;
        // The gadget's /dev/hidgN rather than a socket: reads and writes whole reports, and a write
        // waits until the host has polled the previous one, so reports queue here.
        bool node = false;
        std::deque<std::vector<uint8_t>> out;
    };
    struct PendingReply {
        Clock::time_point due;
        std::array<uint8_t, kSimFrameBytes> bytes{};
    };

    SimOptions options;
    std::string folder;

    mutable std::mutex mutex;
    mutable std::condition_variable framesChanged;
    SimMemory memory;
    std::vector<SimFault> faults;
    std::deque<SimFrameRecord> log;
    SimCounters counters;
    uint64_t sequence = 0;
    std::vector<Connection> connections;
    int nextConnectionId = 1;
    std::deque<PendingReply> pending;
    Clock::time_point busyUntil{};
    int listenFd = -1;
    int controlFd = -1;
    int wakeFd = -1;
    bool plugged = false;
    bool running = false;
    bool mouseAsleep = false; // receiver only
    bool faultsFromOptionsArmed = false;
    std::string lastError;
    SimUsbGadget gadget; // on a USB bus (options.usbGadget)
    bool gadgetBuilt = false;

    // Touched by the server thread alone.
    std::vector<int> controlConnections;
    bool nodeResting = false; // the bus node read nothing: wait a moment before polling it again
    std::atomic<bool> stopping{false};
    std::thread thread;

    std::string FilePath(const std::string& suffix) const {
        char mi[8];
        std::snprintf(mi, sizeof mi, "-mi%02x", kInterfaceNumber);
        return folder + "/" + options.name + mi + suffix;
    }
    std::string SocketPath() const { return FilePath(".sock"); }
    std::string InfoPath() const { return FilePath(".info"); }
    std::string DescriptorPath() const { return FilePath(".rdesc"); }
    std::string ControlPath() const { return folder + "/" + options.name + ".ctl"; }
    std::string DeviceRowsPath() const { return folder + "/" + options.name + ".devices.json"; }
    bool WritesRows() const { return options.deviceRows.value_or(false); }

    void Wake() const {
        if (wakeFd >= 0) {
            const uint64_t one = 1;
            [[maybe_unused]] const ssize_t n = write(wakeFd, &one, sizeof one);
        }
    }

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

    // Refuses to take over the files of a device that is still plugged in; removes leftovers of one
    // that died without unplugging.
    bool ClaimPath(const std::string& path) {
        struct stat st {};
        if (lstat(path.c_str(), &st) != 0)
            return true;
        if (S_ISSOCK(st.st_mode) && SocketAnswers(path)) {
            lastError = "a device named " + options.name + " is already running in " + folder;
            return false;
        }
        unlink(path.c_str());
        return true;
    }

    int PlugLocked() {
        if (plugged)
            return 1;
        if (!EnsureSimFolder(folder, &lastError))
            return 0;
        sockaddr_un probe;
        if (!FillAddress(SocketPath(), probe) || !FillAddress(ControlPath(), probe)) {
            lastError = "folder path too long for a socket: " + folder;
            return 0;
        }
        if (options.usbGadget)
            return PlugGadgetLocked();
        if (!ClaimPath(SocketPath()))
            return 0;
        // The rows come first: whoever sees the socket can already take the device.
        if (WritesRows()) {
            const std::string rows = SimDeviceRowsJson(options);
            if (!WriteWholeFile(DeviceRowsPath(), rows.data(), rows.size(), lastError))
                return 0;
        }
        char info[256];
        std::snprintf(info, sizeof info,
                      "vendor=0x%04x\nproduct=0x%04x\nversion=0x%04x\ninterface=%d\nname=%s (%s)\n",
                      options.vendorId, options.productId, options.version, kInterfaceNumber,
                      SimProductName(options.kind), options.name.c_str());
        // The pad and the headset have no input of their own: they show the keyboard's collections,
        // whose third and fourth are the ones every kind has (the headset's fourth with its LED report).
        const std::vector<uint8_t>& rdesc = SimIsMouse(options.kind) ? MouseInterfaceDescriptor()
                                            : options.kind == SimKind::Headset
                                                ? HeadsetInterfaceDescriptor()
                                                : KeyboardInterfaceDescriptor();
        auto undo = [this] {
            unlink(InfoPath().c_str());
            unlink(DescriptorPath().c_str());
            if (WritesRows())
                unlink(DeviceRowsPath().c_str());
        };
        if (!WriteWholeFile(InfoPath(), info, std::strlen(info), lastError) ||
            !WriteWholeFile(DescriptorPath(), rdesc.data(), rdesc.size(), lastError)) {
            undo();
            return 0;
        }
        listenFd = MakeListener(SocketPath(), lastError);
        if (listenFd < 0) {
            undo();
            return 0;
        }
        plugged = true;
        Wake();
        return 1;
    }

    SimGadgetSpec GadgetSpec() const {
        SimGadgetSpec spec;
        spec.name = "nk7x-" + options.name;
        spec.vendorId = options.vendorId;
        spec.productId = options.productId;
        spec.version = options.version;
        spec.manufacturer = "Norla Keys";
        spec.product = SimProductName(options.kind);
        spec.serial = SimUsbSerial(options.name);
        // Interface 0 only holds its number: the collections live on interface 1, as on the device.
        SimGadgetInterface first;
        first.hid = false;
        SimGadgetInterface vendor;
        vendor.reportDescriptor = SimIsMouse(options.kind)           ? MouseInterfaceDescriptor()
                                  : options.kind == SimKind::Headset ? HeadsetInterfaceDescriptor()
                                                                     : KeyboardInterfaceDescriptor();
        vendor.reportLength = kSimFrameBytes;
        // The headset takes its LED reports as SET_REPORT on the control pipe, so it has no OUT
        // endpoint (the kernel's HID function stalls SET_REPORT where it has one).
        vendor.outEndpoint = options.kind != SimKind::Headset;
        spec.interfaces = {first, vendor};
        return spec;
    }

    // Rows file, then the gadget on the bus, then its interface 1 node as the one connection.
    int PlugGadgetLocked() {
        if (WritesRows()) {
            const std::string rows = SimDeviceRowsJson(options);
            if (!WriteWholeFile(DeviceRowsPath(), rows.data(), rows.size(), lastError))
                return 0;
        }
        auto undo = [this] {
            gadget.Detach();
            if (WritesRows())
                unlink(DeviceRowsPath().c_str());
            return 0;
        };
        if (!gadgetBuilt) {
            if (!gadget.Create(GadgetSpec(), lastError))
                return undo();
            gadgetBuilt = true;
        }
        if (!gadget.Attach(lastError))
            return undo();
        const std::string node = gadget.InterfaceNode(kInterfaceNumber);
        if (node.empty()) {
            lastError = "the gadget's interface node did not appear in /dev";
            return undo();
        }
        const int fd = open(node.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) {
            lastError = "cannot open " + node + ": " + ErrnoText();
            return undo();
        }
        Connection c;
        c.fd = fd;
        c.id = nextConnectionId++;
        c.node = true;
        connections.push_back(std::move(c));
        ++counters.connectionsAccepted;
        plugged = true;
        Wake();
        return 1;
    }

    // The socket goes first, then every connection, then the other files.
    void UnplugLocked() {
        if (!plugged)
            return;
        plugged = false;
        if (options.usbGadget) {
            for (const Connection& c : connections)
                close(c.fd);
            connections.clear();
            gadget.Detach(); // the host sees the device go
            pending.clear();
            busyUntil = {};
            if (WritesRows())
                unlink(DeviceRowsPath().c_str());
            PowerGoneLocked();
            return;
        }
        unlink(SocketPath().c_str());
        if (listenFd >= 0) {
            close(listenFd);
            listenFd = -1;
        }
        for (const Connection& c : connections) {
            shutdown(c.fd, SHUT_RDWR);
            close(c.fd);
        }
        connections.clear();
        pending.clear();
        busyUntil = {};
        unlink(InfoPath().c_str());
        unlink(DescriptorPath().c_str());
        if (WritesRows())
            unlink(DeviceRowsPath().c_str()); // only once nothing of the device can be found any more
        PowerGoneLocked();
    }

    // Power is gone: the volatile modes end; stored memory stays.
    void PowerGoneLocked() {
        memory.inConfig = false;
        memory.liveLighting = false;
        std::fill(memory.live.begin(), memory.live.end(), 0);
        memory.headsetLeds = {};
        ++counters.unplugs;
        framesChanged.notify_all();
    }

    // Writes what the node takes now; the rest waits for the host's next poll of the endpoint.
    void FlushNodeLocked(Connection& c) {
        while (!c.out.empty()) {
            const std::vector<uint8_t>& r = c.out.front();
            const ssize_t n = write(c.fd, r.data(), r.size());
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                return;
            c.out.pop_front(); // written, or refused (the host deconfigured the interface)
        }
    }

    // True when the report went out or waits in the node's queue.
    bool SendLocked(Connection& c, const uint8_t* bytes, size_t size) {
        if (!c.node)
            return send(c.fd, bytes, size, MSG_DONTWAIT | MSG_NOSIGNAL) == static_cast<ssize_t>(size);
        if (c.out.size() >= kNodeQueueReports)
            return false; // nobody has polled the endpoint for a while: the oldest stay, this one is lost
        c.out.emplace_back(bytes, bytes + size);
        FlushNodeLocked(c);
        return true;
    }

    void Broadcast(const uint8_t* bytes, size_t size) {
        for (Connection& c : connections) {
            if (!SendLocked(c, bytes, size))
                ++counters.droppedReports; // a reader that does not keep up loses reports, as on a node
        }
    }

    void SendDueLocked(Clock::time_point now) {
        while (!pending.empty() && pending.front().due <= now) {
            Broadcast(pending.front().bytes.data(), pending.front().bytes.size());
            ++counters.repliesSent;
            pending.pop_front();
        }
    }

    void RecordLocked(const SimFrameRecord& record) {
        if (options.frameLogLimit == 0)
            return;
        log.push_back(record);
        while (log.size() > options.frameLogLimit)
            log.pop_front();
    }

    void OnMessageLocked(const Connection& from, const uint8_t* msg, size_t size) {
        ++counters.messagesReceived;
        SimFrameRecord rec;
        rec.sequence = ++sequence;
        rec.connection = from.id;
        // Without an OUT endpoint the gadget hands over what came by SET_REPORT.
        rec.controlPipe = from.node && options.kind == SimKind::Headset;
        rec.size = size;
        std::memcpy(rec.raw.data(), msg, std::min(size, rec.raw.size()));
        rec.wellFormed = size == kSimFrameBytes && msg[0] == kSimReportVendor;
        if (options.kind == SimKind::Headset && IsSimHeadsetLightingReport(msg, size)) {
            // An output report, not a command: it sets LED colours and is never answered, and the
            // faults, which act on command frames, leave it alone.
            rec.lightingReport = true;
            ++counters.lightingReports;
            ApplySimHeadsetLightingReport(memory.headsetLeds, msg);
            RecordLocked(rec);
            framesChanged.notify_all();
            return;
        }
        if (!rec.wellFormed) {
            // Not a command frame (a wrong size or another report): the device ignores it.
            ++counters.malformedMessages;
            RecordLocked(rec);
            framesChanged.notify_all();
            return;
        }
        const SimFrameFields request = ParseSimFrame(msg);
        rec.command = request.command;
        rec.length = request.length;
        rec.offset = request.offset;
        rec.checksumValid = SimFrameChecksum(msg) == request.checksum;
        ++counters.framesReceived;
        ++counters.perCommand[request.command];
        if (!rec.checksumValid)
            ++counters.checksumErrors;

        bool stale = false, noReply = false, unplug = false, fallAsleep = false;
        int delayMs = options.replyDelayMs, forcedStatus = -1;
        for (auto it = faults.begin(); it != faults.end();) {
            if (!it->Matches(request.command)) {
                ++it;
                continue;
            }
            if (it->skip > 0) {
                --it->skip;
                ++it;
                continue;
            }
            switch (it->kind) {
            case SimFaultKind::StaleReply:
                stale = true;
                break;
            case SimFaultKind::NoReply:
                noReply = true;
                break;
            case SimFaultKind::SlowReply:
                delayMs += it->value;
                break;
            case SimFaultKind::Status:
                forcedStatus = it->value;
                break;
            case SimFaultKind::Unplug:
                unplug = true;
                break;
            case SimFaultKind::Sleep:
                fallAsleep = options.kind == SimKind::Receiver;
                break;
            }
            if (it->count > 0 && --it->count == 0)
                it = faults.erase(it);
            else
                ++it;
        }

        if (unplug) {
            // Gone after taking the request, before acting on it or answering.
            RecordLocked(rec);
            UnplugLocked();
            return;
        }

        SimFrameFields reply;
        reply.reportId = kSimReportVendor;
        reply.command = request.command;
        reply.length = request.length;
        reply.offset = request.offset;
        uint8_t status = 0;
        bool lostInTheAir = false; // for a sleeping mouse: the receiver passes it on, nobody answers
        if (forcedStatus >= 0)
            status = static_cast<uint8_t>(forcedStatus);
        else if (options.verifyChecksum && !rec.checksumValid)
            status = kSimStatusBadFrame;
        else if (request.length > kSimFramePayload)
            status = kSimStatusBadFrame;
        else if (mouseAsleep && request.command == kSimCommandProbe) {
            status = kSimStatusOk; // the receiver itself answers that the mouse does not
            reply.data[0] = kSimProbeAsleep;
        } else if (mouseAsleep) {
            lostInTheAir = true;
            noReply = true;
            ++counters.framesWhileAsleep;
        } else
            status = memory.Execute(request.command, request.length, request.offset, request.data.data(),
                                    reply.data.data());
        if (!lostInTheAir) {
            if (status == kSimStatusRefused || status == kSimStatusBadFrame)
                ++counters.refusedFrames;
            else if (request.command == 18)
                ++counters.liveFrames;
        }
        reply.status = status;
        rec.status = status;
        rec.answered = !noReply;
        RecordLocked(rec);
        if (fallAsleep)
            mouseAsleep = true; // this frame is answered; the next ones are not

        const Clock::time_point now = Clock::now();
        if (stale) {
            SimFrameFields old;
            old.reportId = kSimReportVendor;
            old.command = StaleEcho(request.command);
            old.status = kSimStatusOk;
            old.data.fill(kStaleFill);
            uint8_t bytes[kSimFrameBytes];
            SerialiseSimFrame(old, bytes);
            Broadcast(bytes, sizeof bytes);
            ++counters.staleRepliesSent;
        }
        if (!noReply) {
            PendingReply p;
            SerialiseSimFrame(reply, p.bytes.data());
            p.due = std::max(now, busyUntil) + std::chrono::milliseconds(delayMs);
            if (pending.empty() && p.due <= now) {
                Broadcast(p.bytes.data(), p.bytes.size());
                ++counters.repliesSent;
            } else {
                busyUntil = p.due; // the device answers in order; later frames wait behind this one
                pending.push_back(p);
                Wake();
            }
        }
        framesChanged.notify_all();
    }

    void CloseConnectionLocked(int fd) {
        auto it = std::find_if(connections.begin(), connections.end(),
                               [fd](const Connection& c) { return c.fd == fd; });
        if (it == connections.end())
            return;
        close(it->fd);
        connections.erase(it);
    }

    // One message per wake-up: poll reports the connection again while more are queued, and not
    // draining saves the recv that would only answer EAGAIN.
    void ReadConnectionLocked(int fd) {
        uint8_t buf[kReceiveBytes];
        for (;;) {
            auto it = std::find_if(connections.begin(), connections.end(),
                                   [fd](const Connection& c) { return c.fd == fd; });
            if (it == connections.end())
                return; // closed meanwhile (unplugged)
            const bool node = it->node;
            const int id = it->id;
            const ssize_t n = node ? read(fd, buf, sizeof buf) : recv(fd, buf, sizeof buf, MSG_DONTWAIT);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
                return;
            if (node && n <= 0) {
                // The host took the configuration away (a reset); the node stays ours until unplug.
                // The wait comes once the lock is given back, so that the control socket and the
                // program's calls are not held up by it.
                nodeResting = true;
                return;
            }
            if (n <= 0) {
                CloseConnectionLocked(fd);
                return;
            }
            Connection from;
            from.fd = fd;
            from.id = id;
            from.node = node;
            OnMessageLocked(from, buf, static_cast<size_t>(n));
            return;
        }
    }

    void AcceptLocked() {
        for (;;) {
            const int fd = accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (fd < 0)
                return;
            Connection c;
            c.fd = fd;
            c.id = nextConnectionId++;
            connections.push_back(std::move(c));
            ++counters.connectionsAccepted;
        }
    }

    void ServeControl(int fd, SimDevice& owner) {
        char buf[kReceiveBytes];
        const ssize_t n = recv(fd, buf, sizeof buf - 1, MSG_DONTWAIT);
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
            return;
        if (n <= 0) {
            close(fd);
            controlConnections.erase(std::find(controlConnections.begin(), controlConnections.end(), fd));
            return;
        }
        const std::string answer = owner.HandleControl(std::string_view(buf, static_cast<size_t>(n)));
        send(fd, answer.data(), answer.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    }

    void Run(SimDevice& owner) {
        std::vector<pollfd> fds;
        while (!stopping.load()) {
            fds.clear();
            int timeoutMs = -1;
            {
                std::lock_guard<std::mutex> lock(mutex);
                fds.push_back({wakeFd, POLLIN, 0});
                if (listenFd >= 0)
                    fds.push_back({listenFd, POLLIN, 0});
                for (const Connection& c : connections)
                    fds.push_back({c.fd, static_cast<short>(POLLIN | (c.out.empty() ? 0 : POLLOUT)), 0});
                if (!pending.empty()) {
                    const auto wait =
                        std::chrono::ceil<std::chrono::milliseconds>(pending.front().due - Clock::now());
                    timeoutMs = static_cast<int>(std::max<int64_t>(0, wait.count()));
                }
            }
            if (controlFd >= 0)
                fds.push_back({controlFd, POLLIN, 0});
            for (int fd : controlConnections)
                fds.push_back({fd, POLLIN, 0});

            if (poll(fds.data(), fds.size(), timeoutMs) < 0 && errno != EINTR)
                break;
            if (stopping.load())
                break;

            std::vector<int> controlReady;
            bool acceptControl = false;
            {
                std::lock_guard<std::mutex> lock(mutex);
                // Only touch the wake counter when poll flagged it: one system call less per frame.
                if (fds[0].revents & POLLIN) {
                    uint64_t drained;
                    while (read(wakeFd, &drained, sizeof drained) > 0) {
                    }
                }
                SendDueLocked(Clock::now());
                for (const pollfd& p : fds) {
                    if (p.revents == 0 || p.fd == wakeFd)
                        continue;
                    if (p.fd == controlFd)
                        acceptControl = true;
                    else if (std::find(controlConnections.begin(), controlConnections.end(), p.fd) !=
                             controlConnections.end())
                        controlReady.push_back(p.fd);
                    else if (p.fd == listenFd)
                        AcceptLocked();
                    else {
                        if (p.revents & POLLOUT) {
                            for (Connection& c : connections) {
                                if (c.fd == p.fd && c.node)
                                    FlushNodeLocked(c);
                            }
                        }
                        if (p.revents & (POLLIN | POLLERR | POLLHUP))
                            ReadConnectionLocked(p.fd);
                    }
                }
            }
            if (nodeResting) {
                nodeResting = false;
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            for (int fd : controlReady)
                ServeControl(fd, owner);
            if (acceptControl) {
                for (;;) {
                    const int fd = accept4(controlFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
                    if (fd < 0)
                        break;
                    controlConnections.push_back(fd);
                }
            }
        }
    }
};

SimDevice::SimDevice(SimOptions options) : m_impl(std::make_unique<Impl>(std::move(options))) {
    m_impl->folder = m_impl->options.folder.empty() ? DefaultSimFolder() : m_impl->options.folder;
    while (m_impl->folder.size() > 1 && m_impl->folder.back() == '/')
        m_impl->folder.pop_back();
}

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
        if (!ParseSimFaults(d.options.faults, d.faults, &error)) {
            d.lastError = "bad fault list: " + error;
            return 0;
        }
    }
    d.faultsFromOptionsArmed = true;
    d.wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (d.wakeFd < 0) {
        d.lastError = "cannot create event: " + ErrnoText();
        return 0;
    }
    if (!d.PlugLocked() || !d.ClaimPath(d.ControlPath()) ||
        (d.controlFd = MakeListener(d.ControlPath(), d.lastError)) < 0) {
        d.UnplugLocked();
        close(d.wakeFd);
        d.wakeFd = -1;
        return 0;
    }
    d.running = true;
    d.stopping = false;
    d.thread = std::thread([this] { m_impl->Run(*this); });
    return 1;
}

void SimDevice::Stop() {
    Impl& d = *m_impl;
    {
        std::lock_guard<std::mutex> lock(d.mutex);
        if (!d.running)
            return;
        d.stopping = true;
        d.Wake();
    }
    if (d.thread.joinable())
        d.thread.join();
    std::lock_guard<std::mutex> lock(d.mutex);
    d.UnplugLocked();
    d.gadget.Remove();
    d.gadgetBuilt = false;
    for (int fd : d.controlConnections)
        close(fd);
    d.controlConnections.clear();
    unlink(d.ControlPath().c_str());
    close(d.controlFd);
    d.controlFd = -1;
    close(d.wakeFd);
    d.wakeFd = -1;
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
    return m_impl->folder;
}
std::string SimDevice::SocketPath() const {
    return m_impl->SocketPath();
}
std::string SimDevice::InfoPath() const {
    return m_impl->InfoPath();
}
std::string SimDevice::DescriptorPath() const {
    return m_impl->DescriptorPath();
}
std::string SimDevice::ControlPath() const {
    return m_impl->ControlPath();
}
std::string SimDevice::DeviceRowsPath() const {
    return m_impl->DeviceRowsPath();
}

std::string SimDevice::UsbController() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->gadget.Controller();
}

std::string SimDevice::CollectionPath(int collection) const {
    char markers[64];
    std::snprintf(markers, sizeof markers, "sim#vid_%04x&pid_%04x&mi_%02x&col%02x#", m_impl->options.vendorId,
                  m_impl->options.productId, kInterfaceNumber, collection & 0xFF);
    return markers + SocketPath();
}

void SimDevice::AddFault(const SimFault& fault) {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->faults.push_back(fault);
}

int SimDevice::AddFaults(std::string_view faultList, std::string* error) {
    std::vector<SimFault> parsed;
    if (!ParseSimFaults(faultList, parsed, error))
        return 0;
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->faults.insert(m_impl->faults.end(), parsed.begin(), parsed.end());
    return 1;
}

void SimDevice::ClearFaults() {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->faults.clear();
}

std::vector<SimFault> SimDevice::Faults() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->faults;
}

int SimDevice::SendNotification(uint16_t code) {
    Impl& d = *m_impl;
    std::lock_guard<std::mutex> lock(d.mutex);
    const uint8_t press[kSimConsumerReportBytes] = {kSimReportConsumer, static_cast<uint8_t>(code & 0xFF),
                                                    static_cast<uint8_t>(code >> 8)};
    const uint8_t release[kSimConsumerReportBytes] = {kSimReportConsumer, 0, 0};
    int reached = 0;
    for (Impl::Connection& c : d.connections) {
        if (d.SendLocked(c, press, sizeof press))
            ++reached;
        else
            ++d.counters.droppedReports;
        if (!d.SendLocked(c, release, sizeof release))
            ++d.counters.droppedReports;
    }
    d.Wake(); // a node with queued reports needs polling for room
    if (reached > 0)
        ++d.counters.notificationsSent;
    return reached;
}

std::vector<SimFrameRecord> SimDevice::FrameLog() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return std::vector<SimFrameRecord>(m_impl->log.begin(), m_impl->log.end());
}

void SimDevice::ClearFrameLog() {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->log.clear();
}

SimCounters SimDevice::Counters() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->counters;
}

int SimDevice::ConnectionCount() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return static_cast<int>(m_impl->connections.size());
}

bool SimDevice::WaitForFrames(uint64_t total, int timeoutMs) const {
    std::unique_lock<std::mutex> lock(m_impl->mutex);
    return m_impl->framesChanged.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                                          [&] { return m_impl->counters.framesReceived >= total; });
}

#define NK7X_SIM_COPY(member)                                                                                \
    std::lock_guard<std::mutex> lock(m_impl->mutex);                                                         \
    return m_impl->memory.member

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
    const std::vector<uint8_t>& all = m_impl->memory.lighting;
    if (page < 0 || size_t(page + 1) * kSimLightingPageBytes > all.size())
        return {};
    const auto begin = all.begin() + static_cast<std::ptrdiff_t>(size_t(page) * kSimLightingPageBytes);
    return std::vector<uint8_t>(begin, begin + kSimLightingPageBytes);
}

bool SimDevice::SetParameters(size_t offset, const std::vector<uint8_t>& bytes) {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    std::vector<uint8_t>& area = m_impl->memory.parameters;
    if (offset > area.size() || bytes.size() > area.size() - offset)
        return false;
    std::copy(bytes.begin(), bytes.end(), area.begin() + static_cast<std::ptrdiff_t>(offset));
    return true;
}

bool SimDevice::SetKeyEntry(int position, uint8_t type, uint8_t b1, uint8_t b2) {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    std::vector<uint8_t>& table = m_impl->memory.keyTable;
    if (position < 0 || size_t(position) * 3 + 3 > table.size())
        return false;
    table[size_t(position) * 3] = type;
    table[size_t(position) * 3 + 1] = b1;
    table[size_t(position) * 3 + 2] = b2;
    return true;
}

void SimDevice::SetStatusBlock(const std::array<uint8_t, kSimStatusBlockBytes>& block) {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->memory.status.assign(block.begin(), block.end());
}

bool SimDevice::SetPowerStatus(int battery, int power, int phone) {
    if (battery < 0 || battery > 100 || power < 0 || power > 2 || phone > 255)
        return false;
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    std::vector<uint8_t>& status = m_impl->memory.status;
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
    const std::vector<uint8_t>& area = m_impl->memory.parameters;
    if (n < 0 || size_t(n) * stride + size > area.size())
        return {};
    const auto begin = area.begin() + static_cast<std::ptrdiff_t>(size_t(n) * stride);
    return std::vector<uint8_t>(begin, begin + static_cast<std::ptrdiff_t>(size));
}

bool SimDevice::SetMouseAsleep(bool asleep) {
    if (m_impl->options.kind != SimKind::Receiver)
        return false;
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->mouseAsleep = asleep;
    return true;
}

bool SimDevice::IsMouseAsleep() const {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    return m_impl->mouseAsleep;
}

void SimDevice::ResetToFactory() {
    std::lock_guard<std::mutex> lock(m_impl->mutex);
    m_impl->memory.ResetToFactory();
}

std::string SimDevice::HandleControl(std::string_view request) {
    return RunSimControl(*this, request);
}

} // namespace nk7x
