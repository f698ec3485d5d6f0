// The world of one profile panel test: an emulated keyboard, a private user data root, a hosting
// window whose notifications run through the profile routes, the panel built from its layout, and
// replaced message boxes and file choices that record what they were asked.
#pragma once

#include "support/TestSupport.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QString>
#include <QTest>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include <json/json.h>

#include "devices/keyboard/KeyboardDevice.h"
#include "link/CommandFrame.h"
#include "panels/profile/DeviceProfileUI.h"
#include "panels/profile/ProfileRoutes.h"
#include "profiles/json/JsonFile.h"
#include "tools/sim/SimDevice.h"
#include "ui/NotifyRouter.h"
#include "ui/PanelContent.h"
#include "ui/UiWindow.h"

namespace nk7x::test {

// Stands in for the main window: routes what its content raises, forwards its own timers.
class HostWindow : public UiWindow {
  public:
    NotifyRouter router;
    std::function<bool(int)> onTimer;
    std::vector<QString> raised; // "type name" of every notification but timers

    void Notify(const UiNotify& msg) override {
        if (msg.type == QLatin1String("timer")) {
            if (onTimer)
                onTimer(static_cast<int>(msg.wParam));
            return;
        }
        raised.push_back(msg.type + QLatin1Char(' ') + msg.name);
        router.Dispatch(msg);
    }
};

struct ShownMessage {
    QString text;
    bool isKey = false;
    int buttons = 0;
};

inline std::string ReadFileText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

class ProfilePanelTest : public ::testing::Test {
  protected:
    void SetUp() override {
        m_dirs = std::make_unique<DeviceTestRoot>("nk7x-ppanel");
        m_root = m_dirs->Path();
        ASSERT_FALSE(m_root.empty());

        SimOptions options;
        options.folder = (m_root / "sim").string();
        m_sim = std::make_unique<SimDevice>(options);
        ASSERT_EQ(m_sim->Start(), 1) << m_sim->LastError();
        m_kbd = std::make_unique<CKeyboardDevice>();
        m_kbd->SetLightingName("tavro_light");
        ASSERT_EQ(m_kbd->Link().OpenPath(m_sim->CommandPath()), 1);
        ASSERT_EQ(m_kbd->ReadKeyLayout(), kResultOk);

        m_host = std::make_unique<HostWindow>();
        m_panel = new CDeviceProfileUI(m_host.get());
        ASSERT_TRUE(
            FillPanel(*m_host, m_panel,
                      QStringLiteral(NK7X_SOURCE_DIR "/skin/XML/CustomControlXML/DeviceProfile.xml")));
        m_host->resize(1000, 60);
        m_host->show();

        ProfileRoutesContext ctx;
        ctx.currentDevice = [this]() -> CDeviceBase* { return m_kbd.get(); };
        ctx.currentProfilePanel = [this] { return m_panel; };
        ctx.window = m_host.get();
        ctx.hideKeyEditor = [this] { ++m_keyEditorHidden; };
        ctx.chooseFile = [this](QWidget*, bool save, const QString& filter) {
            m_dialogs.push_back((save ? QStringLiteral("save ") : QStringLiteral("open ")) + filter);
            return m_nextPath;
        };
        ctx.showMessage = [this](QWidget*, const QString& text, bool isKey, int buttons) {
            m_messages.push_back({text, isKey, buttons});
            return m_answer;
        };
        ctx.text = [](const QString& key) { return key; };
        ReplaceRoutes(std::move(ctx));

        m_panel->SetDeviceType(1);
        m_panel->SetFolders(KindFolder(), m_kbd->DefaultProfilePath());
        ASSERT_EQ(m_panel->LoadList(), ProfileResult::Done);
        m_panel->SelectTab(1);
        m_kbd->SetProfileName(m_panel->GetSelectedUUID());
        m_kbd->LoadProfile();
    }

    void TearDown() override {
        m_routes.reset();
        m_host.reset();
        m_kbd.reset();
        if (m_sim)
            m_sim->Stop();
        m_dirs.reset();
    }

    void ReplaceRoutes(ProfileRoutesContext ctx) {
        m_host->router = NotifyRouter();
        m_routes = std::make_unique<ProfileRoutes>(std::move(ctx));
        m_routes->Install(m_host->router);
        m_host->onTimer = [this](int id) { return m_routes->OnTimer(id); };
    }

