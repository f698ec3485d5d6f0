// CKeyboardKeyAssignments: what each key of the keyboard does: the key list as the profile gives
// it, the captions its key buttons show, and the key table write that carries the list to the
// keyboard (the key map gives the table it starts from).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "devices/keyboard/KeyboardContext.h"
#include "devices/keyboard/KeyboardKeyMap.h"
#include "devices/keyboard/KeyboardView.h"
#include "profiles/ProfileRecords.h"

namespace nk7x {

inline constexpr uint8_t kMacroKeyType = 0x70;
inline constexpr uint8_t kMacroKeyTypeAlt = 0x71;

// The language key of a key code's name; empty when it has none. The default names the factory
// codes ("keyboard_key_" + label); the page gives the key function tables of its panel.
using KeyNameLookup = std::function<std::string(const KeyCode&)>;
std::string FactoryKeyName(const KeyCode& code);

class CKeyboardKeyAssignments {
  public:
    CKeyboardKeyAssignments(CKeyboardContext& context, const CKeyboardKeyMap& keyMap)
        : m_ctx(context), m_keyMap(keyMap) {}

    void SetNameLookup(KeyNameLookup lookup) { m_nameLookup = std::move(lookup); }
    const std::vector<KeyAssignment>& List() const { return m_list; }
    // The profile's list, after a load or a restore.
    void TakeFromProfile() { m_list = m_ctx.Profile().GetKeyList(); }
    // Key `index` does `assignment` from now on: the list into the profile (not saved, nothing
    // sent) and the captions shown again. False for an index outside the list.
    bool Set(int index, const KeyCode& assignment);
    // Keys that play a macro from `macros` on go back to their defaults, in the list and the
    // profile (not saved); true when any did.
    bool ResetMacroKeysFrom(std::size_t macros);
    std::vector<KeyCaption> Captions() const;

    // The key table with the located keys set from `list`; see CKeyboardDevice.
    LinkResult Write(int index, const std::vector<KeyAssignment>& list);
    // The same with the profile's list, through the worker; a failure reaches the view.
    void QueueWrite(int index);

  private:
    struct TableWrite {
        LinkResult result = kResultFailed;
        bool infoRead = false;
        DeviceInfoRecord info{};
    };
    // The information read before the write (the device reports its macro room there), then the
    // table in a configuration session; the link alone.
    TableWrite Transfer(int index, const CKeyboardKeyMap::Table& table);
    // What a write brought back, on the page's thread.
    void Finish(const TableWrite& w);

    CKeyboardContext& m_ctx;
    const CKeyboardKeyMap& m_keyMap;
    KeyNameLookup m_nameLookup = FactoryKeyName;
    std::vector<KeyAssignment> m_list;
};

} // namespace nk7x
