// MacroRecording: the recording side of the macro editor. It holds the recorder that turns hooked
// input into events of the action list, the fixed-delay field and check box it reads, the start and
// stop buttons it swaps, the controls it locks while recording, the input source label, and the timer
// that brings the newest recorded row into view.
#pragma once

#include "macros/MacroActionList.h"
#include "macros/MacroRecorder.h"
#include "platform/input/InputEvent.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>
#include <QObject>
#include <QPointer>
#include <QRect>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <memory>

class QTimer;

namespace nk7x {

class MacroEventRows;

// How long after a recorded event its row is brought into view.
inline constexpr int kMacroScrollDelayMs = 50;

class MacroRecording : public QObject {
    Q_OBJECT
  public:
    // What the recording's controls are; any may be null.
    struct Controls {
        QAbstractButton* start = nullptr;
        QAbstractButton* stop = nullptr;
        QAbstractButton* fixedCheck = nullptr;
        QLineEdit* fixedEdit = nullptr;
        QLabel* source = nullptr;
        // Locked while recording: these take no mouse input, those are disabled.
        QWidget* nameTab = nullptr;
        QWidget* actionList = nullptr;
        QWidget* actionEdit = nullptr;
        QWidget* delayEdit = nullptr;
    };

    // `actions` and `rows` outlive the recording.
    MacroRecording(MacroActionList& actions, MacroEventRows& rows);
    ~MacroRecording() override;

    void Attach(const Controls& controls);

    // Not while recording.
    void SetClock(MacroRecorder::Clock clock);
    void Start(DelayMode mode, RecordPlacement placement);
    void Stop();
    bool Recording() const { return m_recorder->Recording(); }
    RecordOutcome Handle(const InputEvent& event);
    bool FixedDelayChecked() const;
    uint16_t FixedDelay() const { return m_recorder->FixedDelay(); }
    // The controls' recording state: the lists take no mouse input and the edit areas are disabled.
    void SetState(bool recording);
    void ShowInputSource(const QString& text, const QString& details);
    QRect StopButtonScreenRect() const;
    const MacroRecorder& Recorder() const { return *m_recorder; }
    bool ScrollPending() const;

  private:
    void MakeRecorder(MacroRecorder::Clock clock);

    MacroActionList& m_actions;
    MacroEventRows& m_rows;
    std::unique_ptr<MacroRecorder> m_recorder;
    QTimer* m_scrollTimer = nullptr;
    QPointer<QAbstractButton> m_startButton;
    QPointer<QAbstractButton> m_stopButton;
    QPointer<QAbstractButton> m_fixedCheck;
    QPointer<QLineEdit> m_fixedEdit;
    QPointer<QLabel> m_source;
    QPointer<QWidget> m_nameTab;
    QPointer<QWidget> m_actionList;
    QPointer<QWidget> m_actionEdit;
    QPointer<QWidget> m_delayEdit;
};

} // namespace nk7x
