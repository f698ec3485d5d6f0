// A user's file the program cannot read is never overwritten: it is moved aside under a name that
// says so, and the user is told once which file it was and where it went. The notices are kept
// here until the window takes them.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace nk7x {

struct UnreadableFileNotice {
    std::string path;   // where the file was
    std::string keptAs; // where it is now; empty when it could not be moved (it is then left alone)
    std::string reason; // why it could not be read, in a few words (for the log)
};

// Whether something is at `path` (a file, a link, a FIFO, a device node...), a dangling link too.
bool PathTaken(const std::string& path);

// What is at `path` that a JSON reader would not take, or empty when it is a regular file of at
// most `limit` bytes (or nothing is there): "not a regular file", "too large", ...
std::string UnusableFileReason(const std::string& path, std::size_t limit);

// Why the file at `path`, whose read gave `text` and no usable document, cannot be used: what
// UnusableFileReason says, else "could not be read" (bytes there, none read), else
// "not <what> (no JSON object)" when there was text. Empty when nothing is there or it is empty.
std::string UnusableDocumentReason(const std::string& path, const std::string& text, std::size_t limit,
                                   const std::string& what);

// Moves what is at `path` aside to "<path>.unreadable-YYYYMMDD-hhmmss" (a number added when that
// is taken), never following a link and never touching what a link points to, and records a
// notice. Returns the new path, or empty when nothing was there or it could not be moved (a notice
// is recorded then too, and the file stays).
std::string SetAsideUnreadable(const std::string& path, const std::string& reason);

// The notices recorded since the last call, oldest first; each is given out once.
std::vector<UnreadableFileNotice> TakeUnreadableFileNotices();

// Called (on the recording thread) each time a notice is recorded; the window sets it to show them.
void SetUnreadableFileListener(std::function<void()> listener);

} // namespace nk7x
