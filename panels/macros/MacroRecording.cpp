#include "panels/macros/MacroRecording.h"

#include "panels/macros/MacroEventRows.h"

#include <QIntValidator>
#include <QTimer>

#include <chrono>

namespace nk7x {
namespace {

int64_t SteadyMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

} // namespace

MacroRecording::MacroRecording(MacroActionList& actions, MacroEventRows& rows)
    : m_actions(actions), m_rows(rows) {
    MakeRecorder([] { return SteadyMs(); });
    m_scrollTimer = new QTimer(this);
    m_scrollTimer->setSingleShot(true);
    m_scrollTimer->setInterval(kMacroScrollDelayMs);
    connect(m_scrollTimer, &QTimer::timeout, this, [this] { m_rows.ScrollToSelected(); });
}

MacroRecording::~MacroRecording() = default;

void MacroRecording::MakeRecorder(MacroRecorder::Clock clock) {
    m_recorder = std::make_unique<MacroRecorder>(m_actions, std::move(clock));
    m_recorder->SetStopButtonHitTest(
        [this](int x, int y) { return StopButtonScreenRect().contains(QPoint(x, y)); });
}

void MacroRecording::SetClock(MacroRecorder::Clock clock) {
    if (Recording() || !clock)
        return;
    MakeRecorder(std::move(clock));
}

void MacroRecording::Attach(const Controls& controls) {
    m_startButton = controls.start;
    m_stopButton = controls.stop;
    m_fixedCheck = controls.fixedCheck;
    m_fixedEdit = controls.fixedEdit;
    m_source = controls.source;
    m_nameTab = controls.nameTab;
    m_actionList = controls.actionList;
    m_actionEdit = controls.actionEdit;
    m_delayEdit = controls.delayEdit;
    if (m_fixedEdit) {
        m_fixedEdit->setValidator(new QIntValidator(0, 999999, m_fixedEdit));
        if (m_fixedEdit->text().isEmpty())
            m_fixedEdit->setText(QString::number(kDefaultFixedDelay));
    }
}

bool MacroRecording::FixedDelayChecked() const {
    return m_fixedCheck && m_fixedCheck->isChecked();
}

void MacroRecording::Start(DelayMode mode, RecordPlacement placement) {
    const QString field = m_fixedEdit ? m_fixedEdit->text() : QString();
    const FixedDelayField fixed = m_recorder->Start(mode, placement, field.toStdString());
    if (fixed.rewrite && m_fixedEdit) {
        m_fixedEdit->setText(QString::fromStdString(fixed.text));
        m_fixedEdit->setCursorPosition(static_cast<int>(m_fixedEdit->text().size()));
    }
    SetState(true);
}

void MacroRecording::Stop() {
    m_recorder->Stop();
    SetState(false);
}

RecordOutcome MacroRecording::Handle(const InputEvent& event) {
    const RecordOutcome outcome = m_recorder->Handle(event);
    if (outcome == RecordOutcome::Added)
        m_scrollTimer->start();
    return outcome;
}

void MacroRecording::SetState(bool recording) {
    m_rows.SetRecordingState(recording);
    SetMouseTransparent(m_nameTab, recording);
    SetMouseTransparent(m_actionList, recording);
    if (m_actionEdit)
        m_actionEdit->setEnabled(!recording);
    if (m_delayEdit)
        m_delayEdit->setEnabled(!recording);
    if (m_startButton)
        m_startButton->setVisible(!recording);
    if (m_stopButton)
        m_stopButton->setVisible(recording);
}

void MacroRecording::ShowInputSource(const QString& text, const QString& details) {
    if (!m_source)
        return;
    m_source->setText(text);
    m_source->setToolTip(details);
}

QRect MacroRecording::StopButtonScreenRect() const {
    if (!m_stopButton || !m_stopButton->isVisible())
        return {};
    return QRect(m_stopButton->mapToGlobal(QPoint(0, 0)), m_stopButton->size());
}

bool MacroRecording::ScrollPending() const {
    return m_scrollTimer->isActive();
}

} // namespace nk7x
