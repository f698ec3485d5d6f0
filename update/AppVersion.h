// The application's own version as the build gives it, and the number the update server compares:
// the version text with its dots removed, read as a decimal number.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace nk7x {

// The project version of the build ("0.1.0"); the about window and --version show the same text.
const char* ApplicationVersionText();

// The version text with every "." removed, read as decimal ("1.0.3" gives 103). Reading stops at
// the first character that is not a digit; no digit at all, or a number beyond 32 bits, gives 0.
uint32_t DisplayVersionNumber(std::string_view text);

// DisplayVersionNumber of the build's own version.
uint32_t ApplicationVersionNumber();

} // namespace nk7x
