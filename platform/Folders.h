// Where the program's files live: the program folder (DefaultData, skin, Font) and the
// per-user data root. One place decides; nothing else guesses paths.
#pragma once

#include <string>

namespace nk7x {

// The product name; it names the user data root and the single-instance key.
inline constexpr const char* kProductName = "Norla Keys NK-7X";

// The folder of the running executable.
std::string ExecutableFolder();

// The executable's folder when it holds "DefaultData" (build tree, portable copy), else
// "<executable's folder>/../share/nk7x" when that holds it (an installed tree wherever it lies),
// else the installed data folder of the build. NK7X_PROGRAM_DIR overrides all (tests).
std::string ProgramFolder();

// ProgramFolder() + "/DefaultData".
std::string DefaultDataFolder();

// $XDG_DATA_HOME (default ~/.local/share) + "/" + kProductName; created when missing.
std::string UserDataRoot();

// Creates the folder and its parents; true when it exists afterwards.
bool EnsureFolder(const std::string& path);

// Joins two path parts with exactly one separator.
std::string JoinPath(const std::string& a, const std::string& b);

} // namespace nk7x
