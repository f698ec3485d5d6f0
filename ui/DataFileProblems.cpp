#include "ui/DataFileProblems.h"

#include "platform/DebugLog.h"

#include <QSet>

#include <mutex>

namespace nk7x {
namespace {

std::mutex g_mutex;
QStringList g_pending;
QSet<QString> g_seen;
std::function<void()> g_listener;

} // namespace

void ReportDataFileProblem(const QString& path, const QString& what) {
    std::function<void()> listener;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        if (g_seen.contains(path))
            return;
        g_seen.insert(path);
        g_pending << path + QStringLiteral(" (") + what + QLatin1Char(')');
        listener = g_listener;
    }
    DebugLogf("program file %s: %s", path.toUtf8().constData(), what.toUtf8().constData());
    if (listener)
        listener();
}

QStringList TakeDataFileProblems() {
    std::lock_guard<std::mutex> lock(g_mutex);
    QStringList out;
    out.swap(g_pending);
    return out;
}

void SetDataFileProblemListener(std::function<void()> listener) {
    std::lock_guard<std::mutex> lock(g_mutex);
    g_listener = std::move(listener);
}

} // namespace nk7x
