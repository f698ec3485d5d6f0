// The base of the program's secondary windows (message box, settings, about): a frameless window
// built from a skin layout with its look, fonts and language texts, moved by dragging, scaled by
// one of the allowed DPI values, with the caption's minimise / maximise / restore buttons.
#pragma once

#include "ui/UiWindow.h"

#include <QPoint>
#include <QPointer>
#include <QString>

namespace nk7x {

class CSecondaryWnd : public UiWindow {
    Q_OBJECT
  public:
    static constexpr int kDefaultDpi = 96;

    // `owner`: the window it belongs to and is centred on (may be null); not its parent, so the
    // window is a top-level window of its own.
    CSecondaryWnd(QWidget* owner, const QString& objectName);
    ~CSecondaryWnd() override;

    // Builds the resource `resourceName` of the skin's resource list, or the skin-relative
    // `fallbackPath` when the list does not name it; applies the layout's style, the fonts and the
    // language texts. False when the layout is missing or cannot be parsed.
    bool BuildSkinLayout(const QString& resourceName, const QString& fallbackPath);

    static bool IsAllowedDpi(int dpi);
    // Applies the DPI; one that is not allowed becomes 96 after `errorLine` went to the debug
    // output. Returns the DPI applied.
    int ApplyDpi(int dpi, const char* errorLine);
    int Dpi() const { return m_dpi; }

    QWidget* Owner() const { return m_owner; }
    // Centred on the owner's window when it is shown, else on the screen.
    void CentreOnOwner();

    // The words of a language key in the current language (the key itself when there is none).
    static QString Translate(const QString& key);
    // Gives every control with a "textKey" property its words again (after a language switch) and
    // names the controls that show none for assistive technology.
    void ReloadLanguageTexts();
    // Names the controls below `window` that show no words of their own (picture buttons, edit
    // fields) in the current language, for assistive technology.
    static void NameControls(QWidget* window);

    // Sets the words of a label or a button.
    static void SetControlText(QWidget* control, const QString& text);

    // The skin folder the windows are built from.
    static QString SkinFolder();

  protected:
    // "minbtn", "maxbtn", "restorebtn": true when the click was one of them and has been handled.
    bool HandleCaptionClick(const QString& name);
    void changeEvent(QEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

  private:
    QPointer<QWidget> m_owner;
    int m_dpi = kDefaultDpi;
    bool m_dragging = false;
    QPoint m_dragOffset;
};

} // namespace nk7x
