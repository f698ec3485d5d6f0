#include "windows/SetWnd.h"

#include "platform/DebugLog.h"
#include "update/LastCheckFile.h"
#include "update/UpdateServer.h"
#include "windows/UpdateInfoListItem.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QStackedWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <chrono>
#include <utility>

namespace nk7x {
namespace {

constexpr int kCheckSlot = 0;
// A check under way ends within a tenth of a second of being cancelled; the wait is generous.
constexpr std::chrono::milliseconds kStopPatience{500};

QString Q(const std::string& text) {
    return QString::fromStdString(text);
}

// The list's own container: entries go into its layout, above the stretch that keeps them at the top.
QVBoxLayout* ListBox(QWidget* list) {
    QWidget* holder = list;
    if (auto* area = qobject_cast<QScrollArea*>(list))
        holder = area->widget();
    return holder ? qobject_cast<QVBoxLayout*>(holder->layout()) : nullptr;
}

} // namespace

CSetWnd::CSetWnd(QWidget* owner, SetWndContext context)
    : CSecondaryWnd(owner, QStringLiteral("setwnd")), m_ctx(std::move(context)),
      m_languageIndex(m_ctx.languageIndex) {
    setWindowModality(Qt::ApplicationModal);
    setAttribute(Qt::WA_DeleteOnClose, true);
    setWindowTitle(Translate(QStringLiteral("setwnd_title_text")));
}

CSetWnd::~CSetWnd() {
    // No worker may queue anything towards a window that is going away.
    StopWorkers();
}

bool CSetWnd::Build() {
    if (!BuildSkinLayout(QStringLiteral("XML_SETWND"), QStringLiteral("xml/setwnd.ui")))
        return false;
    m_languageCombo = qobject_cast<QComboBox*>(FindControl(QStringLiteral("Language_combox_info")));
    m_list = FindControl(QStringLiteral("device_update_list_info"));
    m_tabs = qobject_cast<QStackedWidget*>(FindControl(QStringLiteral("get_update_tab_layout")));
    m_updateButton = FindControl(QStringLiteral("update_fw_and_ap"));
    m_ring = FindControl(QStringLiteral("update_status_ring"));
    m_stateImage = FindControl(QStringLiteral("update_status_image"));
    m_stateText = qobject_cast<QLabel*>(FindControl(QStringLiteral("Update_Status_text")));
    m_serverEdit = qobject_cast<QLineEdit*>(FindControl(QStringLiteral("update_server_edit")));
    m_serverError = qobject_cast<QLabel*>(FindControl(QStringLiteral("update_server_error")));
    m_autostart = qobject_cast<QCheckBox*>(FindControl(QStringLiteral("autostart_check")));
    m_selection = qobject_cast<QLabel*>(FindControl(QStringLiteral("update_selection_text")));
    m_sdkServer = qobject_cast<QCheckBox*>(FindControl(QStringLiteral("sdkserver_check")));
    m_sdkServerState = qobject_cast<QLabel*>(FindControl(QStringLiteral("sdkserver_state")));
    m_trackingState = qobject_cast<QLabel*>(FindControl(QStringLiteral("apptracking_state")));
    if (!m_languageCombo || !m_list || !ListBox(m_list) || !m_tabs || !m_stateText) {
        DebugLog(
            "settings window layout lacks the language list, the update list, its pages or the state text");
        return false;
    }
    for (const char* hidden : {"maxbtn", "restorebtn", "update_tishi_layout", "update_server_error"}) {
        if (QWidget* w = FindControl(QString::fromLatin1(hidden)))
            w->hide();
    }
    if (m_updateButton) {
        m_updateButton->setEnabled(false);
        m_updateButton->hide();
    }
    if (m_serverEdit) {
        m_serverEdit->setText(Q(m_ctx.serverAddress));
        m_serverEdit->setPlaceholderText(QStringLiteral("https://host/api/"));
    }
    if (m_autostart) {
        const bool offered = m_ctx.autostartEnabled && m_ctx.setAutostart;
        m_autostart->setVisible(offered);
        if (offered) {
            const QSignalBlocker quiet(m_autostart);
            m_autostart->setChecked(m_ctx.autostartEnabled());
        }
    }
    ShowSdkServer();
    m_tabs->setCurrentIndex(0);
    resize(kWidth, kHeight);
    return true;
}

void CSetWnd::ShowSdkServer() {
    const bool offered = m_ctx.sdkServerEnabled && m_ctx.setSdkServer;
    if (m_sdkServer) {
        m_sdkServer->setVisible(offered);
        const QSignalBlocker quiet(m_sdkServer);
        m_sdkServer->setChecked(offered && m_ctx.sdkServerEnabled());
    }
    if (m_sdkServerState) {
        const QString state = offered && m_ctx.sdkServerState ? m_ctx.sdkServerState() : QString();
        m_sdkServerState->setText(state);
        m_sdkServerState->setVisible(!state.isEmpty());
    }
    if (m_trackingState) {
        const QString state = m_ctx.trackingState ? m_ctx.trackingState() : QString();
        m_trackingState->setText(state);
        m_trackingState->setVisible(!state.isEmpty());
    }
}

int CSetWnd::SetDpi(int dpi) {
    const int applied = ApplyDpi(dpi, "SET_WND DPI SET ERROR");
    resize(kWidth * applied / kDefaultDpi, kHeight * applied / kDefaultDpi);
    return applied;
}

void CSetWnd::Start() {
    FillLanguages();
    m_lastCheck = Q(ReadLastCheck(m_ctx.lastCheckPath, m_ctx.today));
    StartCheck();
}

void CSetWnd::FillLanguages() {
    // Filling the list raises no choice: only the user's does.
    const QSignalBlocker quiet(m_languageCombo);
    m_languageCombo->clear();
    for (const QString& key : m_ctx.languageKeys)
        m_languageCombo->addItem(Translate(key), key);
    if (m_languageIndex >= 0 && m_languageIndex < m_languageCombo->count())
        m_languageCombo->setCurrentIndex(m_languageIndex);
}

CUpdateInfoListItemUI* CSetWnd::Entry(int index) const {
    if (index < 0 || index >= EntryCount())
        return nullptr;
    return m_entries[static_cast<size_t>(index)];
}

bool CSetWnd::Checking() const {
    return m_workers.IsRunning(kCheckSlot);
}

CUpdateInfoListItemUI* CSetWnd::NewEntry() {
    QVBoxLayout* box = ListBox(m_list);
    auto* entry = new CUpdateInfoListItemUI;
    const QString layout = SkinFolder() + QStringLiteral("/XML/CustomControlXML/device_Update_list_item.xml");
    QWidget* content = BuildLayout(layout, entry);
    if (!content) {
        delete entry;
        return nullptr;
    }
    auto* inner = new QVBoxLayout(entry);
    inner->setContentsMargins(0, 0, 0, 0);
    inner->addWidget(content);
    if (!entry->BindParts()) {
        delete entry;
        return nullptr;
    }
    // Above the stretch that closes the list.
    box->insertWidget(qMax(0, box->count() - 1), entry);
    return entry;
}

CUpdateInfoListItemUI* CSetWnd::EntryOf(QWidget* control) const {
    for (QWidget* w = control; w; w = w->parentWidget()) {
        if (auto* entry = qobject_cast<CUpdateInfoListItemUI*>(w))
            return entry;
        if (w == this)
            break;
    }
    return nullptr;
}

void CSetWnd::AddPlaceholders() {
    for (auto& entry : m_entries)
        delete entry.data();
    m_entries.clear();
    for (const UpdateProduct& product : m_ctx.products) {
        CUpdateInfoListItemUI* entry = NewEntry();
        if (!entry)
            break;
        const UpdateRecord placeholder = PlaceholderRecord(product);
        // The program's own row is called "AP" until its answer names it.
        entry->SetName(product.IsFirmware() ? Q(placeholder.name) : QStringLiteral("AP"));
        entry->SetInstalledText(Q(placeholder.installedText));
        entry->SetNewestText(QString());
        entry->SetState(kUpdateStatusUpToDate);
        entry->SetTicked(false);
        m_entries.emplace_back(entry);
    }
}

void CSetWnd::StartCheck() {
    StopWorkers();
    ++m_generation;
    AddPlaceholders();
    UpdateButtonFromTicks();
    if (m_ctx.serverAddress.empty()) {
        // Nothing to ask: the list shows what is installed, and the window says why nothing more.
        for (auto& entry : m_entries) {
            entry->SetOptionEnabled(false);
            entry->SetStatusOverride(QStringLiteral("NotCheckedText"));
        }
        SetWindowState(kNotConfigured);
        return;
    }
    m_check = std::make_unique<CUpdateCheck>(m_ctx.serverAddress, m_ctx.products);
    m_check->Http() = m_ctx.http;
    m_check->SetLastCheckFile(m_ctx.lastCheckPath, m_ctx.today);
    const quint64 generation = m_generation;
    CUpdateCheck::Listener listener;
    // The check runs on the worker; what it reports is shown on the window's own thread.
    listener.onRecord = [this, generation](std::size_t index, const UpdateRecord& record) {
        QMetaObject::invokeMethod(
            this, [this, generation, index, record] { OnRecord(generation, index, record); },
            Qt::QueuedConnection);
    };
    listener.onState = [this, generation](UpdateCheckState state) {
        QMetaObject::invokeMethod(
            this, [this, generation, state] { OnCheckEnded(generation, state); }, Qt::QueuedConnection);
    };
    m_check->SetListener(std::move(listener));
    SetWindowState(kChecking);
    if (!m_check->StartIn(m_workers, kCheckSlot))
        SetWindowState(kNoInformation);
}

void CSetWnd::StopWorkers() {
    if (m_check)
        m_check->Cancel();
    const WorkerSlots::StopResult result = m_workers.StopAll(kStopPatience);
    if (result.late > 0)
        DebugLogf("SET_WND worker ended late (%d)", result.late);
}

void CSetWnd::OnRecord(quint64 generation, std::size_t index, const UpdateRecord& record) {
    if (generation != m_generation)
        return;
    CUpdateInfoListItemUI* entry = Entry(static_cast<int>(index));
    if (!entry)
        return;
    entry->SetName(Q(record.name));
    entry->SetInstalledText(Q(record.installedText));
    entry->SetNewestText(record.status == kUpdateStatusUpToDate ? QString() : Q(record.newestText));
    entry->SetState(record.status);
    // A product the server told nothing usable about is not "up to date": the row says so.
    entry->SetStatusOverride(record.known ? QString() : QStringLiteral("NoUpdateInfoText"));
    entry->SetUserData(Q(record.downloadPath));
    entry->SetLocalFile(QStringLiteral("UpdateData/") + Q(record.name));
    if (record.known)
        m_lastCheck = Q(m_ctx.today);
}

void CSetWnd::OnCheckEnded(quint64 generation, UpdateCheckState state) {
    if (generation != m_generation || state == UpdateCheckState::Checking)
        return;
    if (state == UpdateCheckState::Cancelled)
        return;
    bool anyTicked = false;
    for (auto& entry : m_entries) {
        const int s = entry->State();
        if (s != kUpdateStatusUpToDate && s != 0) {
            entry->SetOptionEnabled(true);
            entry->SetTicked(true);
            anyTicked = true;
        } else {
            entry->SetOptionEnabled(false);
        }
    }
    UpdateButtonFromTicks();
    if (anyTicked)
        SetWindowState(kAvailable);
    else if (state == UpdateCheckState::NoInformation)
        SetWindowState(kNoInformation);
    else if (state == UpdateCheckState::NotConfigured)
        SetWindowState(kNotConfigured);
    else
        SetWindowState(kUpToDate);
}

void CSetWnd::SetWindowState(int state) {
    m_windowState = state;
    if (m_ring)
        m_ring->setVisible(state == kChecking);
    if (m_stateImage)
        m_stateImage->setVisible(state != kChecking);
    if (QWidget* hint = FindControl(QStringLiteral("update_tishi_layout")))
        hint->setVisible(state == kAvailable);
    const char* key = "GetUpdateInfoText";
    switch (state) {
    case kAvailable:
        key = "HaveUpdateInfoText";
        break;
    case kNoInformation:
        key = "NoUpdateInfoText";
        break;
    case kUpdating:
        key = "ISUpdateINGText";
        break;
    case kNotConfigured:
        key = "NoUpdateServerText";
        break;
    case kUpToDate:
        // Plain words: the date is not part of any language text.
        m_stateText->setProperty("textKey", QVariant());
        m_stateText->setText(Translate(QStringLiteral("UpdateIsLastText")) + m_lastCheck);
        if (m_ctx.upToDate)
            m_ctx.upToDate();
        return;
    default:
        break;
    }
    m_stateText->setProperty("textKey", QString::fromLatin1(key));
    m_stateText->setText(Translate(QString::fromLatin1(key)));
}

void CSetWnd::UpdateButtonFromTicks() {
    int ticked = 0;
    for (auto& entry : m_entries) {
        if (entry && entry->IsTicked())
            ++ticked;
    }
    if (m_updateButton) {
        m_updateButton->setEnabled(ticked > 0);
        m_updateButton->setVisible(ticked > 0);
    }
}

void CSetWnd::OnUpdateOk() {
    // The program does not download or install anything itself: each ticked product's download
    // location goes to the desktop's handler, where the user fetches and installs it.
    m_opened.clear();
    for (auto& entry : m_entries) {
        const int s = entry->State();
        if (s != 1 && s != 2)
            continue;
        if (!entry->IsTicked()) {
            entry->SetOptionEnabled(false);
            continue;
        }
        entry->SetState(3);
        const QString location = entry->UserData();
        const QUrl url(location, QUrl::StrictMode);
        // Only web addresses: an answer must not make the desktop run or open a local file.
        const bool web = url.isValid() &&
                         (url.scheme() == QLatin1String("https") || url.scheme() == QLatin1String("http")) &&
                         !url.host().isEmpty();
        if (!web) {
            DebugLogf("update location refused: %s", location.toUtf8().constData());
            entry->SetState(8);
            continue;
        }
        if (m_ctx.openLocation && m_ctx.openLocation(location))
            m_opened << location;
        else
            entry->SetState(8);
    }
    if (m_updateButton)
        m_updateButton->setEnabled(false);
    m_tabs->setCurrentIndex(0);
}

void CSetWnd::OnServerEdited() {
    if (!m_serverEdit)
        return;
    const std::string address = m_serverEdit->text().trimmed().toStdString();
    if (address == m_ctx.serverAddress)
        return;
    const bool usable = UsableUpdateServer(address);
    const bool stored = usable && (!m_ctx.storeServer || m_ctx.storeServer(address));
    if (m_serverError) {
        m_serverError->setProperty("textKey", usable ? QStringLiteral("update_server_unsaved_text")
                                                     : QStringLiteral("update_server_invalid_text"));
        m_serverError->setText(Translate(m_serverError->property("textKey").toString()));
        m_serverError->setVisible(!stored);
    }
    if (!stored)
        return;
    m_ctx.serverAddress = address;
    StartCheck();
}

bool CSetWnd::CloseRefused() const {
    // Only while something would be written to a device or a file: nothing in this program does that
    // from here, so in practice the window always closes.
    for (const auto& entry : m_entries) {
        const int s = entry ? entry->State() : -1;
        if (s == 4 || s == 5 || s == 6)
            return true;
    }
    return false;
}

void CSetWnd::Notify(const UiNotify& msg) {
    const QString& name = msg.name;
    if (msg.type == QLatin1String("click")) {
        if (name == QLatin1String("closebtn") || name == QLatin1String("laterbtn")) {
            close();
        } else if (HandleCaptionClick(name)) {
        } else if (name == QLatin1String("set_in_update_wnd_btn")) {
            if (QWidget* hint = FindControl(QStringLiteral("update_tishi_layout")))
                hint->hide();
            resize(kWidth * Dpi() / kDefaultDpi, kHeight * Dpi() / kDefaultDpi);
        } else if (name == QLatin1String("update_fw_and_ap")) {
            QStringList names;
            for (auto& entry : m_entries) {
                if (entry->IsTicked())
                    names << entry->Name();
            }
            if (m_selection)
                m_selection->setText(names.join(QStringLiteral("\n")));
            m_tabs->setCurrentIndex(1);
        } else if (name == QLatin1String("update_OK_btn")) {
            OnUpdateOk();
        } else if (name == QLatin1String("update_back_btn")) {
            m_tabs->setCurrentIndex(0);
        }
    } else if (msg.type == QLatin1String("selectchanged")) {
        if (name == QLatin1String("check_name_select") && EntryOf(msg.sender))
            UpdateButtonFromTicks();
        else if (name == QLatin1String("autostart_check") && m_ctx.setAutostart && m_autostart) {
            const bool wanted = msg.wParam != 0;
            if (!m_ctx.setAutostart(wanted)) {
                // The choice did not take: the box shows what is true.
                const QSignalBlocker quiet(m_autostart);
                m_autostart->setChecked(m_ctx.autostartEnabled && m_ctx.autostartEnabled());
            }
        } else if (name == QLatin1String("sdkserver_check") && m_ctx.setSdkServer) {
            (void)m_ctx.setSdkServer(msg.wParam != 0);
            ShowSdkServer(); // on or off, the switch and the line show what is true
        }
    } else if (msg.type == QLatin1String("itemselect") && name == QLatin1String("Language_combox_info")) {
        const int index = static_cast<int>(msg.wParam);
        if (index == m_languageIndex)
            return;
        m_languageIndex = index;
        if (m_ctx.chooseLanguage)
            m_ctx.chooseLanguage(index);
    } else if ((msg.type == QLatin1String("return") || msg.type == QLatin1String("killfocus")) &&
               name == QLatin1String("update_server_edit")) {
        OnServerEdited();
    }
}

void CSetWnd::RebuildTexts() {
    ReloadLanguageTexts();
    setWindowTitle(Translate(QStringLiteral("setwnd_title_text")));
    for (int i = 0; i < m_languageCombo->count(); ++i)
        m_languageCombo->setItemText(i, Translate(m_languageCombo->itemData(i).toString()));
    for (auto& entry : m_entries) {
        if (entry)
            entry->ReloadStatusText();
    }
    if (m_windowState == kUpToDate) {
        m_stateText->setText(Translate(QStringLiteral("UpdateIsLastText")) + m_lastCheck);
    }
    ShowSdkServer();
    update();
}

void CSetWnd::closeEvent(QCloseEvent* event) {
    if (CloseRefused()) {
        event->ignore();
        return;
    }
    StopWorkers();
    event->accept();
}

void CSetWnd::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    CSecondaryWnd::keyPressEvent(event);
}

} // namespace nk7x
