#include "panels/pages/mouse/MouseRoutes.h"

#include "panels/pages/BrindovaMouseDevice.h"
#include "ui/UiNotify.h"

#include <utility>

namespace nk7x {

MouseRoutes::MouseRoutes(MouseRoutesContext context) : m_ctx(std::move(context)) {}

CBrindovaMouseDevice* MouseRoutes::PageOf(const UiNotify& msg) const {
    CBrindovaMouseDevice* page = m_ctx.currentMousePage ? m_ctx.currentMousePage() : nullptr;
    return page && msg.sender && page->isAncestorOf(msg.sender) ? page : nullptr;
}

void MouseRoutes::OnReportRate(const UiNotify& msg, int option) {
    CBrindovaMouseDevice* page = PageOf(msg);
    // The option that lost its check tells nothing new; the page's own filling writes nothing back.
    if (!page || page->Filling() || option < 0 || option >= kMouseReportStageCount || msg.wParam == 0)
        return;
    page->Mouse().SetReportStage(option);
}

void MouseRoutes::OnStageCheck(const UiNotify& msg, int stage) {
    CBrindovaMouseDevice* page = PageOf(msg);
    if (!page || page->Filling() || stage < 0 || stage >= kMouseDpiStageCount)
        return;
    page->SetStageEnabled(stage, msg.wParam != 0);
}

void MouseRoutes::OnStageSlider(const UiNotify& msg, int stage, bool moving) {
    CBrindovaMouseDevice* page = PageOf(msg);
    if (!page || page->Filling() || stage < 0 || stage >= kMouseDpiStageCount)
        return;
    const int steps = static_cast<int>(msg.wParam);
    page->ShowStageDpi(stage, steps);
    // A drag sends once, when the slider is let go.
    if (!moving)
        page->Mouse().SetStageSteps(stage, steps);
}

void MouseRoutes::OnStageEdit(const UiNotify& msg, int stage) {
    CBrindovaMouseDevice* page = PageOf(msg);
    // Typed by the user even when it ends during a refresh (the edit's row hidden under the focus).
    if (!page || stage < 0 || stage >= kMouseDpiStageCount)
        return;
    page->OnDpiTyped(stage);
}

void MouseRoutes::OnPointerCheck(const UiNotify& msg) {
    CBrindovaMouseDevice* page = PageOf(msg);
    if (!page || page->Filling())
        return;
    page->StoreSystemSettings();
}

} // namespace nk7x
