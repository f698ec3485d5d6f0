#include "platform/qt/SingleInstance.h"

#include "platform/DebugLog.h"

#include <QDir>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QStandardPaths>

#include <unistd.h>

#include <algorithm>

namespace nk7x {
namespace {

QString RuntimeFolder() {
    QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty())
        dir = QDir::tempPath() + QStringLiteral("/nk7x-%1").arg(::getuid());
    QDir().mkpath(dir);
    return dir;
}

constexpr int kRequestWait = 1000;

} // namespace

SingleInstance::SingleInstance(const QString& key, QObject* parent) : QObject(parent) {
    QString dir = RuntimeFolder();
    m_lockPath = dir + QLatin1Char('/') + key + QStringLiteral(".lock");
    m_serverPath = dir + QLatin1Char('/') + key + QStringLiteral(".sock");
}

SingleInstance::~SingleInstance() {
    if (m_server)
        m_server->close();
}

SingleInstance::Role SingleInstance::Acquire(int answerWaitMs) {
    m_lock = std::make_unique<QLockFile>(m_lockPath);
    // Only a live owner counts: a lock left by a crashed instance is taken over.
    m_lock->setStaleLockTime(0);
    if (!m_lock->tryLock(0)) {
        if (m_lock->error() == QLockFile::LockFailedError) {
            if (AskRunningInstance(answerWaitMs))
                return Role::Second;
            DebugLog("single instance: the running instance does not answer");
            return Role::Unanswered;
        }
        DebugLog("single instance lock unavailable, running as first instance");
    }
    QLocalServer::removeServer(m_serverPath);
    m_server = std::make_unique<QLocalServer>();
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (m_server->listen(m_serverPath))
        connect(m_server.get(), &QLocalServer::newConnection, this, &SingleInstance::OnConnection);
    else
        DebugLog("single instance socket unavailable; later starts cannot raise this one");
    return Role::First;
}

bool SingleInstance::AskRunningInstance(int answerWaitMs) {
    QLocalSocket socket;
    socket.connectToServer(m_serverPath);
    if (!socket.waitForConnected(kRequestWait))
        return false;
    // The request carries what the broadcast carried: wParam 0, lParam 1. A stopped or hanging
    // instance still takes the bytes (the system queues them), so only its answer counts.
    socket.write("raise 0 1\n");
    bool ok = socket.waitForBytesWritten(kRequestWait);
    QElapsedTimer waited;
    waited.start();
    bool answered = false;
    while (ok && !answered && waited.elapsed() < answerWaitMs) {
        if (socket.canReadLine())
            answered = socket.readLine(16).trimmed() == "ok";
        else if (!socket.waitForReadyRead(
                     static_cast<int>(std::max<qint64>(1, answerWaitMs - waited.elapsed()))))
            break;
    }
    ok = ok && answered;
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(kRequestWait);
    return ok;
}

void SingleInstance::OnConnection() {
    while (QLocalSocket* client = m_server->nextPendingConnection()) {
        connect(client, &QLocalSocket::disconnected, client, &QObject::deleteLater);
        connect(client, &QLocalSocket::readyRead, this, [this, client] {
            while (client->canReadLine()) {
                // Untrusted: only the one request form is accepted, at most one short line.
                QByteArray line = client->readLine(64).trimmed();
                QList<QByteArray> parts = line.split(' ');
                if (parts.size() != 3 || parts[0] != "raise")
                    continue;
                bool okW = false;
                bool okL = false;
                qint64 w = parts[1].toLongLong(&okW);
                qint64 l = parts[2].toLongLong(&okL);
                if (okW && okL) {
                    emit raiseRequested(w, l);
                    client->write("ok\n"); // the later start waits for this
                }
            }
            if (client->bytesAvailable() > 256)
                client->abort();
        });
    }
}

} // namespace nk7x
