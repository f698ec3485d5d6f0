#include "app/DeviceHost.h"

#include "devices/ConnectionHandOver.h"
#include "link/KindDescriptors.h"
#include "panels/DeviceOptionUI.h"
#include "panels/MpDevicePowerUI.h"
#include "panels/light/LightControlUI.h"
#include "panels/pages/BrindovaUSBDevice.h"
#include "platform/DebugLog.h"
#include "platform/WorkerSlots.h"
#include "ui/AccessibleNames.h"
#include "ui/LanguageTexts.h"
#include "ui/PanelContent.h"
#include "ui/ResourceList.h"
#include "ui/UiWindow.h"

#include <QBoxLayout>
#include <QElapsedTimer>
#include <QLabel>
#include <QLayout>
#include <QStackedWidget>
#include <QThread>

namespace nk7x {
namespace {

constexpr const char* kPowerLayout = "XML\\CustomControlXML\\MpDevicePower.xml";
constexpr const char* kDeviceSwitch = "device_switch";
constexpr const char* kPowerSwitch = "device_power_switch";
constexpr const char* kEntryList = "device_select_layout";
constexpr const char* kPlaceholder = "No_device_Link";

bool SameDevice(const DeviceSlot& a, const DeviceSlot& b) {
    return a.vendorId == b.vendorId && a.productId == b.productId && a.kind == b.kind;
}

} // namespace

DeviceHost::DeviceHost(DeviceHostContext context, QObject* parent)
    : QObject(parent), m_ctx(std::move(context)) {}

DeviceHost::~DeviceHost() {
    BeginShutdown();
    if (m_discovery)
        m_discovery->Stop();
}

// ---- start-up -------------------------------------------------------------------------------

int DeviceHost::CreatePages() {
    int made = 0;
    const auto& options = OptionTable();
    for (size_t o = 0; o < options.size(); ++o) {
        const DeviceOptionRow& row = options[o];
        for (const DeviceSlot& iface : InterfaceTable()) {
            // A receiver whose mouse is known by cable too shares the cable's page.
            if (iface.kind == DeviceKind::MouseReceiver && iface.hasPartner)
                continue;
            if (iface.vendorId == row.VendorId() && iface.productId == row.ProductId() && iface.kind &&
                iface.kind == row.Kind() && iface.role == row.Role()) {
                // The page itself is built when its device first comes: a window without that
                // device holds none of its widgets and pictures.
                if (row.Family()) {
                    Hosted h;
                    h.identity = iface;
                    h.family = FamilyOf(*iface.kind);
                    h.optionRow = static_cast<int>(o);
                    m_hosted.push_back(h);
                    ++made;
                }
                break;
            }
        }
    }
    UpdateDeviceList();
    return made;
}

template <class Panel> Panel* DeviceHost::BuildPanel(const QString& layout) {
    if (!m_ctx.window || !m_ctx.resources)
        return nullptr;
    auto* panel = new Panel;
    if (!FillPanel(*m_ctx.window, panel, m_ctx.resources->Resolve(layout))) {
        delete panel;
        return nullptr;
    }
    return panel;
}

QWidget* DeviceHost::Control(const char* name) const {
    return m_ctx.window ? m_ctx.window->FindControl(QString::fromLatin1(name)) : nullptr;
}

bool DeviceHost::BuildPage(size_t index) {
    if (index >= m_hosted.size())
        return false;
    if (m_hosted[index].page)
        return true;
    QElapsedTimer building;
    building.start();
    const DeviceSlot slot = m_hosted[index].identity;
    const int optionRow = m_hosted[index].optionRow;
    const DeviceOptionRow& row = OptionTable()[static_cast<size_t>(optionRow)];
    const DevicePageRow& pageRow = PageTable()[static_cast<size_t>(optionRow)];
    if (!slot.kind || !row.Kind() || !row.Family())
        return false;
    auto* pages = qobject_cast<QStackedWidget*>(Control(kDeviceSwitch));
    auto* powers = qobject_cast<QStackedWidget*>(Control(kPowerSwitch));
    QWidget* list = Control(kEntryList);
    if (!pages || !powers || !list || !list->layout())
        return false;

    auto* power = BuildPanel<CMpDevicePowerUI>(QString::fromLatin1(kPowerLayout));
    if (!power)
        return false;
    auto* entry = BuildPanel<CDeviceOptionUI>(QString::fromLatin1(row.entryLayout));
    const QString pagePath = m_ctx.resources->Resolve(QString::fromLatin1(pageRow.pageLayout));
    QWidget* built = pagePath.isEmpty() ? nullptr : m_ctx.window->BuildLayout(pagePath, nullptr);
    auto* page = qobject_cast<CBrindovaUSBDevice*>(built);
    if (!entry || !page) {
        DebugLogf("device page %s not built", pageRow.pageLayout);
        delete built;
        delete entry;
        delete power;
        return false;
    }

    const int powerIndex = powers->addWidget(power);
    power->SetKindRole(KindNumber(*slot.kind), slot.role);

    CDeviceBase& device = page->Device();
    device.SetLayoutName(pageRow.pageLayout);
    page->SetMainWindow(m_ctx.window);
    page->SetLanguageTexts(m_ctx.texts);
    device.SetButtonCount(pageRow.buttonCount);
    device.SetKeyCount(pageRow.keyCount);
    page->SetPowerMode(pageRow.powerMode);
    device.SetKindName(row.kindName);
    page->SetPowerIndicator(power);
    device.SetIdentity(slot);
    device.SetProfileIndex(FamilyIndex(*row.Family()));
    device.SetLightingName(pageRow.lightingName);
    page->LoadContent();

    const int pageIndex = pages->addWidget(page);

    // Entries keep the order of the table whichever device came first.
    int at = -1;
    for (size_t j = index + 1; j < m_hosted.size() && at < 0; ++j)
        if (m_hosted[j].entry)
            at = list->layout()->indexOf(m_hosted[j].entry);
    if (auto* box = qobject_cast<QBoxLayout*>(list->layout()); box && at >= 0)
        box->insertWidget(at, entry);
    else
        list->layout()->addWidget(entry);
    entry->ShowSynchroOption(false);
    entry->SetGroup(QStringLiteral("tab_header_device"));
    entry->BindPage(QString::fromLatin1(kDeviceSwitch), pageIndex);
    entry->SetPowerBinding(QString::fromLatin1(kPowerSwitch), powerIndex);
    entry->SetKind(KindNumber(*row.Kind()), row.Role());
    entry->SetVisible(false);
    entry->AttachPage(&device, page);
    page->SetListEntry(entry);
    entry->SetPreviewControl(page->KeyPanel());

    // Built after the window was set up: the present scale, fonts and language, and the names
    // assistive technology reads (renamed with the window's on a switch).
    for (QWidget* part :
         {static_cast<QWidget*>(page), static_cast<QWidget*>(entry), static_cast<QWidget*>(power)}) {
        m_ctx.window->Adopt(part, m_ctx.texts);
        if (m_ctx.texts)
            NameForAccessibility(part, *m_ctx.texts);
    }

    Hosted& h = m_hosted[index];
    h.page = page;
    h.entry = entry;
    h.power = power;
    h.pageIndex = pageIndex;
    emit pageCreated(page);
    h.buildMs = static_cast<int>(building.elapsed());
    return true;
}

bool DeviceHost::StartDiscovery(WorkerSlots& workers, int slot, std::unique_ptr<IInterfaceProbe> probe) {
    if (m_discovery)
        return false;
    // Woken by the platform's hot-plug announcements, with a slow safety-net pass: an idle window
    // does not list the interfaces ten times a second.
    m_discovery = std::make_unique<CDiscoveryThread>(m_slots, *this, std::move(probe),
                                                     std::unique_ptr<IHotplugWatcher>(), DiscoveryPacing{});
    CDiscoveryThread* discovery = m_discovery.get();
    return workers.Start(slot, [discovery](const StopEvent& stop) { discovery->Run(stop); });
}

void DeviceHost::BeginShutdown() {
    {
        std::lock_guard<std::mutex> lock(m_waitMutex);
        m_closing.store(true);
    }
    m_waitCond.notify_all();
    if (m_discovery)
        m_discovery->RequestStop();
}

void DeviceHost::StopPages() {
    for (Hosted& h : m_hosted) {
        if (h.page)
            h.page->Shutdown();
    }
}

// ---- discovery's calls ----------------------------------------------------------------------

void DeviceHost::RunOnUiThread(std::function<void()> fn) {
    if (m_closing.load())
        return;
    if (QThread::currentThread() == thread()) {
        fn();
        return;
    }
    // A blocking queued call could never be given up: a window that is closing would wait for the
    // discovery thread while the thread waits for the window. This wait ends with either.
    auto done = std::make_shared<bool>(false);
    QMetaObject::invokeMethod(
        this,
        [this, fn = std::move(fn), done] {
            if (!m_closing.load())
                fn();
            {
                std::lock_guard<std::mutex> lock(m_waitMutex);
                *done = true;
            }
            m_waitCond.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock<std::mutex> lock(m_waitMutex);
    m_waitCond.wait(lock, [&] { return *done || m_closing.load(); });
}

void DeviceHost::OnConnect(int, const DeviceSlot& slot) {
    RunOnUiThread([this, slot] { OnSlotConnected(slot); });
}

void DeviceHost::OnRemove(int, const DeviceSlot& slot) {
    RunOnUiThread([this, slot] { OnSlotRemoved(slot); });
}

void DeviceHost::OnFirstScanFinished() {
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!m_closing.load() && m_ctx.firstScanFinished)
                m_ctx.firstScanFinished();
        },
        Qt::QueuedConnection);
}

