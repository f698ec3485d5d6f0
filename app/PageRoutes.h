// The routes of the pages' panels (profile, lighting, keyboard and mouse settings, keys, macros,
// shoot patterns, sound): each acts on what the page shown offers (its PageParts), so the window that
// installs them knows no kind.
#pragma once

#include <functional>
#include <memory>

namespace nk7x {

class CDeviceProfileUI;
class DeviceHost;
class KeyboardRoutes;
class KeySetRoutes;
class LanguageTexts;
class LightRoutes;
class MacroRoutes;
class MouseRoutes;
class NotifyRouter;
class ProfileRoutes;
class ResourceList;
class ShootRoutes;
class SoundRoutes;
class UiWindow;
namespace light {
struct CommonEffectSettings;
}

struct PageRoutesContext {
    UiWindow* window = nullptr; // parent of the boxes, owner of the timers
    DeviceHost* host = nullptr; // the pages and which one is shown
    const ResourceList* resources = nullptr;
    const LanguageTexts* texts = nullptr;
    // The common effect: stored for every device, and the painter woken when one follows it.
    std::function<void(const light::CommonEffectSettings&)> storeCommonEffect;
    std::function<void()> commonEffectFlagged;
    // A page's profile panel switched profiles; may be empty.
    std::function<void(CDeviceProfileUI& panel)> profileSwitched;
};

class PageRoutes {
  public:
    explicit PageRoutes(PageRoutesContext context);
    ~PageRoutes();

    void Install(NotifyRouter& router);

    // Null before Install.
    ProfileRoutes* Profiles() const { return m_profileRoutes.get(); }
    MacroRoutes* Macros() const { return m_macroRoutes.get(); }

  private:
    PageRoutesContext m_ctx;
    std::unique_ptr<ProfileRoutes> m_profileRoutes;
    std::unique_ptr<LightRoutes> m_lightRoutes;
    std::unique_ptr<KeyboardRoutes> m_keyboardRoutes;
    std::unique_ptr<MouseRoutes> m_mouseRoutes;
    std::unique_ptr<KeySetRoutes> m_keySetRoutes;
    std::unique_ptr<MacroRoutes> m_macroRoutes;
    std::unique_ptr<ShootRoutes> m_shootRoutes;
    std::unique_ptr<SoundRoutes> m_soundRoutes;
};

} // namespace nk7x
