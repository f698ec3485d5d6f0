#include "panels/DeviceOptionUI.h"

#include "devices/DeviceBase.h"
#include "link/KindDescriptors.h"
#include "ui/LanguageTexts.h"
#include "ui/UiNotify.h"
#include "ui/UiWindow.h"
#include "ui/controls/DeviceKeyButtonUI.h"
#include "ui/controls/SkinImage.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QEvent>
#include <QFileInfo>
#include <QHash>
#include <QIcon>
#include <QStyle>
#include <QThread>

#include <QTimer>
#include <algorithm>

namespace nk7x {
namespace {

const char* const kIconFolder = "common/device_ico/";
const char* const kGroupProperty = "group";
const char* const kPreparedProperty = "_nk7xOptionPrepared";

// Option groups span entries with different parents, so a group is one process-wide exclusive
// button group per name; a destroyed button leaves its group by itself.
QButtonGroup* OptionGroup(const QString& name) {
    static QHash<QString, QPointer<QButtonGroup>> groups;
    QPointer<QButtonGroup>& group = groups[name];
    if (!group) {
        group = new QButtonGroup(QCoreApplication::instance());
        group->setExclusive(true);
    }
    return group;
}

// The file an icon is drawn from: the vector twin of a named image when the skin has one, so the
// icon stays sharp at every scale; else the named image itself.
QString IconFile(const QString& relative) {
    const QString file = SkinImage::ImageFolder() + QLatin1Char('/') + relative;
    if (file.endsWith(QLatin1String(".png"), Qt::CaseInsensitive)) {
        const QString vector = file.left(file.size() - 4) + QStringLiteral(".svg");
        if (QFileInfo::exists(vector))
            return vector;
    }
    return file;
}

} // namespace

DeviceIconSet IconSetForKind(int kind, int role) {
    switch (kind) {
    case 1:
        return {QStringLiteral("kb_device"), QStringLiteral("kb_device_name_text")};
    case 2:
        return {QStringLiteral("ms_device"), QStringLiteral("ms_device_name_text")};
    case 3:
        if (role == 0)
            return {QStringLiteral("hard_mp_device"), QStringLiteral("hard_mp_device_name_text")};
        if (role == 1)
            return {QStringLiteral("soft_mp_device"), QStringLiteral("soft_mp_device_name_text")};
        return {};
    case 4:
    case 7:
        return {QStringLiteral("hd_device"), QStringLiteral("hd_device_name_text")};
    case 5:
        return {QStringLiteral("hub_device"), QStringLiteral("hub_device_name_text")};
    default:
        break;
    }
    // A kind added at run time brings no icon or translated name: its product name stands in every
    // language (a text key without a text is shown as it is).
    if (const std::optional<DeviceKind> added = KindFromNumber(kind))
        if (const KindDescriptor* d = AddedKind(*added))
            return {QStringLiteral("unknow_device"), QString::fromUtf8(d->productName)};
    return {QStringLiteral("unknow_device"), QStringLiteral("unknow_device_name_text")};
}

CDeviceOptionUI::CDeviceOptionUI(QWidget* parent) : QWidget(parent) {
    const QString base = QLatin1String(kIconFolder) + QStringLiteral("unknow_device");
    m_normalImage = base + QStringLiteral("_normal.png");
    m_selectedImage = base + QStringLiteral("_selected.png");
    m_synchroNormalImage = base + QStringLiteral("_synchro_normal.png");
    m_synchroSelectedImage = base + QStringLiteral("_synchro_selected.png");
}

CDeviceOptionUI::~CDeviceOptionUI() {
    for (auto& entry : m_timers)
        entry.second->stop();
    if (m_pageGone)
        disconnect(m_pageGone);
}

bool CDeviceOptionUI::Activate() {
    return RaiseNotify(this, QStringLiteral("selectchanged"));
}

QAbstractButton* CDeviceOptionUI::SelectButton() const {
    if (!m_select) {
        m_select = qobject_cast<QAbstractButton*>(UiWindow::FindSubControlByName(
            const_cast<CDeviceOptionUI*>(this), QStringLiteral("device_select")));
        if (m_select && !m_select->property(kPreparedProperty).toBool()) {
            m_select->setProperty(kPreparedProperty, true);
            m_select->setCheckable(true);
            // The name brightens with the selection; the style sheet reads the label's property.
            connect(m_select, &QAbstractButton::toggled, this, [this](bool on) {
                if (QLabel* l = NameLabel()) {
                    l->setProperty("selected", on);
                    l->style()->unpolish(l);
                    l->style()->polish(l);
                }
            });
        }
    }
    return m_select;
}

QAbstractButton* CDeviceOptionUI::SynchroButton() const {
    if (!m_synchro) {
        m_synchro = qobject_cast<QAbstractButton*>(UiWindow::FindSubControlByName(
            const_cast<CDeviceOptionUI*>(this), QStringLiteral("synchro_device_select")));
        if (m_synchro)
            m_synchro->setCheckable(true);
    }
    return m_synchro;
}

QLabel* CDeviceOptionUI::NameLabel() const {
    if (!m_name) {
        m_name = qobject_cast<QLabel*>(UiWindow::FindSubControlByName(const_cast<CDeviceOptionUI*>(this),
                                                                      QStringLiteral("device_select_name")));
        // The name may sit on the option button: clicks on it belong to the button.
        if (m_name)
            m_name->setAttribute(Qt::WA_TransparentForMouseEvents);
    }
    return m_name;
}

void CDeviceOptionUI::SetKind(int kind, int role) {
    m_kind = kind;
    m_role = role;
    const DeviceIconSet icons = IconSetForKind(kind, role);
    if (icons.base.isEmpty())
        return; // a mouse pad of another role keeps its images and tooltip
    const QString base = QLatin1String(kIconFolder) + icons.base;
    m_normalImage = base + QStringLiteral("_normal.png");
    m_selectedImage = base + QStringLiteral("_selected.png");
    m_synchroNormalImage = base + QStringLiteral("_synchro_normal.png");
    m_synchroSelectedImage = base + QStringLiteral("_synchro_selected.png");
    m_shownNormal = m_normalImage;
    m_shownSelected = m_selectedImage;
    if (QAbstractButton* b = SelectButton()) {
        b->setProperty("tooltipKey", icons.tooltipKey);
        b->setToolTip(m_texts ? m_texts->Text(icons.tooltipKey) : QString());
    }
    // The entry is named as its tooltip names the kind, in the window's language (the key stays on
    // the label, so a language switch translates it again).
    if (QLabel* l = NameLabel()) {
        l->setProperty("textKey", icons.tooltipKey);
        if (m_texts)
            l->setText(m_texts->Text(icons.tooltipKey));
    }
    ApplyImages();
}

void CDeviceOptionUI::ApplyImages() {
    if (m_shownNormal.isEmpty())
        m_shownNormal = m_normalImage;
    if (m_shownSelected.isEmpty())
        m_shownSelected = m_selectedImage;
    QAbstractButton* b = SelectButton();
    if (!b)
        return;
    // Every connection comes here; a new icon of the same files would leave a fresh set of
    // pixmaps in the toolkit's cache each time.
    if (b->property("normalimage").toString() == m_shownNormal &&
        b->property("selectedimage").toString() == m_shownSelected && !b->icon().isNull())
        return;
    b->setProperty("normalimage", m_shownNormal);
    b->setProperty("selectedimage", m_shownSelected);
    b->setProperty("disabledimage", m_shownNormal);
    QIcon icon;
    const QString normal = IconFile(m_shownNormal);
    const QString selected = IconFile(m_shownSelected);
    icon.addFile(normal, QSize(), QIcon::Normal, QIcon::Off);
    icon.addFile(selected, QSize(), QIcon::Normal, QIcon::On);
    icon.addFile(normal, QSize(), QIcon::Disabled, QIcon::Off);
    icon.addFile(normal, QSize(), QIcon::Disabled, QIcon::On);
    icon.addFile(normal, QSize(), QIcon::Active, QIcon::Off);
    icon.addFile(selected, QSize(), QIcon::Active, QIcon::On);
    b->setIcon(icon);
}

void CDeviceOptionUI::SetGroup(const QString& name) {
    QAbstractButton* b = SelectButton();
    if (!b)
        return;
    if (b->group())
        b->group()->removeButton(b);
    b->setProperty(kGroupProperty, name);
    if (!name.isEmpty())
        OptionGroup(name)->addButton(b);
}

QString CDeviceOptionUI::GetGroup() const {
    QAbstractButton* b = SelectButton();
    return b ? b->property(kGroupProperty).toString() : QString();
}

void CDeviceOptionUI::BindPage(const QString& tabLayoutName, int index) {
    if (QAbstractButton* b = SelectButton()) {
        b->setProperty("bindTabLayout", tabLayoutName);
        b->setProperty("bindTabIndex", index);
    }
}

int CDeviceOptionUI::GetBoundPageIndex() const {
    QAbstractButton* b = SelectButton();
    if (!b)
        return -1;
    const QVariant index = b->property("bindTabIndex");
    return index.isValid() ? index.toInt() : -1;
}

QString CDeviceOptionUI::GetBoundLayoutName() const {
    QAbstractButton* b = SelectButton();
    return b ? b->property("bindTabLayout").toString() : QString();
}

void CDeviceOptionUI::SetPowerBinding(const QString& name, int index) {
    if (!name.isNull())
        m_powerLayoutName = name;
    if (index >= 0)
        m_powerIndex = index;
}

void CDeviceOptionUI::SetEntryName(const QString& text) {
    if (QLabel* l = NameLabel()) {
        l->setProperty("textKey", QVariant()); // a name of its own: no language switch replaces it
        l->setText(text);
    }
}

void CDeviceOptionUI::AttachPage(CDeviceBase* device, QWidget* page) {
    DetachPage();
    m_device = device;
    m_page = page;
    m_refreshResting = false;
    if (page)
        page->installEventFilter(this);
    // A page that goes takes its device object with it: the timers must not reach either.
    if (page)
        m_pageGone = connect(page, &QObject::destroyed, this, [this] {
            m_device = nullptr;
            m_threadStream = false; // the device and its light thread went with the page
            for (auto& entry : m_timers)
                entry.second->stop();
        });
}

void CDeviceOptionUI::DetachPage() {
    EndThreadStream();
    if (m_pageGone)
        disconnect(m_pageGone);
    m_pageGone = {};
    if (m_page)
        m_page->removeEventFilter(this);
    m_device = nullptr;
    m_page = nullptr;
    m_refreshResting = false;
}

void CDeviceOptionUI::SetPreviewControl(QWidget* control) {
    m_preview = control;
}

void CDeviceOptionUI::SelectEntry(bool on) {
    QAbstractButton* b = SelectButton();
    if (!b || b->isChecked() == on)
        return;
    // The checked option of an exclusive group cannot be cleared, so the group lets go briefly.
    QButtonGroup* group = b->group();
    if (!on && group)
        group->setExclusive(false);
    b->setChecked(on); // the window's wiring raises "selectchanged" from the button
    if (!on && group)
        group->setExclusive(true);
}

bool CDeviceOptionUI::IsEntrySelected() const {
    QAbstractButton* b = SelectButton();
    return b && b->isChecked();
}

void CDeviceOptionUI::ShowSynchroOption(bool show) {
    QAbstractButton* s = SynchroButton();
    if (s)
        s->setVisible(show);
    const bool synchro = s && s->isChecked();
    m_shownNormal = synchro ? m_synchroNormalImage : m_normalImage;
    m_shownSelected = synchro ? m_synchroSelectedImage : m_selectedImage;
    ApplyImages();
}

void CDeviceOptionUI::SetSynchro(bool on) {
    QAbstractButton* s = SynchroButton();
    if (s)
        s->setChecked(on);
    const bool synchro = s && s->isChecked();
    m_shownNormal = synchro ? m_synchroNormalImage : m_normalImage;
    m_shownSelected = synchro ? m_synchroSelectedImage : m_selectedImage;
    ApplyImages();
}

bool CDeviceOptionUI::IsSynchro() const {
    QAbstractButton* s = SynchroButton();
    return s && s->isChecked();
}

void CDeviceOptionUI::SetVisible(bool visible) {
    QWidget::setVisible(visible);
    m_visible = visible;
}

void CDeviceOptionUI::StartTimers(int alreadyWaitedMs) {
    ArmTimer(kConnectTimer, std::clamp(kConnectDelayMs - alreadyWaitedMs, 0, kConnectDelayMs));
}

void CDeviceOptionUI::SetTimerHook(int id, std::function<void()> hook) {
    if (id == kHookTimerA)
        m_hookA = std::move(hook);
    else if (id == kHookTimerB)
        m_hookB = std::move(hook);
}

void CDeviceOptionUI::ArmTimer(int id, int ms) {
    if (QThread::currentThread() != thread()) {
        // Timers belong to the UI thread; a request from elsewhere is carried there.
        QPointer<CDeviceOptionUI> self(this);
        QMetaObject::invokeMethod(
            this,
            [self, id, ms] {
                if (self)
                    self->ArmTimer(id, ms);
            },
            Qt::QueuedConnection);
        return;
    }
    QTimer*& timer = m_timers[id];
    if (!timer) {
        timer = new QTimer(this);
        timer->setSingleShot(true);
        connect(timer, &QTimer::timeout, this, [this, id] { OnTimer(id); });
    }
    timer->start(ms < 0 ? 0 : ms);
}

void CDeviceOptionUI::StopTimer(int id) {
    auto it = m_timers.find(id);
    if (it != m_timers.end())
        it->second->stop();
}

bool CDeviceOptionUI::TimerArmed(int id) const {
    auto it = m_timers.find(id);
    return it != m_timers.end() && it->second->isActive();
}

bool CDeviceOptionUI::LinkOpen() const {
    return m_device && m_device->Link().IsOpen();
}

namespace {

// The preview is repainted after a lighting run only when someone can see it, and only when it
// draws the colours itself: key buttons repaint themselves when their live colour changes, so a
// panel of them needs no full repaint every run.
bool PreviewWantsRepaint(const QWidget* preview) {
    if (!preview->isVisible() || preview->window()->isMinimized())
        return false;
    return !preview->findChild<CDeviceKeyButtonUI*>(QString(), Qt::FindDirectChildrenOnly);
}

} // namespace

bool CDeviceOptionUI::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_page && event->type() == QEvent::Show && m_refreshResting) {
        m_refreshResting = false;
        if (LinkOpen())
            ArmTimer(kRefreshTimer, kFirstRefreshMs);
    }
    return QWidget::eventFilter(watched, event);
}

