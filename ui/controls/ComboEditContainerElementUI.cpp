#include "ui/controls/ComboEditContainerElementUI.h"

#include "ui/controls/LayoutBuilderHook.h"

#include <QLayout>
#include <QVBoxLayout>

namespace nk7x {

CComboEditContainerElementUI::CComboEditContainerElementUI(QWidget* parent) : CListElementUI(parent) {}

bool CComboEditContainerElementUI::Init() {
    if (m_initialised)
        return true;
    m_tried = true;
    const ControlLayoutBuilder& build = GetControlLayoutBuilder();
    if (!build)
        return false;
    QWidget* content = build(ContentLayout(), this);
    if (!content)
        return false;

    // The built content replaces whatever the row held before.
    for (QObject* child : children()) {
        if (auto* w = qobject_cast<QWidget*>(child); w && w != content)
            w->deleteLater();
    }
    if (!layout()) {
        auto* box = new QVBoxLayout(this);
        box->setContentsMargins(0, 0, 0, 0);
        box->setSpacing(0);
    }
    layout()->addWidget(content);
    content->show();

    m_text1 = content->findChild<QWidget*>(QStringLiteral("text1"));
    m_text2 = content->findChild<QWidget*>(QStringLiteral("text2"));
    m_delayEdit = content->findChild<QWidget*>(QStringLiteral("delay_edit"));
    m_initialised = true;
    return true;
}

bool CComboEditContainerElementUI::SetAttribute(const QString& name, const QString&) {
    return name.compare(QLatin1String("normalimage"), Qt::CaseInsensitive) == 0 ||
           name.compare(QLatin1String("hotimage"), Qt::CaseInsensitive) == 0 ||
           name.compare(QLatin1String("selectedimage"), Qt::CaseInsensitive) == 0;
}

void CComboEditContainerElementUI::showEvent(QShowEvent* event) {
    CListElementUI::showEvent(event);
    if (!m_tried)
        Init();
}

} // namespace nk7x
