// The shipped language files: every listed file is there and readable, all carry the same keys
// with real texts, and a text used as a format takes the same arguments in every language.
#include "lang/LangScan.h"

#include <gtest/gtest.h>

#include <json/json.h>

#include <memory>
#include <set>

using namespace nk7x::langcheck;

namespace {

const std::string kSource = NK7X_SOURCE_DIR;

struct ListedLanguage {
    std::string name; // "Language_name"
    std::string file; // "Language_file", relative to the skin folder
    std::string textKey;
    TextFile texts;
    bool readable = false;
};

// Language.config, read strictly: a list the program cannot read leaves it with English only.
std::vector<ListedLanguage> ListedLanguages(std::string* error) {
    std::string bytes;
    if (!ReadWholeFile(kSource + "/DefaultData/Language.config", bytes)) {
        *error = "DefaultData/Language.config cannot be read";
        return {};
    }
    Json::CharReaderBuilder builder;
    Json::CharReaderBuilder::strictMode(&builder.settings_);
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    if (!reader->parse(bytes.data(), bytes.data() + bytes.size(), &root, error))
        return {};
    std::vector<ListedLanguage> out;
    if (!root.isObject() || !root["Language"].isArray()) {
        *error = "Language.config has no \"Language\" array";
        return out;
    }
    for (const auto& entry : root["Language"]) {
        ListedLanguage lang;
        if (entry.isObject()) {
            lang.name = entry.get("Language_name", "").asString();
            lang.file = entry.get("Language_file", "").asString();
            lang.textKey = entry.get("Language_text", "").asString();
        }
        std::string text;
        lang.readable = !lang.file.empty() && ReadWholeFile(kSource + "/skin/" + lang.file, text);
        if (lang.readable) {
            EXPECT_TRUE(IsValidUtf8(text)) << lang.file << " is not valid UTF-8";
            lang.texts = ParseTextFile(text);
        }
        out.push_back(std::move(lang));
    }
    return out;
}

class LanguageFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        m_languages = ListedLanguages(&error);
        ASSERT_GE(m_languages.size(), 2u) << "Language.config: " << error;
        for (const auto& lang : m_languages) {
            ASSERT_TRUE(lang.readable) << "listed language file \"" << lang.file << "\" is missing";
            ASSERT_TRUE(lang.texts.ok) << lang.file << ": " << lang.texts.error;
        }
    }

    const ListedLanguage* Find(const std::string& name) const {
        for (const auto& lang : m_languages)
            if (lang.name == name)
                return &lang;
        return nullptr;
    }

    std::vector<ListedLanguage> m_languages;
};

TEST_F(LanguageFiles, EveryTextIsANonEmptyString) {
    for (const auto& lang : m_languages) {
        EXPECT_TRUE(lang.texts.nonStringKeys.empty())
            << lang.file << ": \"" << lang.texts.nonStringKeys.front() << "\" is not a string";
        EXPECT_GT(lang.texts.texts.size(), 100u) << lang.file << " carries hardly any texts";
        for (const auto& [key, text] : lang.texts.texts) {
            EXPECT_FALSE(key.empty()) << lang.file << " has an empty key";
            EXPECT_NE(text.find_first_not_of(" \t\r\n"), std::string::npos)
                << lang.file << ": the text of \"" << key << "\" is blank";
        }
    }
}

TEST_F(LanguageFiles, AllLanguagesCarryTheSameKeys) {
    const auto& first = m_languages.front();
    for (std::size_t i = 1; i < m_languages.size(); ++i) {
        const auto& other = m_languages[i];
        for (const auto& [key, text] : first.texts.texts)
            EXPECT_TRUE(other.texts.texts.count(key))
                << other.file << " lacks \"" << key << "\" of " << first.file;
        for (const auto& [key, text] : other.texts.texts)
            EXPECT_TRUE(first.texts.texts.count(key))
                << first.file << " lacks \"" << key << "\" of " << other.file;
    }
}

TEST_F(LanguageFiles, FormatArgumentsAgreeBetweenLanguages) {
    const auto& first = m_languages.front();
    for (std::size_t i = 1; i < m_languages.size(); ++i) {
        for (const auto& [key, text] : m_languages[i].texts.texts) {
            const auto it = first.texts.texts.find(key);
            if (it == first.texts.texts.end())
                continue; // reported by the key-set test
            const Placeholders mine = FindPlaceholders(text);
            const Placeholders theirs = FindPlaceholders(it->second);
            EXPECT_EQ(mine, theirs) << "\"" << key << "\": " << m_languages[i].file << " " << Describe(mine)
                                    << ", " << first.file << " " << Describe(theirs);
        }
    }
}

// The count of events to remove is formatted into this text as one integer.
TEST_F(LanguageFiles, MacroOverflowTextTakesOneNumber) {
    for (const auto& lang : m_languages) {
        const auto it = lang.texts.texts.find("message_text_16");
        ASSERT_NE(it, lang.texts.texts.end()) << lang.file;
        const Placeholders p = FindPlaceholders(it->second);
        EXPECT_EQ(p.printf, std::vector<std::string>{"%d"}) << lang.file << ": " << it->second;
        EXPECT_TRUE(p.positional.empty()) << lang.file << ": " << it->second;
    }
}

TEST_F(LanguageFiles, EveryLanguageIsListedUnderATranslatedName) {
    for (const auto& listed : m_languages) {
        ASSERT_FALSE(listed.textKey.empty()) << listed.file << " has no \"Language_text\"";
        for (const auto& lang : m_languages)
            EXPECT_TRUE(lang.texts.texts.count(listed.textKey))
                << lang.file << " lacks the language name \"" << listed.textKey << "\"";
    }
}

// A text left in English in the Chinese file, or Chinese pasted into the English one, shows up
// here. Language names are written in their own language on purpose.
TEST_F(LanguageFiles, TextsAreInTheirOwnLanguage) {
    std::set<std::string> languageNames;
    for (const auto& lang : m_languages)
        languageNames.insert(lang.textKey);
    const ListedLanguage* en = Find("en");
    const ListedLanguage* zh = Find("zh_CN");
    ASSERT_TRUE(en && zh) << "English and Simplified Chinese are shipped";
    for (const auto& [key, text] : en->texts.texts) {
        if (!languageNames.count(key)) {
            EXPECT_FALSE(ContainsCjk(text)) << en->file << ": \"" << key << "\" = " << text;
        }
    }
    std::size_t chinese = 0;
    std::size_t same = 0;
    for (const auto& [key, text] : zh->texts.texts) {
        if (ContainsCjk(text))
            ++chinese;
        const auto it = en->texts.texts.find(key);
        if (it != en->texts.texts.end() && it->second == text)
            ++same;
    }
    // Key caps (A, F1, Esc) and product names read the same in both; most texts do not.
    EXPECT_GT(chinese * 2, zh->texts.texts.size()) << chinese << " of " << zh->texts.texts.size();
    EXPECT_LT(same * 4, zh->texts.texts.size()) << same << " texts equal the English ones";
}

} // namespace