void CDeviceOptionUI::EndThreadStream() {
    if (!m_threadStream)
        return;
    m_threadStream = false;
    if (m_device)
        (void)m_device->StreamFromLightThread(false);
}

void CDeviceOptionUI::OnTimer(int id) {
    StopTimer(id);
    if (id == kHookTimerA || id == kHookTimerB) {
        const std::function<void()>& hook = id == kHookTimerA ? m_hookA : m_hookB;
        if (hook)
            hook();
        return;
    }
    CDeviceBase* device = m_device;
    if (!device)
        return;
    switch (id) {
    case kConnectTimer:
        EndThreadStream(); // a new connection starts with the runs
        device->OnConnect();
        ArmTimer(kRefreshTimer, kFirstRefreshMs);
        if (device->PowerMode() != 0 && LinkOpen())
            ArmTimer(kStatusTimer, kStatusPeriodMs);
        break;
    case kRefreshTimer: {
        // A page nobody sees needs no new colours; the first run after it shows brings them. A
        // device that runs its own effects then needs no runs at all until the page is back; one
        // whose LEDs are the program's stream keeps being fed, or its lights would freeze.
        const bool seen = !m_page || m_page->isVisible();
        // A stream that can run on the device's own light thread goes there: each frame leaves on
        // its tick, and the runs only show the colours, which nobody needs while the page is out
        // of sight.
        if (!m_threadStream && device->StreamsLighting() && LinkOpen())
            m_threadStream = device->StreamFromLightThread(true);
        if (m_threadStream && !seen) {
            m_refreshResting = true;
            break;
        }
        // A frame that failed is dropped: the next run sends newer colours anyway.
        if (seen || device->StreamsLighting())
            (void)device->RefreshLighting();
        // A picture of key buttons repaints each key as its colour changes, but only while the
        // preview flag is set; when it comes back, the whole picture shows the colours kept.
        const bool watched = m_preview && IsEntrySelected() && device->IsPreview();
        if (watched && (!m_previewWatched || PreviewWantsRepaint(m_preview)))
            m_preview->update();
        m_previewWatched = watched;
        if (LinkOpen()) {
            if (seen || device->StreamsLighting())
                ArmTimer(kRefreshTimer, kRefreshPeriodMs);
            else
                m_refreshResting = true;
        }
        break;
    }
    case kSyncTimer:
        device->OnSyncRequest();
        break;
    case kStatusTimer:
        device->StatusPoll();
        if (device->PowerMode() != 0 && LinkOpen())
            ArmTimer(kStatusTimer, kStatusPeriodMs);
        break;
    default:
        break;
    }
}

} // namespace nk7x
