#include "ui/Theme.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include <cmath>

namespace nk7x {

bool IsAllowedDpi(int dpi) {
    switch (dpi) {
    case 48:
    case 72:
    case 96:
    case 120:
    case 144:
    case 168:
    case 192:
        return true;
    default:
        return false;
    }
}

QString ResolveSkinUrls(const QString& qss, const QString& skinFolder) {
    static const QRegularExpression url(QStringLiteral("url\\(\\s*['\"]?([^'\"\\)]+)['\"]?\\s*\\)"));
    QString out;
    qsizetype last = 0;
    auto it = url.globalMatch(qss);
    while (it.hasNext()) {
        auto m = it.next();
        out += qss.mid(last, m.capturedStart() - last);
        QString path = m.captured(1).trimmed();
        if (!QDir::isAbsolutePath(path) && !path.startsWith(QLatin1Char(':')))
            path = QDir(skinFolder).absoluteFilePath(path);
        out += QStringLiteral("url(\"%1\")").arg(path);
        last = m.capturedEnd();
    }
    out += qss.mid(last);
    return out;
}

QString LoadStyleSheet(const QString& skinFolder, const QString& file) {
    QFile f(QDir(skinFolder).filePath(file));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return ResolveSkinUrls(QString::fromUtf8(f.readAll()), skinFolder);
}

QString ScaleStyleSheet(const QString& qss, int scale) {
    if (scale <= 0 || scale == 96)
        return qss;
    static const QRegularExpression px(QStringLiteral("(?<![\\w.])(\\d+)px"));
    QString out;
    qsizetype last = 0;
    auto it = px.globalMatch(qss);
    while (it.hasNext()) {
        auto m = it.next();
        out += qss.mid(last, m.capturedStart() - last);
        long n = m.captured(1).toLong();
        long scaled = std::lround(static_cast<double>(n) * scale / 96.0);
        if (n > 0 && scaled < 1)
            scaled = 1;
        out += QString::number(scaled) + QStringLiteral("px");
        last = m.capturedEnd();
    }
    out += qss.mid(last);
    return out;
}

} // namespace nk7x
