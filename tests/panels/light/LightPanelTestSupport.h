// The world of a lighting panel test: the panel built from its layout inside a window that
// dispatches notifications through the main window's router with the lighting routes installed,
// and real keyboards on emulators in a private folder with a private user data root.
#pragma once

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QApplication>
#include <QComboBox>
#include <QFocusEvent>
#include <QLineEdit>
#include <QString>
#include <QVBoxLayout>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "devices/keyboard/KeyboardDevice.h"
#include "devices/keyboard/KeyboardRecords.h"
#include "link/CommandFrame.h"
#include "panels/light/ColorPaletteUI.h"
#include "panels/light/LightControlUI.h"
#include "panels/light/LightRoutes.h"
#include "profiles/LightNames.h"
#include "tools/sim/SimDevice.h"
#include "ui/NotifyRouter.h"
#include "ui/PanelContent.h"
#include "ui/UiWindow.h"

namespace nk7x::test {

inline QString LightLayoutPath() {
    return QStringLiteral(NK7X_SOURCE_DIR "/skin/XML/CustomControlXML/LightControl.xml");
}

// The hosting window: every notification is kept and dispatched as the main window does.
class HostWindow : public UiWindow {
  public:
    void Notify(const UiNotify& msg) override {
        notes.push_back(msg);
        router.Dispatch(msg);
    }
    int Count(const QString& type, const QString& name) const {
        int n = 0;
        for (const UiNotify& m : notes)
            n += m.type == type && m.name == name ? 1 : 0;
        return n;
    }
    NotifyRouter router;
    std::vector<UiNotify> notes;
};

// A panel for a kind of device, filled with the kind's mode names, inside its own host.
struct PanelHost {
    explicit PanelHost(DeviceKind kind) {
        auto* box = new QVBoxLayout(&host);
        box->setContentsMargins(0, 0, 0, 0);
        host.setObjectName(QStringLiteral("host"));
        host.setStyleSheet(QStringLiteral("QWidget#host { background-color: #14161b; }"));
        panel = new CLightControlUI(&host);
        box->addWidget(panel);
        loaded = FillPanel(host, panel, LightLayoutPath());
        panel->SetLayoutStyle(kind);
        const std::string defaults = NK7X_SOURCE_DIR "/DefaultData/default_light.json";
        LightNameLists names = ReadLightNameLists(FamilyIndex(FamilyOf(kind)), defaults, "");
        panel->FillModes(names.modes, 4, 4);
        host.resize(300, 640);
    }
    template <class T> T* Find(const char* name) {
        return qobject_cast<T*>(UiWindow::FindSubControlByName(panel, QString::fromLatin1(name)));
    }
    QWidget* Group(const char* name) { return Find<QWidget>(name); }

    HostWindow host;
    CLightControlUI* panel = nullptr;
    bool loaded = false;
};

// Leaves an edit box the way a focus change does.
inline void LeaveEdit(QLineEdit* edit) {
    QFocusEvent out(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(edit, &out);
}

// Picks from a combo box as the user does: the list closes on an item.
inline void PickItem(QComboBox* combo, int index) {
    combo->setCurrentIndex(index);
    emit combo->activated(index);
}

class LightPanelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dirs = std::make_unique<DeviceTestRoot>("nk7x-lightpanel");
        m_root = m_dirs->Path();
        ASSERT_FALSE(m_root.empty());
        m_sim = StartSim("kbd1");
        ASSERT_TRUE(m_sim);
        m_kbd = OpenKeyboard(*m_sim, "profile-one");
        ASSERT_TRUE(m_kbd);

        m_page = std::make_unique<PanelHost>(DeviceKind::Keyboard);
        ASSERT_TRUE(m_page->loaded);
        LightRoutesContext ctx;
        ctx.currentDevice = [this]() -> CDeviceBase* { return m_current; };
        ctx.currentLightPanel = [this]() -> CLightControlUI* { return m_current ? m_page->panel : nullptr; };
        ctx.window = &m_page->host;
        ctx.allDevices = [this] { return m_targets; };
        ctx.storeCommonEffect = [this](const light::CommonEffectSettings& s) { m_stored.push_back(s); };
        m_routes = std::make_unique<LightRoutes>(ctx);
        m_routes->Install(m_page->host.router);
        m_current = m_kbd.get();
        m_targets = {{m_kbd.get(), m_page->panel}};
        m_page->panel->ShowLightSettings(m_kbd->GetLightSettings());
        m_page->host.notes.clear();
        m_sim->ClearFrameLog();
    }

