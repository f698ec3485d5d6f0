// The skin's resource list ("res.xml"): names such as "XML_MAIN" mapped to files in the skin folder.
#pragma once

#include <QHash>
#include <QString>

namespace nk7x {

class ResourceList {
  public:
    // Reads <skin>/res.xml. A missing or malformed file leaves the list empty (false).
    bool Load(const QString& skinFolder);

    QString SkinFolder() const { return m_folder; }

    // The file for a resource name, as an absolute path; a name that is not listed is taken as a
    // path relative to the skin folder (backslashes allowed). Empty when it would leave the skin.
    QString Resolve(const QString& nameOrPath) const;

    bool Contains(const QString& name) const { return m_files.contains(name); }
    int Count() const { return static_cast<int>(m_files.size()); }

  private:
    QString m_folder;
    QHash<QString, QString> m_files;
};

} // namespace nk7x
