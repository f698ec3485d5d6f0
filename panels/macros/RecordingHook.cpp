#include "panels/macros/RecordingHook.h"

#include <QCursor>
#include <QMetaObject>
#include <QPointer>

namespace nk7x {

RecordingHook::RecordingHook(std::unique_ptr<IInputHook> preferred, std::unique_ptr<IInputHook> fallback,
                             QObject* parent)
    : QObject(parent), m_preferred(std::move(preferred)), m_fallback(std::move(fallback)) {}

RecordingHook::~RecordingHook() {
    Uninstall();
}

bool RecordingHook::Install(HookMode mode, Handler handler, bool allowFallback) {
    Uninstall();
    m_handler = std::move(handler);
    m_mode = mode;
    const unsigned generation = ++m_generation;
    QPointer<RecordingHook> self(this);
    // Backends call the sink on a thread of their own (or on this one); the event is queued either
    // way, so the handler always runs after the backend's call has returned.
    auto sink = [self, generation](const InputEvent& event) {
        QMetaObject::invokeMethod(
            self.data(),
            [self, generation, event] {
                if (self)
                    self->Deliver(generation, event);
            },
            Qt::QueuedConnection);
    };
    m_preferredError.clear();
    if (m_preferred) {
        if (m_preferred->Install(mode, sink)) {
            m_active = m_preferred.get();
            return true;
        }
        m_preferredError = m_preferred->LastError();
    }
    if (allowFallback && m_fallback && m_fallback->Install(mode, sink)) {
        m_active = m_fallback.get();
        return true;
    }
    m_handler = nullptr;
    return false;
}

void RecordingHook::Uninstall() {
    ++m_generation;
    if (m_active)
        m_active->Uninstall();
    m_active = nullptr;
    m_handler = nullptr;
}

void RecordingHook::Deliver(unsigned generation, InputEvent event) {
    if (generation != m_generation || !m_handler)
        return;
    // Devices report motion, not positions: the cursor is where it is now.
    if (!event.hasPosition) {
        const QPoint at = QCursor::pos();
        event.hasPosition = true;
        event.x = at.x();
        event.y = at.y();
    }
    const Handler handler = m_handler; // the handler may uninstall
    handler(event);
}

QString RecordingHook::SourceTextKey() const {
    if (!m_active)
        return QStringLiteral("macro_source_none_text");
    return UsesFallback() ? QStringLiteral("macro_source_window_text")
                          : QStringLiteral("macro_source_all_text");
}

QString RecordingHook::Details() const {
    QStringList lines;
    if (m_active) {
        lines << QString::fromStdString(m_active->Name());
        const std::string limits = m_active->Limitations();
        if (!limits.empty())
            lines << QString::fromStdString(limits);
    }
    if (!m_preferredError.empty() && m_preferred)
        lines << QStringLiteral("%1: %2").arg(QString::fromStdString(m_preferred->Name()),
                                              QString::fromStdString(m_preferredError));
    return lines.join(QLatin1Char('\n'));
}

} // namespace nk7x
