// Keeps key assignments pointing at the right macro when one is deleted: keys bound to the deleted
// macro get their default function back, keys bound to a later macro follow it down one place.
#pragma once

#include "profiles/ProfileRecords.h"

#include <vector>

namespace nk7x {

struct MacroKeyFix {
    bool referenced = false; // some key is bound to the deleted macro (the user is asked first)
    bool changed = false;    // some assignment differs from before
};

// True for the assignment types that bind a macro by its index (in the second byte).
bool IsMacroAssignment(const KeyCode& code);

// Whether any key of `list` is bound to macro `removed`.
bool AnyKeyUsesMacro(const std::vector<KeyAssignment>& list, int removed);

// Rewrites `list` for the deletion of macro `removed`.
MacroKeyFix FixKeysForRemovedMacro(std::vector<KeyAssignment>& list, int removed);

} // namespace nk7x
