// The last-check file "updatetime.config" in the user data root: {"updatelasttime": {"value": date}}
// with the local date as "year-month-day" without leading zeros.
#pragma once

#include <string>

namespace nk7x {

// UserDataRoot() + "/updatetime.config".
std::string LastCheckFilePath();

// "%d-%d-%d" of year, month and day.
std::string LastCheckDateText(int year, int month, int day);
// Today's local date in that form.
std::string TodayDateText();

// The stored date; when the file holds none (missing, unparsable, no text there), `today` is
// written and returned.
std::string ReadLastCheck(const std::string& path, const std::string& today);

// Writes `date` as the last check; false when the file could not be replaced.
bool WriteLastCheck(const std::string& path, const std::string& date);

} // namespace nk7x
