#include "app/StoredLanguage.h"

#include "app/Languages.h"
#include "platform/SettingsStore.h"

#include <QDir>

namespace nk7x {
namespace {

// Languages wants somewhere to apply a language; reading the stored choice applies nothing.
class NoTarget final : public LanguageTarget {
  public:
    void SetLanguage(const LanguageEntry&) override {}
    void RebuildFonts() override {}
    void LanguageChanged() override {}
};

} // namespace

bool LoadStoredLanguageTexts(const ShellOptions& options, LanguageTexts& texts) {
    const QDir program(options.programFolder);
    const QDir skin(program.filePath(QStringLiteral("skin")));
    SettingsStore store(options.settingsPath.toStdString());
    NoTarget target;
    const std::string listPath =
        program.filePath(QStringLiteral("DefaultData/Language.config")).toStdString();
    Languages languages(store, listPath, target);
    const std::vector<LanguageEntry> list = ReadLanguageList(listPath);
    const int index = languages.ReadStoredLanguage();
    if (index >= 0 && static_cast<size_t>(index) < list.size() &&
        !list[static_cast<size_t>(index)].file.empty() &&
        texts.LoadFile(skin.filePath(QString::fromStdString(list[static_cast<size_t>(index)].file))))
        return true;
    return texts.LoadFile(skin.filePath(QStringLiteral("lang/lan_en.json")));
}

} // namespace nk7x
