// CAboutWnd: the about window — the program's name, its version line in the current language and
// where its files live.
#pragma once

#include "windows/SecondaryWnd.h"

namespace nk7x {

class CAboutWnd : public CSecondaryWnd {
    Q_OBJECT
  public:
    static QString ClassName() { return QStringLiteral("AboutWnd"); }
    static constexpr int kWidth = 800;
    static constexpr int kHeight = 572;

    explicit CAboutWnd(QWidget* owner);

    // Builds "AboutWnd.xml" (the skin's xml/AboutWnd.ui) and sets the version line; false when the
    // layout or its version label is missing.
    bool Build();
    // The translated "software_rev_text" followed by the program's version ("V0.1.0").
    QString VersionLine() const;

    void Notify(const UiNotify& msg) override;

  public slots:
    void RebuildTexts();

  protected:
    void keyPressEvent(QKeyEvent* event) override;
};

// "V" and the build's version ("V0.1.0"): what the about window and the update list show.
QString ApplicationDisplayVersion();

} // namespace nk7x
