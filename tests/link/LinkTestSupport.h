// Shared pieces of the command-link tests: a private emulator folder, a debug-line capture, a small
// scripted device for replies the emulator never gives, and a runner for the command-line tool.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "support/TestSupport.h"

namespace nk7x::test {

using Frame64 = std::array<uint8_t, 64>;

// One emulated interface whose answers the test writes: for each request the responder returns the
// replies to send (none, one, or several). Serves the keyboard's descriptor so the transport opens it.
class ScriptedDevice {
  public:
    using Responder = std::function<std::vector<Frame64>(const Frame64& request)>;
    ScriptedDevice(const std::string& folder, const std::string& name, Responder responder);
    ~ScriptedDevice();
    ScriptedDevice(const ScriptedDevice&) = delete;
    ScriptedDevice& operator=(const ScriptedDevice&) = delete;
    bool Started() const { return m_listen >= 0; }
    std::string CommandPath() const;
    int RequestCount() const { return m_requests.load(); }

  private:
    void Serve();

    std::string m_folder;
    std::string m_name;
    Responder m_responder;
    int m_listen = -1;
    int m_stopPipe[2] = {-1, -1};
    std::atomic<int> m_requests{0};
    std::thread m_thread;
};

// A reply echoing the request's command with the given status and data bytes.
Frame64 MakeReply(const Frame64& request, uint8_t status, const std::vector<uint8_t>& data = {});

// Runs the built command-line tool; stdout and stderr are captured. `asUser` >= 0 runs it under
// that user id (only possible as root).
struct CliResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};
std::string CliBinary();
CliResult RunCli(const std::vector<std::string>& args, const std::string& simFolder, int asUser = -1);

} // namespace nk7x::test
