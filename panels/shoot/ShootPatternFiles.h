// The shoot pattern files on disk: reading and saving a gun's pattern, restoring it from its default
// copy, and copying patterns in and out. Every write replaces its file atomically, so a failure
// leaves the old file whole.
#pragma once

#include <json/value.h>

#include <string>

namespace nk7x {

enum class ShootFileResult {
    Ok,
    NothingDone,      // no path was given
    NotAPattern,      // the source is no JSON object with an "Events" array; nothing was written
    SourceUnreadable, // the source could not be read (missing, no regular file, too large)
    WriteFailed,      // the target could not be written; it is as it was
};

// The pattern file's document; null when it is missing, empty, unreadable or no JSON.
Json::Value LoadShootPattern(const std::string& path);

// Writes `doc` in the styled form; the folder is created when missing.
ShootFileResult SaveShootPattern(const std::string& path, const Json::Value& doc);

// Replaces `target` with a copy of the default file `defaultPath`, byte for byte, when that is a
// pattern; otherwise (missing, broken, or no default path) with an empty pattern, so that the
// user's file is always a valid pattern afterwards.
ShootFileResult RestoreShootPattern(const std::string& defaultPath, const std::string& target);

// Replaces `target` with a byte copy of `source` when the source is a pattern; a file that is no
// pattern is refused and `target` stays as it was.
ShootFileResult ImportShootPattern(const std::string& source, const std::string& target);

// Copies `source` byte for byte to `target`.
ShootFileResult ExportShootPattern(const std::string& source, const std::string& target);

} // namespace nk7x
