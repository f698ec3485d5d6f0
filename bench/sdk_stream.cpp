// The lighting server under a steady stream: the program runs with its server on, an emulated
// keyboard in this process, and a client of our own sends every keyboard LED 60 times a second over
// the SDK protocol. Prints the program's CPU idle and while streaming (utime + stime of
// /proc/PID/stat over wall time, percent of one core) and how long a frame takes from the client to
// the device: LED 0 carries the frame's number (red = low byte, green = high byte, blue = 0x5a), and
// a watcher polling the keyboard's live colours every millisecond stamps each number as it arrives.
// Usage: sdk_stream [SECONDS] [--hidden]   (streaming time, 10 s by default; the idle period is as
// long. The window is shown, offscreen; --hidden sends it to the tray once shown.)
// The program is the nk7x beside this tool. Exits 1 when the program does not start or no frame
// arrives; a missed goal is printed, not an error.
#include "app/sdk/SdkProtocol.h"
#include "devices/DeviceBase.h"
#include "tools/sim/SimDevice.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
#include <spawn.h>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;
namespace sdk = nk7x::sdk;

constexpr int kFramesPerSecond = 60;
constexpr uint8_t kMarkBlue = 0x5a;     // LED 0's blue while it carries a frame number
constexpr uint8_t kTakeOverBlue = 0xa5; // the first frame, which puts the keyboard in its live mode
constexpr double kCpuGoalPercent = 2.0;
constexpr int kStreamPeriodMs = nk7x::kLiveFramePeriodMs; // the program's pace for live frames
constexpr int kMaxSeconds = 1000;                         // frame numbers are 16 bits

std::atomic<bool> g_interrupted{false};

void OnInterrupt(int) {
    g_interrupted = true;
}

// A private home for one run (runtime, config, data and emulator folders), removed at the end.
class TempHome {
  public:
    TempHome() {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/nk7x-sdk-stream-XXXXXX";
        if (mkdtemp(pattern.data()))
            m_path = pattern; // mkdtemp makes it 0700
    }
    ~TempHome() {
        if (!m_path.empty()) {
            std::error_code ec;
            std::filesystem::remove_all(m_path, ec);
        }
    }
    TempHome(const TempHome&) = delete;
    TempHome& operator=(const TempHome&) = delete;
    const std::string& Path() const { return m_path; }

  private:
    std::string m_path;
};

// A loopback port nobody listens on now.
uint16_t FreePort() {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0)
        return 0;
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    uint16_t port = 0;
    if (bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) == 0)
        port = ntohs(a.sin_port);
    close(fd);
    return port;
}

std::string SelfFolder() {
    std::error_code ec;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string(".") : self.parent_path().string();
}

// The program as a child: its stdout and stderr read on a thread of their own, so that neither pipe
// ever fills however much it logs.
class Program {
  public:
    ~Program() { Stop(); }

