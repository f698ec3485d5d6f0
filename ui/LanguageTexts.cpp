#include "ui/LanguageTexts.h"

#include "profiles/json/JsonFile.h"
#include "ui/DataFileProblems.h"

#include <QFile>

#include <json/json.h>

#include <memory>

namespace nk7x {

bool LanguageTexts::LoadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        ReportDataFileProblem(path, file.exists() ? file.errorString() : QStringLiteral("missing"));
        return false;
    }
    // Language files are small; anything huge is not one.
    if (file.size() > 8 * 1024 * 1024) {
        ReportDataFileProblem(path, QStringLiteral("too large for a language file"));
        return false;
    }
    QByteArray bytes = file.readAll();
    Json::Value root;
    if (!ParseJsonText(bytes.toStdString(), root) || !root.isObject()) {
        ReportDataFileProblem(path, QStringLiteral("not a language file (damaged or cut short)"));
        return false;
    }
    QHash<QString, QString> texts;
    for (auto it = root.begin(); it != root.end(); ++it) {
        if (!it->isString())
            continue;
        texts.insert(QString::fromStdString(it.name()), QString::fromStdString(it->asString()));
    }
    m_texts = std::move(texts);
    return true;
}

QString LanguageTexts::Text(const QString& key) const {
    return m_texts.value(key, key);
}

} // namespace nk7x
