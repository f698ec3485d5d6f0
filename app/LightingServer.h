// The lighting server: desktop lighting programs connect over TCP (loopback unless the user names
// another address) and drive the devices through the SDK protocol. Each client has its own session;
// a client that breaks the protocol, floods it or stops reading is closed, and nothing else is.
#pragma once

#include "app/sdk/SdkProtocol.h"

#include <QHostAddress>
#include <QObject>
#include <QString>

#include <memory>
#include <vector>

class QTcpServer;
class QTcpSocket;

namespace nk7x {

class LightingServer : public QObject {
    Q_OBJECT
  public:
    static constexpr quint16 kDefaultPort = 6742;
    static constexpr int kMaxClients = 16;
    // Answers a client has not read beyond this close it: it is not listening any more.
    static constexpr qint64 kMaxUnreadAnswers = 4 * 1024 * 1024;

    // `host` answers for the devices; it must outlive the server.
    explicit LightingServer(sdk::Host& host, QObject* parent = nullptr);
    ~LightingServer() override;

    // Starts listening (again, when it listened elsewhere); false with Error() saying why.
    bool Listen(const QHostAddress& address, quint16 port);
    // Stops listening and closes every client.
    void Close();
    bool Listening() const;
    QHostAddress Address() const;
    quint16 Port() const;
    QString Error() const { return m_error; }
    int ClientCount() const { return static_cast<int>(m_clients.size()); }

    // The devices changed: every client is told to read the list again.
    void DevicesChanged();

  signals:
    void clientsChanged(int count);

  private:
    struct Client;
    void Accept();
    void Read(Client& client);
    void Drop(QTcpSocket* socket, const QString& why);

    sdk::Host& m_host;
    QTcpServer* m_server = nullptr;
    QString m_error;
    std::vector<std::unique_ptr<Client>> m_clients;
};

// "PORT", "ADDRESS:PORT" or "" (the default port on loopback) as the address and port to listen on;
// false for anything else.
bool ParseServerAddress(const QString& text, QHostAddress& address, quint16& port);

} // namespace nk7x
