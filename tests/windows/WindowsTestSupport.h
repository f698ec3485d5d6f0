// Helpers of the secondary-window tests: the skin and the English texts from the source tree, a
// scratch folder for the files the windows write, and screenshots when NK7X_SCREENSHOT_DIR is set.
#pragma once

#include "windows/MessageBox.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QTemporaryDir>
#include <QWidget>

#include <cstdlib>
#include <map>
#include <memory>

namespace nk7x::test {

inline QString SourceSkin() {
    return QStringLiteral(NK7X_SOURCE_DIR "/skin");
}

// The words of one of the shipped language files.
inline std::shared_ptr<std::map<QString, QString>> LanguageFile(const char* file) {
    auto words = std::make_shared<std::map<QString, QString>>();
    QFile f(SourceSkin() + QStringLiteral("/lang/") + QString::fromLatin1(file));
    if (f.open(QIODevice::ReadOnly)) {
        const QJsonObject doc = QJsonDocument::fromJson(f.readAll()).object();
        for (auto it = doc.begin(); it != doc.end(); ++it)
            (*words)[it.key()] = it.value().toString();
    }
    return words;
}

// Makes every window speak the words given (the shipped English by default).
inline void UseLanguage(std::shared_ptr<std::map<QString, QString>> words) {
    MsgWndSetup setup;
    setup.skinFolder = SourceSkin();
    setup.lookup = [words](const QString& key) {
        const auto it = words->find(key);
        return it == words->end() ? key : it->second;
    };
    setup.hasText = [words](const QString& key) { return words->count(key) != 0; };
    SetMsgWndSetup(setup);
}

inline QString ScreenshotDir() {
    const char* out = std::getenv("NK7X_SCREENSHOT_DIR");
    return out ? QString::fromLocal8Bit(out) : QString();
}

// Saves the widget as NAME.png in NK7X_SCREENSHOT_DIR; false when not asked for or not saved.
inline bool SaveScreenshot(QWidget* w, const char* name) {
    if (ScreenshotDir().isEmpty() || !w)
        return false;
    return w->grab().save(ScreenshotDir() + QLatin1Char('/') + QString::fromLatin1(name) +
                          QStringLiteral(".png"));
}

} // namespace nk7x::test
