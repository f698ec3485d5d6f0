#include "platform/qt/QuitSignals.h"

#include <QSocketNotifier>

#include <csignal>
#include <fcntl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace nk7x {
namespace {

int g_pipe[2] = {-1, -1};

void OnSignal(int) {
    // Only async-signal-safe work here: one byte into the pipe.
    char b = 1;
    ssize_t n = ::write(g_pipe[1], &b, 1);
    (void)n;
}

} // namespace

bool InstallQuitSignals(QObject* context, std::function<void()> onQuit) {
    if (g_pipe[0] >= 0 || ::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, g_pipe) != 0)
        return false;
    auto* notifier = new QSocketNotifier(g_pipe[0], QSocketNotifier::Read, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context, [fn = std::move(onQuit)] {
        char buf[16];
        while (::read(g_pipe[0], buf, sizeof buf) > 0) {
        }
        if (fn)
            fn();
    });
    struct sigaction sa = {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    return ::sigaction(SIGINT, &sa, nullptr) == 0 && ::sigaction(SIGTERM, &sa, nullptr) == 0;
}

} // namespace nk7x
