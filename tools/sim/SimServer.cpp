#include "tools/sim/SimServer.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "tools/sim/SimDescriptorParts.h"
#include "tools/sim/SimSockets.h"

namespace nk7x {

namespace {

constexpr size_t kReceiveBytes = 4096;    // a longer message is malformed anyway
constexpr size_t kNodeQueueReports = 256; // input reports waiting for the host to poll the endpoint

} // namespace

SimServer::SimServer(std::mutex& mutex, SimCounters& counters) : m_mutex(mutex), m_counters(counters) {}

bool SimServer::OpenWake(std::string& error) {
    m_wakeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (m_wakeFd < 0) {
        error = "cannot create event: " + ErrnoText();
        return false;
    }
    return true;
}

void SimServer::CloseWake() {
    close(m_wakeFd);
    m_wakeFd = -1;
}

void SimServer::Wake() const {
    if (m_wakeFd >= 0) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = write(m_wakeFd, &one, sizeof one);
    }
}

bool SimServer::ListenLocked(const std::string& path, std::string& error) {
    m_listenFd = MakeListener(path, error);
    return m_listenFd >= 0;
}

void SimServer::StopListeningLocked() {
    if (m_listenFd >= 0) {
        close(m_listenFd);
        m_listenFd = -1;
    }
}

void SimServer::AddConnectionLocked(int fd, bool node) {
    SimConnection c;
    c.fd = fd;
    c.id = m_nextConnectionId++;
    c.node = node;
    m_connections.push_back(std::move(c));
    ++m_counters.connectionsAccepted;
}

void SimServer::DropConnectionsLocked(bool shutdownFirst) {
    for (const SimConnection& c : m_connections) {
        if (shutdownFirst)
            shutdown(c.fd, SHUT_RDWR);
        close(c.fd);
    }
    m_connections.clear();
    m_pending.clear();
    m_busyUntil = {};
}

bool SimServer::ListenControl(const std::string& path, std::string& error) {
    m_controlFd = MakeListener(path, error);
    return m_controlFd >= 0;
}

void SimServer::CloseControl() {
    for (int fd : m_controlConnections)
        close(fd);
    m_controlConnections.clear();
    close(m_controlFd);
    m_controlFd = -1;
}

// Writes what the node takes now; the rest waits for the host's next poll of the endpoint.
void SimServer::FlushNodeLocked(SimConnection& c) {
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
bool SimServer::SendLocked(SimConnection& c, const uint8_t* bytes, size_t size) {
    if (!c.node)
        return send(c.fd, bytes, size, MSG_DONTWAIT | MSG_NOSIGNAL) == static_cast<ssize_t>(size);
    if (c.out.size() >= kNodeQueueReports)
        return false; // nobody has polled the endpoint for a while: the oldest stay, this one is lost
    c.out.emplace_back(bytes, bytes + size);
    FlushNodeLocked(c);
    return true;
}

void SimServer::BroadcastLocked(const uint8_t* bytes, size_t size) {
    for (SimConnection& c : m_connections) {
        if (!SendLocked(c, bytes, size))
            ++m_counters.droppedReports; // a reader that does not keep up loses reports, as on a node
    }
}

void SimServer::SendDueLocked(Clock::time_point now) {
    while (!m_pending.empty() && m_pending.front().due <= now) {
        BroadcastLocked(m_pending.front().bytes.data(), m_pending.front().bytes.size());
        ++m_counters.repliesSent;
        m_pending.pop_front();
    }
}

void SimServer::ReplyLocked(const std::array<uint8_t, kSimFrameBytes>& bytes, int delayMs) {
    const Clock::time_point now = Clock::now();
    PendingReply p;
    p.bytes = bytes;
    p.due = std::max(now, m_busyUntil) + std::chrono::milliseconds(delayMs);
    if (m_pending.empty() && p.due <= now) {
        BroadcastLocked(p.bytes.data(), p.bytes.size());
        ++m_counters.repliesSent;
    } else {
        m_busyUntil = p.due; // the device answers in order; later frames wait behind this one
        m_pending.push_back(p);
        Wake();
    }
}

int SimServer::NotifyLocked(uint16_t code) {
    const uint8_t press[kSimConsumerReportBytes] = {kSimReportConsumer, static_cast<uint8_t>(code & 0xFF),
                                                    static_cast<uint8_t>(code >> 8)};
    const uint8_t release[kSimConsumerReportBytes] = {kSimReportConsumer, 0, 0};
    int reached = 0;
    for (SimConnection& c : m_connections) {
        if (SendLocked(c, press, sizeof press))
            ++reached;
        else
            ++m_counters.droppedReports;
        if (!SendLocked(c, release, sizeof release))
            ++m_counters.droppedReports;
    }
    Wake(); // a node with queued reports needs polling for room
    if (reached > 0)
        ++m_counters.notificationsSent;
    return reached;
}

void SimServer::CloseConnectionLocked(int fd) {
    auto it = std::find_if(m_connections.begin(), m_connections.end(),
                           [fd](const SimConnection& c) { return c.fd == fd; });
    if (it == m_connections.end())
        return;
    close(it->fd);
    m_connections.erase(it);
}

// One message per wake-up: poll reports the connection again while more are queued, and not
// draining saves the recv that would only answer EAGAIN.
void SimServer::ReadConnectionLocked(int fd) {
    uint8_t buf[kReceiveBytes];
    for (;;) {
        auto it = std::find_if(m_connections.begin(), m_connections.end(),
                               [fd](const SimConnection& c) { return c.fd == fd; });
        if (it == m_connections.end())
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
            m_nodeResting = true;
            return;
        }
        if (n <= 0) {
            CloseConnectionLocked(fd);
            return;
        }
        SimConnection from;
        from.fd = fd;
        from.id = id;
        from.node = node;
        m_onMessage(from, buf, static_cast<size_t>(n));
        return;
    }
}

