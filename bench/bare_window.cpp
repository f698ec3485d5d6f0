// The reference for bench/app_cpu.sh: one bare window of the toolkit and nothing else, so that the
// program's idle cost can be read beside what the toolkit alone costs on the same display. Runs
// until killed. With NK7X_PRINT_SHOWN set it prints "NK7X_SHOWN <ms since the epoch>" once shown;
// --hidden hides the window 300 ms later, as the program does when measured hidden; --front takes the
// whole screen and the keyboard focus once shown, which sends a window shown before it to the
// background.
#include <QApplication>
#include <QDateTime>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <cstdio>
#include <cstdlib>
#include <cstring>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    bool hidden = false;
    bool front = false;
    for (int i = 1; i < argc; ++i) {
        hidden = hidden || std::strcmp(argv[i], "--hidden") == 0;
        front = front || std::strcmp(argv[i], "--front") == 0;
    }

    QWidget window;
    window.resize(800, 600);
    // In front it covers the whole screen, the pointer included: a window behind it is neither
    // active nor under the pointer.
    if (front)
        window.setGeometry(QGuiApplication::primaryScreen()->geometry());
    window.show();
    // Queued behind the show, as the program reports its first show.
    QTimer::singleShot(0, &window, [&window, hidden, front] {
        if (front)
            window.activateWindow();
        if (std::getenv("NK7X_PRINT_SHOWN") != nullptr) {
            std::printf("NK7X_SHOWN %lld\n", static_cast<long long>(QDateTime::currentMSecsSinceEpoch()));
            std::fflush(stdout);
        }
        if (hidden)
            QTimer::singleShot(300, &window, [&window] { window.hide(); });
    });
    return app.exec();
}