    void TearDown() override {
        m_routes.reset();
        m_page.reset();
        m_kbd.reset();
        m_other.reset();
        if (m_sim)
            m_sim->Stop();
        if (m_otherSim)
            m_otherSim->Stop();
        m_dirs.reset();
    }

    std::unique_ptr<SimDevice> StartSim(const std::string& name) {
        SimOptions options;
        options.folder = (m_root / "sim").string();
        options.name = name;
        auto sim = std::make_unique<SimDevice>(options);
        if (sim->Start() != 1) {
            ADD_FAILURE() << sim->LastError();
            return nullptr;
        }
        return sim;
    }

    static std::unique_ptr<CKeyboardDevice> OpenKeyboard(SimDevice& sim, const std::string& profile) {
        auto kbd = std::make_unique<CKeyboardDevice>();
        kbd->SetProfileName(profile);
        kbd->SetLightingName("tavro_light");
        if (kbd->Link().OpenPath(sim.CommandPath()) != 1 || kbd->ReadKeyLayout() != kResultOk) {
            ADD_FAILURE() << "keyboard on " << sim.CommandPath() << " not ready";
            return nullptr;
        }
        kbd->LoadProfile();
        return kbd;
    }

    // A second keyboard on its own emulator, with a panel of its own, as one more open device.
    void AddSecondKeyboard() {
        m_otherSim = StartSim("kbd2");
        ASSERT_TRUE(m_otherSim);
        m_other = OpenKeyboard(*m_otherSim, "profile-two");
        ASSERT_TRUE(m_other);
        m_otherPage = std::make_unique<PanelHost>(DeviceKind::Keyboard);
        // Every page lives in the main window: its panel's notifications reach the same routes.
        m_otherPage->panel->setParent(&m_page->host);
        m_otherPage->panel->ShowLightSettings(m_other->GetLightSettings());
        m_page->host.notes.clear();
        m_targets.push_back({m_other.get(), m_otherPage->panel});
        m_otherSim->ClearFrameLog();
    }

    // Settings record 0 as the keyboard holds it.
    static std::vector<uint8_t> Record(const SimDevice& sim) {
        const std::vector<uint8_t> p = sim.Parameters();
        return {p.begin(), p.begin() + kSimSettingsRecordBytes};
    }
    static int Writes(const SimDevice& sim) {
        int n = 0;
        for (const SimFrameRecord& f : sim.FrameLog())
            n += f.command == 6 ? 1 : 0;
        return n;
    }
    // Puts the keyboard (and the panel) into a state without going through the panel.
    void Prepare(const std::function<void(LightState&)>& change) {
        LightState s = m_kbd->GetLightSettings();
        change(s);
        m_kbd->SetLightSettings(s);
        m_kbd->SaveProfile();
        m_page->panel->ShowLightSettings(s);
        m_page->host.notes.clear();
        m_sim->ClearFrameLog();
    }

    template <class T> T* Find(const char* name) { return m_page->Find<T>(name); }

    std::unique_ptr<DeviceTestRoot> m_dirs;
    std::filesystem::path m_root;
    std::unique_ptr<SimDevice> m_sim;
    std::unique_ptr<SimDevice> m_otherSim;
    std::unique_ptr<CKeyboardDevice> m_kbd;
    std::unique_ptr<CKeyboardDevice> m_other;
    std::unique_ptr<PanelHost> m_page;
    std::unique_ptr<PanelHost> m_otherPage;
    std::unique_ptr<LightRoutes> m_routes;
    CDeviceBase* m_current = nullptr;
    std::vector<LightTarget> m_targets;
    std::vector<light::CommonEffectSettings> m_stored;
};

} // namespace nk7x::test
