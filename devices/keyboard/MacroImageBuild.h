// The macro image a keyboard download sends, built from the macro files of a kind folder; shared
// by the keyboard device and the command-line tool so both read the files the same way.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "devices/MacroDownload.h"

namespace nk7x {

struct MacroImageBuild {
    // Sent: `bytes` is the image to send. NothingToSend: no macros are listed (the keyboard keeps
    // the macros it has). NoImage: the image could not be built (no memory, or longer than its
    // 16-bit length field allows).
    MacroDownload::Status status = MacroDownload::Status::Sent;
    std::vector<uint8_t> bytes;
    std::size_t macroCount = 0; // macros listed in the index
    // Files that are there but could not be read (no access, no regular file, too large, no JSON
    // document): the index, whose macros then count as none, or macro files, whose macros count as
    // having no events. A missing file is not listed: a macro is listed before its first save.
    std::vector<std::string> unreadable;
};

// Reads the index and the macro files of `folder` and builds the image; writes nothing.
MacroImageBuild BuildMacroImage(const std::string& folder);

} // namespace nk7x
