// Follows the system's suspend and resume through logind's PrepareForSleep on the system bus.
#pragma once

#include <QObject>

namespace nk7x {

class SleepWatcher : public QObject {
    Q_OBJECT
  public:
    explicit SleepWatcher(QObject* parent = nullptr);

    // Subscribes; without a system bus the program runs on, which is said once in the debug output.
    bool Start();

  signals:
    void suspending();
    void resumed();

  private slots:
    void OnPrepareForSleep(bool start);
};

} // namespace nk7x
