// SimServer: the device's side of its sockets, served on a thread of its own. It accepts connections
// on the command socket (or holds the bus node as its one connection) and on the control socket, hands
// every message over, sends replies in order once they are due, and sends input reports to every
// connection, keeping a bus node's reports queued until the host polls for them.
#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "tools/sim/SimDevice.h"

namespace nk7x {

struct SimConnection {
    int fd = -1;
    int id = 0; // 1-based in accept order
    // The gadget's /dev/hidgN rather than a socket: reads and writes whole reports, and a write
    // waits until the host has polled the previous one, so reports queue here.
    bool node = false;
    std::deque<std::vector<uint8_t>> out;
};

class SimServer {
  public:
    // Called with the device lock held, for every message a connection sent.
    using MessageHandler = std::function<void(const SimConnection& from, const uint8_t* msg, size_t size)>;
    // Called without the lock, for every request on the control socket; returns the answer.
    using ControlHandler = std::function<std::string(std::string_view request)>;

    // `mutex` is the device lock, `counters` the device's; both outlive the server. Methods named
    // ...Locked want the lock held; the others take it where they need it.
    SimServer(std::mutex& mutex, SimCounters& counters);
    SimServer(const SimServer&) = delete;
    SimServer& operator=(const SimServer&) = delete;

    // The event that wakes the thread; false with `error` set when it cannot be made.
    bool OpenWake(std::string& error);
    void CloseWake();
    void Wake() const;

    // The command socket: its listening socket, and the connections taken on it.
    bool ListenLocked(const std::string& path, std::string& error);
    void StopListeningLocked();
    void AddConnectionLocked(int fd, bool node); // the bus node, opened by the caller
    // Closes every connection (after a shutdown on sockets, so that a waiting read fails at once) and
    // drops the replies still waiting.
    void DropConnectionsLocked(bool shutdownFirst);
    int ConnectionCountLocked() const { return static_cast<int>(m_connections.size()); }

    // The control socket; served until Join().
    bool ListenControl(const std::string& path, std::string& error);
    void CloseControl(); // once the thread has ended

    void BroadcastLocked(const uint8_t* bytes, size_t size);
    // The reply goes out `delayMs` after the device is free of earlier replies; at once when that is now.
    void ReplyLocked(const std::array<uint8_t, kSimFrameBytes>& bytes, int delayMs);
    // A consumer-control press and release to every connection; the number of connections reached.
    int NotifyLocked(uint16_t code);

    void Start(MessageHandler onMessage, ControlHandler onControl);
    void RequestStopLocked();
    void Join();

  private:
    using Clock = std::chrono::steady_clock;
    struct PendingReply {
        Clock::time_point due;
        std::array<uint8_t, kSimFrameBytes> bytes{};
    };

    void FlushNodeLocked(SimConnection& c);
    bool SendLocked(SimConnection& c, const uint8_t* bytes, size_t size);
    void SendDueLocked(Clock::time_point now);
    void CloseConnectionLocked(int fd);
    void ReadConnectionLocked(int fd);
    void AcceptLocked();
    void ServeControl(int fd);
    void Run();

    std::mutex& m_mutex;
    SimCounters& m_counters;
    MessageHandler m_onMessage;
    ControlHandler m_onControl;

    std::vector<SimConnection> m_connections;
    int m_nextConnectionId = 1;
    std::deque<PendingReply> m_pending;
    Clock::time_point m_busyUntil{};
    int m_listenFd = -1;
    int m_controlFd = -1;
    int m_wakeFd = -1;

    // Touched by the server thread alone.
    std::vector<int> m_controlConnections;
    bool m_nodeResting = false; // the bus node read nothing: wait a moment before polling it again
    std::atomic<bool> m_stopping{false};
    std::thread m_thread;
};

} // namespace nk7x
