#include "lang/LangScan.h"

#include <json/json.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>
#include <set>
#include <utility>

namespace nk7x::langcheck {

TextFile ParseTextFile(const std::string& bytes) {
    TextFile file;
    Json::CharReaderBuilder builder;
    Json::CharReaderBuilder::strictMode(&builder.settings_);
    // A key given twice silently keeps only one of its texts.
    builder["rejectDupKeys"] = true;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    if (!reader->parse(bytes.data(), bytes.data() + bytes.size(), &root, &file.error))
        return file;
    if (!root.isObject()) {
        file.error = "the root is not an object";
        return file;
    }
    for (auto it = root.begin(); it != root.end(); ++it) {
        if (it->isString())
            file.texts[it.name()] = it->asString();
        else
            file.nonStringKeys.push_back(it.name());
    }
    file.ok = true;
    return file;
}

namespace {

// Decodes one UTF-8 sequence at i; false when it is malformed, overlong or a surrogate.
bool NextCodePoint(std::string_view s, std::size_t& i, char32_t& cp) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    int extra = 0;
    if (b0 < 0x80) {
        cp = b0;
    } else if ((b0 & 0xE0) == 0xC0) {
        cp = b0 & 0x1F;
        extra = 1;
    } else if ((b0 & 0xF0) == 0xE0) {
        cp = b0 & 0x0F;
        extra = 2;
    } else if ((b0 & 0xF8) == 0xF0) {
        cp = b0 & 0x07;
        extra = 3;
    } else {
        return false;
    }
    if (i + static_cast<std::size_t>(extra) >= s.size())
        return false; // truncated sequence
    for (int k = 1; k <= extra; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80)
            return false;
        cp = (cp << 6) | (b & 0x3F);
    }
    static constexpr char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (cp < kMin[extra] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return false;
    i += static_cast<std::size_t>(extra) + 1;
    return true;
}

} // namespace

bool IsValidUtf8(std::string_view bytes) {
    std::size_t i = 0;
    char32_t cp = 0;
    while (i < bytes.size())
        if (!NextCodePoint(bytes, i, cp))
            return false;
    return true;
}

bool ContainsCjk(std::string_view utf8) {
    std::size_t i = 0;
    char32_t cp = 0;
    while (i < utf8.size()) {
        if (!NextCodePoint(utf8, i, cp))
            return false;
        if ((cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0x3400 && cp <= 0x4DBF) || (cp >= 0x3000 && cp <= 0x303F) ||
            (cp >= 0xFF00 && cp <= 0xFFEF))
            return true;
    }
    return false;
}

Placeholders FindPlaceholders(std::string_view text) {
    static const std::regex kPrintf(R"(^%[-+ #0]*(\d+|\*)?(\.(\d+|\*))?(hh|h|ll|l|L|z|j|t|I64)?[diouxXeEfFgGaAcspnSC])");
    static const std::regex kPositional(R"(^%[1-9][0-9]?)");
    static const std::regex kBrace(R"(^\{[0-9A-Za-z_]*\})");
    Placeholders p;
    std::size_t i = 0;
    while (i < text.size()) {
        const char c = text[i];
        if (c == '%') {
            if (i + 1 < text.size() && text[i + 1] == '%') {
                i += 2;
                continue;
            }
            const std::string rest(text.substr(i));
            std::smatch m;
            if (std::regex_search(rest, m, kPrintf)) {
                p.printf.push_back(m.str());
                i += static_cast<std::size_t>(m.length());
                continue;
            }
            if (std::regex_search(rest, m, kPositional)) {
                p.positional.push_back(m.str());
                i += static_cast<std::size_t>(m.length());
                continue;
            }
        } else if (c == '{') {
            const std::string rest(text.substr(i));
            std::smatch m;
            if (std::regex_search(rest, m, kBrace)) {
                p.positional.push_back(m.str());
                i += static_cast<std::size_t>(m.length());
                continue;
            }
        }
        ++i;
    }
    std::sort(p.positional.begin(), p.positional.end());
    return p;
}

std::string Describe(const Placeholders& p) {
    std::string out = "[";
    for (const auto& s : p.printf)
        out += s + " ";
    out += "|";
    for (const auto& s : p.positional)
        out += " " + s;
    return out + "]";
}

void PrintTo(const Placeholders& p, std::ostream* os) { *os << Describe(p); }

