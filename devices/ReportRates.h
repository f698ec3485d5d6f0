// The report rates a device kind offers, as its settings record numbers them: option i is 125 Hz
// doubled i times (the keyboard four of them, the mouse five). The bus and the command-line tool
// check a script's rate against these.
#pragma once

#include <string>

#include "link/DeviceKind.h"

namespace nk7x {

// How many rates the family offers; 0 for one without a report rate.
int ReportRateOptions(DeviceFamily family);
// The rate of option `option`, in Hz.
constexpr int RateOfOption(int option) {
    return 125 << option;
}
// The option of `hz`; -1 when the family does not offer it.
int ReportRateOption(DeviceFamily family, int hz);
// "125, 250, 500, 1000": the family's rates for a message.
std::string ReportRatesText(DeviceFamily family);

} // namespace nk7x