    bool Start(const std::string& path, const std::vector<std::string>& args,
               const std::map<std::string, std::string>& env) {
        int out[2], err[2];
        if (pipe2(out, O_CLOEXEC) != 0)
            return false;
        if (pipe2(err, O_CLOEXEC) != 0) {
            close(out[0]);
            close(out[1]);
            return false;
        }
        std::vector<std::string> envText;
        for (char** e = environ; *e; ++e) {
            const std::string entry = *e;
            if (!env.contains(entry.substr(0, entry.find('='))))
                envText.push_back(entry);
        }
        for (const auto& [name, value] : env)
            envText.push_back(name + "=" + value);
        std::vector<char*> envp, argv;
        for (std::string& e : envText)
            envp.push_back(e.data());
        envp.push_back(nullptr);
        std::vector<std::string> argText{path};
        argText.insert(argText.end(), args.begin(), args.end());
        for (std::string& a : argText)
            argv.push_back(a.data());
        argv.push_back(nullptr);

        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, err[1], 2);
        const int rc = posix_spawn(&m_pid, path.c_str(), &actions, nullptr, argv.data(), envp.data());
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        close(err[1]);
        if (rc != 0) {
            close(out[0]);
            close(err[0]);
            m_pid = 0;
            std::fprintf(stderr, "sdk_stream: cannot start %s: %s\n", path.c_str(), std::strerror(rc));
            return false;
        }
        m_reader = std::thread([this, o = out[0], e = err[0]] { Drain(o, e); });
        return true;
    }

    pid_t Pid() const { return m_pid; }

    bool Running() {
        if (m_pid <= 0 || m_exited)
            return false;
        int status = 0;
        if (waitpid(m_pid, &status, WNOHANG) == m_pid)
            m_exited = true;
        return !m_exited;
    }

    // Waits until a line holding `needle` has come on either stream.
    bool WaitFor(const std::string& needle, std::chrono::milliseconds timeout) {
        std::unique_lock lock(m_mutex);
        return m_cv.wait_for(lock, timeout, [&] { return Seen(needle); });
    }

    bool Saw(const std::string& needle) {
        std::lock_guard lock(m_mutex);
        return Seen(needle);
    }

    // The first line starting with `prefix`, empty when none came.
    std::string LineStarting(const std::string& prefix) {
        std::lock_guard lock(m_mutex);
        for (const std::string& line : m_marks)
            if (line.rfind(prefix, 0) == 0)
                return line;
        return {};
    }

    std::string Log() {
        std::lock_guard lock(m_mutex);
        return m_log;
    }

    // SIGTERM, then SIGKILL after 5 s; returns once the output is read to its end.
    void Stop() {
        if (m_pid > 0 && !m_exited) {
            kill(m_pid, SIGTERM);
            const auto until = Clock::now() + std::chrono::seconds(5);
            int status = 0;
            while (waitpid(m_pid, &status, WNOHANG) == 0) {
                if (Clock::now() > until) {
                    kill(m_pid, SIGKILL);
                    waitpid(m_pid, &status, 0);
                    break;
                }
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
            }
            m_exited = true;
        }
        if (m_reader.joinable())
            m_reader.join();
    }

  private:
    bool Seen(const std::string& needle) const {
        return std::any_of(m_marks.begin(), m_marks.end(),
                           [&](const std::string& l) { return l.find(needle) != std::string::npos; });
    }

    void Drain(int out, int err) {
        pollfd fds[2] = {{out, POLLIN, 0}, {err, POLLIN, 0}};
        std::string partial[2];
        int open = 2;
        char buffer[8192];
        while (open > 0) {
            if (poll(fds, 2, -1) < 0) {
                if (errno == EINTR)
                    continue;
                break;
            }
            for (int i = 0; i < 2; ++i) {
                if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                    continue;
                const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
                if (n <= 0) {
                    close(fds[i].fd);
                    fds[i].fd = -1;
                    --open;
                    continue;
                }
                partial[i].append(buffer, static_cast<size_t>(n));
                std::size_t end;
                while ((end = partial[i].find('\n')) != std::string::npos) {
                    Line(partial[i].substr(0, end));
                    partial[i].erase(0, end + 1);
                }
            }
        }
    }

    void Line(const std::string& line) {
        std::lock_guard lock(m_mutex);
        m_log += line;
        m_log += '\n';
        // The tail is enough to say why a run failed.
        constexpr std::size_t kKeep = 64 * 1024;
        if (m_log.size() > 2 * kKeep)
            m_log.erase(0, m_log.size() - kKeep);
        if (line.find("lighting server:") != std::string::npos || line.rfind("NK7X_", 0) == 0)
            m_marks.push_back(line);
        m_cv.notify_all();
    }

    pid_t m_pid = 0;
    bool m_exited = false;
    std::thread m_reader;
    std::mutex m_mutex;
    std::condition_variable m_cv;
    std::string m_log;
    std::vector<std::string> m_marks; // the lines waited for
};

// utime + stime of every thread of the process, in clock ticks.
std::optional<uint64_t> CpuTicks(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::size_t paren = text.rfind(')');
    if (paren == std::string::npos)
        return std::nullopt;
    std::istringstream fields(text.substr(paren + 2));
    std::string f;
    uint64_t utime = 0, stime = 0;
    for (int i = 0; i <= 12 && fields >> f; ++i) {
        if (i == 11)
            utime = std::stoull(f);
        else if (i == 12)
            stime = std::stoull(f);
    }
    return utime + stime;
}

// The program's CPU over a period, as percent of one core.
class CpuMeter {
  public:
    explicit CpuMeter(pid_t pid) : m_pid(pid), m_start(Clock::now()), m_ticks(CpuTicks(pid)) {}
    std::optional<double> Percent() const {
        const std::optional<uint64_t> now = CpuTicks(m_pid);
        const double wall = std::chrono::duration<double>(Clock::now() - m_start).count();
        if (!now || !m_ticks || wall <= 0)
            return std::nullopt;
        return 100.0 * static_cast<double>(*now - *m_ticks) / static_cast<double>(sysconf(_SC_CLK_TCK)) /
               wall;
    }

