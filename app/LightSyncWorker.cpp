#include "app/LightSyncWorker.h"

#include "platform/DebugLog.h"

namespace nk7x {
namespace {

// The tick the periods were made for: the desktop tick count moves in steps of about 15.6 ms, so
// one period tick is taken as 16 ms of steady time.
constexpr std::chrono::milliseconds kTick(16);

} // namespace

int LightSyncPeriod(int speedIndex) {
    static const int periods[5] = {28, 23, 18, 13, 7};
    if (speedIndex < 0 || speedIndex > 4)
        speedIndex = 0;
    return periods[speedIndex];
}

void RunLightSync(const StopEvent& stop, LightSyncSource& source) {
    auto last = std::chrono::steady_clock::now();
    for (;;) {
        if (stop.WaitFor(std::chrono::milliseconds(1))) {
            DebugLog("同步灯光线程设定退出");
            return;
        }
        if (!source.AnyFlagged()) {
            if (stop.WaitFor(std::chrono::milliseconds(1000))) {
                DebugLog("同步灯光线程设定退出");
                return;
            }
            last = std::chrono::steady_clock::now();
            continue;
        }
        auto now = std::chrono::steady_clock::now();
        if (now - last >= kTick * LightSyncPeriod(source.SpeedIndex())) {
            source.Step();
            last = now;
        }
    }
}

} // namespace nk7x
