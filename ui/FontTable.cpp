#include "ui/FontTable.h"

namespace nk7x {

const QMap<int, FontTable::Entry>& FontTable::Entries() {
    static const QMap<int, Entry> table = [] {
        QMap<int, Entry> t;
        const Entry rows[] = {
            {kDefault, 13, false, false}, {0, 15, false, false}, {1, 14, false, true},
            {2, 18, false, false},        {3, 30, false, false}, {4, 16, false, false},
            {5, 20, false, false},        {6, 22, false, false}, {7, 14, false, false},
            {8, 12, false, false},        {9, 11, false, false}, {10, 10, false, false},
            {11, 28, false, false},       {50, 18, true, false},
        };
        for (const Entry& e : rows)
            t.insert(e.index, e);
        return t;
    }();
    return table;
}

QString FontTable::Face() {
    return QStringLiteral("Verdana Unicode MS");
}

QStringList FontTable::FallbackFamilies() const {
    // The shipped fonts first, then what a Linux desktop commonly has for Latin and CJK text.
    QStringList families = {Face(), QStringLiteral("Orbane"), m_cjk};
    if (m_cjk != QLatin1String("Noto Sans CJK SC"))
        families << QStringLiteral("Noto Sans CJK SC");
    families << QStringLiteral("WenQuanYi Micro Hei") << QStringLiteral("Noto Sans")
             << QStringLiteral("DejaVu Sans");
    return families;
}

bool FontTable::PreferCjkFor(const QString& languageName) {
    QString cjk = QStringLiteral("Noto Sans CJK SC");
    if (languageName.startsWith(QLatin1String("ja")))
        cjk = QStringLiteral("Noto Sans CJK JP");
    else if (languageName.startsWith(QLatin1String("ko")))
        cjk = QStringLiteral("Noto Sans CJK KR");
    if (cjk == m_cjk)
        return false;
    m_cjk = cjk;
    return true;
}

void FontTable::Rebuild() {
    m_fonts.clear();
    for (const Entry& e : Entries()) {
        QFont f;
        f.setFamilies(FallbackFamilies());
        f.setPixelSize(e.size);
        f.setBold(e.bold);
        f.setItalic(false);
        f.setUnderline(e.underline);
        m_fonts.insert(e.index, f);
    }
    ++m_rebuilds;
}

QFont FontTable::Font(int index, int scale) const {
    QFont f = m_fonts.value(index, m_fonts.value(kDefault));
    if (f.pixelSize() > 0 && scale > 0 && scale != 96)
        f.setPixelSize(f.pixelSize() * scale / 96);
    return f;
}

} // namespace nk7x
