// The rows of the keyboard page's controls in the main window's router; apart from the handlers so
// that they can be used without the router.
#include "panels/pages/keyboard/KeyboardRoutes.h"

#include "ui/NotifyRouter.h"

namespace nk7x {

void KeyboardRoutes::Install(NotifyRouter& router) {
    using M = NotifyRouter::Match;
    const QString select = QStringLiteral("selectchanged");
    router.Add(select, M::Prefix, QStringLiteral("polling_rate_option_"),
               [this](const UiNotify& msg, int n) { OnPollingRate(msg, n); });
    for (const char* name : {"winlockflag_option", "wflag_option", "6flag_option"})
        router.Add(select, M::Name, QString::fromLatin1(name),
                   [this](const UiNotify& msg, int) { OnFlagOption(msg); });
    router.Add(select, M::Prefix, QStringLiteral("repeat_delay_check_"),
               [this](const UiNotify& msg, int n) { OnRepeatDelay(msg, n); });
    router.Add(QStringLiteral("valuechanged"), M::Name, QStringLiteral("repeat_rate_slider"),
               [this](const UiNotify& msg, int) { OnRepeatRate(msg); });
    router.Add(QStringLiteral("click"), M::Name, QStringLiteral("default_btn"),
               [this](const UiNotify&, int) { OnDefaults(); });
    router.Add(QStringLiteral("click"), M::Prefix, QStringLiteral("key_"),
               [this](const UiNotify&, int n) { OnKeyClick(n); });
}

} // namespace nk7x
