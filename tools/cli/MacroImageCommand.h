// nk7x-cli macro-image: prints the macro image a keyboard download would send for the macros of a
// kind folder, read from the files as the program reads them; it needs no device and writes nothing.
#pragma once

#include "tools/cli/CliSupport.h"

namespace nk7x::cli {

// True when the command word of the command line is "macro-image" (it has options of its own).
bool IsMacroImageCommand(int argc, char** argv);
Exit RunMacroImage(int argc, char** argv);

inline constexpr const char* kMacroImageUsage =
    "  macro-image [--folder KINDFOLDER] [--json]\n"
    "                            the macro image a download to the keyboard would send for the\n"
    "                            macros of KINDFOLDER (default: the keyboard's folder of this\n"
    "                            user), as hex, 16 bytes a line; exit code 1 when the index or a\n"
    "                            macro file cannot be read\n";

} // namespace nk7x::cli
