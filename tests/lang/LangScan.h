// Readers behind the language file checks: a strict reader for a text file, the placeholders of a
// text, and the language keys named by C++ sources and by skin layouts.
#pragma once

#include <map>
#include <ostream>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace nk7x::langcheck {

// One language text file: a flat JSON object {"language key": "text"}.
struct TextFile {
    bool ok = false;   // parsed as an object, without duplicate keys or trailing data
    std::string error; // why not, when !ok
    std::map<std::string, std::string> texts;
    std::vector<std::string> nonStringKeys; // members whose value is not a string
};

TextFile ParseTextFile(const std::string& bytes);

bool IsValidUtf8(std::string_view bytes);
bool ContainsCjk(std::string_view utf8);

// What a text hands to a formatter: printf conversions in order (their order matters), and
// positional ("%1") and brace ("{0}", "{name}") placeholders as a sorted list.
struct Placeholders {
    std::vector<std::string> printf;
    std::vector<std::string> positional;
    bool operator==(const Placeholders&) const = default;
};
Placeholders FindPlaceholders(std::string_view text);
std::string Describe(const Placeholders& p);
void PrintTo(const Placeholders& p, std::ostream* os); // for test failure messages

// The string literals of a C++ source, escapes decoded; comments and character literals skipped.
std::vector<std::string> StringLiterals(std::string_view source);

// True for a literal that must be a language key the files carry: message texts, key and button
// names, mouse moves, lighting mode and area names. A bare prefix or a format is no key.
bool IsCheckedKeyLiteral(std::string_view literal);

// The language keys a layout names: Designer properties and XML attributes called "...Key"
// (textKey, tooltipKey).
std::vector<std::string> LayoutKeys(std::string_view xml);

// Where a key is used, for the failure message.
struct KeyUse {
    std::string key;
    std::string where;
};

// The uses whose key the file lacks, each (key, place) once.
std::vector<KeyUse> MissingKeys(const std::vector<KeyUse>& uses, const TextFile& file);

bool ReadWholeFile(const std::string& path, std::string& out);

// Regular files below folder (recursively) whose names end in one of the suffixes, sorted; empty
// when the folder does not exist.
std::vector<std::string> FilesBelow(const std::string& folder, const std::vector<std::string>& suffixes);

} // namespace nk7x::langcheck
