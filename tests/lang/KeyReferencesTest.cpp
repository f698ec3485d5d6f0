// Every language key the program shows must be in every shipped language, or the user sees the
// raw key: the keys of the skin layouts, of the default lighting names and the keys the sources
// spell out (message texts, key and button names, mouse moves, lighting names).
#include "lang/LangScan.h"

#include <gtest/gtest.h>

#include <json/json.h>

#include <memory>

using namespace nk7x::langcheck;

namespace {

const std::string kSource = NK7X_SOURCE_DIR;

std::string Relative(const std::string& path) {
    return path.compare(0, kSource.size(), kSource) == 0 ? path.substr(kSource.size() + 1) : path;
}

struct Language {
    std::string file;
    TextFile texts;
};

std::vector<Language> ShippedLanguages() {
    std::vector<Language> out;
    std::string bytes;
    if (!ReadWholeFile(kSource + "/DefaultData/Language.config", bytes))
        return out;
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string error;
    if (!reader->parse(bytes.data(), bytes.data() + bytes.size(), &root, &error) || !root.isObject())
        return out;
    for (const auto& entry : root["Language"]) {
        if (!entry.isObject())
            continue;
        Language lang;
        lang.file = entry.get("Language_file", "").asString();
        std::string text;
        if (ReadWholeFile(kSource + "/skin/" + lang.file, text))
            lang.texts = ParseTextFile(text);
        out.push_back(std::move(lang));
    }
    return out;
}

void ExpectAllPresent(const std::vector<KeyUse>& uses) {
    const auto languages = ShippedLanguages();
    ASSERT_GE(languages.size(), 2u);
    for (const auto& lang : languages) {
        ASSERT_TRUE(lang.texts.ok) << lang.file << ": " << lang.texts.error;
        for (const auto& use : MissingKeys(uses, lang.texts))
            ADD_FAILURE() << lang.file << " lacks \"" << use.key << "\" (" << use.where << ")";
    }
}

TEST(LanguageKeys, LayoutKeysAreTranslated) {
    std::vector<KeyUse> uses;
    const auto files = FilesBelow(kSource + "/skin", {".ui", ".xml"});
    ASSERT_FALSE(files.empty()) << "no layouts below skin/";
    for (const auto& path : files) {
        std::string xml;
        ASSERT_TRUE(ReadWholeFile(path, xml)) << path;
        for (auto& key : LayoutKeys(xml))
            uses.push_back({std::move(key), Relative(path)});
    }
    // The main window and the message box name their texts by key.
    ASSERT_GE(uses.size(), 10u);
    ExpectAllPresent(uses);
}

TEST(LanguageKeys, DefaultLightingNamesAreTranslated) {
    std::string bytes;
    ASSERT_TRUE(ReadWholeFile(kSource + "/DefaultData/default_light.json", bytes));
    Json::CharReaderBuilder builder;
    std::unique_ptr<Json::CharReader> reader(builder.newCharReader());
    Json::Value root;
    std::string error;
    ASSERT_TRUE(reader->parse(bytes.data(), bytes.data() + bytes.size(), &root, &error)) << error;
    std::vector<KeyUse> uses;
    for (const char* list : {"DefaultLightName", "AreaLightName"}) {
        ASSERT_TRUE(root[list].isArray()) << list;
        for (Json::ArrayIndex kind = 0; kind < root[list].size(); ++kind) {
            for (const auto& entry : root[list][kind]) {
                const Json::Value& name = entry["LightName"];
                ASSERT_TRUE(name.isString()) << list << "[" << kind << "]";
                uses.push_back({name.asString(), std::string(list) + "[" + std::to_string(kind) + "]"});
            }
        }
    }
    ASSERT_FALSE(uses.empty());
    ExpectAllPresent(uses);
}

TEST(LanguageKeys, KeysSpelledOutInTheSourcesAreTranslated) {
    std::vector<KeyUse> uses;
    for (const char* folder : {"app", "ui", "panels", "windows", "devices", "profiles", "macros", "update"}) {
        for (const auto& path : FilesBelow(kSource + "/" + folder, {".cpp", ".h", ".hpp"})) {
            std::string code;
            ASSERT_TRUE(ReadWholeFile(path, code)) << path;
            for (auto& literal : StringLiterals(code))
                if (IsCheckedKeyLiteral(literal))
                    uses.push_back({std::move(literal), Relative(path)});
        }
    }
    // The key table alone names well over a hundred keys.
    ASSERT_GE(uses.size(), 100u) << "the source scan found almost no keys";
    ExpectAllPresent(uses);
}

} // namespace
