#include "macros/MacroNames.h"

#include <cstdint>

namespace nk7x {
namespace {

constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";

bool IsAsciiSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// Decodes one UTF-8 sequence at `pos` and advances it. A malformed byte decodes as itself offset
// into a private range, so broken text still compares byte for byte and never reads past the end.
char32_t NextCodePoint(std::string_view s, std::size_t& pos) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char lead = byte(pos);
    auto raw = [&]() {
        ++pos;
        return static_cast<char32_t>(0x110000u + lead);
    };
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    int extra = 0;
    char32_t cp = 0;
    if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        cp = lead & 0x07;
    } else {
        return raw();
    }
    if (pos + static_cast<std::size_t>(extra) >= s.size())
        return raw();
    for (int k = 1; k <= extra; ++k) {
        const unsigned char c = byte(pos + static_cast<std::size_t>(k));
        if ((c & 0xC0) != 0x80)
            return raw();
        cp = (cp << 6) | (c & 0x3F);
    }
    pos += static_cast<std::size_t>(extra) + 1;
    return cp;
}

// Simple lower-case mapping for the scripts with case that names are likely to use.
char32_t FoldCase(char32_t c) {
    if (c >= U'A' && c <= U'Z')
        return c + 0x20;
    if (c >= 0xC0 && c <= 0xDE && c != 0xD7)
        return c + 0x20;
    if (c >= 0x100 && c <= 0x17F) {
        if (c == 0x178)
            return 0xFF;
        const bool oddUpper = (c >= 0x139 && c <= 0x148) || (c >= 0x179 && c <= 0x17E);
        if (c == 0x130 || c == 0x131 || c == 0x138 || c == 0x149 || c == 0x17F)
            return c;
        if (oddUpper)
            return (c & 1) ? c + 1 : c;
        return (c & 1) ? c : c + 1;
    }
    if (c >= 0x391 && c <= 0x3A9 && c != 0x3A2)
        return c + 0x20;
    if (c >= 0x410 && c <= 0x42F)
        return c + 0x20;
    if (c >= 0x400 && c <= 0x40F)
        return c + 0x50;
    if (c >= 0xFF21 && c <= 0xFF3A)
        return c + 0x20;
    return c;
}

} // namespace

std::string TrimWhitespace(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    for (;;) {
        if (begin < end && IsAsciiSpace(text[begin]))
            ++begin;
        else if (text.substr(begin, end - begin).starts_with(kIdeographicSpace))
            begin += kIdeographicSpace.size();
        else
            break;
    }
    for (;;) {
        if (end > begin && IsAsciiSpace(text[end - 1]))
            --end;
        else if (text.substr(begin, end - begin).ends_with(kIdeographicSpace))
            end -= kIdeographicSpace.size();
        else
            break;
    }
    return std::string(text.substr(begin, end - begin));
}

bool IsBlankName(std::string_view name) {
    return TrimWhitespace(name).empty();
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
    std::size_t i = 0;
    std::size_t j = 0;
    while (i < a.size() && j < b.size()) {
        if (FoldCase(NextCodePoint(a, i)) != FoldCase(NextCodePoint(b, j)))
            return false;
    }
    return i == a.size() && j == b.size();
}

bool ContainsNameIgnoringCase(const std::vector<std::string>& names, std::string_view name) {
    for (const std::string& n : names)
        if (SameNameIgnoringCase(n, name))
            return true;
    return false;
}

std::string NextFreeMacroName(const std::vector<std::string>& names) {
    // Among names.size() + 1 candidates at least one is free.
    for (std::size_t n = 1;; ++n) {
        std::string candidate = "macro_" + std::to_string(n);
        if (!ContainsNameIgnoringCase(names, candidate))
            return candidate;
    }
}

bool IsValidMacroIdentifier(std::string_view identifier) {
    if (identifier.empty() || identifier.size() > 128 || identifier.front() == '.')
        return false;
    for (char c : identifier) {
        const bool ok = (c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') ||
                        c == '_' || c == '-' || c == '.';
        if (!ok)
            return false;
    }
    return true;
}

} // namespace nk7x