    std::string KindFolder() const { return m_kbd->DataFolder(); }
    std::string ListPath() const { return KindFolder() + "ProfileList.ini"; }
    std::string ProfilePath(const std::string& uuid) const { return KindFolder() + uuid + ".Json"; }

    template <class T> T* Control(const char* name) const {
        return qobject_cast<T*>(UiWindow::FindSubControlByName(m_panel, QString::fromLatin1(name)));
    }
    QComboBox* Combo() const { return Control<QComboBox>("device_profile_combo"); }
    void Click(const char* name) {
        QWidget* w = UiWindow::FindSubControlByName(m_panel, QString::fromLatin1(name));
        ASSERT_NE(w, nullptr) << name;
        ASSERT_TRUE(w->isVisible()) << name;
        QTest::mouseClick(w, Qt::LeftButton);
    }
    void OpenMenu() {
        if (!m_panel->IsMenuShown())
            Click("profile_fun_spread_btn");
        ASSERT_TRUE(m_panel->IsMenuShown());
    }

    // Gives the profile at `index` a lighting of its own, saved in its file; the device goes back
    // to the profile it had.
    LightState MarkProfile(int index, uint8_t red, uint8_t green, uint8_t blue) {
        const std::string current = m_kbd->ProfileName();
        m_kbd->SetProfileName(m_panel->List().UuidAt(index));
        m_kbd->LoadProfile();
        LightState light = m_kbd->Profile().GetLightInfo();
        light.mode = 2;
        light.brightness = 3;
        light.red = red;
        light.green = green;
        light.blue = blue;
        m_kbd->SetLightSettings(light);
        m_kbd->SaveProfile();
        m_kbd->SetProfileName(current);
        m_kbd->LoadProfile();
        return light;
    }

    // The red, green and blue bytes of the settings record the keyboard holds.
    std::vector<uint8_t> DeviceColour() const {
        const std::vector<uint8_t> p = m_sim->Parameters();
        return {p[6], p[7], p[8]};
    }

    bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
        QElapsedTimer t;
        t.start();
        while (!done()) {
            if (t.elapsed() > timeoutMs)
                return false;
            QTest::qWait(10);
        }
        return true;
    }

    // Item i of the combo and element i of the list (in memory and in its file) are one profile.
    void ExpectComboMatchesList() {
        QComboBox* combo = Combo();
        ASSERT_NE(combo, nullptr);
        const ProfileList& list = m_panel->List();
        const Json::Value file = LoadJson(ListPath());
        ASSERT_EQ(combo->count(), list.Count());
        ASSERT_EQ(file["profilelist"].size(), static_cast<Json::ArrayIndex>(list.Count()));
        for (int i = 0; i < combo->count(); ++i) {
            const std::string name = list.Names()[static_cast<size_t>(i)];
            EXPECT_EQ(combo->itemText(i).toStdString(), name) << i;
            EXPECT_EQ(combo->itemData(i).toString().toStdString(), name) << i;
            EXPECT_EQ(combo->itemData(i, Qt::SizeHintRole).toSize().height(), CDeviceProfileUI::kItemHeight)
                << i;
            EXPECT_EQ(file["profilelist"][i]["profilename"].asString(), name) << i;
            const std::string uuid = file["profilelist"][i]["profileUUID"].asString();
            EXPECT_EQ(LoadJson(ProfilePath(uuid))["profilename"].asString(), name) << i;
        }
    }

    std::vector<QString> MessageTexts() const {
        std::vector<QString> out;
        for (const ShownMessage& m : m_messages)
            out.push_back(m.text);
        return out;
    }

    std::unique_ptr<DeviceTestRoot> m_dirs;
    std::filesystem::path m_root;
    std::unique_ptr<SimDevice> m_sim;
    std::unique_ptr<CKeyboardDevice> m_kbd;
    std::unique_ptr<HostWindow> m_host;
    CDeviceProfileUI* m_panel = nullptr;
    std::unique_ptr<ProfileRoutes> m_routes;
    std::vector<ShownMessage> m_messages;
    int m_answer = 1;
    std::vector<QString> m_dialogs;
    QString m_nextPath;
    int m_keyEditorHidden = 0;
};

} // namespace nk7x::test
