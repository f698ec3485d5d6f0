// The window scale the main window picks from the work area of its screen.
#pragma once

namespace nk7x {

// 144 on work areas wider than 1500 and taller than 960, else 96.
int ScaleForWorkArea(int width, int height);

// The next smaller scale the windows support, down to 72; 72 itself for 72 and below.
int SmallerScale(int scale);

// The scale when it is one the windows support (48, 72, ... 192); otherwise 96, and the debug line
// says so.
int CheckedScale(int scale);

} // namespace nk7x
