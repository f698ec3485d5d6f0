// The shoot image a mouse download sends: the mouse's four shoot patterns, read from their files in
// a folder, as the blocks of a macro image (same header, offset table and event encoding).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace nk7x {

// A mouse keeps one shoot pattern per gun; a pattern is a row of bullets of six events each.
inline constexpr int kShootGunCount = 4;
inline constexpr int kShootBulletCount = 30;
inline constexpr int kShootEventsPerBullet = 6;

// "ShootData_" + gun + ".Shoot": the name of a gun's pattern file, both in the device's data
// folder and in the default data folder.
std::string ShootPatternFileName(int gun);
// The pattern file of `gun` in `folder`.
std::string ShootPatternPath(const std::string& folder, int gun);

struct ShootImageBuild {
    // False when the image cannot be built: longer than its 16-bit length field allows, or no
    // memory. `bytes` is then empty and nothing is to be sent.
    bool ok = false;
    std::vector<uint8_t> bytes;
    // Events in each gun's block: one per record of its file, so that every bullet keeps its six
    // slots. A record that is no usable event (null, an unknown type, a distance outside 0..255)
    // goes as an empty event (four zero bytes), which the mouse passes over.
    std::array<std::size_t, kShootGunCount> eventCounts{};
    // Files that are there but could not be read as a pattern; their guns count as having no
    // events. A missing file counts the same way but is not listed.
    std::vector<std::string> unreadable;
    // Records sent as empty events, all guns together.
    std::size_t emptied = 0;
};

// Reads the four pattern files of `folder` and builds the image; writes nothing.
// T = 16 + 6 x 4 + 4 x (sum of the event counts).
ShootImageBuild BuildShootImage(const std::string& folder);

} // namespace nk7x
