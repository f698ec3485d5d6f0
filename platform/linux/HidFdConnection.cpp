#include "platform/linux/HidFdConnection.h"

#include <cerrno>
#include <climits>
#include <ctime>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

namespace nk7x {

int64_t HidMonotonicMs() {
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<int64_t>(ts.tv_sec) * 1000 + ts.tv_nsec / 1000000;
}

HidFdConnection::HidFdConnection(int fd, bool isSocket, bool canRead, bool canWrite)
    : m_fd(fd), m_isSocket(isSocket), m_canRead(canRead), m_canWrite(canWrite) {
    m_abortFd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
}

HidFdConnection::~HidFdConnection() {
    Close();
}

void HidFdConnection::Abort() {
    m_aborted.store(true);
    if (m_abortFd >= 0) {
        // Never read back: the eventfd stays readable, so every later wait ends at once too.
        const uint64_t one = 1;
        [[maybe_unused]] ssize_t n = ::write(m_abortFd, &one, sizeof one);
    }
}

void HidFdConnection::Close() {
    m_aborted.store(true);
    if (m_fd >= 0) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (m_abortFd >= 0) {
        ::close(m_abortFd);
        m_abortFd = -1;
    }
}

// Ok when `events` is ready on the node; deadlineMs < 0 waits without limit.
HidIoResult HidFdConnection::Wait(short events, int64_t deadlineMs) {
    for (;;) {
        if (m_aborted.load() || !Valid())
            return HidIoResult::Aborted;
        int waitMs = -1;
        if (deadlineMs >= 0) {
            const int64_t left = deadlineMs - HidMonotonicMs();
            waitMs = left <= 0 ? 0 : static_cast<int>(left > INT_MAX ? INT_MAX : left);
        }
        pollfd fds[2] = {{m_fd, events, 0}, {m_abortFd, POLLIN, 0}};
        const int r = ::poll(fds, 2, waitMs);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return HidIoResult::Error;
        }
        if (fds[1].revents != 0 || m_aborted.load())
            return HidIoResult::Aborted;
        if (fds[0].revents & events)
            return HidIoResult::Ok;
        if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL))
            return HidIoResult::Error;
        if (r == 0 && deadlineMs >= 0 && HidMonotonicMs() >= deadlineMs)
            return HidIoResult::Timeout;
    }
}

HidIoResult HidFdConnection::Read(uint8_t* buffer, size_t length, size_t* received, int64_t timeoutMs) {
    if (received)
        *received = 0;
    if (!m_canRead || buffer == nullptr || length == 0)
        return HidIoResult::Refused;
    const int64_t deadline = timeoutMs < 0 ? -1 : HidMonotonicMs() + timeoutMs;
    for (;;) {
        HidIoResult w = Wait(POLLIN, deadline);
        if (w != HidIoResult::Ok)
            return w;
        const ssize_t n =
            m_isSocket ? ::recv(m_fd, buffer, length, MSG_DONTWAIT) : ::read(m_fd, buffer, length);
        if (n > 0) {
            if (received)
                *received = static_cast<size_t>(n);
            return HidIoResult::Ok;
        }
        if (n == 0)
            return HidIoResult::Error; // the peer closed its end
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
            continue;
        return HidIoResult::Error; // ENODEV, EIO, ECONNRESET: the device went away
    }
}

HidIoResult HidFdConnection::Write(const uint8_t* data, size_t length, size_t* sent, int64_t timeoutMs) {
    if (sent)
        *sent = 0;
    if (!m_canWrite || data == nullptr || length == 0)
        return HidIoResult::Refused;
    const int64_t deadline = timeoutMs < 0 ? -1 : HidMonotonicMs() + timeoutMs;
    for (;;) {
        HidIoResult w = Wait(POLLOUT, deadline);
        if (w != HidIoResult::Ok)
            return w;
        // MSG_NOSIGNAL: a vanished peer is an error result, not a SIGPIPE.
        const ssize_t n = m_isSocket ? ::send(m_fd, data, length, MSG_DONTWAIT | MSG_NOSIGNAL)
                                     : ::write(m_fd, data, length);
        if (n >= 0) {
            if (sent)
                *sent = static_cast<size_t>(n);
            return static_cast<size_t>(n) == length ? HidIoResult::Ok : HidIoResult::Error;
        }
        if (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR)
            continue;
        return HidIoResult::Error;
    }
}

} // namespace nk7x
