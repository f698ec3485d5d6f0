// The program's service on the user's session bus: it announces when this program takes or gives
// up the devices' lighting, takes other programs' lighting requests and answers the service query.
#pragma once

#include <QList>
#include <QObject>
#include <QString>

#include <functional>

namespace nk7x {

class DesktopBus : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "com.NorlaKeys.NK7X.Desktop")
  public:
    static constexpr const char* kService = "com.NorlaKeys.NK7X";
    static constexpr const char* kPath = "/com/NorlaKeys/NK7X";
    static constexpr const char* kInterface = "com.NorlaKeys.NK7X.Desktop";
    // Integers in the service answer: 1024 bytes of 32-bit values.
    static constexpr int kAnswerInts = 256;

    explicit DesktopBus(QObject* parent = nullptr);
    ~DesktopBus() override;

    // Claims the service name and exports the object. Without a session bus, or when the name is
    // taken, the program runs on without the service; that is said once in the debug output.
    bool Register();
    bool IsRegistered() const { return m_registered; }

    // Sends the lighting announcement to every listener on the bus.
    void Announce(int wParam, int lParam);

    // Supplies the block answered to ServiceQuery.
    void SetQueryHandler(std::function<QList<int>()> handler) { m_query = std::move(handler); }

  public slots:
    Q_SCRIPTABLE void LightingRequest(int wParam, int lParam);
    Q_SCRIPTABLE QList<int> ServiceQuery();

  signals:
    Q_SCRIPTABLE void LightingAnnouncement(int wParam, int lParam);
    // A lighting request arrived (on the UI thread).
    void lightingRequested(int wParam, int lParam);

  private:
    bool m_registered = false;
    std::function<QList<int>()> m_query;
};

} // namespace nk7x
