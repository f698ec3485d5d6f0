#include "panels/macros/MacroKeyAssignments.h"

#include "devices/keyboard/KeyboardDevice.h"

namespace nk7x {

bool IsMacroAssignment(const KeyCode& code) {
    return code.type == kMacroKeyType || code.type == kMacroKeyTypeAlt;
}

bool AnyKeyUsesMacro(const std::vector<KeyAssignment>& list, int removed) {
    for (const KeyAssignment& entry : list)
        if (IsMacroAssignment(entry.assignment) && entry.assignment.b1 == removed)
            return true;
    return false;
}

MacroKeyFix FixKeysForRemovedMacro(std::vector<KeyAssignment>& list, int removed) {
    MacroKeyFix fix;
    if (removed < 0)
        return fix;
    for (KeyAssignment& entry : list) {
        if (!IsMacroAssignment(entry.assignment))
            continue;
        if (entry.assignment.b1 == removed) {
            fix.referenced = true;
            if (!(entry.assignment == entry.defaultAssignment)) {
                entry.assignment = entry.defaultAssignment;
                fix.changed = true;
            }
        } else if (entry.assignment.b1 > removed) {
            --entry.assignment.b1;
            fix.changed = true;
        }
    }
    return fix;
}

} // namespace nk7x
