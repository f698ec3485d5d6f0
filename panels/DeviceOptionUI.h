// CDeviceOptionUI: a device's entry in the main window's device list. It shows the kind's icon and
// name, selects the device's page when clicked, and owns the one-shot timers that drive the
// device's periodic work on the UI thread (connection, live lighting, status polling).
#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <map>

class QAbstractButton;
class QLabel;
class QTimer;

namespace nk7x {

class CDeviceBase;

// Images and tooltip key of a device kind's icon (empty base: the kind keeps what it had).
struct DeviceIconSet {
    QString base;       // "kb_device", ...; empty when the kind/role pair changes nothing
    QString tooltipKey; // "kb_device_name_text", ...
};
DeviceIconSet IconSetForKind(int kind, int role);

class CDeviceOptionUI : public QWidget {
    Q_OBJECT
  public:
    // Timer ids of the entry.
    static constexpr int kRefreshTimer = 1000;
    static constexpr int kConnectTimer = 1001;
    static constexpr int kSyncTimer = 1002;
    static constexpr int kHookTimerA = 1003;
    static constexpr int kHookTimerB = 1004;
    static constexpr int kStatusTimer = 1005;
    static constexpr int kConnectDelayMs = 500;
    static constexpr int kFirstRefreshMs = 5;
    static constexpr int kRefreshPeriodMs = 50;
    static constexpr int kStatusPeriodMs = 5000;

    explicit CDeviceOptionUI(QWidget* parent = nullptr);
    ~CDeviceOptionUI() override;

    static QString ClassName() { return QStringLiteral("DeviceOption"); }

    // Kind icon: images and tooltip of "device_select" from the kind table.
    void SetKind(int kind, int role);
    int GetKind() const { return m_kind; }
    int GetRole() const { return m_role; }
    // The four image paths in use (skin-relative): normal, selected, synchro normal, synchro selected.
    QString NormalImage() const { return m_normalImage; }
    QString SelectedImage() const { return m_selectedImage; }
    QString SynchroNormalImage() const { return m_synchroNormalImage; }
    QString SynchroSelectedImage() const { return m_synchroSelectedImage; }
    // The pair "device_select" currently shows (normal, selected).
    QString ShownNormalImage() const { return m_shownNormal; }
    QString ShownSelectedImage() const { return m_shownSelected; }

    // Option group of "device_select": selecting it clears the other buttons of the group.
    void SetGroup(const QString& name);
    QString GetGroup() const;

    // The page the option button shows: tab layout name and index (properties "bindTabLayout" /
    // "bindTabIndex" of "device_select").
    void BindPage(const QString& tabLayoutName, int index);
    int GetBoundPageIndex() const;     // -1 without "device_select"
    QString GetBoundLayoutName() const;

    // Where the device's power indicator sits. A null name or a negative index keeps the old value.
    void SetPowerBinding(const QString& name, int index);
    int GetPowerIndex() const { return m_powerIndex; }
    QString GetPowerLayoutName() const { return m_powerLayoutName; }

    void SetEntryName(const QString& text);

    // The device object the timers drive and its page widget (both borrowed, may be null).
    void AttachPage(CDeviceBase* device, QWidget* page);
    CDeviceBase* GetDevice() const { return m_device; }
    QWidget* GetPage() const { return m_page; }
    // The page's key panel, repainted by the lighting timer.
    void SetPreviewControl(QWidget* control);
    QWidget* GetPreviewControl() const { return m_preview; }

    // Selects or clears "device_select"; a change raises "selectchanged" from it.
    void SelectEntry(bool on);
    bool IsEntrySelected() const;

    void ShowSynchroOption(bool show);
    void SetSynchro(bool on);
    bool IsSynchro() const;

    // Shows or hides the entry; IsShown answers from the stored flag.
    void SetVisible(bool visible);
    bool IsShown() const { return m_visible; }

    // First step after a connection: timer 1001 in 500 ms.
    void StartTimers();

    // One-shot timers of the entry, on the UI thread; arming a running timer restarts it.
    void ArmTimer(int id, int ms);
    void StopTimer(int id);
    bool TimerArmed(int id) const;

    // The page's own timers 1003 and 1004; empty does nothing.
    std::function<void()> timerHookA;
    std::function<void()> timerHookB;

    // Runs the handler of a timer as if it had fired (the timer's own expiry calls this).
    void OnTimer(int id);

  private:
    QAbstractButton* SelectButton();
    QAbstractButton* SynchroButton();
    QLabel* NameLabel();
    void ApplyImages();
    bool LinkOpen() const;

    CDeviceBase* m_device = nullptr;
    QPointer<QWidget> m_page;
    QPointer<QWidget> m_preview;
    int m_kind = 0;
    int m_role = 0;
    QString m_normalImage;
    QString m_selectedImage;
    QString m_synchroNormalImage;
    QString m_synchroSelectedImage;
    QString m_shownNormal;
    QString m_shownSelected;
    QString m_powerLayoutName;
    int m_powerIndex = -1;
    bool m_visible = true;
    QPointer<QAbstractButton> m_select;
    QPointer<QAbstractButton> m_synchro;
    QPointer<QLabel> m_name;
    std::map<int, QTimer*> m_timers;
};

} // namespace nk7x
