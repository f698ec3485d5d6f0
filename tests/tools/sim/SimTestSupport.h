// Helpers for the emulator tests: a private folder per test and a raw SOCK_SEQPACKET client that
// builds command frames itself, so the tests read the wire as a host would.
#pragma once

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/Wait.h"
#include "tools/sim/SimDevice.h"

namespace nk7x::test {

using Bytes = std::vector<uint8_t>;

// How long to wait for a message that is due (a reply, a notification, the end of a connection).
// Checks that nothing arrives use short waits of their own.
inline constexpr int kDueMs = static_cast<int>(kWaitPatience.count());

inline bool FileExists(const std::string& path) {
    struct stat st {};
    return lstat(path.c_str(), &st) == 0;
}

// A fresh folder under /tmp, removed with everything in it at the end.
class TempFolder {
  public:
    TempFolder() {
        char name[] = "/tmp/nk7x-simtest-XXXXXX";
        const char* made = mkdtemp(name);
        m_path = made ? made : "";
    }
    ~TempFolder() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    const std::string& Path() const { return m_path; }
    std::vector<std::string> Entries() const {
        std::vector<std::string> names;
        for (const auto& e : std::filesystem::directory_iterator(m_path))
            names.push_back(e.path().filename().string());
        return names;
    }

  private:
    std::string m_path;
};

// A request frame built from scratch: report id 4, checksum over bytes 3..63 in bytes 1-2.
inline Bytes Request(uint8_t command, const Bytes& payload = {}, uint16_t offset = 0, int lengthByte = -1) {
    Bytes f(64, 0);
    f[0] = 4;
    f[3] = command;
    f[4] = static_cast<uint8_t>(lengthByte >= 0 ? lengthByte : static_cast<int>(payload.size()));
    f[5] = static_cast<uint8_t>(offset & 0xFF);
    f[6] = static_cast<uint8_t>(offset >> 8);
    for (size_t i = 0; i < payload.size() && 8 + i < 64; ++i)
        f[8 + i] = payload[i];
    unsigned sum = 0;
    for (size_t i = 3; i < 64; ++i)
        sum += f[i];
    f[1] = static_cast<uint8_t>(sum & 0xFF);
    f[2] = static_cast<uint8_t>((sum >> 8) & 0xFF);
    return f;
}

// A read request: no payload, `length` in byte 4.
inline Bytes ReadRequest(uint8_t command, uint8_t length, uint16_t offset = 0) {
    return Request(command, {}, offset, length);
}

class RawClient {
  public:
    RawClient() = default;
    explicit RawClient(const std::string& socketPath) { Connect(socketPath); }
    ~RawClient() { Close(); }
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool Connect(const std::string& socketPath) {
        Close();
        sockaddr_un addr{};
        addr.sun_family = AF_UNIX;
        if (socketPath.size() >= sizeof addr.sun_path)
            return false;
        std::memcpy(addr.sun_path, socketPath.c_str(), socketPath.size() + 1);
        m_fd = socket(AF_UNIX, SOCK_SEQPACKET | SOCK_CLOEXEC, 0);
        if (m_fd < 0)
            return false;
        if (connect(m_fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
            Close();
            return false;
        }
        return true;
    }
    void Close() {
        if (m_fd >= 0)
            close(m_fd);
        m_fd = -1;
    }
    bool IsConnected() const { return m_fd >= 0; }

    bool Send(const Bytes& message) {
        return send(m_fd, message.data(), message.size(), MSG_NOSIGNAL) ==
               static_cast<ssize_t>(message.size());
    }

    // One message, or nothing after `timeoutMs`. `eof` is set when the device closed the connection.
    std::optional<Bytes> Receive(int timeoutMs, bool* eof = nullptr) {
        if (eof)
            *eof = false;
        pollfd p{m_fd, POLLIN, 0};
        if (poll(&p, 1, timeoutMs) <= 0)
            return std::nullopt;
        Bytes buf(4096);
        const ssize_t n = recv(m_fd, buf.data(), buf.size(), MSG_DONTWAIT);
        if (n <= 0) {
            if (eof)
                *eof = true;
            return std::nullopt;
        }
        buf.resize(static_cast<size_t>(n));
        return buf;
    }

    // The next command reply (report id 4), skipping other reports.
    std::optional<Bytes> ReceiveReply(int timeoutMs = kDueMs) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        for (;;) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() < 0)
                return std::nullopt;
            auto m = Receive(static_cast<int>(left.count()));
            if (!m)
                return std::nullopt;
            if (!m->empty() && (*m)[0] == 4)
                return m;
        }
    }

    // Sends one frame and returns its reply.
    std::optional<Bytes> Exchange(const Bytes& frame, int timeoutMs = kDueMs) {
        if (!Send(frame))
            return std::nullopt;
        return ReceiveReply(timeoutMs);
    }

    // Sends a chunked transfer of `total` bytes (56 a frame) at `base` and returns the statuses.
    std::vector<uint8_t> WriteChunked(uint8_t command, const Bytes& data, uint16_t base = 0) {
        std::vector<uint8_t> statuses;
        for (size_t p = 0; p < data.size(); p += 56) {
            const size_t n = std::min<size_t>(56, data.size() - p);
            const Bytes chunk(data.begin() + static_cast<std::ptrdiff_t>(p),
                              data.begin() + static_cast<std::ptrdiff_t>(p + n));
            auto r = Exchange(Request(command, chunk, static_cast<uint16_t>(base + p)));
            statuses.push_back(r ? (*r)[7] : 0);
        }
        return statuses;
    }

    // A chunked read; nullopt when any frame fails.
    std::optional<Bytes> ReadChunked(uint8_t command, size_t total, uint16_t base = 0) {
        Bytes out;
        for (size_t p = 0; p < total; p += 56) {
            const size_t n = std::min<size_t>(56, total - p);
            auto r = Exchange(ReadRequest(command, static_cast<uint8_t>(n), static_cast<uint16_t>(base + p)));
            if (!r || r->size() != 64 || (*r)[3] != command || (*r)[7] == 0xFF || (*r)[7] == 0xFE)
                return std::nullopt;
            out.insert(out.end(), r->begin() + 8, r->begin() + 8 + static_cast<std::ptrdiff_t>(n));
        }
        return out;
    }

    int Fd() const { return m_fd; }

  private:
    int m_fd = -1;
};

inline bool IsSuccessStatus(uint8_t status) {
    return status != 0xFF && status != 0xFE;
}

// A device in its own folder, plugged in.
class SimFixture : public ::testing::Test {
  protected:
    SimOptions Options() const {
        SimOptions o;
        o.folder = m_folder.Path();
        o.name = "kbd1";
        return o;
    }
    void Plug(SimOptions o) {
        m_device = std::make_unique<SimDevice>(std::move(o));
        ASSERT_EQ(m_device->Start(), 1) << m_device->LastError();
    }
    void SetUp() override {
        ASSERT_FALSE(m_folder.Path().empty());
        Plug(Options());
    }

    TempFolder m_folder;
    std::unique_ptr<SimDevice> m_device;
};

} // namespace nk7x::test
