#include "devices/ReportRates.h"

#include "devices/mouse/MouseTables.h"
#include "link/KindDescriptors.h"

namespace nk7x {
namespace {
constexpr int kKeyboardRateOptions = 4;
} // namespace

int ReportRateOptions(DeviceFamily family) {
    switch (LightFamily(family)) {
    case DeviceFamily::Keyboard:
        return kKeyboardRateOptions;
    case DeviceFamily::Mouse:
        return kMouseReportStageCount;
    default:
        return 0;
    }
}

int ReportRateOption(DeviceFamily family, int hz) {
    for (int i = 0; i < ReportRateOptions(family); ++i)
        if (RateOfOption(i) == hz)
            return i;
    return -1;
}

std::string ReportRatesText(DeviceFamily family) {
    std::string text;
    for (int i = 0; i < ReportRateOptions(family); ++i)
        text += (i ? ", " : "") + std::to_string(RateOfOption(i));
    return text;
}

} // namespace nk7x
