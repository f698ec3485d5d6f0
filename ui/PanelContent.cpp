#include "ui/PanelContent.h"

#include "ui/UiWindow.h"

#include <QVBoxLayout>

namespace nk7x {

bool FillPanel(UiWindow& window, QWidget* panel, const QString& layoutPath) {
    if (!panel || layoutPath.isEmpty())
        return false;
    QWidget* content = window.BuildLayout(layoutPath, panel);
    if (!content)
        return false;
    auto* box = qobject_cast<QVBoxLayout*>(panel->layout());
    if (!box) {
        delete panel->layout();
        box = new QVBoxLayout(panel);
        box->setContentsMargins(0, 0, 0, 0);
        box->setSpacing(0);
    }
    box->addWidget(content);
    return true;
}

} // namespace nk7x
