// The interface languages: the list beside the program, the stored choice, and switching, with
// the rule for when the font table is rebuilt.
#pragma once

#include "platform/SettingsStore.h"

#include <cstdint>
#include <string>
#include <vector>

namespace nk7x {

struct LanguageEntry {
    std::string name; // "Language_name": handed to the toolkit as the current language
    std::string file; // "Language_file": the text file, relative to the skin folder
    int64_t id = -1;  // "Language_ID": the stored value; -1 when the entry has none
    std::string text; // "Language_text": key under which the language is listed
};

// Reads "Language.config". Elements keep their array index; an element of the wrong shape stays in
// place with empty fields, so indices never shift. Empty when the file is missing or malformed.
std::vector<LanguageEntry> ReadLanguageList(const std::string& path);

// True when going from `current` to `next` must register the font table again.
bool NeedsFontRebuild(int current, int next);

// What a language switch acts on: the toolkit's texts and fonts and the windows showing them.
class LanguageTarget {
  public:
    virtual ~LanguageTarget() = default;
    // Hands the name to the toolkit, loads the entry's text file and reloads all control texts.
    virtual void SetLanguage(const LanguageEntry& entry) = 0;
    virtual void RebuildFonts() = 0;
    // Repaint, tell the open secondary windows, relayout.
    virtual void LanguageChanged() = 0;
};

class Languages {
  public:
    static constexpr const char* kValueName = "LANGUAGE";

    Languages(SettingsStore& store, std::string listPath, LanguageTarget& target);

    // Index of the entry whose id is stored; 0 when nothing is stored, the list is unreadable or no
    // entry matches.
    int ReadStoredLanguage() const;

    // Makes the language current; choosing the current one does nothing at all.
    void ApplyLanguage(int index);

    // Stores the id under the product key, creating the key when it is missing.
    bool StoreLanguage(uint32_t id);

    int Current() const { return m_current; }
    const std::vector<LanguageEntry>& List() const { return m_list; }

  private:
    SettingsStore& m_store;
    std::string m_listPath;
    LanguageTarget& m_target;
    std::vector<LanguageEntry> m_list;
    int m_current = -1;
};

} // namespace nk7x
