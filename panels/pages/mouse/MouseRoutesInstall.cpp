// The rows of the mouse page's controls in the main window's router; apart from the handlers so
// that they can be used without the router.
#include "panels/pages/mouse/MouseRoutes.h"

#include "ui/NotifyRouter.h"

namespace nk7x {

void MouseRoutes::Install(NotifyRouter& router) {
    using M = NotifyRouter::Match;
    router.Add(QStringLiteral("selectchanged"), M::Prefix, QStringLiteral("DPI_enable_check_"),
               [this](const UiNotify& msg, int n) { OnStageCheck(msg, n); });
    router.Add(QStringLiteral("movevaluechanged"), M::Prefix, QStringLiteral("DPI_slider_"),
               [this](const UiNotify& msg, int n) { OnStageSlider(msg, n, true); });
    router.Add(QStringLiteral("valuechanged"), M::Prefix, QStringLiteral("DPI_slider_"),
               [this](const UiNotify& msg, int n) { OnStageSlider(msg, n, false); });
    router.Add(QStringLiteral("editfinished"), M::Prefix, QStringLiteral("DPI_edit_"),
               [this](const UiNotify& msg, int n) { OnStageEdit(msg, n); });
    for (const char* name : {"pointer_precision_check", "scrolls_page_check"})
        router.Add(QStringLiteral("selectchanged"), M::Name, QString::fromLatin1(name),
                   [this](const UiNotify& msg, int) { OnPointerCheck(msg); });
}

} // namespace nk7x
