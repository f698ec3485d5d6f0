// The texts of the language the user chose, for what speaks before the main window exists (a
// second start whose first instance does not answer).
#pragma once

#include "app/MainWnd.h"
#include "ui/LanguageTexts.h"

namespace nk7x {

// Loads the stored language's text file (English when none is stored or it cannot be read) from
// the program folder of `options`; false when no text file could be read at all.
bool LoadStoredLanguageTexts(const ShellOptions& options, LanguageTexts& texts);

} // namespace nk7x
