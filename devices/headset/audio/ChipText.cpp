#include "devices/headset/audio/ChipText.h"

#include <charconv>
#include <cmath>

namespace nk7x {

namespace {

std::string_view SkipBlanks(std::string_view text) {
    while (!text.empty() &&
           (text.front() == ' ' || text.front() == '\t' || text.front() == '\n' || text.front() == '\r'))
        text.remove_prefix(1);
    return text;
}

std::string_view TrimBlanks(std::string_view text) {
    text = SkipBlanks(text);
    while (!text.empty() &&
           (text.back() == ' ' || text.back() == '\t' || text.back() == '\n' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

} // namespace

std::optional<std::string> AsciiFromUtf16(const char16_t* text, size_t capacity) {
    if (!text)
        return std::nullopt;
    std::string out;
    for (size_t i = 0; i < capacity; ++i) {
        const char16_t c = text[i];
        if (c == 0)
            return out;
        if (c > 0x7F)
            return std::nullopt;
        out.push_back(static_cast<char>(c));
    }
    return std::nullopt;
}

std::optional<std::string> BoundedText(const char* text, size_t capacity) {
    if (!text)
        return std::nullopt;
    for (size_t i = 0; i < capacity; ++i)
        if (text[i] == 0)
            return std::string(text, i);
    return std::nullopt;
}

std::optional<int64_t> LeadingInteger(std::string_view text) {
    text = SkipBlanks(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc())
        return std::nullopt;
    (void)end;
    return value;
}

std::optional<double> LeadingNumber(std::string_view text) {
    text = SkipBlanks(text);
    if (!text.empty() && text.front() == '+')
        text.remove_prefix(1);
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || !std::isfinite(value))
        return std::nullopt;
    (void)end;
    return value;
}

std::optional<std::vector<int64_t>> NumberList(std::string_view text) {
    std::vector<int64_t> numbers;
    if (TrimBlanks(text).empty())
        return numbers;
    while (true) {
        const size_t comma = text.find(',');
        const std::string_view entry = TrimBlanks(text.substr(0, comma));
        int64_t value = 0;
        const auto [end, ec] = std::from_chars(entry.data(), entry.data() + entry.size(), value);
        if (entry.empty() || ec != std::errc() || end != entry.data() + entry.size())
            return std::nullopt;
        numbers.push_back(value);
        if (comma == std::string_view::npos)
            return numbers;
        text.remove_prefix(comma + 1);
    }
}

std::u16string Utf16FromAscii(std::string_view ascii) {
    return std::u16string(ascii.begin(), ascii.end());
}

} // namespace nk7x
