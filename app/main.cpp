// Process entry: the informational options, private fonts, one instance per user, the main window
// and its message loop, and tear-down in reverse order.
#include "app/LightingServer.h"
#include "app/MainWnd.h"
#include "app/StoredLanguage.h"
#include "panels/pages/BrindovaUSBDevice.h"
#include "platform/DebugLog.h"
#include "platform/Folders.h"
#include "platform/qt/PrivateFonts.h"
#include "platform/qt/QuitSignals.h"
#include "platform/qt/SingleInstance.h"
#include "ui/ResourceList.h"
#include "ui/controls/CustomControls.h"
#include "ui/controls/LayoutBuilderHook.h"
#include "update/AppVersion.h"
#include "windows/MessageBox.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QHostAddress>
#include <QPixmap>
#include <QTimer>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <optional>

namespace {

constexpr const char* kUsage =
    "usage: nk7x [--hidden] [--screenshot=FILE] [--sdk-server[=[ADDRESS:]PORT]]\n"
    "       nk7x --version | --help\n"
    "\n"
    "Configures NK-7X keyboards, mice, mouse pads and headsets. Closing the window hides it to the\n"
    "system tray.\n"
    "\n"
    "  --hidden           start in the system tray without showing the window (shown as usual\n"
    "                     when the desktop has no tray)\n"
    "  --screenshot=FILE  save a picture of the window once it is shown, then exit\n"
    "  --sdk-server[=[ADDRESS:]PORT]\n"
    "                     let lighting programs drive the devices over the SDK protocol for this\n"
    "                     run (default: port 6742 on 127.0.0.1; the settings window switches it\n"
    "                     for good)\n"
    "  --version          print the version and exit\n"
    "  --help             this text\n"
    "\n"
    "NK7X_SIM_DIR=FOLDER also uses the emulated devices of FOLDER (see nk7x-sim).\n";

bool HasArg(int argc, char** argv, const char* name) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], name) == 0)
            return true;
    }
    return false;
}

QString ArgValue(int argc, char** argv, const char* name) {
    const QString prefix = QString::fromLatin1(name) + QLatin1Char('=');
    for (int i = 1; i < argc; ++i) {
        QString a = QString::fromLocal8Bit(argv[i]);
        if (a.startsWith(prefix))
            return a.mid(prefix.size());
    }
    return {};
}

} // namespace

