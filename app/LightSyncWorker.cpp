#include "app/LightSyncWorker.h"

#include "platform/DebugLog.h"

#include <algorithm>

namespace nk7x {
namespace {

// With nothing flagged the worker sleeps until it is woken (WorkerSlots::Wake when a device is
// flagged); the long wait is only a net under a wake-up that never came.
constexpr std::chrono::milliseconds kIdleRecheck(10000);

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
        if (!source.AnyFlagged()) {
            if (stop.WaitFor(kIdleRecheck)) {
                DebugLog("同步灯光线程设定退出");
                return;
            }
            last = std::chrono::steady_clock::now();
            continue;
        }
        const auto now = std::chrono::steady_clock::now();
        const auto due = last + kTick * LightSyncPeriod(source.SpeedIndex());
        if (now >= due) {
            source.Step();
            last = now;
            continue;
        }
        // Sleep to the next step, looking at the flags at least every 50 ms.
        const auto wait = std::min(std::chrono::duration_cast<std::chrono::milliseconds>(due - now) +
                                       std::chrono::milliseconds(1),
                                   std::chrono::milliseconds(50));
        if (stop.WaitFor(wait)) {
            DebugLog("同步灯光线程设定退出");
            return;
        }
    }
}

} // namespace nk7x
