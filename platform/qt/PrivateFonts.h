// Fonts shipped beside the program, made available to this process only.
#pragma once

#include <QString>
#include <QStringList>

#include <vector>

namespace nk7x {

class PrivateFonts {
  public:
    // The font files the program looks for in its "Font" folder, in loading order.
    static QStringList ShippedFonts();

    PrivateFonts() = default;
    ~PrivateFonts();
    PrivateFonts(const PrivateFonts&) = delete;
    PrivateFonts& operator=(const PrivateFonts&) = delete;

    // Loads each file relative to folder; missing or unreadable files are skipped. Returns how
    // many were loaded.
    int Load(const QString& folder, const QStringList& relativeNames);

    // Removes the loaded fonts in reverse order of loading.
    void RemoveAll();

    QStringList Families() const;
    int Count() const { return static_cast<int>(m_ids.size()); }

  private:
    std::vector<int> m_ids;
};

} // namespace nk7x
