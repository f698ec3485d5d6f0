#include "windows/SkinSettings.h"

#include "platform/Folders.h"
#include "platform/SettingsStore.h"

#include <QDir>
#include <QFileInfo>

namespace nk7x {
namespace {

constexpr const char* kSection = "SKINIMAGE";

} // namespace

QString SkinSettingsPath() {
    return QString::fromStdString(JoinPath(UserDataRoot(), "main.ini"));
}

bool WriteSkinPicture(const QString& file, bool chosen, const QString& picture) {
    SettingsStore store(file.toStdString());
    if (!store.CreateKey(kSection))
        return false;
    return store.WriteString(kSection, "FLAGS", chosen ? "1" : "0") &&
           store.WriteString(kSection, "IMAGE", picture.toStdString());
}

QString SkinPicturePath(const QString& picture, const QString& skinFolder) {
    if (picture.isEmpty() || QDir::isAbsolutePath(picture))
        return picture;
    return QDir(skinFolder).absoluteFilePath(picture);
}

QString ReadChosenSkinPicture(const QString& file, const QString& skinFolder) {
    const SettingsStore store(file.toStdString());
    if (store.ReadString(kSection, "FLAGS").value_or("0") != "1")
        return {};
    const QString picture =
        QString::fromStdString(store.ReadString(kSection, "IMAGE").value_or(std::string()));
    // A picture that has been moved or deleted since leaves the default in place.
    if (picture.isEmpty() || !QFileInfo(SkinPicturePath(picture, skinFolder)).isFile())
        return {};
    return picture;
}

} // namespace nk7x
