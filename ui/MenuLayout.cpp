#include "ui/MenuLayout.h"

#include <QFile>
#include <QXmlStreamReader>

namespace nk7x {

std::unique_ptr<QMenu> BuildMenu(const QString& path, std::function<void(const QString& item)> onChoice) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return nullptr;
    auto menu = std::make_unique<QMenu>();
    menu->setObjectName(QStringLiteral("tray_menu"));
    QXmlStreamReader xml(&file);
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement)
            continue;
        if (xml.name() == QLatin1String("Separator")) {
            menu->addSeparator();
            continue;
        }
        if (xml.name() != QLatin1String("Item"))
            continue;
        QString name = xml.attributes().value(QLatin1String("name")).toString();
        if (name.isEmpty())
            continue;
        QString key = xml.attributes().value(QLatin1String("textKey")).toString();
        QAction* action = menu->addAction(key.isEmpty() ? name : key);
        action->setObjectName(name);
        action->setProperty("textKey", key);
        QObject::connect(action, &QAction::triggered, menu.get(), [onChoice, name] {
            if (onChoice)
                onChoice(name);
        });
    }
    if (xml.hasError())
        return nullptr;
    return menu;
}

} // namespace nk7x
