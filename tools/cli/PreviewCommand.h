// nk7x-cli preview: runs a page's light preview from a fresh mode change and prints the per-key
// colour vector; it needs no device.
#pragma once

#include "tools/cli/CliSupport.h"

namespace nk7x::cli {

// True when the command word of the command line is "preview" (it has options of its own).
bool IsPreviewCommand(int argc, char** argv);
Exit RunPreview(int argc, char** argv);

inline constexpr const char* kPreviewUsage =
    "  preview --kind keyboard --mode M --steps N [--speed S] [--light L] [--fx F]\n"
    "          [--multicolor C] [--rgb R,G,B] [--zzcc Z] [--keys press:K@T,release:K@T,...]\n"
    "                            run N preview steps of lighting mode M from a fresh mode change\n"
    "                            and print red, green, blue and alpha of every key; a key event\n"
    "                            K@T (key index K) happens after T steps; no device needed;\n"
    "                            defaults: speed 0, light 4, fx 1, multicolor 0, rgb 255,255,255, zzcc 0\n";

} // namespace nk7x::cli
