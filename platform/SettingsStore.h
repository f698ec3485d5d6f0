// The per-user settings store that stands where the registry stood: keys named like registry key
// paths ("SOFTWARE\\<product name>") holding 32-bit values and texts, kept in one file replaced atomically.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace nk7x {

class SettingsStore {
  public:
    // The store of this user: $XDG_CONFIG_HOME (default ~/.config) + "/" + product name + "/settings.ini".
    static std::string DefaultPath();

    // The key under which the program keeps its values: "SOFTWARE\\" + product name.
    static std::string ProductKey();

    explicit SettingsStore(std::string filePath);

    const std::string& Path() const { return m_path; }

    bool KeyExists(const std::string& key) const;

    // Creates the key when it is missing; true when it exists afterwards.
    bool CreateKey(const std::string& key);

    // The value when key and value exist and hold a decimal 32-bit number.
    std::optional<uint32_t> ReadDword(const std::string& key, const std::string& value) const;

    // Sets the value in an existing key; false (and nothing written) when the key is missing or the
    // file cannot be replaced.
    bool WriteDword(const std::string& key, const std::string& value, uint32_t data);

    // The text of the value when key and value exist (blanks around it are not kept).
    std::optional<std::string> ReadString(const std::string& key, const std::string& value) const;

    // Sets a text value in an existing key; false (and nothing written) when the key is missing, the
    // name is not usable or the text holds a line break.
    bool WriteString(const std::string& key, const std::string& value, const std::string& data);

    // How many times this object replaced the file; lets callers prove that nothing was written.
    int WriteCount() const { return m_writes; }

  private:
    using Section = std::map<std::string, std::string>;
    using Sections = std::map<std::string, Section>;

    // A missing or unreadable file reads as empty; malformed lines are skipped.
    Sections Load() const;
    bool Save(const Sections& sections);

    std::string m_path;
    int m_writes = 0;
};

} // namespace nk7x
