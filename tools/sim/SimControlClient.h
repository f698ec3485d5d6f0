// The client side of the emulator's control socket, for `nk7x-sim ctl` and tests.
#pragma once

#include <string>
#include <string_view>

namespace nk7x {

enum class SimControlResult {
    Answered,   // `answer` holds the emulator's answer ("ok..." or "error: ...")
    NotRunning, // no emulator listens on that control socket
    Failed,     // the exchange failed; `error` says why
};

SimControlResult SimControlRequest(const std::string& controlPath, std::string_view request,
                                   std::string& answer, std::string& error, int timeoutMs = 3000);

} // namespace nk7x