void DeviceHost::OnAccessDenied(const std::vector<DeviceSlot>& interfaces) {
    QMetaObject::invokeMethod(
        this,
        [this, interfaces] {
            if (!m_closing.load())
                ShowAccessDenied(interfaces);
        },
        Qt::QueuedConnection);
}

// ---- connect and remove ---------------------------------------------------------------------

int DeviceHost::FindByIdentity(const DeviceSlot& slot) const {
    if (!slot.kind)
        return -1;
    const DeviceFamily family = FamilyOf(*slot.kind);
    // A mouse's page is found by either of its connections: the cable's and the receiver's.
    const std::optional<DeviceSlot> partner =
        family == DeviceFamily::Mouse ? PartnerSlot(m_slots, slot) : std::nullopt;
    for (size_t i = 0; i < m_hosted.size(); ++i) {
        const Hosted& h = m_hosted[i];
        if (h.family != family)
            continue;
        const DeviceSlot& identity = h.page ? h.page->Device().GetIdentity() : h.identity;
        if (SameInterface(identity, slot) || (partner && SameInterface(identity, *partner)))
            return static_cast<int>(i);
    }
    return -1;
}

void DeviceHost::OnSlotConnected(const DeviceSlot& slot) {
    if (slot.role == kRoleCommand)
        ConnectCommand(slot);
    else if (slot.role == kRoleNotification)
        ConnectNotification(slot);
    if (slot.role == kRoleCommand && m_ctx.devicesChanged)
        m_ctx.devicesChanged();
    if (m_ctx.frontAndRefresh)
        m_ctx.frontAndRefresh();
}