void SimServer::AcceptLocked() {
    for (;;) {
        const int fd = accept4(m_listenFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0)
            return;
        AddConnectionLocked(fd, false);
    }
}

void SimServer::ServeControl(int fd) {
    char buf[kReceiveBytes];
    const ssize_t n = recv(fd, buf, sizeof buf - 1, MSG_DONTWAIT);
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR))
        return;
    if (n <= 0) {
        close(fd);
        m_controlConnections.erase(std::find(m_controlConnections.begin(), m_controlConnections.end(), fd));
        return;
    }
    const std::string answer = m_onControl(std::string_view(buf, static_cast<size_t>(n)));
    send(fd, answer.data(), answer.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
}

void SimServer::Start(MessageHandler onMessage, ControlHandler onControl) {
    m_onMessage = std::move(onMessage);
    m_onControl = std::move(onControl);
    m_stopping = false;
    m_thread = std::thread([this] { Run(); });
}

void SimServer::RequestStopLocked() {
    m_stopping = true;
    Wake();
}

void SimServer::Join() {
    if (m_thread.joinable())
        m_thread.join();
}

void SimServer::Run() {
    std::vector<pollfd> fds;
    while (!m_stopping.load()) {
        fds.clear();
        int timeoutMs = -1;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            fds.push_back({m_wakeFd, POLLIN, 0});
            if (m_listenFd >= 0)
                fds.push_back({m_listenFd, POLLIN, 0});
            for (const SimConnection& c : m_connections)
                fds.push_back({c.fd, static_cast<short>(POLLIN | (c.out.empty() ? 0 : POLLOUT)), 0});
            if (!m_pending.empty()) {
                const auto wait =
                    std::chrono::ceil<std::chrono::milliseconds>(m_pending.front().due - Clock::now());
                timeoutMs = static_cast<int>(std::max<int64_t>(0, wait.count()));
            }
        }
        if (m_controlFd >= 0)
            fds.push_back({m_controlFd, POLLIN, 0});
        for (int fd : m_controlConnections)
            fds.push_back({fd, POLLIN, 0});

        if (poll(fds.data(), fds.size(), timeoutMs) < 0 && errno != EINTR)
            break;
        if (m_stopping.load())
            break;

        std::vector<int> controlReady;
        bool acceptControl = false;
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            // Only touch the wake counter when poll flagged it: one system call less per frame.
            if (fds[0].revents & POLLIN) {
                uint64_t drained;
                while (read(m_wakeFd, &drained, sizeof drained) > 0) {
                }
            }
            SendDueLocked(Clock::now());
            for (const pollfd& p : fds) {
                if (p.revents == 0 || p.fd == m_wakeFd)
                    continue;
                if (p.fd == m_controlFd)
                    acceptControl = true;
                else if (std::find(m_controlConnections.begin(), m_controlConnections.end(), p.fd) !=
                         m_controlConnections.end())
                    controlReady.push_back(p.fd);
                else if (p.fd == m_listenFd)
                    AcceptLocked();
                else {
                    if (p.revents & POLLOUT) {
                        for (SimConnection& c : m_connections) {
                            if (c.fd == p.fd && c.node)
                                FlushNodeLocked(c);
                        }
                    }
                    if (p.revents & (POLLIN | POLLERR | POLLHUP))
                        ReadConnectionLocked(p.fd);
                }
            }
        }
        if (m_nodeResting) {
            m_nodeResting = false;
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        for (int fd : controlReady)
            ServeControl(fd);
        if (acceptControl) {
            for (;;) {
                const int fd = accept4(m_controlFd, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
                if (fd < 0)
                    break;
                m_controlConnections.push_back(fd);
            }
        }
    }
}

} // namespace nk7x
