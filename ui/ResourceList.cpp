#include "ui/ResourceList.h"

#include "ui/DataFileProblems.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QXmlStreamReader>

namespace nk7x {

bool ResourceList::Load(const QString& skinFolder) {
    m_folder = QDir(skinFolder).absolutePath();
    m_files.clear();
    QFile file(QDir(m_folder).filePath(QStringLiteral("res.xml")));
    if (!file.open(QIODevice::ReadOnly)) {
        ReportDataFileProblem(file.fileName(),
                              file.exists() ? file.errorString() : QStringLiteral("missing"));
        return false;
    }
    QXmlStreamReader xml(&file);
    QHash<QString, QString> found;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() != QLatin1String("Resource"))
            continue;
        QString name = xml.attributes().value(QLatin1String("name")).toString();
        QString path = xml.attributes().value(QLatin1String("file")).toString();
        if (!name.isEmpty() && !path.isEmpty())
            found.insert(name, path);
    }
    if (xml.hasError()) {
        ReportDataFileProblem(file.fileName(), QStringLiteral("damaged: ") + xml.errorString());
        return false;
    }
    m_files = std::move(found);
    return true;
}

QString ResourceList::Resolve(const QString& nameOrPath) const {
    QString rel = m_files.value(nameOrPath, nameOrPath);
    rel.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (rel.isEmpty() || QDir::isAbsolutePath(rel))
        return {};
    QString full = QDir::cleanPath(QDir(m_folder).filePath(rel));
    // Layout names come from files: never let one reach outside the skin.
    if (!full.startsWith(m_folder + QLatin1Char('/')))
        return {};
    return full;
}

} // namespace nk7x
