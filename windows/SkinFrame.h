// CSkinFrame: the skin picker, a drop-down under the main window's skin button. Picture tiles and
// colour tiles change the main window's background through the skin-change notifier; "Default"
// goes back to the shipped background and "Choose a picture…" takes any picture file.
#pragma once

#include "ui/UiWindow.h"

#include <QPointer>
#include <QString>

#include <functional>

namespace nk7x {

class CSkinFrame : public UiWindow {
    Q_OBJECT
  public:
    static QString ClassName() { return QStringLiteral("UISkinFrame"); }

    // `button`: the skin button the picker hangs from (its window is the owner).
    explicit CSkinFrame(QWidget* button);

    // Builds "skin.xml" (the skin's xml/skin.ui) and places the picker under the button; false when
    // the layout or its page container is missing.
    bool Build();
    // Places the picker's right edge at the button's right edge and its top at the button's bottom.
    void PlaceUnderButton();

    // How a custom picture is chosen: the default opens a file dialog; an empty answer is a cancel.
    using PictureChooser = std::function<QString(QWidget* owner)>;
    static void SetPictureChooser(PictureChooser chooser);
    // Where the picture choice is written ("main.ini"); empty: the user data root's.
    static void SetSettingsFile(const QString& file);

    void Notify(const UiNotify& msg) override;

  protected:
    void keyPressEvent(QKeyEvent* event) override;

  private:
    void ApplyTileColours();
    void ChoosePicture();

    QPointer<QWidget> m_button;
};

} // namespace nk7x
