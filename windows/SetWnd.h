// CSetWnd: the settings window. Its main page holds the language choice, the update server's
// address and the start-with-the-desktop option, and the update list: each time the window opens
// (or the address changes) a worker asks the update server about every connected device's firmware
// and the program, and the list shows what is installed, what is newest and what can be updated.
#pragma once

#include "platform/WorkerSlots.h"
#include "update/UpdateCheck.h"
#include "windows/SecondaryWnd.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QStackedWidget>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace nk7x {

class CUpdateInfoListItemUI;

// What the window takes from the main window.
struct SetWndContext {
    std::vector<UpdateProduct> products; // the rows to check, installed version not 0
    std::string serverAddress;           // empty: no server is configured, nothing is contacted
    std::string lastCheckPath;           // the last-check file
    std::string today;                   // the date written when the file holds none
    QStringList languageKeys;            // each language's name as a language key, in list order
    int languageIndex = 0;
    HttpSettings http; // time-outs of the requests (tests shorten them)
    // The user chose another language (the main window switches the whole interface).
    std::function<void(int index)> chooseLanguage;
    // Shown each time the window reports that everything is up to date.
    std::function<void()> upToDate;
    // Stores a new server address; false when it could not be stored.
    std::function<bool(const std::string& address)> storeServer;
    // Opens a download location with the desktop's handler; false when nothing could open it.
    std::function<bool(const QString& location)> openLocation;
    // Start with the desktop; both empty: the option is not offered.
    std::function<bool()> autostartEnabled;
    std::function<bool(bool on)> setAutostart;
    // The lighting server for other lighting programs: whether it serves, switching it (false: it
    // did not start or stop; the state line says why) and the line under the switch (where it
    // listens and how many programs are connected, or why it cannot listen). Empty: not offered.
    std::function<bool()> sdkServerEnabled;
    std::function<bool(bool on)> setSdkServer;
    std::function<QString()> sdkServerState;
    // Which window-tracking method profiles follow applications with, or why none (empty: no line).
    std::function<QString()> trackingState;
};

class CSetWnd : public CSecondaryWnd {
    Q_OBJECT
  public:
    static QString ClassName() { return QStringLiteral("SetWnd"); }
    static constexpr int kWidth = 630;
    static constexpr int kHeight = 560;

    // Window states: the first five are the update check's display.
    enum WindowState : int {
        kChecking = 0,
        kAvailable = 1,
        kNoInformation = 2,
        kUpdating = 3,
        kUpToDate = 4,
        kNotConfigured = 5, // no server address: nothing was asked
    };

    CSetWnd(QWidget* owner, SetWndContext context);
    ~CSetWnd() override;

    // Builds "setwnd.xml" (the skin's xml/setwnd.ui); false when the layout is missing a control the
    // window cannot do without.
    bool Build();
    // Reads the last-check date, fills the language list and starts the check.
    void Start();

    int SetDpi(int dpi);
    int WindowStateValue() const { return m_windowState; }
    int LanguageIndex() const { return m_languageIndex; }
    QString LastCheckText() const { return m_lastCheck; }
    int EntryCount() const { return static_cast<int>(m_entries.size()); }
    CUpdateInfoListItemUI* Entry(int index) const;
    // Whether a check is running on the worker.
    bool Checking() const;
    // The locations handed to the desktop by the last "update_OK_btn".
    const QStringList& OpenedLocations() const { return m_opened; }

    void Notify(const UiNotify& msg) override;

  public slots:
    // The interface switched language: texts again, the up-to-date line in the new words.
    void RebuildTexts();
    // The lighting server started, stopped or its clients changed.
    void SdkServerChanged() { ShowSdkServer(); }

  protected:
    void closeEvent(QCloseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void FillLanguages();
    void StartCheck();
    void StopWorkers();
    void AddPlaceholders();
    void OnRecord(quint64 generation, std::size_t index, const UpdateRecord& record);
    void OnCheckEnded(quint64 generation, UpdateCheckState state);
    void SetWindowState(int state);
    void UpdateButtonFromTicks();
    void OnUpdateOk();
    void OnServerEdited();
    // The lighting server's switch and line show what is true now.
    void ShowSdkServer();
    bool CloseRefused() const;
    CUpdateInfoListItemUI* NewEntry();
    CUpdateInfoListItemUI* EntryOf(QWidget* control) const;

    SetWndContext m_ctx;
    int m_languageIndex = 0;
    int m_windowState = -1;
    QString m_lastCheck;
    WorkerSlots m_workers;
    std::unique_ptr<CUpdateCheck> m_check;
    quint64 m_generation = 0;
    std::vector<QPointer<CUpdateInfoListItemUI>> m_entries;
    QStringList m_opened;

    QPointer<QComboBox> m_languageCombo;
    QPointer<QWidget> m_list;
    QPointer<QStackedWidget> m_tabs;
    QPointer<QWidget> m_updateButton;
    QPointer<QWidget> m_ring;
    QPointer<QWidget> m_stateImage;
    QPointer<QLabel> m_stateText;
    QPointer<QLineEdit> m_serverEdit;
    QPointer<QLabel> m_serverError;
    QPointer<QCheckBox> m_autostart;
    QPointer<QCheckBox> m_sdkServer;
    QPointer<QLabel> m_sdkServerState;
    QPointer<QLabel> m_trackingState;
    QPointer<QLabel> m_selection;
};

} // namespace nk7x
