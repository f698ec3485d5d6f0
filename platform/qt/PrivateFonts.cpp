#include "platform/qt/PrivateFonts.h"

#include <QDir>
#include <QFile>
#include <QFontDatabase>

namespace nk7x {

QStringList PrivateFonts::ShippedFonts() {
    return {QStringLiteral("Font/Simplified_Chinese.ttf"), QStringLiteral("Font/Orbane-Regular.otf"),
            QStringLiteral("Font/NotoSansThai-Regular.ttf"),
            QStringLiteral("Font/NotoSansCJKtc-Regular.otf")};
}

PrivateFonts::~PrivateFonts() {
    RemoveAll();
}

int PrivateFonts::Load(const QString& folder, const QStringList& relativeNames) {
    int loaded = 0;
    for (const QString& name : relativeNames) {
        QFile file(QDir(folder).filePath(name));
        if (!file.open(QIODevice::ReadOnly))
            continue;
        // Read whole, then handed over: the font stays usable after the file is closed.
        QByteArray bytes = file.readAll();
        if (bytes.isEmpty())
            continue;
        int id = QFontDatabase::addApplicationFontFromData(bytes);
        if (id < 0)
            continue;
        m_ids.push_back(id);
        ++loaded;
    }
    return loaded;
}

void PrivateFonts::RemoveAll() {
    for (auto it = m_ids.rbegin(); it != m_ids.rend(); ++it)
        QFontDatabase::removeApplicationFont(*it);
    m_ids.clear();
}

QStringList PrivateFonts::Families() const {
    QStringList out;
    for (int id : m_ids)
        out += QFontDatabase::applicationFontFamilies(id);
    return out;
}

} // namespace nk7x
