#include "ui/controls/CustomControls.h"

#include "ui/ControlFactory.h"

#include "ui/controls/ChartViewUI.h"
#include "ui/controls/CircleProgressUI.h"
#include "ui/controls/CloudShareListItemUI.h"
#include "ui/controls/ComboEditContainerElementUI.h"
#include "ui/controls/DeviceKeyButtonUI.h"
#include "ui/controls/HandImgButtonUI.h"
#include "ui/controls/HandImgSelectButtonUI.h"
#include "ui/controls/RedioMacroButtonUI.h"
#include "ui/controls/SelectPanelUI.h"
#include "ui/controls/WndUI.h"

#include <utility>

namespace nk7x {
namespace {

using Factory = QWidget* (*)(QWidget*);

template <class T> QWidget* Make(QWidget* parent) {
    return new T(parent);
}

const std::pair<QString, Factory>* Table(size_t* count) {
    static const std::pair<QString, Factory> kTable[] = {
        {CDeviceKeyButtonUI::ClassName(), &Make<CDeviceKeyButtonUI>},
        {CSelectPanelUI::ClassName(), &Make<CSelectPanelUI>},
        {CCircleProgressUI::ClassName(), &Make<CCircleProgressUI>},
        {CHandImgButtonUI::ClassName(), &Make<CHandImgButtonUI>},
        {CHandImgSelectButtonUI::ClassName(), &Make<CHandImgSelectButtonUI>},
        {CRedioMacroButtonUI::ClassName(), &Make<CRedioMacroButtonUI>},
        {CComboEditContainerElementUI::ClassName(), &Make<CComboEditContainerElementUI>},
        {CCloudShareListItemUI::ClassName(), &Make<CCloudShareListItemUI>},
        {CWndUI::ClassName(), &Make<CWndUI>},
        {CChartViewUI::ClassName(), &Make<CChartViewUI>},
    };
    *count = std::size(kTable);
    return kTable;
}

} // namespace

void RegisterCustomControls(ControlFactory& factory) {
    size_t count = 0;
    const auto* table = Table(&count);
    for (size_t i = 0; i < count; ++i)
        factory.Register(table[i].first, table[i].second);
}

void RegisterCustomControls() {
    RegisterCustomControls(ControlFactory::Instance());
}

QStringList CustomControlClassNames() {
    size_t count = 0;
    const auto* table = Table(&count);
    QStringList names;
    for (size_t i = 0; i < count; ++i)
        names << table[i].first;
    return names;
}

} // namespace nk7x
