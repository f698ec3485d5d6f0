#include "app/SdkServerHost.h"

#include "app/LightingServer.h"
#include "app/SdkControllers.h"
#include "platform/DebugLog.h"
#include "platform/SettingsStore.h"
#include "ui/LanguageTexts.h"

namespace nk7x {
namespace {
constexpr const char* kSdkServerValue = "SDK_SERVER";
constexpr const char* kSdkPortValue = "SDK_PORT";
} // namespace

SdkServerHost::SdkServerHost(SdkServerHostContext context) : m_ctx(std::move(context)) {
    SdkControllersContext ctx;
    ctx.pages = m_ctx.pages;
    ctx.englishTextsPath = m_ctx.englishTextsPath;
    m_controllers = std::make_unique<SdkControllers>(std::move(ctx));
    m_server = std::make_unique<LightingServer>(*m_controllers);
    QObject::connect(m_server.get(), &LightingServer::clientsChanged, m_server.get(), [this] {
        if (m_ctx.clientsChanged)
            m_ctx.clientsChanged();
    });
    const SettingsStore& store = *m_ctx.store;
    if (m_ctx.commandLine)
        m_address = *m_ctx.commandLine;
    else if (store.ReadDword(SettingsStore::ProductKey(), kSdkServerValue).value_or(0) == 0)
        return;
    else if (const std::optional<uint32_t> port = store.ReadDword(SettingsStore::ProductKey(), kSdkPortValue);
             port && *port > 0 && *port <= 65535)
        m_address = QString::number(*port);
    QHostAddress address;
    quint16 port = 0;
    if (ParseServerAddress(m_address, address, port))
        (void)m_server->Listen(address, port);
}

SdkServerHost::~SdkServerHost() = default;

bool SdkServerHost::Listening() const {
    return m_server->Listening();
}

bool SdkServerHost::Set(bool on) {
    if (!m_ctx.store->WriteDword(SettingsStore::ProductKey(), kSdkServerValue, on ? 1 : 0))
        DebugLog("lighting server: the choice could not be stored");
    if (!on) {
        m_server->Close();
        return true;
    }
    if (m_server->Listening())
        return true;
    QHostAddress address;
    quint16 port = 0;
    if (!ParseServerAddress(m_address, address, port))
        (void)ParseServerAddress(QString(), address, port);
    return m_server->Listen(address, port);
}

QString SdkServerHost::State() const {
    const LanguageTexts& texts = *m_ctx.texts;
    if (m_server->Listening()) {
        const QHostAddress a = m_server->Address();
        const QString where = (a.protocol() == QAbstractSocket::IPv6Protocol ? QStringLiteral("[%1]:%2")
                                                                             : QStringLiteral("%1:%2"))
                                  .arg(a.toString())
                                  .arg(m_server->Port());
        return texts.Text(QStringLiteral("sdkserver_listening_text")).arg(where).arg(m_server->ClientCount());
    }
    if (!m_server->Error().isEmpty())
        return texts.Text(QStringLiteral("sdkserver_failed_text")).arg(m_server->Error());
    return {};
}

} // namespace nk7x
