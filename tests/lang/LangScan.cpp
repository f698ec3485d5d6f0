#include "lang/LangScan.h"

#include <json/json.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
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
        if ((cp >= 0x4E00 && cp <= 0x9FFF) || (cp >= 0x3400 && cp <= 0x4DBF) ||
            (cp >= 0x3000 && cp <= 0x303F) || (cp >= 0xFF00 && cp <= 0xFFEF))
            return true;
    }
    return false;
}

namespace {

bool IsAsciiDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsWordChar(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || IsAsciiDigit(c) || c == '_';
}

// Length of the printf conversion starting with the '%' at i, 0 when there is none.
std::size_t PrintfLength(std::string_view t, std::size_t i) {
    std::size_t j = i + 1;
    while (j < t.size() && std::string_view("-+ #0").find(t[j]) != std::string_view::npos)
        ++j;
    if (j < t.size() && t[j] == '*')
        ++j;
    else
        while (j < t.size() && IsAsciiDigit(t[j]))
            ++j;
    if (j < t.size() && t[j] == '.') {
        ++j;
        if (j < t.size() && t[j] == '*')
            ++j;
        else
            while (j < t.size() && IsAsciiDigit(t[j]))
                ++j;
    }
    for (std::string_view length : {"hh", "ll", "I64", "h", "l", "L", "z", "j", "t"}) {
        if (t.substr(j, length.size()) == length) {
            j += length.size();
            break;
        }
    }
    if (j < t.size() && std::string_view("diouxXeEfFgGaAcspnSC").find(t[j]) != std::string_view::npos)
        return j + 1 - i;
    return 0;
}

// Length of a "%1".."%99" placeholder at i, 0 when there is none.
std::size_t PositionalLength(std::string_view t, std::size_t i) {
    if (i + 1 >= t.size() || t[i + 1] < '1' || t[i + 1] > '9')
        return 0;
    return (i + 2 < t.size() && IsAsciiDigit(t[i + 2])) ? 3 : 2;
}

// Length of a "{0}" or "{name}" placeholder at i, 0 when there is none.
std::size_t BraceLength(std::string_view t, std::size_t i) {
    std::size_t j = i + 1;
    while (j < t.size() && IsWordChar(t[j]))
        ++j;
    return (j < t.size() && t[j] == '}') ? j + 1 - i : 0;
}

} // namespace

