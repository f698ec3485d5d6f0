// The fonts the windows use, by index: one face, the sizes and styles of the table, rebuilt whole.
#pragma once

#include <QFont>
#include <QMap>
#include <QString>
#include <QStringList>

namespace nk7x {

class FontTable {
  public:
    static constexpr int kDefault = -1;

    struct Entry {
        int index;
        int size; // pixels at scale 96
        bool bold;
        bool underline;
    };

    // The program's font table: the default font and indices 0-11 and 50.
    static const QMap<int, Entry>& Entries();

    // The face the table asks for, and what stands in for it where it is not installed; the CJK
    // family of the language shown comes first among the CJK ones, so that Japanese and Korean
    // text gets its own forms of the shared characters where the desktop has them.
    static QString Face();
    QStringList FallbackFamilies() const;
    // The CJK family the language ("ja", "ko", anything else: Simplified Chinese) prefers; true when
    // that changes the fallback order (the fonts are then to be rebuilt).
    bool PreferCjkFor(const QString& languageName);

    // Removes all fonts and registers the table again; counts the rebuilds.
    void Rebuild();
    int RebuildCount() const { return m_rebuilds; }

    // The font of an index at the given scale (dpi, 96 = 1:1); the default font for unknown indices.
    QFont Font(int index, int scale = 96) const;
    bool Has(int index) const { return m_fonts.contains(index); }

  private:
    QMap<int, QFont> m_fonts;
    QString m_cjk = QStringLiteral("Noto Sans CJK SC");
    int m_rebuilds = 0;
};

} // namespace nk7x
