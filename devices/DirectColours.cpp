#include "devices/DirectColours.h"

#include <algorithm>

namespace nk7x {

bool DirectColours::Hold(std::size_t leds) {
    std::lock_guard lock(m_mutex);
    const bool taken = !m_held;
    m_held = true;
    if (m_colours.size() != leds) {
        m_colours.resize(leds);
        ++m_generation;
    }
    if (taken)
        ++m_generation; // the first frame after a take-over always leaves
    return taken;
}

void DirectColours::Set(std::size_t first, std::span<const DirectColour> colours) {
    std::lock_guard lock(m_mutex);
    m_held = true;
    if (first < m_colours.size()) {
        const std::size_t n = std::min(colours.size(), m_colours.size() - first);
        std::copy_n(colours.begin(), n, m_colours.begin() + static_cast<std::ptrdiff_t>(first));
    }
    ++m_generation;
}

bool DirectColours::Release() {
    std::lock_guard lock(m_mutex);
    const bool was = m_held;
    m_held = false;
    return was;
}

bool DirectColours::Held() const {
    std::lock_guard lock(m_mutex);
    return m_held;
}

std::vector<DirectColour> DirectColours::Colours(uint64_t* generation) const {
    std::lock_guard lock(m_mutex);
    if (generation)
        *generation = m_generation;
    return m_held ? m_colours : std::vector<DirectColour>{};
}

} // namespace nk7x
