// One open HID node as a file descriptor (hidraw node or emulator socket): report transfers that
// wait with poll() beside an eventfd, so that Abort from any thread ends a wait at once. Waiting
// with poll leaves nothing queued in the kernel when a transfer gives up.
#pragma once

#include <atomic>

#include "platform/HidBackend.h"

namespace nk7x {

class HidFdConnection : public IHidConnection {
  public:
    // Takes ownership of `fd` (non-blocking). Valid() is false when the abort eventfd could not be made.
    HidFdConnection(int fd, bool isSocket, bool canRead, bool canWrite);
    ~HidFdConnection() override;
    HidFdConnection(const HidFdConnection&) = delete;
    HidFdConnection& operator=(const HidFdConnection&) = delete;

    bool Valid() const { return m_fd >= 0 && m_abortFd >= 0; }

    HidIoResult Read(uint8_t* buffer, size_t length, size_t* received, int64_t timeoutMs) override;
    HidIoResult Write(const uint8_t* data, size_t length, size_t* sent, int64_t timeoutMs) override;
    void Abort() override;
    void Close() override;

  protected:
    int Fd() const { return m_fd; }

  private:
    HidIoResult Wait(short events, int64_t deadlineMs);

    int m_fd;
    int m_abortFd = -1;
    const bool m_isSocket;
    const bool m_canRead;
    const bool m_canWrite;
    std::atomic<bool> m_aborted{false};
};

// Milliseconds of a monotonic clock, for deadlines.
int64_t HidMonotonicMs();

} // namespace nk7x