int main(int argc, char** argv) {
    using namespace nk7x;
    // Answered before the toolkit starts: no display, no instance lock, no window.
    if (HasArg(argc, argv, "--help") || HasArg(argc, argv, "-h")) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (HasArg(argc, argv, "--version")) {
        std::printf("nk7x %s\n", ApplicationVersionText());
        return 0;
    }

    // Checked before anything starts: a wrong address is a mistake of the caller's to say at once.
    std::optional<QString> sdkServer;
    if (HasArg(argc, argv, "--sdk-server"))
        sdkServer = QString();
    if (const QString value = ArgValue(argc, argv, "--sdk-server"); !value.isEmpty()) {
        QHostAddress address;
        quint16 port = 0;
        if (!ParseServerAddress(value, address, port)) {
            std::fprintf(stderr, "nk7x: --sdk-server takes PORT or ADDRESS:PORT, not \"%s\"\n",
                         value.toLocal8Bit().constData());
            return 2;
        }
        sdkServer = value;
    }

    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromUtf8(kProductName));
    // Hiding the last window to the tray must not end the program.
    QApplication::setQuitOnLastWindowClosed(false);

    auto fonts = std::make_unique<PrivateFonts>();
    fonts->Load(QString::fromStdString(ProgramFolder()), PrivateFonts::ShippedFonts());

    DebugLogf("软件标示：%d", InstanceMessageId());
    auto instance = std::make_unique<SingleInstance>(QString::fromUtf8(kProductName));
    const SingleInstance::Role role = instance->Acquire();
    if (role == SingleInstance::Role::Second)
        return 0;
    if (role == SingleInstance::Role::Unanswered) {
        // Another instance holds the claim but does not answer (stopped, or hanging): starting a
        // second one would fight it over the devices, so say so and end.
        const ShellOptions shell = ShellOptions::FromEnvironment();
        LanguageTexts texts;
        LoadStoredLanguageTexts(shell, texts);
        const QString text = texts.Text(QStringLiteral("message_instance_not_answering"));
        std::fprintf(stderr, "nk7x: %s\n", text.toLocal8Bit().constData());
        SetMsgWndLanguage(&texts, nullptr, QDir(shell.programFolder).filePath(QStringLiteral("skin")));
        ShowMessage(nullptr, QString(), text, CMsgWnd::kDefaultDpi, false, 0);
        return 1;
    }

    const QString screenshot = ArgValue(argc, argv, "--screenshot");
    const bool printShown = std::getenv("NK7X_PRINT_SHOWN") != nullptr;
    const bool hidden = HasArg(argc, argv, "--hidden");
    // Measurement times the first show in both modes, so there --hidden shows the window and sends
    // it to the tray right after; otherwise the window starts in the tray. A screenshot needs the
    // window shown.
    const bool hideAfterShown = hidden && printShown;
    ShellOptions options = ShellOptions::FromEnvironment();
    options.startHidden = hidden && !printShown && screenshot.isEmpty();
    options.sdkServer = sdkServer;

    RegisterCustomControls();
    auto wnd = std::make_unique<MainWnd>(options);
    MainWnd* w = wnd.get();
    SetControlLayoutBuilder([w](const QString& layoutName, QWidget* parent) -> QWidget* {
        QString path = w->Resources().Resolve(layoutName);
        return path.isEmpty() ? nullptr : w->BuildLayout(path, parent);
    });
    QObject::connect(instance.get(), &SingleInstance::raiseRequested, w,
                     [w](qint64 wp, qint64 lp) { w->OnInstanceMessage(wp, lp); });
    QObject::connect(w, &MainWnd::shutDown, &app,
                     [] { QTimer::singleShot(0, qApp, &QCoreApplication::quit); });
    QObject::connect(w, &MainWnd::firstShown, w, [w, printShown, screenshot, hideAfterShown] {
        if (printShown) {
            std::printf("NK7X_SHOWN %lld\n", static_cast<long long>(QDateTime::currentMSecsSinceEpoch()));
            std::fflush(stdout);
        }
        if (hideAfterShown)
            QTimer::singleShot(300, w, [w] { w->hide(); });
        if (!screenshot.isEmpty()) {
            // After the scale policy has run (100 ms after start) and the layout has settled.
            QTimer::singleShot(1200, w, [w, screenshot] {
                bool ok = w->grab().save(screenshot);
                std::fprintf(ok ? stdout : stderr, "%s %s\n", ok ? "saved" : "cannot save",
                             screenshot.toLocal8Bit().constData());
                w->OnMenuChoice(QStringLiteral("exit"));
            });
        }
    });
    if (printShown) {
        // Measurement: when a device page has been filled after its device connected.
        QObject::connect(w, &MainWnd::devicePageReady, w, [] {
            std::printf("NK7X_PAGE_READY %lld\n",
                        static_cast<long long>(QDateTime::currentMSecsSinceEpoch()));
            std::fflush(stdout);
        });
    }
    InstallQuitSignals(w, [w] { w->close(); });
    w->Create();
    app.exec();

    if (printShown) {
        // Measurement: how the streamed lighting frames left while the program ran.
        for (int i = 0; i < w->Devices().PageCount(); ++i) {
            if (!w->Devices().Page(i))
                continue; // that device never came
            const StreamTiming t = w->Devices().Page(i)->Device().StreamStats();
            if (t.frames > 0)
                std::printf("NK7X_STREAM %s frames=%llu worst_delay_ms=%.2f worst_interval_ms=%.2f\n",
                            w->Devices().Page(i)->Device().KindName().c_str(),
                            static_cast<unsigned long long>(t.frames), t.worstDelayMs, t.worstIntervalMs);
        }
        std::fflush(stdout);
    }
    SetControlLayoutBuilder(nullptr);
    wnd.reset();
    instance.reset();
    fonts->RemoveAll();
    return 0;
}