void DeviceHost::ConnectCommand(const DeviceSlot& slot) {
    const int i = FindByIdentity(slot);
    if (i < 0 || !BuildPage(static_cast<size_t>(i)))
        return;
    Hosted& h = m_hosted[static_cast<size_t>(i)];
    ConnectCommandInterface(h.page->Device(), h.family, slot);
    if (!h.entry)
        return;
    const bool firstVisible = VisibleEntryCount() == 0;
    ShowEntry(i, firstVisible);
    // The device's first connection waited while its page was built: that wait counts towards
    // the settling time before the page first asks the device.
    h.entry->StartTimers(h.buildMs);
    h.buildMs = 0;
}

void DeviceHost::ConnectNotification(const DeviceSlot& slot) {
    if (!slot.kind)
        return;
    const DeviceFamily family = FamilyOf(*slot.kind);
    for (size_t i = 0; i < m_hosted.size(); ++i) {
        Hosted& h = m_hosted[i];
        if (h.family != family)
            continue;
        // The key events may come before the commands: the page is built for them too.
        if (!h.page && (!SameDevice(h.identity, slot) || !BuildPage(i)))
            continue;
        CDeviceBase& device = h.page->Device();
        if (device.NotificationLink().IsOpen() || !SameDevice(device.GetIdentity(), slot))
            continue;
        if (device.StartKeyEventThread(slot.path) != 1)
            DebugLogf("notification interface %s not opened", slot.path.c_str());
        return;
    }
}