namespace {

bool IsIdentChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_';
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsHexDigit(char c) { return IsDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// True when the quote at i follows a raw-string prefix (R, u8R, uR, UR, LR) that starts a token.
bool IsRawStringQuote(std::string_view s, std::size_t i) {
    if (i == 0 || s[i - 1] != 'R')
        return false;
    std::size_t start = i - 1;
    while (start > 0 && IsIdentChar(s[start - 1]))
        --start;
    const std::string_view prefix = s.substr(start, i - start);
    return prefix == "R" || prefix == "u8R" || prefix == "uR" || prefix == "UR" || prefix == "LR";
}

} // namespace

std::vector<std::string> StringLiterals(std::string_view s) {
    std::vector<std::string> out;
    std::size_t i = 0;
    const std::size_t n = s.size();
    while (i < n) {
        const char c = s[i];
        if (c == '/' && i + 1 < n && s[i + 1] == '/') {
            while (i < n && s[i] != '\n')
                ++i;
        } else if (c == '/' && i + 1 < n && s[i + 1] == '*') {
            const std::size_t end = s.find("*/", i + 2);
            i = end == std::string_view::npos ? n : end + 2;
        } else if (c == '"' && IsRawStringQuote(s, i)) {
            const std::size_t open = s.find('(', i + 1);
            if (open == std::string_view::npos)
                break;
            const std::string close = ")" + std::string(s.substr(i + 1, open - i - 1)) + "\"";
            const std::size_t end = s.find(close, open + 1);
            if (end == std::string_view::npos)
                break;
            out.emplace_back(s.substr(open + 1, end - open - 1));
            i = end + close.size();
        } else if (c == '"') {
            std::string lit;
            ++i;
            while (i < n && s[i] != '"' && s[i] != '\n') {
                if (s[i] == '\\' && i + 1 < n) {
                    const char e = s[i + 1];
                    switch (e) {
                    case 'n': lit += '\n'; break;
                    case 't': lit += '\t'; break;
                    case '\\': case '"': case '\'': case '?': lit += e; break;
                    default: lit += '\\'; lit += e; break;
                    }
                    i += 2;
                } else {
                    lit += s[i++];
                }
            }
            ++i; // the closing quote
            out.push_back(std::move(lit));
        } else if (c == '\'') {
            // A digit separator (1'000, 0xFF'FF) is no character literal.
            if (i > 0 && IsHexDigit(s[i - 1]) && i + 1 < n && IsHexDigit(s[i + 1])) {
                std::size_t start = i;
                while (start > 0 && IsIdentChar(s[start - 1]))
                    --start;
                if (IsDigit(s[start])) {
                    ++i;
                    continue;
                }
            }
            ++i;
            while (i < n && s[i] != '\'' && s[i] != '\n')
                i += (s[i] == '\\') ? 2 : 1;
            ++i;
        } else {
            ++i;
        }
    }
    return out;
}

bool IsCheckedKeyLiteral(std::string_view literal) {
    static const std::regex kKey(
        R"(^(message_text_[0-9]+|keyboard_key_.+|mouse_key_.+|mouse_move_\w+|light_mode_\w+|light_area_\w+)$)");
    // "%" or "{" make it a format that builds keys, not a key.
    if (literal.find('%') != std::string_view::npos || literal.find('{') != std::string_view::npos)
        return false;
    return std::regex_match(std::string(literal), kKey);
}

namespace {

std::string DecodeXmlText(std::string s) {
    static const std::pair<const char*, const char*> kEntities[] = {
        {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&apos;", "'"}, {"&amp;", "&"}};
    for (const auto& [from, to] : kEntities) {
        std::size_t pos = 0;
        const std::string f(from);
        while ((pos = s.find(f, pos)) != std::string::npos) {
            s.replace(pos, f.size(), to);
            pos += std::string(to).size();
        }
    }
    return s;
}

} // namespace

std::vector<std::string> LayoutKeys(std::string_view xml) {
    static const std::regex kProperty(
        R"re(<property\s+name="([a-z][A-Za-z]*Key)"[^>]*>\s*<string[^>]*>([^<]*)</string>)re");
    static const std::regex kAttribute(R"re(\s([a-z][A-Za-z]*Key)\s*=\s*"([^"]*)")re");
    std::vector<std::string> keys;
    const std::string text(xml);
    for (const auto* re : {&kProperty, &kAttribute}) {
        for (auto it = std::sregex_iterator(text.begin(), text.end(), *re); it != std::sregex_iterator(); ++it) {
            std::string key = DecodeXmlText((*it)[2].str());
            if (!key.empty())
                keys.push_back(std::move(key));
        }
    }
    return keys;
}

std::vector<KeyUse> MissingKeys(const std::vector<KeyUse>& uses, const TextFile& file) {
    std::vector<KeyUse> missing;
    std::set<std::pair<std::string, std::string>> seen;
    for (const auto& use : uses)
        if (!file.texts.count(use.key) && seen.insert({use.key, use.where}).second)
            missing.push_back(use);
    return missing;
}

bool ReadWholeFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in)
        return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return !in.bad();
}

std::vector<std::string> FilesBelow(const std::string& folder, const std::vector<std::string>& suffixes) {
    namespace fs = std::filesystem;
    std::vector<std::string> out;
    std::error_code ec;
    if (!fs::is_directory(folder, ec))
        return out;
    for (auto it = fs::recursive_directory_iterator(folder, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec)) {
        if (!it->is_regular_file(ec))
            continue;
        const std::string name = it->path().filename().string();
        for (const auto& suffix : suffixes) {
            if (name.size() >= suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
                out.push_back(it->path().string());
                break;
            }
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace nk7x::langcheck
