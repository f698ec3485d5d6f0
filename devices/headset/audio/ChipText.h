// Reading what the audio-chip library writes into a buffer: bounded 16-bit and 8-bit text, and
// the numbers in it. A text that does not end inside its buffer is refused, never read past.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace nk7x {

// The 16-bit text at `text` up to its NUL, as 8-bit text; nullopt when there is no NUL within
// `capacity` units or a character is outside ASCII (numbers are all the library writes).
std::optional<std::string> AsciiFromUtf16(const char16_t* text, size_t capacity);

// The 8-bit text up to its NUL; nullopt when there is no NUL within `capacity` bytes.
std::optional<std::string> BoundedText(const char* text, size_t capacity);

// The number at the start of `text` after blanks ("37", "-4", "0.37", "1e-1 dB"); what follows it
// is ignored. nullopt when no number starts there or it does not fit.
std::optional<int64_t> LeadingInteger(std::string_view text);
std::optional<double> LeadingNumber(std::string_view text);

// "131072, 0,0,0,5,0,7": every comma-separated entry as a number; nullopt when an entry is not one.
std::optional<std::vector<int64_t>> NumberList(std::string_view text);

// ASCII property name as the library's 16-bit text.
std::u16string Utf16FromAscii(std::string_view ascii);

} // namespace nk7x