void DeviceHost::OnSlotRemoved(const DeviceSlot& slot) {
    if (slot.role == kRoleCommand)
        RemoveCommand(slot);
    else if (slot.role == kRoleNotification)
        RemoveNotification(slot);
    if (slot.role == kRoleCommand && m_ctx.devicesChanged)
        m_ctx.devicesChanged();
}

void DeviceHost::RemoveCommand(const DeviceSlot& slot) {
    const int i = FindByIdentity(slot);
    if (i < 0 || !m_hosted[static_cast<size_t>(i)].page)
        return;
    Hosted& h = m_hosted[static_cast<size_t>(i)];
    const std::optional<DeviceSlot> partner =
        h.family == DeviceFamily::Mouse ? PartnerSlot(m_slots, slot) : std::nullopt;
    if (RemoveCommandInterface(h.page->Device(), h.family, slot, partner))
        return; // the page goes on
    h.page->OnDeviceRemoved();
    if (!h.entry)
        return;
    if (h.entry->IsShown() && h.entry->IsEntrySelected()) {
        if (m_ctx.closeSecondaryWindows)
            m_ctx.closeSecondaryWindows();
        if (m_ctx.stopRecording)
            m_ctx.stopRecording();
    }
    h.entry->SetVisible(false);
    if (m_selected == i)
        m_selected = -1;
    for (size_t j = 0; j < m_hosted.size(); ++j) {
        if (m_hosted[j].entry && m_hosted[j].entry->IsShown()) {
            ShowEntry(static_cast<int>(j), true);
            return;
        }
    }
    UpdateDeviceList();
}

void DeviceHost::RemoveNotification(const DeviceSlot& slot) {
    if (!slot.kind)
        return;
    const DeviceFamily family = FamilyOf(*slot.kind);
    for (Hosted& h : m_hosted) {
        if (h.family != family || !h.page)
            continue;
        CDeviceBase& device = h.page->Device();
        if (!device.NotificationLink().IsOpen() || !SameDevice(device.GetIdentity(), slot))
            continue;
        device.StopKeyEventThread();
        return;
    }
}

// ---- the device list ------------------------------------------------------------------------

void DeviceHost::ShowPageOf(const Hosted& h) {
    if (auto* pages = qobject_cast<QStackedWidget*>(Control(kDeviceSwitch)))
        pages->setCurrentIndex(h.pageIndex);
    if (auto* powers = qobject_cast<QStackedWidget*>(Control(kPowerSwitch))) {
        if (h.entry->GetPowerIndex() >= 0) {
            powers->setCurrentIndex(h.entry->GetPowerIndex());
            powers->show();
        } else {
            powers->hide();
        }
    }
}

