#include "devices/keyboard/KeyboardKeyMap.h"

#include <algorithm>

namespace nk7x {

CKeyboardKeyMap::CKeyboardKeyMap() {
    for (auto& p : m_positions)
        p.store(kKeyNotFound, std::memory_order_relaxed);
    for (auto& l : m_leds)
        l.store(kKeyNotFound, std::memory_order_relaxed);
}

void CKeyboardKeyMap::Take(int keys, const Table& keyTable, const Table& ledTable) {
    m_keyTable = keyTable;
    m_ledTable = ledTable;
    m_keys = keys;
    Rebuild();
}

void CKeyboardKeyMap::Rebuild() {
    std::array<uint8_t, kKeyboardKeyCount> positions;
    std::array<uint8_t, kKeyboardKeyCount> leds;
    positions.fill(kKeyNotFound);
    leds.fill(kKeyNotFound);
    for (size_t k = 0; k < positions.size(); ++k) {
        const KeyCode& code = DefaultKeyCodeTable[k].code;
        for (int p = 0; p < m_keys && p < kMaxDeviceKeys; ++p) {
            const size_t at = 3 * static_cast<size_t>(p);
            if (m_keyTable[at] == code.type && m_keyTable[at + 1] == code.b1 &&
                m_keyTable[at + 2] == code.b2) {
                positions[k] = static_cast<uint8_t>(p);
                leds[k] = m_ledTable[static_cast<size_t>(p)];
                break;
            }
        }
    }
    for (size_t k = 0; k < positions.size(); ++k) {
        m_positions[k].store(positions[k], std::memory_order_relaxed);
        m_leds[k].store(leds[k], std::memory_order_relaxed);
    }
}

uint8_t CKeyboardKeyMap::Position(int keyIndex) const {
    if (keyIndex < 0 || keyIndex >= kKeyboardKeyCount)
        return kKeyNotFound;
    return m_positions[static_cast<size_t>(keyIndex)].load(std::memory_order_relaxed);
}

uint8_t CKeyboardKeyMap::Led(int keyIndex) const {
    if (keyIndex < 0 || keyIndex >= kKeyboardKeyCount)
        return kKeyNotFound;
    return m_leds[static_cast<size_t>(keyIndex)].load(std::memory_order_relaxed);
}

bool CKeyboardKeyMap::BuildKeyTable(const std::vector<KeyAssignment>& list, uint32_t linkDataSize,
                                    Table& table) const {
    if (m_keys == 0 || linkDataSize != 3 * static_cast<uint32_t>(m_keys))
        return false;
    table = m_keyTable;
    const size_t count = std::min(list.size(), static_cast<size_t>(kKeyboardKeyCount));
    for (size_t i = 0; i < count; ++i) {
        const uint8_t p = Position(static_cast<int>(i));
        if (p == kKeyNotFound || p >= m_keys)
            continue;
        const KeyCode& code = list[i].assignment;
        table[3 * size_t{p}] = code.type;
        table[3 * size_t{p} + 1] = code.b1;
        table[3 * size_t{p} + 2] = code.b2;
    }
    return true;
}

} // namespace nk7x
