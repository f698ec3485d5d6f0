#include "app/LightingServer.h"

#include "platform/DebugLog.h"

#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>
#include <array>

namespace nk7x {

struct LightingServer::Client {
    QTcpSocket* socket = nullptr;
    std::unique_ptr<sdk::Session> session;
};

LightingServer::LightingServer(sdk::Host& host, QObject* parent) : QObject(parent), m_host(host) {}

LightingServer::~LightingServer() {
    Close();
}

bool LightingServer::Listen(const QHostAddress& address, quint16 port) {
    Close();
    m_server = new QTcpServer(this);
    m_server->setMaxPendingConnections(kMaxClients);
    if (!m_server->listen(address, port)) {
        m_error = m_server->errorString();
        DebugLogf("lighting server: cannot listen on %s port %u: %s", address.toString().toUtf8().constData(),
                  unsigned{port}, m_error.toUtf8().constData());
        delete m_server;
        m_server = nullptr;
        return false;
    }
    m_error.clear();
    connect(m_server, &QTcpServer::newConnection, this, &LightingServer::Accept);
    DebugLogf("lighting server: listening on %s port %u", address.toString().toUtf8().constData(),
              unsigned{m_server->serverPort()});
    return true;
}

void LightingServer::Close() {
    const bool hadClients = !m_clients.empty();
    for (auto& c : m_clients) {
        c->socket->disconnect(this);
        c->socket->abort();
        c->socket->deleteLater();
    }
    m_clients.clear();
    if (m_server) {
        m_server->close();
        delete m_server;
        m_server = nullptr;
    }
    if (hadClients)
        emit clientsChanged(0);
}

bool LightingServer::Listening() const {
    return m_server && m_server->isListening();
}

QHostAddress LightingServer::Address() const {
    return m_server ? m_server->serverAddress() : QHostAddress();
}

quint16 LightingServer::Port() const {
    return m_server ? m_server->serverPort() : 0;
}

void LightingServer::DevicesChanged() {
    const std::vector<uint8_t> packet = sdk::DeviceListUpdatedPacket();
    for (auto& c : m_clients)
        c->socket->write(reinterpret_cast<const char*>(packet.data()), static_cast<qint64>(packet.size()));
}

void LightingServer::Accept() {
    while (m_server && m_server->hasPendingConnections()) {
        QTcpSocket* socket = m_server->nextPendingConnection();
        if (!socket)
            return;
        if (static_cast<int>(m_clients.size()) >= kMaxClients) {
            DebugLogf("lighting server: refused a client from %s: %d are connected already",
                      socket->peerAddress().toString().toUtf8().constData(), kMaxClients);
            socket->abort();
            socket->deleteLater();
            continue;
        }
        auto client = std::make_unique<Client>();
        client->socket = socket;
        client->session = std::make_unique<sdk::Session>(m_host);
        Client* raw = client.get();
        m_clients.push_back(std::move(client));
        connect(socket, &QTcpSocket::readyRead, this, [this, raw] { Read(*raw); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { Drop(socket, QString()); });
        DebugLogf("lighting server: a client connected from %s",
                  socket->peerAddress().toString().toUtf8().constData());
        emit clientsChanged(ClientCount());
    }
}

void LightingServer::Read(Client& client) {
    std::array<uint8_t, 16 * 1024> chunk{};
    std::vector<uint8_t> out;
    QTcpSocket* socket = client.socket;
    while (socket->bytesAvailable() > 0) {
        const qint64 n =
            socket->read(reinterpret_cast<char*>(chunk.data()), static_cast<qint64>(chunk.size()));
        if (n <= 0)
            break;
        const std::string before = client.session->ClientName();
        const bool alive = client.session->Feed(std::span(chunk.data(), static_cast<size_t>(n)), out);
        if (!out.empty()) {
            socket->write(reinterpret_cast<const char*>(out.data()), static_cast<qint64>(out.size()));
            out.clear();
        }
        if (client.session->ClientName() != before)
            DebugLogf("lighting server: the client from %s is \"%s\"",
                      socket->peerAddress().toString().toUtf8().constData(),
                      client.session->ClientName().c_str());
        if (!alive)
            return Drop(socket, QString::fromStdString(client.session->Error()));
        if (socket->bytesToWrite() > kMaxUnreadAnswers)
            return Drop(socket, QStringLiteral("it does not read its answers"));
    }
}

void LightingServer::Drop(QTcpSocket* socket, const QString& why) {
    const auto it = std::find_if(m_clients.begin(), m_clients.end(),
                                 [socket](const std::unique_ptr<Client>& c) { return c->socket == socket; });
    if (it == m_clients.end())
        return;
    if (!why.isEmpty())
        DebugLogf("lighting server: closed the client \"%s\": %s", (*it)->session->ClientName().c_str(),
                  why.toUtf8().constData());
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    m_clients.erase(it);
    emit clientsChanged(ClientCount());
}

bool ParseServerAddress(const QString& text, QHostAddress& address, quint16& port) {
    address = QHostAddress(QHostAddress::LocalHost);
    port = LightingServer::kDefaultPort;
    if (text.isEmpty())
        return true;
    QString portText = text;
    const int colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon >= 0) {
        QString host = text.left(colon);
        if (host.startsWith(QLatin1Char('[')) && host.endsWith(QLatin1Char(']')))
            host = host.mid(1, host.size() - 2);
        if (!address.setAddress(host))
            return false;
        portText = text.mid(colon + 1);
    }
    bool ok = false;
    const uint n = portText.toUInt(&ok);
    if (!ok || n == 0 || n > 65535)
        return false;
    port = static_cast<quint16>(n);
    return true;
}

} // namespace nk7x