void DeviceHost::ShowEntry(int index, bool select) {
    if (index < 0 || static_cast<size_t>(index) >= m_hosted.size())
        return;
    Hosted& h = m_hosted[static_cast<size_t>(index)];
    if (!h.entry)
        return;
    h.entry->SetVisible(true);
    if (select) {
        ShowPageOf(h);
        m_selected = index;
        h.entry->SelectEntry(true);
    }
    UpdateDeviceList();
}

int DeviceHost::VisibleEntryCount() const {
    int n = 0;
    for (const Hosted& h : m_hosted) {
        if (h.entry && h.entry->IsShown())
            ++n;
    }
    return n;
}

void DeviceHost::UpdateDeviceList() {
    const int visible = VisibleEntryCount();
    if (QWidget* placeholder = Control(kPlaceholder))
        placeholder->setVisible(visible == 0);
    auto* pages = qobject_cast<QStackedWidget*>(Control(kDeviceSwitch));
    auto* powers = qobject_cast<QStackedWidget*>(Control(kPowerSwitch));
    if (pages)
        pages->setVisible(visible > 0);
    if (visible == 0) {
        if (pages && pages->count() > 0)
            pages->setCurrentIndex(0);
        if (powers && powers->count() > 0)
            powers->setCurrentIndex(0);
        if (powers)
            powers->hide();
    }
    for (const char* name : {"device_select_prev", "device_select_next"}) {
        if (QWidget* b = Control(name))
            b->setEnabled(visible > 0);
    }
    int synchro = 0;
    for (const Hosted& h : m_hosted) {
        if (h.entry && h.entry->IsShown() && h.entry->IsSynchro())
            ++synchro;
    }
    for (Hosted& h : m_hosted) {
        if (!h.page)
            continue;
        if (CLightControlUI* light = h.page->LightPanel())
            light->SetSameModeAvailable(visible > 1);
        // Copying one effect to every device needs two of them; alone, each runs its own.
        if (visible <= 1)
            h.page->Device().Link().SetBackgroundPause(false);
        if (synchro < 2 && h.entry)
            h.entry->SetSynchro(false);
    }
    SetPlaceholderTexts(m_accessShown && visible == 0);
    emit deviceListChanged();
}

void DeviceHost::SelectPrev() {
    const int from = SelectedEntryIndex();
    if (from < 0)
        return;
    for (int j = from - 1; j >= 0; --j) {
        if (m_hosted[static_cast<size_t>(j)].entry && m_hosted[static_cast<size_t>(j)].entry->IsShown()) {
            ShowEntry(j, true);
            return;
        }
    }
}

void DeviceHost::SelectNext() {
    const int from = SelectedEntryIndex();
    if (from < 0)
        return;
    for (size_t j = static_cast<size_t>(from) + 1; j < m_hosted.size(); ++j) {
        if (m_hosted[j].entry && m_hosted[j].entry->IsShown()) {
            ShowEntry(static_cast<int>(j), true);
            return;
        }
    }
}

void DeviceHost::OnEntrySelectChanged(QWidget* sender, bool selected) {
    if (!sender || !selected)
        return;
    for (size_t i = 0; i < m_hosted.size(); ++i) {
        Hosted& h = m_hosted[i];
        if (!h.entry || !(h.entry == sender || h.entry->isAncestorOf(sender)))
            continue;
        m_selected = static_cast<int>(i);
        ShowPageOf(h);
        return;
    }
}

int DeviceHost::SelectedEntryIndex() const {
    for (size_t i = 0; i < m_hosted.size(); ++i) {
        const Hosted& h = m_hosted[i];
        if (h.entry && h.entry->IsShown() && h.entry->IsEntrySelected())
            return static_cast<int>(i);
    }
    return -1;
}

CBrindovaUSBDevice* DeviceHost::CurrentPage() const {
    const int i = SelectedEntryIndex();
    return i < 0 ? nullptr : m_hosted[static_cast<size_t>(i)].page.data();
}

CDeviceBase* DeviceHost::CurrentDevice() const {
    CBrindovaUSBDevice* page = CurrentPage();
    return page ? &page->Device() : nullptr;
}

