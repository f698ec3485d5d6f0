// The keyboard's own key table and LED table as last read, and where each of the program's keys
// sits in them: what a key table write starts from and what the key events are located by.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <vector>

#include "devices/keyboard/KeyboardTables.h"
#include "link/DeviceCommandLink.h"
#include "profiles/ProfileRecords.h"

namespace nk7x {

inline constexpr uint8_t kKeyNotFound = 0xFF;
inline constexpr int kMaxDeviceKeys = CDeviceCommandLink::kMaxDataSize / 3; // 170

class CKeyboardKeyMap {
  public:
    using Table = std::array<uint8_t, CDeviceCommandLink::kMaxDataSize>;

    CKeyboardKeyMap();

    // The tables of a layout read with `keys` keys; every key is located again.
    void Take(int keys, const Table& keyTable, const Table& ledTable);
    // Locates every key in the tables held.
    void Rebuild();

    // The key's position in the keyboard's table, or its LED; kKeyNotFound when the keyboard has
    // no such key. Safe from any thread (the key-event reader asks).
    uint8_t Position(int keyIndex) const;
    uint8_t Led(int keyIndex) const;
    int Keys() const { return m_keys; }
    const Table& KeyTable() const { return m_keyTable; }
    const Table& LedTable() const { return m_ledTable; }

    // The key table to write: the one read with the located keys set from `list`. False while no
    // layout has been read or the link's data size is not the table's (writing would wipe the
    // keyboard's keys).
    bool BuildKeyTable(const std::vector<KeyAssignment>& list, uint32_t linkDataSize, Table& table) const;

  private:
    Table m_keyTable{};
    Table m_ledTable{};
    int m_keys = 0;
    // Read by the key-event thread, written by the layout read.
    std::array<std::atomic<uint8_t>, kKeyboardKeyCount> m_positions;
    std::array<std::atomic<uint8_t>, kKeyboardKeyCount> m_leds;
};

} // namespace nk7x
