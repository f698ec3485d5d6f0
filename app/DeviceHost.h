// DeviceHost: the main window's device pages. It keeps one place per supported kind and builds its
// page, list entry and power indicator when that device first comes; it receives discovery's connects and
// removals on the UI thread, opens and closes the pages' links, and keeps the device list, its placeholder
// and the selection in step.
#pragma once

#include "devices/discovery/DiscoveryThread.h"
#include "devices/discovery/SlotList.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

class QWidget;

namespace nk7x {

class CBrindovaUSBDevice;
class CDeviceBase;
class CDeviceOptionUI;
class CLightControlUI;
class CMpDevicePowerUI;
class LanguageTexts;
class ResourceList;
class UiWindow;
class WorkerSlots;

struct DeviceHostContext {
    UiWindow* window = nullptr;                  // builds the layouts, holds the device list controls
    const ResourceList* resources = nullptr;     // resolves the layout names of the tables
    const LanguageTexts* texts = nullptr;        // the window's language
    std::function<void()> closeSecondaryWindows; // when the selected device goes
    std::function<void()> frontAndRefresh;       // after every connect
    std::function<void()> firstScanFinished;     // once discovery has looked at every interface
    std::function<void()> stopRecording;  // a running macro recording ends with its device; may be empty
    std::function<void()> devicesChanged; // a device's command interface came or went; may be empty
};

class DeviceHost : public QObject, public IDiscoverySink {
    Q_OBJECT
  public:
    explicit DeviceHost(DeviceHostContext context, QObject* parent = nullptr);
    ~DeviceHost() override;

    // Start-up: one place for every option row that an interface row names (its page is built when
    // the device first connects). Returns how many.
    int CreatePages();

    // Runs discovery in a worker slot of the window, woken by hot-plug announcements (see
    // CDiscoveryThread). `probe` null: the HID layer.
    bool StartDiscovery(WorkerSlots& workers, int slot, std::unique_ptr<IInterfaceProbe> probe = nullptr);
    // First step of shutting down: no discovery call waits for the UI thread any longer, and calls
    // still queued do nothing. The worker slot can then be joined.
    void BeginShutdown();
    // Last step: the pages' reader threads end and their links close.
    void StopPages();
    bool ShuttingDown() const { return m_closing.load(); }

    // IDiscoverySink, on the discovery thread: each call runs on the UI thread and is waited for.
    void OnConnect(int slotIndex, const DeviceSlot& slot) override;
    void OnRemove(int slotIndex, const DeviceSlot& slot) override;
    void OnFirstScanFinished() override;
    void OnAccessDenied(const std::vector<DeviceSlot>& interfaces) override;

    // The handlers themselves, on the UI thread.
    void OnSlotConnected(const DeviceSlot& slot);
    void OnSlotRemoved(const DeviceSlot& slot);
    void ShowAccessDenied(const std::vector<DeviceSlot>& interfaces);

    // The device list.
    // Makes entry `index` visible and, with `select`, shows its page and power indicator and
    // selects it; then refreshes the placeholder and what depends on the number of entries.
    void ShowEntry(int index, bool select);
    void UpdateDeviceList();
    void SelectPrev();
    void SelectNext();
    // "device_select" of an entry changed: shows the entry's page and power indicator.
    void OnEntrySelectChanged(QWidget* sender, bool selected);
    int VisibleEntryCount() const;
    // The page of the first visible, selected entry; null when none.
    CBrindovaUSBDevice* CurrentPage() const;
    CDeviceBase* CurrentDevice() const;
    int SelectedEntryIndex() const;

    // Places in the table's order (Page() is null until that device first came), and the built
    // pages by family.
    int PageCount() const { return static_cast<int>(m_hosted.size()); }
    CBrindovaUSBDevice* Page(int index) const;
    CDeviceOptionUI* Entry(int index) const;
    CMpDevicePowerUI* Power(int index) const;
    std::vector<CBrindovaUSBDevice*> PagesOf(DeviceFamily family) const;
    // Keyboards, mice, mouse pads, headsets, then added kinds (the lighting panel's order).
    std::vector<CBrindovaUSBDevice*> PagesInPanelOrder() const;
    // Mice, keyboards, mouse pads, headsets, then added kinds (the synchronisation worker's order).
    std::vector<CDeviceBase*> DevicesInSyncOrder() const;

    bool AccessDeniedShown() const { return m_accessShown; }
    CSlotList& Slots() { return m_slots; }
    CDiscoveryThread* Discovery() const { return m_discovery.get(); }

  signals:
    // After the device list changed (an entry was shown, hidden or selected).
    void deviceListChanged();
    // A page was built, its device about to be connected.
    void pageCreated(CBrindovaUSBDevice* page);

  private:
    struct Hosted {
        DeviceSlot identity; // the interface row the page is built for
        QPointer<CBrindovaUSBDevice> page;
        QPointer<CDeviceOptionUI> entry;
        QPointer<CMpDevicePowerUI> power;
        DeviceFamily family = DeviceFamily::Keyboard;
        int optionRow = -1;
        int pageIndex = -1;
        int buildMs = 0; // how long building the page took, until its device's first connection
    };
    // Hands `fn` to the UI thread and waits until it ran or shutting down began.
    void RunOnUiThread(std::function<void()> fn);
    // Builds the page of place `index` once; false when it cannot be built.
    bool BuildPage(size_t index);
    template <class Panel> Panel* BuildPanel(const QString& layout);
    QWidget* Control(const char* name) const;
    // Shows the entry's page in "device_switch" and its power indicator (or hides that tab layout).
    void ShowPageOf(const Hosted& h);
    int IndexOfPage(const CBrindovaUSBDevice* page) const;
    // The hosted page of the slot's kind showing that interface, or -1 (also for a slot of no kind).
    int FindByIdentity(const DeviceSlot& slot) const;
    void ConnectCommand(const DeviceSlot& slot);
    void ConnectNotification(const DeviceSlot& slot);
    void RemoveCommand(const DeviceSlot& slot);
    void RemoveNotification(const DeviceSlot& slot);
    void SetPlaceholderTexts(bool accessDenied);

    DeviceHostContext m_ctx;
    CSlotList m_slots;
    std::unique_ptr<CDiscoveryThread> m_discovery;
    std::vector<Hosted> m_hosted;
    int m_selected = -1;
    bool m_accessShown = false;
    std::vector<DeviceSlot> m_denied;

    std::atomic<bool> m_closing{false};
    std::mutex m_waitMutex;
    std::condition_variable m_waitCond;
};

} // namespace nk7x
