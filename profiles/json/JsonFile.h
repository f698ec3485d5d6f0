// Reading and writing of every JSON file of the program: whole-file reads, parsing with comments
// allowed, the styled form on write, atomic replacement, and the time-stamp names of profiles.
#pragma once

#include "profiles/json/JsonAccess.h"

#include <json/value.h>

#include <cstddef>
#include <string>

namespace nk7x {

// The one size limit of the program's JSON files, for reading and for writing alike, so that the
// program never writes what it could not read back. A profile is about 130 KB, the longest macro
// about 6 MB; a larger file is not one of them and reads as empty rather than filling memory.
inline constexpr std::size_t kMaxJsonFileSize = 8u * 1024u * 1024u;

// The whole content of a regular file, or empty text when it does not open, is not a regular
// file, is too large, or could not be read to its end. Writes the "readjsonFile" debug line.
std::string ReadJsonText(const std::string& path);

// The parsed document of a file (comments allowed); null when the file is missing, empty,
// unreadable or malformed.
Json::Value LoadJson(const std::string& path);

// Parses text the way LoadJson does; false (and `out` null) when it is not a JSON document.
bool ParseJsonText(const std::string& text, Json::Value& out);

// The styled form written to files: three-space indent, one member per line, and one extra line
// end after the document.
std::string StyledJsonText(const Json::Value& value);

// Replaces the file at `path` with the styled form of `value` (refused with EFBIG when the text
// would be larger than kMaxJsonFileSize): the text goes to a temporary file
// in the same folder, is flushed to the disk, is renamed over the old file, and the folder is
// flushed so the rename itself lasts. Returns 1 on success, 0 on failure with errno telling why
// (ENOSPC, EDQUOT, EFBIG, EIO, EACCES...). A failure before the rename leaves the old file byte for
// byte as it was and removes the temporary; a killed process leaves the old or the new file whole.
// The one failure after the rename is a folder that could not be flushed: the new content is then
// in place but may not outlive a power loss.
[[nodiscard]] int WriteJson(const std::string& path, const Json::Value& value);

// Replaces the file at `path` with `text` in the same atomic way. 1 on success, 0 on failure.
// Only a regular file is replaced, or one a symbolic link points to (the link stays); anything else
// at `path` (a FIFO, a device node, a folder, a link to one of those or to nothing) is left alone
// and the write refused with EEXIST.
[[nodiscard]] int ReplaceFileContent(const std::string& path, const std::string& text);

// Whether WriteJson waits for the data and the folder to reach the disk (on by default).
// Benchmarks turn it off to measure the cost; the program never does.
void SetJsonWriteSync(bool on);
bool JsonWriteSync();

// A profile identity from the current local time: "YYYY_MM_DD_hh_mm_ss_mmm".
std::string MakeTimeStampName();

// The same format from given parts (year, month 1-12, day, hour, minute, second, millisecond).
std::string FormatTimeStampName(int year, int month, int day, int hour, int minute, int second,
                                int millisecond);

} // namespace nk7x
