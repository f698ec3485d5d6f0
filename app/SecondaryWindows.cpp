#include "app/SecondaryWindows.h"

#include "platform/DebugLog.h"
#include "platform/SettingsStore.h"
#include "update/AppVersion.h"
#include "update/LastCheckFile.h"
#include "update/UpdateServer.h"
#include "windows/AboutWnd.h"
#include "windows/SetWnd.h"
#include "windows/SkinFrame.h"

#include <QDesktopServices>
#include <QUrl>

#include <utility>

namespace nk7x {

SecondaryWindows::SecondaryWindows(SecondaryWindowsContext context) : m_ctx(std::move(context)) {}

SecondaryWindows::~SecondaryWindows() {
    CloseAll();
    delete m_settings.data();
    delete m_about.data();
    delete m_skin.data();
}

CSetWnd* SecondaryWindows::OpenSettings(Placement placement) {
    if (m_settings) {
        m_settings->raise();
        m_settings->activateWindow();
        return m_settings;
    }
    SetWndContext ctx;
    const std::vector<uint16_t> versions =
        m_ctx.deviceVersions ? m_ctx.deviceVersions() : std::vector<uint16_t>();
    ctx.products = BuildProductList(versions, ApplicationVersionNumber());
    ctx.serverAddress = m_ctx.store ? ReadUpdateServer(*m_ctx.store) : std::string();
    ctx.lastCheckPath = LastCheckFilePath();
    ctx.today = TodayDateText();
    ctx.languageKeys = m_ctx.languageKeys ? m_ctx.languageKeys() : QStringList();
    ctx.languageIndex = m_ctx.languageIndex ? m_ctx.languageIndex() : 0;
    ctx.chooseLanguage = m_ctx.chooseLanguage;
    ctx.upToDate = m_ctx.upToDate;
    SettingsStore* store = m_ctx.store;
    ctx.storeServer = [store](const std::string& address) {
        return store && WriteUpdateServer(*store, address);
    };
    ctx.openLocation = [](const QString& location) { return QDesktopServices::openUrl(QUrl(location)); };
    ctx.autostartEnabled = m_ctx.autostartEnabled;
    ctx.setAutostart = m_ctx.setAutostart;
    ctx.sdkServerEnabled = m_ctx.sdkServerEnabled;
    ctx.setSdkServer = m_ctx.setSdkServer;
    ctx.sdkServerState = m_ctx.sdkServerState;
    ctx.trackingState = m_ctx.trackingState;

    auto* wnd = new CSetWnd(m_ctx.owner, std::move(ctx));
    if (!wnd->Build()) {
        DebugLog("settings window not built");
        delete wnd;
        return nullptr;
    }
    const int dpi = wnd->SetDpi(m_ctx.owner ? m_ctx.owner->Scale() : 96);
    m_settings = wnd;
    if (placement == Placement::BesideButton && m_ctx.owner && m_ctx.owner->isVisible()) {
        const QRect main = m_ctx.owner->frameGeometry();
        wnd->move(main.right() + 1 - wnd->width() - 30 * dpi / 96, main.top() + 60 * dpi / 96);
    } else {
        wnd->CentreOnOwner();
    }
    wnd->show();
    wnd->raise();
    wnd->activateWindow();
    wnd->Start();
    return wnd;
}

CAboutWnd* SecondaryWindows::OpenAbout() {
    if (m_about)
        return m_about;
    auto* wnd = new CAboutWnd(m_ctx.owner);
    if (!wnd->Build()) {
        DebugLog("about window not built");
        delete wnd;
        return nullptr;
    }
    wnd->ApplyDpi(m_ctx.owner ? m_ctx.owner->Scale() : 96, "ABOUT_WND DPI SET ERROR");
    wnd->resize(CAboutWnd::kWidth * wnd->Dpi() / 96, CAboutWnd::kHeight * wnd->Dpi() / 96);
    m_about = wnd;
    wnd->CentreOnOwner();
    wnd->show();
    wnd->raise();
    wnd->activateWindow();
    return wnd;
}

CSkinFrame* SecondaryWindows::OpenSkinPicker(QWidget* button) {
    if (m_skin) {
        m_skin->close();
        return nullptr;
    }
    auto* frame = new CSkinFrame(button);
    if (!frame->Build()) {
        DebugLog("skin picker not built");
        delete frame;
        return nullptr;
    }
    m_skin = frame;
    frame->show();
    return frame;
}

void SecondaryWindows::CloseAll() {
    if (m_skin)
        m_skin->close();
    if (m_about)
        m_about->close();
    if (m_settings)
        m_settings->close();
}

void SecondaryWindows::LanguageChanged() {
    if (m_settings)
        QMetaObject::invokeMethod(m_settings, "RebuildTexts", Qt::QueuedConnection);
    if (m_about)
        QMetaObject::invokeMethod(m_about, "RebuildTexts", Qt::QueuedConnection);
}

} // namespace nk7x