  private:
    pid_t m_pid;
    Clock::time_point m_start;
    std::optional<uint64_t> m_ticks;
};

// Little-endian reads of an answer's data; every read checks that the bytes are there.
class Reader {
  public:
    explicit Reader(const std::vector<uint8_t>& data) : m_data(data) {}
    bool Skip(std::size_t n) {
        if (m_data.size() - m_at < n)
            return false;
        m_at += n;
        return true;
    }
    bool U16(uint16_t& v) {
        if (m_data.size() - m_at < 2)
            return false;
        v = static_cast<uint16_t>(m_data[m_at] | m_data[m_at + 1] << 8);
        m_at += 2;
        return true;
    }
    bool U32(uint32_t& v) {
        if (m_data.size() - m_at < 4)
            return false;
        v = 0;
        for (std::size_t i = 0; i < 4; ++i)
            v |= uint32_t{m_data[m_at + i]} << (8 * i);
        m_at += 4;
        return true;
    }
    bool String(std::string& s) {
        uint16_t n = 0;
        if (!U16(n) || m_data.size() - m_at < n)
            return false;
        s.assign(m_data.begin() + static_cast<std::ptrdiff_t>(m_at),
                 m_data.begin() + static_cast<std::ptrdiff_t>(m_at + n));
        if (!s.empty() && s.back() == '\0')
            s.pop_back();
        m_at += n;
        return true;
    }

  private:
    const std::vector<uint8_t>& m_data;
    std::size_t m_at = 0;
};

// Of a controller's description (protocol 5): the LEDs, name and value each.
bool ReadLeds(const std::vector<uint8_t>& data, std::vector<sdk::Led>& leds) {
    Reader r(data);
    std::string s;
    uint16_t n = 0;
    if (!r.Skip(8))
        return false; // size, type
    for (int i = 0; i < 6; ++i)
        if (!r.String(s))
            return false; // name, vendor, description, version, serial, location
    if (!r.U16(n) || !r.Skip(4))
        return false; // mode count, active mode
    for (uint16_t m = 0; m < n; ++m) {
        uint16_t colours = 0;
        // name; value, flags, speed min and max, brightness min and max, colours min and max, speed,
        // brightness, direction, colour mode; the colours
        if (!r.String(s) || !r.Skip(12 * 4) || !r.U16(colours) || !r.Skip(4 * std::size_t{colours}))
            return false;
    }
    if (!r.U16(n))
        return false;
    for (uint16_t z = 0; z < n; ++z) {
        uint16_t matrixBytes = 0, segments = 0;
        if (!r.String(s) || !r.Skip(4 * 4) || !r.U16(matrixBytes) || !r.Skip(matrixBytes) || !r.U16(segments))
            return false;
        for (uint16_t g = 0; g < segments; ++g)
            if (!r.String(s) || !r.Skip(3 * 4))
                return false;
        if (!r.Skip(4))
            return false; // zone flags
    }
    if (!r.U16(n))
        return false;
    leds.resize(n);
    for (sdk::Led& led : leds)
        if (!r.String(led.name) || !r.U32(led.value))
            return false;
    return true;
}

// A client of the lighting server over a plain TCP socket.
class Client {
  public:
    ~Client() {
        if (m_fd >= 0)
            close(m_fd);
    }

