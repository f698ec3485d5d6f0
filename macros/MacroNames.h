// The naming rules of macros: blank names, names compared without regard to case, the next free
// "macro_N" name, and which identifiers may name a macro file.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace nk7x {

// The text without leading and trailing white space (ASCII white space and the ideographic space).
std::string TrimWhitespace(std::string_view text);

// True when nothing but white space is left after trimming.
bool IsBlankName(std::string_view name);

// True when two UTF-8 names are equal without regard to case (Latin, Greek, Cyrillic and
// full-width Latin letters fold; other characters compare as they are).
bool SameNameIgnoringCase(std::string_view a, std::string_view b);

// True when `name` equals some name of `names` without regard to case.
bool ContainsNameIgnoringCase(const std::vector<std::string>& names, std::string_view name);

// "macro_N" with the smallest N from 1 upwards that is not already a name of `names`.
std::string NextFreeMacroName(const std::vector<std::string>& names);

// An identifier names a file in the macro folder, so it must stay one plain file name:
// 1-128 characters of letters, digits, '_', '-' and '.', not starting with '.'.
bool IsValidMacroIdentifier(std::string_view identifier);

} // namespace nk7x
