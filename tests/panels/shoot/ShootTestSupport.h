// The shoot panel alone: its layout built into a window whose notifications go to the shoot routes
// as the main window routes them, on a private pattern folder and a private copy of the default
// patterns, with recorded downloads, file choices and messages.
#pragma once

#include "devices/mouse/ShootImageBuild.h"
#include "panels/shoot/ShootControlUI.h"
#include "panels/shoot/ShootPatternView.h"
#include "panels/shoot/ShootRoutes.h"
#include "profiles/json/JsonFile.h"
#include "ui/ControlFactory.h"
#include "ui/LanguageTexts.h"
#include "ui/NotifyRouter.h"
#include "ui/UiWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFocusEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QStackedWidget>

#include <gtest/gtest.h>
#include <json/json.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <unistd.h>
#include <vector>

namespace nk7x::test {

namespace fs = std::filesystem;

inline const LanguageTexts& EnglishShootTexts() {
    static LanguageTexts texts;
    static const bool loaded = texts.LoadFile(QStringLiteral(NK7X_SOURCE_DIR "/skin/lang/lan_en.json"));
    (void)loaded;
    return texts;
}

inline std::string ReadBytes(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void WriteBytes(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline QString ShootLayoutPath() {
    return QStringLiteral(NK7X_SOURCE_DIR "/skin/XML/CustomControlXML/ShootControl.xml");
}

// A window holding shoot panels built from the layout, with the routes of the main window.
class ShootPanelWindow : public UiWindow {
  public:
    ShootPanelWindow() {
        RegisterShootControl(ControlFactory::Instance());
        resize(760, 330);
        panel = AddPanel();

        ShootRoutesContext ctx;
        ctx.currentPanel = [this]() -> CShootControlUI* { return current ? current.data() : panel; };
        ctx.currentPageIsMouse = [this] { return isMouse; };
        ctx.downloadShootPatterns = [this] {
            ++downloads;
            if (onDownload)
                onDownload();
        };
        ctx.window = this;
        ctx.chooseFile = [this](QWidget*, bool save, const QString& filter) {
            dialogs.push_back({save, filter});
            return nextFile;
        };
        ctx.showMessage = [this](const QString& key) { messages.push_back(key); };
        routes = std::make_unique<ShootRoutes>(std::move(ctx));
        routes->Install(router);
    }
    ~ShootPanelWindow() override { closing = true; }

    // A panel of its own layout copy, as each mouse page has one.
    CShootControlUI* AddPanel() {
        auto* made = qobject_cast<CShootControlUI*>(BuildLayout(ShootLayoutPath(), this));
        if (!made)
            return nullptr;
        made->setGeometry(rect());
        ReloadText(EnglishShootTexts());
        made->SetLanguageTexts(&EnglishShootTexts());
        return made;
    }

    // What the mouse page does when it builds itself.
    static void Build(CShootControlUI& p, const fs::path& folder, const fs::path& defaults) {
        p.SetPatternFolder(folder.string());
        p.SetDefaultPatternFolder(defaults.string());
        p.InitControls();
        p.SelectGun(0);
        p.SelectBullet(0);
    }

    void Notify(const UiNotify& msg) override {
        if (closing)
            return;
        notified.push_back(msg.type + QLatin1Char(' ') + msg.name);
        router.Dispatch(msg);
    }

    template <class T = QWidget> T* In(CShootControlUI* p, const QString& name) const {
        return qobject_cast<T*>(UiWindow::FindSubControlByName(p, name));
    }
    template <class T = QWidget> T* Find(const char* name) const {
        return In<T>(panel, QString::fromLatin1(name));
    }
    QAbstractButton* Button(const char* name) const { return Find<QAbstractButton>(name); }
    QLineEdit* Edit(const char* name) const { return Find<QLineEdit>(name); }
    QString IndexText() const {
        auto* l = Find<QLabel>("bullet_select_index");
        return l ? l->text() : QString();
    }
    // A user click: false when the button is missing or disabled.
    bool Click(const char* name, CShootControlUI* in = nullptr) {
        auto* b = In<QAbstractButton>(in ? in : panel, QString::fromLatin1(name));
        if (!b || !b->isEnabled())
            return false;
        b->click();
        return true;
    }
    // The box loses the focus, as when the user clicks elsewhere.
    static void LeaveField(QLineEdit* e) {
        QFocusEvent out(QEvent::FocusOut, Qt::MouseFocusReason);
        QApplication::sendEvent(e, &out);
    }

    struct Dialog {
        bool save = false;
        QString filter;
    };
    CShootControlUI* panel = nullptr;
    QPointer<CShootControlUI> current; // the panel of the page shown; null: `panel`
    bool isMouse = true;
    NotifyRouter router;
    std::unique_ptr<ShootRoutes> routes;
    int downloads = 0;
    std::function<void()> onDownload;
    std::vector<Dialog> dialogs;
    QString nextFile;
    std::vector<QString> messages;
    std::vector<QString> notified; // type and control name of every notification
    bool closing = false;
};

// A private pattern folder (empty), a copy of the shipped default patterns, and a built panel.
class ShootTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        m_root = fs::temp_directory_path() / ("nk7x-shoot-" + std::to_string(::getpid()) + "-" +
                                              info->test_suite_name() + "-" + info->name());
        fs::remove_all(m_root);
        m_user = m_root / "mouse";
        m_defaults = m_root / "DefaultData";
        fs::create_directories(m_defaults);
        for (int g = 0; g < kShootGunCount; ++g)
            fs::copy_file(fs::path(NK7X_SOURCE_DIR "/DefaultData") / ShootPatternFileName(g),
                          m_defaults / ShootPatternFileName(g));
        SetJsonWriteSync(false);
        Prepare();
        m_window = std::make_unique<ShootPanelWindow>();
        ASSERT_NE(m_window->panel, nullptr) << "the layout builds a shoot panel";
        ShootPanelWindow::Build(*m_window->panel, m_user, m_defaults);
    }
    void TearDown() override {
        m_window.reset();
        SetJsonWriteSync(true);
        fs::remove_all(m_root);
    }
    // Runs before the panel is built: tests put files in place here.
    virtual void Prepare() {}

    fs::path UserFile(int gun) const { return m_user / ShootPatternFileName(gun); }
    fs::path DefaultFile(int gun) const { return m_defaults / ShootPatternFileName(gun); }
    Json::Value UserDoc(int gun) const { return LoadJson(UserFile(gun).string()); }
    CShootControlUI& Panel() const { return *m_window->panel; }
    ShootPanelWindow& Window() const { return *m_window; }

    // The three boxes and the two checks of the bullet editor.
    void Type(const QString& x, const QString& y, const QString& delay) const {
        Window().Edit("bullet_x_eidt")->setText(x);
        Window().Edit("bullet_y_eidt")->setText(y);
        Window().Edit("bullet_delay_eidt")->setText(delay);
    }
    struct Shown {
        QString x, y, delay;
        bool left = false, up = false;
        QString xCaption, yCaption;
    };
    Shown Showing() const {
        Shown s;
        s.x = Window().Edit("bullet_x_eidt")->text();
        s.y = Window().Edit("bullet_y_eidt")->text();
        s.delay = Window().Edit("bullet_delay_eidt")->text();
        s.left = Window().Button("bullet_x_check")->isChecked();
        s.up = Window().Button("bullet_y_check")->isChecked();
        s.xCaption = Window().Button("bullet_x_check")->text();
        s.yCaption = Window().Button("bullet_y_check")->text();
        return s;
    }

    fs::path m_root;
    fs::path m_user;
    fs::path m_defaults;
    std::unique_ptr<ShootPanelWindow> m_window;
};

// Checks one event record: exactly these four members with these values, numbers as integers.
inline ::testing::AssertionResult IsRecord(const Json::Value& e, const char* action, int button, int delay,
                                           int type) {
    if (!e.isObject())
        return ::testing::AssertionFailure() << "not an object: " << e.toStyledString();
    if (e.getMemberNames() != std::vector<std::string>{"Action", "Button", "Delay", "Type"})
        return ::testing::AssertionFailure() << "members differ: " << e.toStyledString();
    if (!e["Action"].isString() || e["Action"].asString() != action)
        return ::testing::AssertionFailure()
               << "Action " << e["Action"].toStyledString() << " not " << action;
    for (const char* k : {"Button", "Delay", "Type"})
        if (!e[k].isInt())
            return ::testing::AssertionFailure() << k << " is not an integer";
    if (e["Button"].asInt() != button || e["Delay"].asInt() != delay || e["Type"].asInt() != type)
        return ::testing::AssertionFailure()
               << "Button/Delay/Type " << e["Button"].asInt() << "/" << e["Delay"].asInt() << "/"
               << e["Type"].asInt() << ", not " << button << "/" << delay << "/" << type;
    return ::testing::AssertionSuccess();
}

} // namespace nk7x::test
