// One shoot pattern document as the shoot panel edits it: a JSON object whose "Events" array holds
// six macro event records per bullet, bullet b owning elements 6b to 6b + 5.
#pragma once

#include "devices/mouse/ShootImageBuild.h"

#include <json/value.h>

#include <string_view>
#include <vector>

namespace nk7x {

// What a move or wait of an event can carry: "Button" is one byte, a delay 16 bits.
inline constexpr int kShootMaxMove = 255;
inline constexpr int kShootMaxDelay = 65535;

struct ShootBullet {
    bool left = false; // sideways move "down": to the left; else to the right
    int x = 0;         // sideways counts, 0..kShootMaxMove
    bool up = false;   // vertical move "down": upwards; else downwards
    int y = 0;         // vertical counts, 0..kShootMaxMove
    int delay = 0;     // milliseconds after the vertical move, 0..kShootMaxDelay

    bool operator==(const ShootBullet&) const = default;
};

// A pattern: a JSON object whose "Events" is an array.
bool IsShootPattern(const Json::Value& doc);
// {"Events": []}
Json::Value EmptyShootPattern();

// Bullet `bullet` as elements 6b + 2 (sideways) and 6b + 3 (vertical, with the delay) describe it;
// missing members and elements read as 0 and the "up" direction, "Action" is compared without
// case, and numbers are clamped to what the event can carry. Zeros for a bullet out of range.
ShootBullet ReadShootBullet(const Json::Value& doc, int bullet);
// All kShootBulletCount bullets.
std::vector<ShootBullet> ReadShootBullets(const Json::Value& doc);

// Writes the six elements of `bullet`: press and release of the left button, the two moves and
// their zero repeats, member by member ("Action", "Button", "Delay", "Type", numbers as
// integers). `doc` becomes an object and "Events" an array when they are not; a shorter array is
// lengthened with nulls; every other member and element stays. False (nothing written) for a
// bullet out of range.
bool WriteShootBullet(Json::Value& doc, int bullet, const ShootBullet& value);

// A number typed into an edit box: leading white space and a plus sign are skipped, decimal digits
// are read up to the first other character; no digits or a minus sign give 0; the value is
// clamped to 0..max.
int ParseShootNumber(std::string_view text, int max);

} // namespace nk7x
