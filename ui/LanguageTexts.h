// The texts of the current language: a flat JSON object {"language key": "text"} in UTF-8.
#pragma once

#include <QHash>
#include <QString>

namespace nk7x {

class LanguageTexts {
  public:
    // Replaces the texts with the file's. A missing or malformed file keeps the texts as they were
    // and returns false. Values that are not strings are skipped.
    bool LoadFile(const QString& path);

    void SetLanguageName(const QString& name) { m_name = name; }
    QString LanguageName() const { return m_name; }

    // The text of key; the key itself when it has none, so a missing text is visible, not blank.
    QString Text(const QString& key) const;
    bool Has(const QString& key) const { return m_texts.contains(key); }
    int Count() const { return static_cast<int>(m_texts.size()); }

  private:
    QString m_name;
    QHash<QString, QString> m_texts;
};

} // namespace nk7x
