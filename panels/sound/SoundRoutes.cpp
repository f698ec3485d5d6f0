#include "panels/sound/SoundRoutes.h"

#include "panels/sound/HeadsetSoundActions.h"
#include "panels/sound/MagicControlUI.h"
#include "panels/sound/Voice6533ControlUI.h"
#include "ui/NotifyRouter.h"
#include "ui/UiWindow.h"
#include "windows/MessageBox.h"

namespace nk7x {
namespace {

constexpr int kButtonsOk = 0;
// SaveCustomEq and RenameCustomEq: another curve has the name.
constexpr int kNameTaken = 0;

// The panel of type P a control belongs to, or null.
template <class P> P* OwnerPanel(QWidget* control) {
    for (QWidget* w = control; w; w = w->parentWidget())
        if (auto* panel = qobject_cast<P*>(w))
            return panel;
    return nullptr;
}

// Every headset page has its own panels with the same control names: only the shown one acts.
template <class P> bool SentFrom(const UiNotify& msg, P* panel) {
    return !msg.sender || OwnerPanel<P>(msg.sender) == panel;
}

bool Selected(const UiNotify& msg) {
    return msg.wParam != 0;
}

} // namespace

SoundRoutes::SoundRoutes(SoundRoutesContext context) : m_ctx(std::move(context)) {}

SoundRoutes::MagicTarget SoundRoutes::MagicTargetOf(const UiNotify& msg) const {
    MagicTarget t;
    t.actions = m_ctx.currentActions ? m_ctx.currentActions() : nullptr;
    t.panel = t.actions && m_ctx.currentMagicPanel ? m_ctx.currentMagicPanel() : nullptr;
    if (!t.panel || !SentFrom(msg, t.panel))
        return {};
    return t;
}

SoundRoutes::VoiceTarget SoundRoutes::VoiceTargetOf(const UiNotify& msg) const {
    VoiceTarget t;
    t.actions = m_ctx.currentActions ? m_ctx.currentActions() : nullptr;
    t.panel = t.actions && m_ctx.currentVoicePanel ? m_ctx.currentVoicePanel() : nullptr;
    if (!t.panel || !SentFrom(msg, t.panel))
        return {};
    return t;
}

void SoundRoutes::Install(NotifyRouter& router) {
    using M = NotifyRouter::Match;
    auto magic = [&](const char* type, M match, const char* name,
                     std::function<void(const MagicTarget&, const UiNotify&, int)> fn) {
        router.Add(QString::fromLatin1(type), match, QString::fromLatin1(name),
                   [this, fn](const UiNotify& msg, int number) {
                       if (const MagicTarget t = MagicTargetOf(msg))
                           fn(t, msg, number);
                   });
    };
    auto voice = [&](const char* type, M match, const char* name,
                     std::function<void(const VoiceTarget&, const UiNotify&, int)> fn) {
        router.Add(QString::fromLatin1(type), match, QString::fromLatin1(name),
                   [this, fn](const UiNotify& msg, int number) {
                       if (const VoiceTarget t = VoiceTargetOf(msg))
                           fn(t, msg, number);
                   });
    };

    magic("selectchanged", M::Name, "magic_enable_option", [](const MagicTarget& t, const UiNotify&, int) {
        t.panel->EnableMagicChoices(t.panel->IsMagicEnabled());
        t.actions->SetMagicEnabled();
    });
    // An option reports both its selection and the clearing of the one before: only the
    // selection chooses. Numbers outside the panel's options never reach the page.
    magic("selectchanged", M::Prefix, "magic_option_", [](const MagicTarget& t, const UiNotify& m, int k) {
        if (Selected(m) && k >= 1 && k <= CMagicControlUI::kChoiceCount)
            t.actions->SelectMagicVoice(k);
    });
    voice("selectchanged", M::Name, "6533_MicIn_option",
          [](const VoiceTarget& t, const UiNotify&, int) { t.actions->ToggleMicMute(); });
    voice("selectchanged", M::Name, "6533_MicMoniter_option",
          [](const VoiceTarget& t, const UiNotify&, int) { t.actions->ToggleMonitorMute(); });
    voice("selectchanged", M::Prefix, "6533_eq_option_", [](const VoiceTarget& t, const UiNotify& m, int n) {
        if (Selected(m) && n >= 1 && n <= CVoice6533ControlUI::kEqTypeCount)
            t.actions->SelectEqPreset(n);
    });
    // Sliders raise "valuechanged" when the user lets go of the handle, and once per key or wheel
    // step; while the handle is dragged they raise "movevaluechanged", which the headset never
    // hears: the chip is written once per move, not for every pixel.
    voice("valuechanged", M::Name, "6533_MicIn_slider",
          [](const VoiceTarget& t, const UiNotify&, int) { t.actions->SetMicVolume(); });
    voice("valuechanged", M::Name, "6533_MicMoniter_slider",
          [](const VoiceTarget& t, const UiNotify&, int) { t.actions->SetMonitorVolume(); });
    voice("valuechanged", M::Prefix, "6533_eq_hz_slider_", [](const VoiceTarget& t, const UiNotify&, int b) {
        if (b >= 0 && b < CVoice6533ControlUI::kBandCount)
            t.actions->SetEqBand(b);
    });
    voice("itemselect", M::Name, "custom_eq_name_combo",
          [](const VoiceTarget& t, const UiNotify&, int) { t.actions->SelectCustomEq(); });
    voice("click", M::Name, "hs_EQ_btn_save", [this](const VoiceTarget& t, const UiNotify&, int) {
        if (t.actions->SaveCustomEq() == kNameTaken)
            Show(kMsgCurveNameTaken);
    });
    voice("click", M::Name, "hs_EQ_btn_rename", [this](const VoiceTarget& t, const UiNotify&, int) {
        if (t.actions->RenameCustomEq() == kNameTaken)
            Show(kMsgCurveNameTaken);
    });
    voice("click", M::Name, "hs_EQ_btn_delete",
          [](const VoiceTarget& t, const UiNotify&, int) { t.actions->DeleteCustomEq(); });
}

void SoundRoutes::Show(const char* textKey) const {
    const QString key = QString::fromLatin1(textKey);
    if (m_ctx.showMessage) {
        m_ctx.showMessage(key);
        return;
    }
    const int dpi = m_ctx.window ? m_ctx.window->Scale() : CMsgWnd::kDefaultDpi;
    ShowMessage(m_ctx.window, QString(), key, dpi, true, kButtonsOk);
}

} // namespace nk7x
