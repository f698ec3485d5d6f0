// The keyboard page's pieces assembled as the main window assembles them, for the keyboard page
// tests: the page layout built into a window, its key panel filled, a view that fills the settings
// controls and shows failed writes, and a routing of the page's notifications to KeyboardRoutes.
#pragma once

#include "devices/keyboard/KeyboardDevice.h"
#include "panels/pages/keyboard/KeyboardKeyLayout.h"
#include "panels/pages/keyboard/KeyboardRoutes.h"
#include "panels/pages/keyboard/KeyboardSettingsView.h"
#include "ui/ControlFactory.h"
#include "ui/LanguageTexts.h"
#include "ui/UiWindow.h"
#include "ui/controls/CustomControls.h"

#include <QApplication>
#include <QString>

#include <gtest/gtest.h>

#include <vector>

namespace nk7x::test {

inline QString SkinPath(const char* relative) {
    return QStringLiteral(NK7X_SOURCE_DIR "/skin/") + QString::fromLatin1(relative);
}

inline const LanguageTexts& EnglishTexts() {
    static LanguageTexts texts;
    static const bool loaded = texts.LoadFile(SkinPath("lang/lan_en.json"));
    (void)loaded;
    return texts;
}

inline void RegisterControlsOnce() {
    static const bool done = [] {
        RegisterCustomControls();
        return true;
    }();
    (void)done;
}

// The page layout in a window; the key panel filled. Notifications are recorded and, when routes
// are given, handed to their handlers by control name as the main window's rows do.
class KeyboardPageWindow : public UiWindow, public IKeyboardView {
  public:
    KeyboardPageWindow() {
        RegisterControlsOnce();
        resize(800, 560);
        page = BuildLayout(SkinPath("XML/DeviceXml/keyboarddevice.xml"), this);
        if (page)
            page->setGeometry(rect());
        keyPanel = page ? FindSubControlByName(page, QStringLiteral("keyboard_device_key_light")) : nullptr;
        made = PopulateKeyboardKeys(keyPanel, &EnglishTexts());
        ReloadText(EnglishTexts());
    }

    void SetRoutes(KeyboardRoutes* r) { routes = r; }

    void Notify(const UiNotify& msg) override {
        got.push_back(msg);
        if (!routes)
            return;
        const QString name = msg.name;
        const int cut = name.lastIndexOf(QLatin1Char('_'));
        const int number = cut >= 0 ? name.mid(cut + 1).toInt() : 0;
        const QString prefix = cut >= 0 ? name.left(cut + 1) : QString();
        if (msg.type == QLatin1String("selectchanged")) {
            if (prefix == QLatin1String("polling_rate_option_"))
                routes->OnPollingRate(msg, number);
            else if (prefix == QLatin1String("repeat_delay_check_"))
                routes->OnRepeatDelay(msg, number);
            else if (name == QLatin1String("winlockflag_option") || name == QLatin1String("wflag_option") ||
                     name == QLatin1String("6flag_option"))
                routes->OnFlagOption(msg);
        } else if (msg.type == QLatin1String("valuechanged") && name == QLatin1String("repeat_rate_slider")) {
            routes->OnRepeatRate(msg);
        } else if (msg.type == QLatin1String("click")) {
            if (name == QLatin1String("default_btn"))
                routes->OnDefaults();
            else if (prefix == QLatin1String("key_"))
                routes->OnKeyClick(number);
        }
    }

    int Count(const QString& type) const {
        int n = 0;
        for (const UiNotify& m : got)
            n += m.type == type ? 1 : 0;
        return n;
    }

    template <class T> T* Find(const QString& name) const {
        return page ? qobject_cast<T*>(FindSubControlByName(page, name)) : nullptr;
    }
    template <class T> T* Find(const char* name) const { return Find<T>(QString::fromLatin1(name)); }

    // IKeyboardView, as the page implements it for these controls.
    void ArmTimer(int, int) override {}
    void SelectFunctionTabs(const FunctionTabs&) override {}
    void ShowKeyColour(int, uint32_t, uint8_t) override {}
    void KeyCaptionsChanged(const std::vector<KeyCaption>&) override {}
    void SettingsChanged(const KeyboardSettingsControls& controls, const LightState&) override {
        ShowKeyboardSettings(page, controls, &EnglishTexts());
        ++settingsShown;
    }
    void NameListsChanged(const std::vector<std::string>&, const LightNameLists&) override {}
    void CustomGroupSelected(int) override {}
    void KeyAssignmentSelected(int keyIndex, const KeyAssignment&) override {
        selectedKeys.push_back(keyIndex);
    }
    void FnKeyEnabled(bool) override {}
    void WriteFailed(KeyboardWrite what, LinkResult result) override {
        failures.emplace_back(what, result);
        ShowWriteFailedNotice(page, what, ResultCode(result), &EnglishTexts());
    }

    QWidget* page = nullptr;
    QWidget* keyPanel = nullptr;
    int made = 0;
    KeyboardRoutes* routes = nullptr;
    std::vector<UiNotify> got;
    int settingsShown = 0;
    std::vector<int> selectedKeys;
    std::vector<std::pair<KeyboardWrite, LinkResult>> failures;
};

} // namespace nk7x::test
