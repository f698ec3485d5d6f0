#include "windows/SkinFrame.h"

#include "platform/DebugLog.h"
#include "ui/ResourceList.h"
#include "ui/Theme.h"
#include "windows/SecondaryWnd.h"
#include "windows/SkinNotifier.h"
#include "windows/SkinSettings.h"

#include <QAbstractButton>
#include <QColor>
#include <QFileDialog>
#include <QIcon>
#include <QKeyEvent>
#include <QStackedWidget>

namespace nk7x {
namespace {

CSkinFrame::PictureChooser& Chooser() {
    static CSkinFrame::PictureChooser chooser;
    return chooser;
}

QString& SettingsFile() {
    static QString file;
    return file;
}

QString SettingsFileInUse() {
    return SettingsFile().isEmpty() ? SkinSettingsPath() : SettingsFile();
}

QString DialogPicture(QWidget* owner) {
    return QFileDialog::getOpenFileName(owner, CSecondaryWnd::Translate(QStringLiteral("skin_Custom_text")),
                                        QStringLiteral("*.png"), QStringLiteral("(*.png);;(*.*)"), nullptr,
                                        QFileDialog::ReadOnly);
}

bool Named(const UiNotify& msg, const char* name) {
    return msg.name.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
}

void BroadcastPicture(const QString& path) {
    SkinChangedParam param;
    param.isColor = false;
    param.picture = path;
    SkinChangedObserver::Instance().Broadcast(param);
}

} // namespace

void CSkinFrame::SetPictureChooser(PictureChooser chooser) {
    Chooser() = std::move(chooser);
}

void CSkinFrame::SetSettingsFile(const QString& file) {
    SettingsFile() = file;
}

CSkinFrame::CSkinFrame(QWidget* button) : UiWindow(nullptr), m_button(button) {
    setObjectName(QStringLiteral("skinframe"));
    // A drop-down: it closes as soon as the user clicks anywhere else.
    setWindowFlags(Qt::Popup | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_DeleteOnClose, true);
    setAttribute(Qt::WA_ShowWithoutActivating, true);
}

bool CSkinFrame::Build() {
    const QString skin = CSecondaryWnd::SkinFolder();
    ResourceList resources;
    resources.Load(skin);
    const QString layout = resources.Contains(QStringLiteral("XML_SKIN")) ? QStringLiteral("XML_SKIN")
                                                                          : QStringLiteral("xml/skin.ui");
    if (!LoadLayout(resources, layout) ||
        !qobject_cast<QStackedWidget*>(FindControl(QStringLiteral("skin_tab"))))
        return false;
    if (QWidget* root = Root(); root && !root->styleSheet().isEmpty()) {
        const QString qss = ResolveSkinUrls(root->styleSheet(), skin);
        root->setStyleSheet(QString());
        SetBaseStyleSheet(qss);
    }
    int scale = 96;
    if (auto* owner = m_button ? qobject_cast<UiWindow*>(m_button->window()) : nullptr)
        scale = owner->Scale();
    SetScale(scale);
    // Picture tiles show their picture.
    for (auto* tile : findChildren<QAbstractButton*>(QStringLiteral("skin_image_btn"))) {
        const QString path = SkinPicturePath(tile->property("userData").toString(), skin);
        tile->setIcon(QIcon(path));
    }
    ApplyTileColours();
    // Texts: the same language as every other window.
    for (QWidget* w : findChildren<QWidget*>()) {
        const QString key = w->property("textKey").toString();
        if (!key.isEmpty())
            CSecondaryWnd::SetControlText(w, CSecondaryWnd::Translate(key));
        const QString tip = w->property("tooltipKey").toString();
        if (!tip.isEmpty())
            w->setToolTip(CSecondaryWnd::Translate(tip));
    }
    CSecondaryWnd::NameControls(this);
    adjustSize();
    PlaceUnderButton();
    return true;
}

void CSkinFrame::ApplyTileColours() {
    for (auto* tile : findChildren<QAbstractButton*>(QStringLiteral("skin_color_btn"))) {
        const QColor colour(tile->property("backgroundColor").toString());
        if (!colour.isValid())
            continue;
        tile->setStyleSheet(QStringLiteral("QPushButton { background-color: %1; }").arg(colour.name()));
    }
}

void CSkinFrame::PlaceUnderButton() {
    if (!m_button)
        return;
    const QPoint bottomRight = m_button->mapToGlobal(QPoint(m_button->width(), m_button->height()));
    move(bottomRight.x() - width(), bottomRight.y());
}

void CSkinFrame::Notify(const UiNotify& msg) {
    if (msg.type != QLatin1String("click"))
        return;
    auto* tabs = qobject_cast<QStackedWidget*>(FindControl(QStringLiteral("skin_tab")));
    if (Named(msg, "skin_image_btn") && msg.sender) {
        const QString path = msg.sender->property("userData").toString();
        BroadcastPicture(path);
        if (!WriteSkinPicture(SettingsFileInUse(), true, path))
            DebugLog("main.ini not written");
    } else if (Named(msg, "skin_color_btn") && msg.sender) {
        const QColor colour(msg.sender->property("backgroundColor").toString());
        if (!colour.isValid())
            return;
        SkinChangedParam param;
        param.isColor = true;
        param.color = colour.rgba();
        SkinChangedObserver::Instance().Broadcast(param);
    } else if (Named(msg, "skin_image") && tabs) {
        tabs->setCurrentIndex(0);
    } else if (Named(msg, "skin_color") && tabs) {
        tabs->setCurrentIndex(1);
    } else if (Named(msg, "skin_reset")) {
        BroadcastPicture(QString::fromLatin1(kDefaultBackground));
        if (!WriteSkinPicture(SettingsFileInUse(), false, QString::fromLatin1(kDefaultBackground)))
            DebugLog("main.ini not written");
    } else if (Named(msg, "skin_Custom")) {
        ChoosePicture();
    }
}

void CSkinFrame::ChoosePicture() {
    // The drop-down gives way to the dialog; it is gone once the dialog has answered.
    QWidget* owner = m_button ? m_button->window() : nullptr;
    hide();
    const QString path = Chooser() ? Chooser()(owner) : DialogPicture(owner);
    close();
    if (path.isEmpty())
        return;
    BroadcastPicture(path);
    // Kept, so that the picture is still there at the next start.
    if (!WriteSkinPicture(SettingsFileInUse(), true, path))
        DebugLog("main.ini not written");
}

void CSkinFrame::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    UiWindow::keyPressEvent(event);
}

} // namespace nk7x