Placeholders FindPlaceholders(std::string_view text) {
    Placeholders p;
    std::size_t i = 0;
    while (i < text.size()) {
        std::size_t len = 0;
        if (text[i] == '%') {
            if (i + 1 < text.size() && text[i + 1] == '%') {
                i += 2;
                continue;
            }
            if ((len = PrintfLength(text, i)) != 0)
                p.printf.emplace_back(text.substr(i, len));
            else if ((len = PositionalLength(text, i)) != 0)
                p.positional.emplace_back(text.substr(i, len));
        } else if (text[i] == '{') {
            if ((len = BraceLength(text, i)) != 0)
                p.positional.emplace_back(text.substr(i, len));
        }
        i += len ? len : 1;
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

void PrintTo(const Placeholders& p, std::ostream* os) {
    *os << Describe(p);
}

namespace {

bool IsHexDigit(char c) {
    return IsAsciiDigit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

// True when the quote at i follows a raw-string prefix (R, u8R, uR, UR, LR) that starts a token.
bool IsRawStringQuote(std::string_view s, std::size_t i) {
    if (i == 0 || s[i - 1] != 'R')
        return false;
    std::size_t start = i - 1;
    while (start > 0 && IsWordChar(s[start - 1]))
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
                    case 'n':
                        lit += '\n';
                        break;
                    case 't':
                        lit += '\t';
                        break;
                    case '\\':
                    case '"':
                    case '\'':
                    case '?':
                        lit += e;
                        break;
                    default:
                        lit += '\\';
                        lit += e;
                        break;
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
                while (start > 0 && IsWordChar(s[start - 1]))
                    --start;
                if (IsAsciiDigit(s[start])) {
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
    // "%" or "{" make it a format that builds keys, not a key.
    if (literal.find_first_of("%{") != std::string_view::npos)
        return false;
    auto rest = [&](std::string_view prefix, std::string_view& tail) {
        if (literal.size() <= prefix.size() || literal.substr(0, prefix.size()) != prefix)
            return false;
        tail = literal.substr(prefix.size());
        return true;
    };
    auto all = [](std::string_view t, bool (*pred)(char)) { return std::all_of(t.begin(), t.end(), pred); };
    std::string_view tail;
    if (rest("message_text_", tail))
        return all(tail, IsAsciiDigit);
    if (rest("keyboard_key_", tail) || rest("mouse_key_", tail))
        return true; // labels such as "Num +" or "`"
    for (std::string_view prefix : {"mouse_move_", "light_mode_", "light_area_"})
        if (rest(prefix, tail))
            return all(tail, IsWordChar);
    return false;
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

namespace {

// True for an attribute or property name such as "textKey" or "tooltipKey".
bool IsKeyName(std::string_view name) {
    return name.size() > 3 && name[0] >= 'a' && name[0] <= 'z' && name.substr(name.size() - 3) == "Key" &&
           std::all_of(name.begin(), name.end(),
                       [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); });
}

std::size_t SkipSpace(std::string_view s, std::size_t i) {
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t' || s[i] == '\r' || s[i] == '\n'))
        ++i;
    return i;
}

// Designer form: <property name="textKey" ...><string ...>KEY</string>.
void PropertyKeys(std::string_view xml, std::vector<std::string>& keys) {
    static constexpr std::string_view kOpen = "<property";
    static constexpr std::string_view kName = "name=\"";
    for (std::size_t at = xml.find(kOpen); at != std::string_view::npos; at = xml.find(kOpen, at + 1)) {
        const std::size_t tagEnd = xml.find('>', at);
        if (tagEnd == std::string_view::npos)
            return;
        const std::string_view tag = xml.substr(at, tagEnd - at);
        const std::size_t n = tag.find(kName);
        if (n == std::string_view::npos)
            continue;
        const std::size_t nameEnd = tag.find('"', n + kName.size());
        if (nameEnd == std::string_view::npos ||
            !IsKeyName(tag.substr(n + kName.size(), nameEnd - n - kName.size())))
            continue;
        std::size_t i = SkipSpace(xml, tagEnd + 1);
        if (xml.substr(i, 7) != "<string")
            continue;
        const std::size_t stringEnd = xml.find('>', i);
        if (stringEnd == std::string_view::npos || xml[stringEnd - 1] == '/')
            continue; // <string/>: no key
        const std::size_t close = xml.find("</string>", stringEnd);
        if (close == std::string_view::npos)
            return;
        std::string key = DecodeXmlText(std::string(xml.substr(stringEnd + 1, close - stringEnd - 1)));
        if (!key.empty())
            keys.push_back(std::move(key));
    }
}

// Attribute form: <Item textKey="KEY"/>.
void AttributeKeys(std::string_view xml, std::vector<std::string>& keys) {
    for (std::size_t i = 0; i < xml.size(); ++i) {
        if (!(xml[i] == ' ' || xml[i] == '\t' || xml[i] == '\n' || xml[i] == '\r'))
            continue;
        std::size_t j = i + 1;
        while (j < xml.size() && IsWordChar(xml[j]))
            ++j;
        if (!IsKeyName(xml.substr(i + 1, j - i - 1)))
            continue;
        j = SkipSpace(xml, j);
        if (j >= xml.size() || xml[j] != '=')
            continue;
        j = SkipSpace(xml, j + 1);
        if (j >= xml.size() || xml[j] != '"')
            continue;
        const std::size_t end = xml.find('"', j + 1);
        if (end == std::string_view::npos)
            return;
        std::string key = DecodeXmlText(std::string(xml.substr(j + 1, end - j - 1)));
        if (!key.empty())
            keys.push_back(std::move(key));
        i = end;
    }
}

} // namespace

std::vector<std::string> LayoutKeys(std::string_view xml) {
    std::vector<std::string> keys;
    PropertyKeys(xml, keys);
    AttributeKeys(xml, keys);
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
    for (auto it = fs::recursive_directory_iterator(folder, ec);
         !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
        if (!it->is_regular_file(ec))
            continue;
        const std::string name = it->path().filename().string();
        for (const auto& suffix : suffixes) {
            if (name.size() >= suffix.size() &&
                name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0) {
                out.push_back(it->path().string());
                break;
            }
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

} // namespace nk7x::langcheck
