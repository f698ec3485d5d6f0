// CAppBindingsWnd: "Use for applications…" of the profile menu — the applications a profile is
// bound to, the applications with a window now to pick one from, a field to type one, whether the
// profile is the one returned to when no bound application is in front, and the tracking line.
#pragma once

#include "windows/SecondaryWnd.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QStringList>

#include <functional>

namespace nk7x {

struct AppBindingsWndContext {
    QString profileName;
    std::function<QStringList()> boundApps;   // the applications bound to this profile
    std::function<QStringList()> runningApps; // app ids with a window now
    // Each change is written at once; false: it was not (the window then shows what is true).
    std::function<bool(const QString& app)> bind;
    std::function<bool(const QString& app)> unbind;
    std::function<bool()> isDefault;
    std::function<bool(bool on)> setDefault;
    std::function<QString()> trackingState;
};

class CAppBindingsWnd : public CSecondaryWnd {
    Q_OBJECT
  public:
    static QString ClassName() { return QStringLiteral("AppBindingsWnd"); }
    static constexpr int kWidth = 460;
    static constexpr int kHeight = 540;

    CAppBindingsWnd(QWidget* owner, AppBindingsWndContext context);

    // Builds the skin's xml/AppBindingsWnd.ui; false when a control it needs is missing.
    bool Build();
    // The lists, the check and the tracking line again from the context.
    void Refresh();

    void Notify(const UiNotify& msg) override;

  public slots:
    void RebuildTexts();

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void AddTyped();
    void RemoveSelected();

    AppBindingsWndContext m_ctx;
    QPointer<QListWidget> m_bound;
    QPointer<QListWidget> m_running;
    QPointer<QLineEdit> m_edit;
    QPointer<QCheckBox> m_default;
    QPointer<QLabel> m_profile;
    QPointer<QLabel> m_tracking;
    QPointer<QWidget> m_remove;
};

} // namespace nk7x
