#include "app/WindowBackground.h"

#include "platform/DebugLog.h"
#include "windows/SkinSettings.h"

#include <QColor>
#include <QImageReader>

#include <utility>

namespace nk7x {

WindowBackground::WindowBackground(QWidget* root, QString skinFolder)
    : m_root(root), m_skinFolder(std::move(skinFolder)) {}

void WindowBackground::ApplyStored(const QString& settingsFile) {
    const QString picture = ReadChosenSkinPicture(settingsFile, m_skinFolder);
    if (picture.isEmpty())
        return;
    SkinChangedParam param;
    param.picture = picture;
    ReceiveSkinChange(param);
}

void WindowBackground::ReceiveSkinChange(const SkinChangedParam& param) {
    if (param.isColor) {
        m_color = param.color;
        m_picture.clear();
        Apply();
        return;
    }
    if (!param.picture.isEmpty()) {
        const QString file = SkinPicturePath(param.picture, m_skinFolder);
        // The path goes into a style sheet: anything that could end its quoted string is refused,
        // as is a file that is not a picture this program can draw.
        const bool quotable = !file.contains(QLatin1Char('"')) && !file.contains(QLatin1Char('\\')) &&
                              !file.contains(QLatin1Char('\n')) && !file.contains(QLatin1Char('\r'));
        if (!quotable || !QImageReader(file).canRead()) {
            DebugLogf("background picture refused: %s", file.toUtf8().constData());
            if (m_refused)
                m_refused(param.picture);
            return;
        }
    }
    m_color = 0;
    m_picture = param.picture;
    Apply();
}

void WindowBackground::Apply() {
    if (!m_root)
        return;
    QString qss;
    if (m_color != 0) {
        qss = QStringLiteral("QWidget#root { background-color: %1; }")
                  .arg(QColor::fromRgba(m_color).name(QColor::HexArgb));
    } else if (!m_picture.isEmpty()) {
        qss = QStringLiteral("QWidget#root { border-image: url(\"%1\") 0 0 0 0 stretch stretch; }")
                  .arg(SkinPicturePath(m_picture, m_skinFolder));
    }
    m_root->setStyleSheet(qss);
}

} // namespace nk7x
