// The main window's handling of the mouse page's settings controls: the DPI stages' checks, sliders
// and edits, the report-rate options and the pointer checks, each acting on the mouse page shown.
#pragma once

#include <functional>

namespace nk7x {

class CBrindovaMouseDevice;
class NotifyRouter;
struct UiNotify;

struct MouseRoutesContext {
    // The mouse page shown; null when the page shown is not a mouse's.
    std::function<CBrindovaMouseDevice*()> currentMousePage;
};

class MouseRoutes {
  public:
    explicit MouseRoutes(MouseRoutesContext context);

    // Every row but the report-rate options': the keyboard's page names its options alike, so the
    // installer gives that name one row that picks the handler by the kind of the page shown.
    void Install(NotifyRouter& router);

    // The handlers, reachable without a router. `number` is the index of a numbered name.
    void OnReportRate(const UiNotify& msg, int option);
    void OnStageCheck(const UiNotify& msg, int stage);
    // `moving`: the slider is being dragged; the mouse takes the steps when it is let go.
    void OnStageSlider(const UiNotify& msg, int stage, bool moving);
    void OnStageEdit(const UiNotify& msg, int stage);
    void OnPointerCheck(const UiNotify& msg);

  private:
    // The mouse page shown when the control is one of its own, else null: the keyboard's page
    // names its report-rate options alike.
    CBrindovaMouseDevice* PageOf(const UiNotify& msg) const;

    MouseRoutesContext m_ctx;
};

} // namespace nk7x
