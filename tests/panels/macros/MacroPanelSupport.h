// The macro editor alone: its layout built into a window whose notifications go to the macro
// routes, as the main window routes them, with a hook whose events the test sends, an injected
// clock and recorded message boxes and file choices.
#pragma once

#include "panels/macros/MacroRoutes.h"
#include "panels/macros/MacroSetControlUI.h"
#include "panels/macros/RecordingHook.h"
#include "ui/ControlFactory.h"
#include "ui/LanguageTexts.h"
#include "ui/NotifyRouter.h"
#include "ui/UiWindow.h"

#include <QString>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace nk7x::test {

// A hook backend the test drives: Install hands out the sink, which the test calls from any thread.
class FakeInputHook final : public IInputHook {
  public:
    struct Shared {
        std::mutex lock;
        InputSink sink;
        bool installed = false;
        HookMode mode = HookMode::Record;
        int installs = 0;
        bool refuse = false;
    };
    explicit FakeInputHook(std::shared_ptr<Shared> shared, std::string name = "fake")
        : m_shared(std::move(shared)), m_name(std::move(name)) {}
    bool Install(HookMode mode, InputSink sink) override {
        std::lock_guard<std::mutex> hold(m_shared->lock);
        if (m_shared->refuse)
            return false;
        m_shared->sink = std::move(sink);
        m_shared->installed = true;
        m_shared->mode = mode;
        ++m_shared->installs;
        return true;
    }
    void Uninstall() override {
        std::lock_guard<std::mutex> hold(m_shared->lock);
        m_shared->sink = nullptr;
        m_shared->installed = false;
    }
    bool Installed() const override { return m_shared->installed; }
    HookMode Mode() const override { return m_shared->mode; }
    std::string Name() const override { return m_name; }
    std::string LastError() const override { return m_shared->refuse ? "no access" : ""; }
    std::string Limitations() const override { return {}; }

  private:
    std::shared_ptr<Shared> m_shared;
    std::string m_name;
};

// Sends an event as a backend does: through the sink it was given.
inline bool SendInput(FakeInputHook::Shared& shared, const InputEvent& event) {
    InputSink sink;
    {
        std::lock_guard<std::mutex> hold(shared.lock);
        sink = shared.sink;
    }
    if (!sink)
        return false;
    sink(event);
    return true;
}

inline const LanguageTexts& EnglishMacroTexts() {
    static LanguageTexts texts;
    static const bool loaded = texts.LoadFile(QStringLiteral(NK7X_SOURCE_DIR "/skin/lang/lan_en.json"));
    (void)loaded;
    return texts;
}

class MacroPanelWindow : public UiWindow {
  public:
    MacroPanelWindow() {
        RegisterMacroSetControl(ControlFactory::Instance());
        resize(980, 216);
        QWidget* content =
            BuildLayout(QStringLiteral(NK7X_SOURCE_DIR "/skin/XML/CustomControlXML/MacroControl.xml"), this);
        panel = qobject_cast<CMacroSetControlUI*>(content);
        if (!panel)
            return;
        panel->setGeometry(rect());
        panel->Init();
        panel->SetLanguageTexts(&EnglishMacroTexts());
        ReloadText(EnglishMacroTexts());
        panel->SetClock([this] { return now; });

        MacroRoutesContext ctx;
        ctx.currentPanel = [this] { return panel; };
        ctx.window = this;
        ctx.actionMenuPath = [] {
            return QStringLiteral(NK7X_SOURCE_DIR "/skin/XML/Menus/macro_action_menu.xml");
        };
        ctx.setPageSwitching = [this](bool enabled) { switching.push_back(enabled); };
        ctx.chooseFile = [this](QWidget*, bool save, const QString&) {
            chosen.push_back(save);
            return nextFile;
        };
        ctx.showMessage = [this](const QString& text, bool, int, bool) {
            messages.push_back(text);
            return nextAnswers.empty() ? 1 : TakeAnswer();
        };
        ctx.text = [](const QString& key) { return EnglishMacroTexts().Text(key); };
        hook = std::make_shared<FakeInputHook::Shared>();
        auto made =
            std::make_unique<RecordingHook>(std::make_unique<FakeInputHook>(hook, "fake devices"), nullptr);
        routes = std::make_unique<MacroRoutes>(std::move(ctx));
        routes->SetHook(std::move(made));
        routes->Install(router);
    }
    ~MacroPanelWindow() override { routes.reset(); }

    void Notify(const UiNotify& msg) override { router.Dispatch(msg); }

    bool Click(const char* name) {
        auto* b = qobject_cast<QAbstractButton*>(FindControl(QString::fromLatin1(name)));
        if (!b || !b->isEnabled())
            return false;
        b->click();
        return true;
    }
    int TakeAnswer() {
        const int a = nextAnswers.front();
        nextAnswers.erase(nextAnswers.begin());
        return a;
    }

    CMacroSetControlUI* panel = nullptr;
    NotifyRouter router;
    std::unique_ptr<MacroRoutes> routes;
    std::shared_ptr<FakeInputHook::Shared> hook;
    int64_t now = 0;
    std::vector<bool> switching;
    std::vector<bool> chosen;
    QString nextFile;
    std::vector<QString> messages;
    std::vector<int> nextAnswers;
};

} // namespace nk7x::test
