#include "windows/AboutWnd.h"

#include "platform/Folders.h"
#include "update/AppVersion.h"

#include <QKeyEvent>
#include <QLabel>

namespace nk7x {

QString ApplicationDisplayVersion() {
    return QStringLiteral("V") + QString::fromLatin1(ApplicationVersionText());
}

CAboutWnd::CAboutWnd(QWidget* owner) : CSecondaryWnd(owner, QStringLiteral("  ")) {
    setWindowModality(Qt::ApplicationModal);
    setAttribute(Qt::WA_DeleteOnClose, true);
}

bool CAboutWnd::Build() {
    if (!BuildSkinLayout(QStringLiteral("XML_ABOUT"), QStringLiteral("xml/AboutWnd.ui")))
        return false;
    if (!FindControl(QStringLiteral("software_ver_label")))
        return false;
    for (const char* hidden : {"maxbtn", "restorebtn", "text_test"}) {
        if (QWidget* w = FindControl(QString::fromLatin1(hidden)))
            w->hide();
    }
    if (auto* name = qobject_cast<QLabel*>(FindControl(QStringLiteral("about_product_name"))))
        name->setText(QString::fromUtf8(kProductName));
    RebuildTexts();
    resize(kWidth * Dpi() / kDefaultDpi, kHeight * Dpi() / kDefaultDpi);
    return true;
}

QString CAboutWnd::VersionLine() const {
    // The words come through the hidden label, as every translated text of the window does.
    QString words = Translate(QStringLiteral("software_rev_text"));
    if (auto* probe = qobject_cast<QLabel*>(FindControl(QStringLiteral("text_test")))) {
        probe->setProperty("textKey", QStringLiteral("software_rev_text"));
        probe->setText(words);
        words = probe->text();
    }
    return words + ApplicationDisplayVersion();
}

void CAboutWnd::RebuildTexts() {
    ReloadLanguageTexts();
    if (auto* line = qobject_cast<QLabel*>(FindControl(QStringLiteral("software_ver_label"))))
        line->setText(VersionLine());
    if (auto* folder = qobject_cast<QLabel*>(FindControl(QStringLiteral("about_data_folder"))))
        folder->setText(QString::fromStdString(UserDataRoot()));
    update();
}

void CAboutWnd::Notify(const UiNotify& msg) {
    if (msg.type != QLatin1String("click"))
        return;
    if (msg.name == QLatin1String("closebtn") || msg.name == QLatin1String("about_ok_btn"))
        close();
    else
        HandleCaptionClick(msg.name);
}

void CAboutWnd::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        close();
        return;
    }
    CSecondaryWnd::keyPressEvent(event);
}

} // namespace nk7x
