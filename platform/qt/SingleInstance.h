// One running instance per user: a lock file claims the name, and a local socket lets a second
// start ask the running instance to come to the front.
#pragma once

#include <QLocalServer>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

namespace nk7x {

class SingleInstance : public QObject {
    Q_OBJECT
  public:
    // Second: another instance holds the claim and came to the front. Unanswered: another instance
    // holds it but did not answer in time (stopped, or hanging); nothing was raised.
    enum class Role { First, Second, Unanswered };

    // key: the product name. Lock and socket live in the user's runtime folder, so the instance
    // is per user.
    explicit SingleInstance(const QString& key, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Claims the instance. Second: another instance holds it, has been asked to come to the front
    // and said so. When the lock cannot be made at all, start-up goes on as the first instance.
    Role Acquire(int answerWaitMs = 3000);

    QString LockPath() const { return m_lockPath; }
    QString ServerPath() const { return m_serverPath; }

  signals:
    // A later start asked this instance to show itself (wParam, lParam as the request carried).
    void raiseRequested(qint64 wParam, qint64 lParam);

  private:
    void OnConnection();
    bool AskRunningInstance(int answerWaitMs);

    QString m_lockPath;
    QString m_serverPath;
    std::unique_ptr<QLockFile> m_lock;
    std::unique_ptr<QLocalServer> m_server;
};

} // namespace nk7x
