#include "app/PageRoutes.h"

#include "app/DeviceHost.h"
#include "devices/mouse/MouseDevice.h"
#include "panels/keys/KeySetRoutes.h"
#include "panels/light/LightControlUI.h"
#include "panels/light/LightRoutes.h"
#include "panels/macros/MacroRoutes.h"
#include "panels/macros/MacroSetControlUI.h"
#include "panels/pages/BrindovaUSBDevice.h"
#include "panels/pages/keyboard/KeyboardRoutes.h"
#include "panels/pages/mouse/MouseRoutes.h"
#include "panels/profile/DeviceProfileUI.h"
#include "panels/profile/ProfileRoutes.h"
#include "panels/shoot/ShootRoutes.h"
#include "panels/sound/SoundRoutes.h"
#include "ui/LanguageTexts.h"
#include "ui/NotifyRouter.h"
#include "ui/ResourceList.h"
#include "ui/UiWindow.h"

namespace nk7x {

PageRoutes::PageRoutes(PageRoutesContext context) : m_ctx(std::move(context)) {}

PageRoutes::~PageRoutes() = default;

void PageRoutes::Install(NotifyRouter& router) {
    DeviceHost* host = m_ctx.host;
    UiWindow* window = m_ctx.window;
    auto currentPage = [host] { return host->CurrentPage(); };
    ProfileRoutesContext profile;
    profile.currentDevice = [host] { return host->CurrentDevice(); };
    profile.currentProfilePanel = [currentPage]() -> CDeviceProfileUI* {
        CBrindovaUSBDevice* page = currentPage();
        return page ? page->ProfilePanel() : nullptr;
    };
    profile.window = window;
    profile.profileSwitched = m_ctx.profileSwitched;
    m_profileRoutes = std::make_unique<ProfileRoutes>(std::move(profile));
    m_profileRoutes->Install(router);

    LightRoutesContext light;
    light.currentDevice = [host] { return host->CurrentDevice(); };
    light.currentLightPanel = [currentPage]() -> CLightControlUI* {
        CBrindovaUSBDevice* page = currentPage();
        return page ? page->LightPanel() : nullptr;
    };
    light.window = window;
    light.allDevices = [host] {
        std::vector<LightTarget> targets;
        for (CBrindovaUSBDevice* page : host->PagesInPanelOrder())
            targets.push_back({&page->Device(), page->LightPanel()});
        return targets;
    };
    light.storeCommonEffect = m_ctx.storeCommonEffect;
    light.commonEffectFlagged = m_ctx.commonEffectFlagged;
    m_lightRoutes = std::make_unique<LightRoutes>(std::move(light));
    m_lightRoutes->Install(router);

    // What the page shown offers the routes; nothing without a page.
    auto parts = [currentPage] {
        CBrindovaUSBDevice* page = currentPage();
        return page ? page->Parts() : PageParts{};
    };

    KeyboardRoutesContext keyboard;
    keyboard.currentKeyboard = [parts] { return parts().keyboard; };
    keyboard.window = window;
    m_keyboardRoutes = std::make_unique<KeyboardRoutes>(std::move(keyboard));
    m_keyboardRoutes->Install(router);

    MouseRoutesContext mouseSettings;
    mouseSettings.currentMousePage = [parts] { return parts().mousePage; };
    m_mouseRoutes = std::make_unique<MouseRoutes>(std::move(mouseSettings));
    m_mouseRoutes->Install(router);
    // The keyboard's and the mouse's pages both have "polling_rate_option_" n: one row, the kind of
    // the page shown picks the handler.
    router.Add(QStringLiteral("selectchanged"), NotifyRouter::Match::Prefix,
               QStringLiteral("polling_rate_option_"),
               [this, parts, currentPage](const UiNotify& msg, int n) {
                   if (parts().mousePage) {
                       m_mouseRoutes->OnReportRate(msg, n);
                       return;
                   }
                   // Only the shown keyboard page's own options: a mouse page filled out of sight
                   // checks its options too, and its rate is not the keyboard's.
                   CBrindovaUSBDevice* page = currentPage();
                   if (page && msg.sender && page->isAncestorOf(msg.sender))
                       m_keyboardRoutes->OnPollingRate(msg, n);
               });

    // The key and macro editors serve every page that has them (the keyboard's keys, the mouse's
    // buttons); the page's own device takes the key tables.
    auto keyDevice = [currentPage, parts]() -> CDeviceBase* {
        CBrindovaUSBDevice* page = currentPage();
        return page && parts().keySet ? &page->Device() : nullptr;
    };
    auto keyPanel = [parts] { return parts().keySet; };
    auto macroPanel = [parts] { return parts().macros; };
    KeySetRoutesContext keys;
    keys.currentKeyboard = keyDevice;
    keys.currentPanel = keyPanel;
    keys.window = window;
    m_keySetRoutes = std::make_unique<KeySetRoutes>(std::move(keys));
    m_keySetRoutes->Install(router);

    MacroRoutesContext macros;
    macros.currentPanel = macroPanel;
    macros.currentDevice = [host] { return host->CurrentDevice(); };
    macros.currentKeyboard = keyDevice;
    macros.currentKeyPanel = keyPanel;
    // While recording the user stays on the page: no other device, no profile switch.
    macros.setPageSwitching = [window, currentPage](bool enabled) {
        for (const char* name : {"device_select_layout", "device_select_prev", "device_select_next"})
            if (QWidget* w = window->FindControl(QString::fromLatin1(name)))
                w->setEnabled(enabled);
        if (CBrindovaUSBDevice* page = currentPage())
            if (QWidget* profilePanel = page->ProfilePanel())
                profilePanel->setEnabled(enabled);
    };
    macros.window = window;
    macros.actionMenuPath = [resources = m_ctx.resources] {
        return resources->Resolve(QString::fromLatin1(kMacroActionMenu));
    };
    macros.text = [texts = m_ctx.texts](const QString& key) { return texts->Text(key); };
    m_macroRoutes = std::make_unique<MacroRoutes>(std::move(macros));
    m_macroRoutes->Install(router);

    ShootRoutesContext shoot;
    shoot.currentPanel = [parts] { return parts().shoot; };
    shoot.currentPageIsMouse = [parts] { return parts().mouse != nullptr; };
    shoot.downloadShootPatterns = [parts] {
        if (CMouseDevice* mouse = parts().mouse)
            mouse->QueueShootDownload();
    };
    shoot.window = window;
    m_shootRoutes = std::make_unique<ShootRoutes>(std::move(shoot));
    m_shootRoutes->Install(router);

    SoundRoutesContext sound;
    sound.currentActions = [parts] { return parts().sound; };
    sound.currentMagicPanel = [parts] { return parts().magic; };
    sound.currentVoicePanel = [parts] { return parts().voice; };
    sound.window = window;
    m_soundRoutes = std::make_unique<SoundRoutes>(std::move(sound));
    m_soundRoutes->Install(router);
}

} // namespace nk7x
