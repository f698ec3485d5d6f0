// A window (or panel) built from a skin layout: it finds controls by name, turns the controls'
// signals into notifications for its Notify, keeps per-control timers, and applies language texts,
// indexed fonts and the scale to its content.
#pragma once

#include "ui/UiNotify.h"

#include <QHash>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QWidget>

#include <map>
#include <utility>

class QTimer;

namespace nk7x {

class FontTable;
class LanguageTexts;
class ResourceList;

class UiWindow : public QWidget, public UiNotifyReceiver {
    Q_OBJECT
  public:
    explicit UiWindow(QWidget* parent = nullptr);
    ~UiWindow() override;

    // Builds the layout named in the resource list (or given as a skin-relative path) as this
    // window's content; false when the file is missing or cannot be parsed (the window stays empty).
    bool LoadLayout(const ResourceList& resources, const QString& layoutName);

    // Builds a layout file into a new control below parent, wired like the window's own content.
    QWidget* BuildLayout(const QString& path, QWidget* parent);

    // Classes the loader does not know; the default asks the process-wide control factory.
    virtual QWidget* CreateControl(const QString& className);

    QWidget* Root() const { return m_root; }
    QWidget* FindControl(const QString& name) const;
    static QWidget* FindSubControlByName(QWidget* parent, const QString& name);
    // Places a control by hand at `at96` (units of scale 96) inside a parent without a layout, as a
    // layout file would: it moves and grows with the window's scale from then on.
    static void PlaceScaled(QWidget* w, const QRect& at96);

    // Receives the notifications of this window's controls. The default does nothing.
    void Notify(const UiNotify& msg) override;

    // Raises a notification from the control of that name, as if the control had raised it.
    bool RaiseByName(const QString& name, const QString& type, qint64 wParam = 0, qint64 lParam = 0);

    // Per-control timers: every `ms` a "timer" notification with wParam = id comes from the
    // control, on the UI thread, until killed. Setting a running timer again restarts it.
    void SetTimer(QWidget* control, int id, int ms);
    void KillTimer(QWidget* control, int id);
    void KillAllTimers(QWidget* control);
    bool HasTimer(QWidget* control, int id) const;

    // Gives every control with a "textKey" / "tooltipKey" property its text in the language.
    void ReloadText(const LanguageTexts& texts);

    // Gives every control with a "fontIndex" property that font, the others the default font.
    void ApplyFonts(const FontTable& fonts);

    // Sizes, margins, icon sizes, fonts and the style sheet follow the scale (dpi; 96 = 1:1).
    void SetScale(int scale);
    int Scale() const { return m_scale; }

    // The style sheet before scaling; SetScale applies it scaled.
    void SetBaseStyleSheet(const QString& qss);

    // Connects one control's signals to notifications (controls added after loading).
    void WireControl(QWidget* control);

    // A part built after the window was set up (a device's page when the device first comes)
    // takes the window's present scale, fonts and, with `texts`, language.
    void Adopt(QWidget* part, const LanguageTexts* texts);

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void WireTree(QWidget* top, const QSet<QWidget*>& custom);
    void ScaleTree(QWidget* top);
    void ScaleWidget(QWidget* w);
    void ApplyFontsIn(QWidget* top);

    QWidget* m_root = nullptr;
    int m_scale = 96;
    QString m_baseQss;
    const FontTable* m_fonts = nullptr;
    std::map<std::pair<QWidget*, int>, QTimer*> m_timers;
    QSet<QWidget*> m_wired;
};

} // namespace nk7x
