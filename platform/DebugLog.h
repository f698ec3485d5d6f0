// The one debug output sink: every line the program writes about frames, replies and state changes
// goes through here as one string. Off by default; NK7X_DEBUG=1 sends lines to stderr,
// NK7X_DEBUG_FILE=path appends them to a file, and tests can capture them with SetDebugSink.
#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace nk7x {

using DebugSink = std::function<void(const std::string&)>;

// True when some sink receives lines; callers skip formatting expensive lines otherwise.
bool DebugLogEnabled();

// Writes one line (no trailing newline needed).
void DebugLog(std::string_view line);

// printf-style convenience for the quoted formats.
void DebugLogf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Replaces the sink; an empty function restores the one chosen by the environment.
void SetDebugSink(DebugSink sink);

// Turns output to stderr on or off, or sends it to a file (empty path: stop writing to a file).
void SetDebugToStderr(bool on);
bool SetDebugFile(const std::string& path);

} // namespace nk7x