    bool Connect(uint16_t port) {
        m_fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (m_fd < 0)
            return false;
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        a.sin_port = htons(port);
        if (connect(m_fd, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0)
            return false;
        const int on = 1;
        setsockopt(m_fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
        return true;
    }

    bool Send(const std::vector<uint8_t>& bytes) {
        std::size_t at = 0;
        while (at < bytes.size()) {
            const ssize_t n = send(m_fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
            if (n < 0 && errno == EINTR)
                continue;
            if (n <= 0)
                return false;
            at += static_cast<std::size_t>(n);
        }
        return true;
    }

    bool Send(sdk::PacketId id, uint32_t device, const std::vector<uint8_t>& data) {
        std::vector<uint8_t> packet;
        sdk::AppendHeader(packet, device, id, static_cast<uint32_t>(data.size()));
        packet.insert(packet.end(), data.begin(), data.end());
        return Send(packet);
    }

    // The data of the next answer with `id`; other packets (a device-list notice) are passed over.
    std::optional<std::vector<uint8_t>> Answer(sdk::PacketId id, std::chrono::milliseconds timeout) {
        const auto until = Clock::now() + timeout;
        for (;;) {
            while (m_in.size() >= sdk::kHeaderBytes) {
                const uint32_t got = Le32(8), size = Le32(12);
                if (size > sdk::kMaxPacketBytes * 16)
                    return std::nullopt;
                if (m_in.size() < sdk::kHeaderBytes + size)
                    break;
                std::vector<uint8_t> data(m_in.begin() + sdk::kHeaderBytes,
                                          m_in.begin() +
                                              static_cast<std::ptrdiff_t>(sdk::kHeaderBytes + size));
                m_in.erase(m_in.begin(),
                           m_in.begin() + static_cast<std::ptrdiff_t>(sdk::kHeaderBytes + size));
                if (got == static_cast<uint32_t>(id))
                    return data;
            }
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
            if (left.count() <= 0)
                return std::nullopt;
            pollfd p{m_fd, POLLIN, 0};
            if (poll(&p, 1, static_cast<int>(left.count())) <= 0)
                continue;
            uint8_t buffer[16 * 1024];
            const ssize_t n = recv(m_fd, buffer, sizeof buffer, 0);
            if (n <= 0)
                return std::nullopt;
            m_in.insert(m_in.end(), buffer, buffer + n);
        }
    }

    // Whatever the server sent unasked is read and dropped, so its answers never back up.
    bool Discard() {
        uint8_t buffer[4096];
        for (;;) {
            const ssize_t n = recv(m_fd, buffer, sizeof buffer, MSG_DONTWAIT);
            if (n > 0)
                continue;
            return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
        }
    }

  private:
    uint32_t Le32(std::size_t at) const {
        return uint32_t{m_in[at]} | uint32_t{m_in[at + 1]} << 8 | uint32_t{m_in[at + 2]} << 16 |
               uint32_t{m_in[at + 3]} << 24;
    }

    int m_fd = -1;
    std::vector<uint8_t> m_in;
};

std::vector<uint8_t> U32Data(uint32_t v) {
    return {static_cast<uint8_t>(v), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v >> 16),
            static_cast<uint8_t>(v >> 24)};
}

// An UpdateLeds packet for controller 0: LED 0 `mark`, the others a pattern that moves with `n`.
std::vector<uint8_t> UpdateLedsPacket(std::size_t leds, sdk::Colour mark, uint32_t n) {
    const auto size = static_cast<uint32_t>(6 + 4 * leds);
    std::vector<uint8_t> p;
    p.reserve(sdk::kHeaderBytes + size);
    sdk::AppendHeader(p, 0, sdk::PacketId::UpdateLeds, size);
    const std::vector<uint8_t> s = U32Data(size);
    p.insert(p.end(), s.begin(), s.end());
    p.push_back(static_cast<uint8_t>(leds));
    p.push_back(static_cast<uint8_t>(leds >> 8));
    for (std::size_t i = 0; i < leds; ++i) {
        if (i == 0) {
            p.insert(p.end(), {mark.red, mark.green, mark.blue, 0});
            continue;
        }
        p.push_back(static_cast<uint8_t>(i * 7 + n));
        p.push_back(static_cast<uint8_t>(i * 13 + 2 * n));
        p.push_back(static_cast<uint8_t>(255 - i));
        p.push_back(0);
    }
    return p;
}

double Percentile(const std::vector<double>& sorted, double q) {
    if (sorted.empty())
        return 0;
    const auto rank = static_cast<std::size_t>(std::ceil(q * static_cast<double>(sorted.size())));
    return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

const char* Verdict(bool ok) {
    return ok ? "PASS" : "FAIL";
}

int Run(int seconds, bool hidden) {
    TempHome home;
    if (home.Path().empty()) {
        std::fprintf(stderr, "sdk_stream: cannot create a private folder: %s\n", std::strerror(errno));
        return 1;
    }
    const std::string simFolder = home.Path() + "/sim";
    std::string error;
    if (!nk7x::EnsureSimFolder(simFolder, &error)) {
        std::fprintf(stderr, "sdk_stream: %s\n", error.c_str());
        return 1;
    }
    nk7x::SimOptions options;
    options.folder = simFolder;
    // Room for every message of the run: a frame is a few messages, at most 20 frames a second.
    options.frameLogLimit = 10000 + static_cast<std::size_t>(seconds) * 20 * 16;
    nk7x::SimDevice keyboard(options);
    if (keyboard.Start() != 1) {
        std::fprintf(stderr, "sdk_stream: the emulated keyboard did not plug in: %s\n",
                     keyboard.LastError().c_str());
        return 1;
    }

    const uint16_t port = FreePort();
    if (port == 0) {
        std::fprintf(stderr, "sdk_stream: no free port\n");
        return 1;
    }
    const std::string programPath = SelfFolder() + "/nk7x";
    Program program;
    const std::map<std::string, std::string> env{
        {"QT_QPA_PLATFORM", "offscreen"},
        {"XDG_RUNTIME_DIR", home.Path()},
        {"XDG_CONFIG_HOME", home.Path() + "/config"},
        {"XDG_DATA_HOME", home.Path() + "/data"},
        {"NK7X_PROGRAM_DIR", NK7X_SOURCE_DIR},
        {"NK7X_SIM_DIR", simFolder},
        {"NK7X_INPUT_DIR", home.Path() + "/no-input"}, // the machine's own keyboards stay out of it
        {"NK7X_DEBUG", "1"},
        {"NK7X_PRINT_SHOWN", "1"}, // the page-ready line, and the program's own stream record at exit
        {"DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/bus"},
        {"DBUS_SYSTEM_BUS_ADDRESS", "unix:path=/nonexistent/system_bus"},
    };
    std::vector<std::string> args{"--sdk-server=127.0.0.1:" + std::to_string(port)};
    if (hidden)
        args.push_back("--hidden");
    if (!program.Start(programPath, args, env))
        return 1;
    const auto fail = [&program](const char* what) {
        std::fprintf(stderr, "sdk_stream: %s\n--- the program's output (tail) ---\n%s", what,
                     program.Log().c_str());
        return 1;
    };
    if (!program.WaitFor("lighting server: listening", std::chrono::seconds(20)))
        return fail("the lighting server did not start listening within 20 s");

    Client client;
    if (!client.Connect(port))
        return fail("cannot connect to the lighting server");
    if (!client.Send(sdk::PacketId::RequestProtocolVersion, 0, U32Data(sdk::kHighestProtocol)) ||
        !client.Answer(sdk::PacketId::RequestProtocolVersion, std::chrono::seconds(5)))
        return fail("no answer to the protocol version");
    const std::string name = "sdk_stream bench";
    client.Send(sdk::PacketId::SetClientName, 0,
                std::vector<uint8_t>(name.c_str(), name.c_str() + name.size() + 1));

    // The keyboard is a controller once its page has the link open; the page is filled a little later.
    uint32_t controllers = 0;
    const auto connectUntil = Clock::now() + std::chrono::seconds(30);
    while (Clock::now() < connectUntil && !g_interrupted) {
        if (!client.Send(sdk::PacketId::RequestControllerCount, 0, {}))
            return fail("the lighting server closed the connection");
        const auto answer = client.Answer(sdk::PacketId::RequestControllerCount, std::chrono::seconds(5));
        uint32_t count = 0;
        if (answer && Reader(*answer).U32(count))
            controllers = count;
        if (controllers == 1 && program.Saw("NK7X_PAGE_READY"))
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    if (controllers != 1 || !program.Saw("NK7X_PAGE_READY"))
        return fail(("the keyboard did not connect within 30 s (" + std::to_string(controllers) +
                     " controllers, page " + (program.Saw("NK7X_PAGE_READY") ? "ready)" : "not ready)"))
                        .c_str());

    if (!client.Send(sdk::PacketId::RequestControllerData, 0, U32Data(sdk::kHighestProtocol)))
        return fail("the lighting server closed the connection");
    const auto description = client.Answer(sdk::PacketId::RequestControllerData, std::chrono::seconds(5));
    std::vector<sdk::Led> leds;
    if (!description || !ReadLeds(*description, leds) || leds.empty())
        return fail("the controller's description could not be read");
    const uint32_t markKey = leds[0].value; // LED 0's key index: its colour sits at 3 x that
    if (3 * std::size_t{markKey} + 2 >= nk7x::kSimLiveLightingBytes)
        return fail("LED 0's key index lies outside the live colours");
    std::printf("controller 0: %zu LEDs; LED 0 \"%s\" is key index %u\n", leds.size(), leds[0].name.c_str(),
                markKey);

    // Idle: server on, client connected, nothing sent; after a second for the connection's own work.
    std::this_thread::sleep_for(std::chrono::seconds(1));
    const pid_t pid = program.Pid();
    const CpuMeter idleMeter(pid);
    for (int s = 0; s < seconds * 10 && !g_interrupted; ++s) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        client.Discard();
    }
    const std::optional<double> idleCpu = idleMeter.Percent();
    if (!program.Running())
        return fail("the program ended during the idle period");

    // The first frame takes the lighting over: the keyboard enters its live mode. Timed on its own,
    // so the stream figures are those of a stream already running.
    const auto liveAt = [&keyboard, markKey](sdk::Colour c) {
        const std::vector<uint8_t> live = keyboard.LiveLighting();
        const std::size_t at = 3 * std::size_t{markKey};
        return live.size() > at + 2 && live[at] == c.red && live[at + 1] == c.green && live[at + 2] == c.blue;
    };
    const sdk::Colour takeOver{0, 0, kTakeOverBlue};
    const auto takeOverSent = Clock::now();
    if (!client.Send(UpdateLedsPacket(leds.size(), takeOver, 0)))
        return fail("the lighting server closed the connection");
    std::optional<double> takeOverMs;
    while (Clock::now() - takeOverSent < std::chrono::seconds(5)) {
        if (liveAt(takeOver)) {
            takeOverMs = Ms(Clock::now() - takeOverSent).count();
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    if (!takeOverMs)
        return fail("the first frame did not reach the keyboard within 5 s");
    std::this_thread::sleep_for(std::chrono::milliseconds(200));

    const auto frames = static_cast<uint32_t>(seconds * kFramesPerSecond);
    std::vector<Clock::time_point> sent(frames + 1);
    std::vector<std::optional<Clock::time_point>> arrived(frames + 1);
    const uint64_t streamFirstMessage = keyboard.Counters().messagesReceived + 1;
    std::atomic<bool> watching{true};
    std::thread watcher([&] {
        uint32_t last = 0;
        const std::size_t at = 3 * std::size_t{markKey};
        while (watching) {
            const std::vector<uint8_t> live = keyboard.LiveLighting();
            const auto now = Clock::now();
            if (live.size() > at + 2 && live[at + 2] == kMarkBlue) {
                const uint32_t n = live[at] | uint32_t{live[at + 1]} << 8;
                if (n != last && n >= 1 && n <= frames && !arrived[n])
                    arrived[n] = now;
                last = n;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });

    const auto period = std::chrono::nanoseconds(1'000'000'000 / kFramesPerSecond);
    const CpuMeter streamMeter(pid);
    const auto streamStart = Clock::now();
    uint32_t sentFrames = 0;
    bool lost = false;
    for (uint32_t n = 1; n <= frames && !g_interrupted; ++n) {
        std::this_thread::sleep_until(streamStart + period * (n - 1));
        const std::vector<uint8_t> packet = UpdateLedsPacket(
            leds.size(), {static_cast<uint8_t>(n & 0xff), static_cast<uint8_t>((n >> 8) & 0xff), kMarkBlue},
            n);
        sent[n] = Clock::now();
        if (!client.Send(packet)) {
            lost = true;
            break;
        }
        ++sentFrames;
        client.Discard();
    }
    // Over the stream's own span: the last frame's period ends it.
    std::this_thread::sleep_until(streamStart + period * frames);
    const std::optional<double> streamCpu = streamMeter.Percent();
    // The frame the program still holds leaves within its period.
    std::this_thread::sleep_for(std::chrono::milliseconds(4 * kStreamPeriodMs));
    watching = false;
    watcher.join();
    if (lost)
        std::fprintf(stderr, "sdk_stream: the lighting server closed the connection after %u frames\n",
                     sentFrames);

    std::vector<double> latencies;
    for (uint32_t n = 1; n <= sentFrames; ++n)
        if (arrived[n])
            latencies.push_back(std::max(0.0, Ms(*arrived[n] - sent[n]).count()));
    std::sort(latencies.begin(), latencies.end());
    // The pace at the device: the gaps between numbered frames one after the other.
    std::vector<Clock::time_point> arrivals;
    for (uint32_t n = 1; n <= sentFrames; ++n)
        if (arrived[n])
            arrivals.push_back(*arrived[n]);
    std::sort(arrivals.begin(), arrivals.end());
    std::optional<double> shortestGap;
    for (std::size_t i = 1; i < arrivals.size(); ++i) {
        const double gap = Ms(arrivals[i] - arrivals[i - 1]).count();
        shortestGap = shortestGap ? std::min(*shortestGap, gap) : gap;
    }

    program.Stop();
    const std::string record = program.LineStarting("NK7X_STREAM");

    // The frames the keyboard took, counted by their first message (the one that holds LED 0),
    // and those that repeat the frame just before them byte for byte.
    std::size_t deviceFrames = 0, repeats = 0;
    bool logComplete = true;
    {
        const std::vector<nk7x::SimFrameRecord> log = keyboard.FrameLog();
        logComplete = !log.empty() && log.front().sequence <= streamFirstMessage;
        std::vector<uint8_t> previous;
        for (const nk7x::SimFrameRecord& r : log) {
            if (r.sequence < streamFirstMessage || !r.wellFormed || r.command != 18 || r.offset != 0)
                continue;
            std::vector<uint8_t> payload = r.Payload();
            ++deviceFrames;
            if (payload == previous)
                ++repeats;
            previous = std::move(payload);
        }
    }
    keyboard.Stop();

    std::printf(
        "stream: %d s at %d frames/s, every LED of the keyboard in each frame (UpdateLeds); window %s\n",
        seconds, kFramesPerSecond, hidden ? "hidden" : "shown");
    std::printf("frames sent: %u\n", sentFrames);
    std::printf("frames that reached the device: %zu (%.1f per second)\n", latencies.size(),
                static_cast<double>(latencies.size()) / seconds);
    if (shortestGap)
        std::printf("stream period: %d ms (at the device: %.1f ms on average, %.1f ms the shortest)\n",
                    kStreamPeriodMs, Ms(arrivals.back() - arrivals.front()).count() / (arrivals.size() - 1),
                    *shortestGap);
    else
        std::printf("stream period: %d ms\n", kStreamPeriodMs);
    std::printf(
        "live-colour frames the keyboard took while streaming: %zu, of them %zu the frame just before "
        "again%s\n",
        deviceFrames, repeats, logComplete ? "" : " (the emulator's log was cut: a lower bound)");
    std::printf("take-over (first frame, keyboard into its live mode): %.1f ms\n", *takeOverMs);
    if (!latencies.empty())
        std::printf("latency send -> device: median %.1f ms, 95th percentile %.1f ms, max %.1f ms\n",
                    Percentile(latencies, 0.5), Percentile(latencies, 0.95), latencies.back());
    const auto cpuText = [](const std::optional<double>& v) {
        char text[32];
        if (v)
            std::snprintf(text, sizeof text, "%.2f %%", *v);
        else
            std::snprintf(text, sizeof text, "unknown");
        return std::string(text);
    };
    std::printf("program CPU (%% of one core): idle %s, while streaming %s\n", cpuText(idleCpu).c_str(),
                cpuText(streamCpu).c_str());
    if (!record.empty())
        std::printf("program's own record: %s\n", record.c_str());

    const bool cpuOk = idleCpu && streamCpu && *idleCpu <= kCpuGoalPercent && *streamCpu <= kCpuGoalPercent;
    const bool latencyOk = !latencies.empty() && latencies.back() <= kStreamPeriodMs;
    std::printf("goal: <= %.0f %% of a core: %s\n", kCpuGoalPercent, Verdict(cpuOk));
    std::printf("goal: each frame that leaves within one stream period (%d ms): %s\n", kStreamPeriodMs,
                Verdict(latencyOk));
    if (latencies.empty()) {
        std::fprintf(stderr, "sdk_stream: no numbered frame reached the device\n");
        return 1;
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    int seconds = 10;
    bool hidden = false;
    bool ok = true;
    for (int i = 1; i < argc && ok; ++i) {
        if (std::strcmp(argv[i], "--hidden") == 0)
            hidden = true;
        else
            ok = std::sscanf(argv[i], "%d", &seconds) == 1 && seconds >= 1 && seconds <= kMaxSeconds;
    }
    if (!ok) {
        std::fprintf(stderr, "usage: sdk_stream [SECONDS] [--hidden]   (SECONDS 1..%d, default 10)\n",
                     kMaxSeconds);
        return 2;
    }
    std::signal(SIGINT, OnInterrupt);
    std::signal(SIGTERM, OnInterrupt);
    return Run(seconds, hidden);
}