CBrindovaUSBDevice* DeviceHost::Page(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= m_hosted.size())
        return nullptr;
    return m_hosted[static_cast<size_t>(index)].page;
}

CDeviceOptionUI* DeviceHost::Entry(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= m_hosted.size())
        return nullptr;
    return m_hosted[static_cast<size_t>(index)].entry;
}

CMpDevicePowerUI* DeviceHost::Power(int index) const {
    if (index < 0 || static_cast<size_t>(index) >= m_hosted.size())
        return nullptr;
    return m_hosted[static_cast<size_t>(index)].power;
}

std::vector<CBrindovaUSBDevice*> DeviceHost::PagesOf(DeviceFamily family) const {
    std::vector<CBrindovaUSBDevice*> out;
    for (const Hosted& h : m_hosted) {
        if (h.family == family && h.page)
            out.push_back(h.page);
    }
    return out;
}

namespace {
// The shipped families in the order given, then the added ones in the order they were added.
std::vector<DeviceFamily> FamiliesInOrder(std::initializer_list<DeviceFamily> shipped) {
    std::vector<DeviceFamily> out(shipped);
    for (const KindDescriptor& d : Kinds())
        if (FamilyIndex(d.family) >= kDeviceFamilyCount)
            out.push_back(d.family);
    return out;
}
} // namespace

std::vector<CBrindovaUSBDevice*> DeviceHost::PagesInPanelOrder() const {
    std::vector<CBrindovaUSBDevice*> out;
    for (DeviceFamily f : FamiliesInOrder(
             {DeviceFamily::Keyboard, DeviceFamily::Mouse, DeviceFamily::MousePad, DeviceFamily::Headset})) {
        for (CBrindovaUSBDevice* p : PagesOf(f))
            out.push_back(p);
    }
    return out;
}

std::vector<CDeviceBase*> DeviceHost::DevicesInSyncOrder() const {
    std::vector<CDeviceBase*> out;
    for (DeviceFamily f : FamiliesInOrder(
             {DeviceFamily::Mouse, DeviceFamily::Keyboard, DeviceFamily::MousePad, DeviceFamily::Headset})) {
        for (CBrindovaUSBDevice* p : PagesOf(f))
            out.push_back(&p->Device());
    }
    return out;
}

// ---- access problems ------------------------------------------------------------------------

void DeviceHost::ShowAccessDenied(const std::vector<DeviceSlot>& interfaces) {
    m_denied = interfaces;
    const bool denied = !interfaces.empty();
    if (denied != m_accessShown) {
        for (const DeviceSlot& s : interfaces)
            DebugLogf("no permission to open %s", s.path.c_str());
    }
    m_accessShown = denied;
    SetPlaceholderTexts(m_accessShown && VisibleEntryCount() == 0);
}

void DeviceHost::SetPlaceholderTexts(bool accessDenied) {
    struct Text {
        const char* control;
        const char* plain;
        const char* denied;
    };
    static const Text kTexts[] = {
        {"nodevice_title", "nodevice_title_text", "nodevice_access_title_text"},
        {"nodevice_hint", "nodevice_hint_text", "nodevice_access_hint_text"},
    };
    for (const Text& t : kTexts) {
        auto* label = qobject_cast<QLabel*>(Control(t.control));
        if (!label)
            continue;
        const QString key = QString::fromLatin1(accessDenied ? t.denied : t.plain);
        if (label->property("textKey").toString() == key)
            continue;
        // The key stays on the label, so a language switch translates the text shown.
        label->setProperty("textKey", key);
        label->setText(m_ctx.texts ? m_ctx.texts->Text(key) : key);
    }
    if (auto* command = qobject_cast<QLabel*>(Control("nodevice_command"))) {
        if (m_ctx.texts)
            command->setText(m_ctx.texts->Text(QStringLiteral("nodevice_access_command_text")));
        command->setVisible(accessDenied);
    }
}

} // namespace nk7x
