// CDeviceOptionUI: a device's entry in the main window's device list. It shows the kind's icon and
// name, selects the device's page when clicked, and owns the one-shot timers that drive the
// device's periodic work on the UI thread (connection, live lighting, status polling).
#pragma once

#include <QAbstractButton>
#include <QLabel>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>
#include <map>

class QTimer;

namespace nk7x {

class CDeviceBase;
class LanguageTexts;

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

    // Texts for the tooltip (borrowed, may be null: the tooltip then waits for the window's
    // next language reload, which reads the "tooltipKey" property).
    void SetLanguageTexts(const LanguageTexts* texts) { m_texts = texts; }

    // The toolkit's activate operation: a "selectchanged" from the entry itself.
    bool Activate();

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
    int GetBoundPageIndex() const; // -1 without "device_select"
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

    // Selects or clears "device_select"; a change raises "selectchanged" from it (wParam 1 when
    // selected, 0 when cleared). Selecting clears the group's other option, which raises its own 0.
    void SelectEntry(bool on);
    bool IsEntrySelected() const;

    void ShowSynchroOption(bool show);
    void SetSynchro(bool on);
    bool IsSynchro() const;

    // Shows or hides the entry; IsShown answers from the stored flag.
    void SetVisible(bool visible);
    bool IsShown() const { return m_visible; }

    // First step after a connection: timer 1001 in 500 ms, less `alreadyWaitedMs` that the
    // connection has waited already.
    void StartTimers(int alreadyWaitedMs = 0);

    // One-shot timers of the entry, on the UI thread; arming a running timer restarts it.
    void ArmTimer(int id, int ms);
    void StopTimer(int id);
    bool TimerArmed(int id) const;

    // What the page runs on its own timers 1003 and 1004 (other ids are ignored); empty does nothing.
    void SetTimerHook(int id, std::function<void()> hook);

    // Runs the handler of a timer as if it had fired (the timer's own expiry calls this).
    void OnTimer(int id);
    // The runs take the stream back from the device's light thread (a connection starts, the page
    // goes).
    void EndThreadStream();

  protected:
    // The page coming into sight restarts a lighting run that rested while it was hidden.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // Child controls, found on first use; null when the layout lacks them.
    QAbstractButton* SelectButton() const;
    QAbstractButton* SynchroButton() const;
    QLabel* NameLabel() const;
    void ApplyImages();
    bool LinkOpen() const;
    void DetachPage();

    CDeviceBase* m_device = nullptr;
    QPointer<QWidget> m_page;
    QMetaObject::Connection m_pageGone;
    bool m_refreshResting = false; // the lighting run waits for the page to be shown
    bool m_threadStream = false;   // the device streams from its own light thread
    const LanguageTexts* m_texts = nullptr;
    QPointer<QWidget> m_preview;
    bool m_previewWatched = false; // the preview was repainted by the last lighting run
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
    mutable QPointer<QAbstractButton> m_select;
    mutable QPointer<QAbstractButton> m_synchro;
    mutable QPointer<QLabel> m_name;
    std::map<int, QTimer*> m_timers;
    std::function<void()> m_hookA;
    std::function<void()> m_hookB;
};

} // namespace nk7x
