// The main window's background as the skin picker sets it: a plain colour or a picture on the
// "root" control. The chosen picture is kept in "main.ini" and shown again at the next start.
#pragma once

#include "windows/SkinNotifier.h"

#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>

namespace nk7x {

class WindowBackground : public SkinChangedReceiver {
  public:
    // `root`: the control that carries the background; `skinFolder`: where relative pictures are.
    WindowBackground(QWidget* root, QString skinFolder);

    // The picture "main.ini" names, when there is one (else the theme's colour stays).
    void ApplyStored(const QString& settingsFile);

    // A picture that cannot be shown is refused; this is told (on the UI thread) with its path.
    void SetRefusedHandler(std::function<void(const QString& path)> handler) {
        m_refused = std::move(handler);
    }

    void ReceiveSkinChange(const SkinChangedParam& param) override;

    // What is shown now: a colour (ARGB, 0 = none) and a picture path (empty = none).
    quint32 Color() const { return m_color; }
    QString Picture() const { return m_picture; }

  private:
    void Apply();

    QPointer<QWidget> m_root;
    QString m_skinFolder;
    quint32 m_color = 0;
    QString m_picture;
    std::function<void(const QString&)> m_refused;
};

} // namespace nk7x
