#include "platform/qt/BusWindowTracker.h"

#include "platform/DebugLog.h"

#include <QDBusArgument>
#include <QDBusError>
#include <QDBusMessage>
#include <QDeadlineTimer>
#include <QFileInfo>
#include <QThread>
#include <QVariantMap>

#include <algorithm>

namespace nk7x {
namespace {

constexpr const char* kKWinService = "org.kde.KWin";
constexpr const char* kKWinPath = "/Scripting";
constexpr const char* kKWinInterface = "org.kde.kwin.Scripting";
// The shell's extensions service: started on demand in a GNOME session, it asks the shell.
constexpr const char* kShellService = "org.gnome.Shell.Extensions";
constexpr const char* kShellPath = "/org/gnome/Shell/Extensions";
constexpr const char* kShellInterface = "org.gnome.Shell.Extensions";

// GNOME Shell's extension states (the "state" of GetExtensionInfo).
enum ExtensionState {
    kEnabled = 1,
    kDisabled = 2,
    kError = 3,
    kOutOfDate = 4,
    kInitialized = 6,
    kUninstalled = 99
};

QDBusMessage MethodCall(const char* service, const char* path, const char* interface, const char* method) {
    return QDBusMessage::createMethodCall(QString::fromLatin1(service), QString::fromLatin1(path),
                                          QString::fromLatin1(interface), QString::fromLatin1(method));
}

QDBusMessage KWinCall(const char* method) {
    QDBusMessage call = MethodCall(kKWinService, kKWinPath, kKWinInterface, method);
    // A window manager that is not running is not to be started for us.
    call.setAutoStartService(false);
    return call;
}

// The call's answer, waiting no longer than is left before `deadline` (a NoReply error then).
QDBusMessage CallWithin(const QDBusConnection& bus, const QDBusMessage& call,
                        const QDeadlineTimer& deadline) {
    const qint64 left = deadline.remainingTime();
    if (left <= 0)
        return call.createErrorReply(QDBusError::NoReply, QStringLiteral("no time left"));
    return bus.call(call, QDBus::Block, static_cast<int>(left));
}

bool IsError(const QDBusMessage& reply) {
    return reply.type() != QDBusMessage::ReplyMessage;
}

// Why a call to `desktop` failed, in a user's words.
std::string CallFailure(const QDBusMessage& reply, const std::string& desktop, const std::string& doing) {
    // NameHasNoOwner: what the bus answers for a name nobody owns when it is not to start a service.
    if (reply.errorName() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner"))
        return desktop + " is not running on this session bus";
    switch (QDBusError(reply).type()) {
    case QDBusError::ServiceUnknown:
        return desktop + " is not running on this session bus";
    case QDBusError::NoReply:
    case QDBusError::Timeout:
    case QDBusError::TimedOut:
        return desktop + " did not answer within " + std::to_string(BusWindowTracker::kAnswerMs / 1000) +
               " s";
    default:
        return desktop + " could not " + doing + ": " + reply.errorMessage().toStdString();
    }
}

void SetWhy(std::string* why, std::string text) {
    DebugLog("window tracking: " + text);
    if (why)
        *why = std::move(text);
}

} // namespace

BusWindowTracker::BusWindowTracker(TrackerKind kind, QString target, QDBusConnection bus, QObject* parent)
    : QObject(parent), m_kind(kind), m_target(std::move(target)), m_bus(std::move(bus)) {}

BusWindowTracker::~BusWindowTracker() {
    Stop();
}

std::string BusWindowTracker::Name() const {
    return m_kind == TrackerKind::KWin ? "KDE Plasma" : "GNOME Shell";
}

bool BusWindowTracker::Start(Listener listener, std::string* why) {
    Stop();
    if (!m_bus.isConnected()) {
        SetWhy(why, "there is no session bus to hear the desktop on");
        return false;
    }
    const bool started = m_kind == TrackerKind::KWin ? StartKWin(why) : StartGnome(why);
    if (!started)
        return false;
    m_listener = std::move(listener);
    m_running = true;
    emit reportsWanted();
    return true;
}

bool BusWindowTracker::StartKWin(std::string* why) {
    if (!QFileInfo(m_target).isFile()) {
        SetWhy(why, "the program's KWin script is missing (" + m_target.toStdString() +
                        "): reinstall the program");
        return false;
    }
    const QDeadlineTimer deadline(kAnswerMs);
    const QString plugin = QString::fromLatin1(kKWinPluginName);
    // A script left loaded by a run that ended without Stop goes first: KWin loads a name once.
    QDBusMessage unload = KWinCall("unloadScript");
    unload << plugin;
    QDBusMessage reply = CallWithin(m_bus, unload, deadline);
    if (IsError(reply)) {
        SetWhy(why, CallFailure(reply, "KWin", "load the program's script"));
        return false;
    }
    QDBusMessage load = KWinCall("loadScript");
    load << m_target << plugin;
    int id = -1;
    for (;;) {
        reply = CallWithin(m_bus, load, deadline);
        if (IsError(reply)) {
            SetWhy(why, CallFailure(reply, "KWin", "load the program's script"));
            return false;
        }
        id = reply.arguments().value(0).toInt();
        // -1: the unloaded copy is still there; KWin drops it on its next turn.
        if (id >= 0 || deadline.remainingTime() < 50)
            break;
        QThread::msleep(20);
    }
    if (id < 0) {
        SetWhy(why, "KWin keeps another script named " + std::string(kKWinPluginName) + " loaded");
        return false;
    }
    reply = CallWithin(m_bus, KWinCall("start"), deadline);
    if (IsError(reply)) {
        SetWhy(why, CallFailure(reply, "KWin", "start the program's script"));
        return false;
    }
    return true;
}

bool BusWindowTracker::StartGnome(std::string* why) {
    const std::string uuid = m_target.toStdString();
    QDBusMessage info = MethodCall(kShellService, kShellPath, kShellInterface, "GetExtensionInfo");
    info << m_target;
    const QDBusMessage reply = CallWithin(m_bus, info, QDeadlineTimer(kAnswerMs));
    if (IsError(reply)) {
        SetWhy(why, CallFailure(reply, "GNOME Shell", "say whether the extension " + uuid + " is enabled"));
        return false;
    }
    const QVariantMap fields = qdbus_cast<QVariantMap>(reply.arguments().value(0));
    // The state is a double on the bus; an extension the shell does not know gives no fields.
    const int state = fields.contains(QStringLiteral("state")) ? fields.value(QStringLiteral("state")).toInt()
                                                               : kUninstalled;
    const std::string enable = "enable it with `gnome-extensions enable " + uuid + "` and log in again";
    switch (state) {
    case kEnabled:
        return true;
    case kUninstalled:
        SetWhy(why,
               "the desktop extension " + uuid +
                   " is not installed, or GNOME Shell has not seen it yet: log in again after installing the "
                   "program, then " +
                   enable);
        return false;
    case kDisabled:
    case kInitialized:
        SetWhy(why, "the desktop extension " + uuid + " is installed but not enabled: " + enable);
        return false;
    case kError:
        SetWhy(why, "the desktop extension " + uuid + " failed in GNOME Shell: " +
                        fields.value(QStringLiteral("error")).toString().toStdString());
        return false;
    case kOutOfDate:
        SetWhy(why, "the desktop extension " + uuid + " does not support this version of GNOME Shell");
        return false;
    default:
        SetWhy(why, "the desktop extension " + uuid + " is not enabled yet (state " + std::to_string(state) +
                        "): log in again");
        return false;
    }
}

void BusWindowTracker::Stop() {
    if (!m_running)
        return;
    m_running = false;
    m_listener = nullptr;
    m_haveLast = false;
    m_open.clear();
    if (m_kind == TrackerKind::KWin) {
        // Not waited for: a KWin that does not answer must not hold the program up.
        QDBusMessage unload = KWinCall("unloadScript");
        unload << QString::fromLatin1(kKWinPluginName);
        m_bus.send(unload);
    }
}

std::vector<ActiveApp> BusWindowTracker::OpenApps() {
    return m_open;
}

void BusWindowTracker::Report(const ActiveApp& reported) {
    if (!m_running || reported.appId.empty())
        return;
    ActiveApp app = reported;
    if (app.executable.empty())
        app.executable = ExecutableOfPid(app.pid);
    const auto known =
        std::find_if(m_open.begin(), m_open.end(), [&](const ActiveApp& a) { return a.appId == app.appId; });
    if (known == m_open.end())
        m_open.push_back(app);
    else
        *known = app;
    if (m_haveLast && app == m_last)
        return;
    m_last = app;
    m_haveLast = true;
    if (m_listener)
        m_listener(app);
}

void BusWindowTracker::Closed(const std::string& appId) {
    if (!m_running)
        return;
    std::erase_if(m_open, [&](const ActiveApp& a) { return a.appId == appId; });
}

void BusWindowTracker::ReportOpen(const std::vector<std::string>& appIds) {
    if (!m_running)
        return;
    std::vector<ActiveApp> open;
    for (const std::string& id : appIds) {
        if (id.empty() ||
            std::any_of(open.begin(), open.end(), [&](const ActiveApp& a) { return a.appId == id; }))
            continue;
        const auto known =
            std::find_if(m_open.begin(), m_open.end(), [&](const ActiveApp& a) { return a.appId == id; });
        if (known != m_open.end()) {
            open.push_back(*known);
        } else {
            ActiveApp app;
            app.appId = id;
            open.push_back(app);
        }
    }
    m_open = std::move(open);
}

} // namespace nk7x
