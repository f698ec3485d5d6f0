#include "windows/MessageBox.h"

#include "platform/DebugLog.h"
#include "platform/Folders.h"
#include "ui/FontTable.h"
#include "ui/LanguageTexts.h"
#include "ui/ResourceList.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QDir>
#include <QEventLoop>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QRegularExpression>
#include <QScreen>

#include <memory>
#include <utility>

namespace nk7x {
namespace {

MsgWndSetup& Setup() {
    static MsgWndSetup setup;
    return setup;
}

QString SkinFolder() {
    const QString& folder = Setup().skinFolder;
    if (!folder.isEmpty())
        return folder;
    return QString::fromStdString(JoinPath(ProgramFolder(), "skin"));
}

void SetWidgetText(QWidget* w, const QString& text) {
    if (auto* label = qobject_cast<QLabel*>(w))
        label->setText(text);
    else if (auto* button = qobject_cast<QAbstractButton*>(w))
        button->setText(text);
}

// Image paths in the layout's style are relative to the skin folder.
QString ResolveStyleUrls(QString qss, const QString& skin) {
    static const QRegularExpression url(QStringLiteral("url\\(\\s*['\"]?([^'\"\\)]+)['\"]?\\s*\\)"));
    QString out;
    qsizetype last = 0;
    auto it = url.globalMatch(qss);
    while (it.hasNext()) {
        const auto m = it.next();
        out += qss.mid(last, m.capturedStart() - last);
        QString path = m.captured(1).trimmed();
        if (!QDir::isAbsolutePath(path) && !path.startsWith(QLatin1Char(':')))
            path = QDir(skin).absoluteFilePath(path);
        out += QStringLiteral("url(\"%1\")").arg(path);
        last = m.capturedEnd();
    }
    out += qss.mid(last);
    return out;
}

} // namespace

void SetMsgWndSetup(MsgWndSetup setup) {
    Setup() = std::move(setup);
}

void SetMsgWndLanguage(const LanguageTexts* texts, const FontTable* fonts, const QString& skinFolder) {
    MsgWndSetup setup;
    setup.skinFolder = skinFolder;
    setup.fonts = fonts;
    if (texts) {
        setup.lookup = [texts](const QString& key) { return texts->Text(key); };
        setup.hasText = [texts](const QString& key) { return texts->Has(key); };
    }
    SetMsgWndSetup(std::move(setup));
}

const MsgWndSetup& GetMsgWndSetup() {
    return Setup();
}

CMsgWnd::CMsgWnd(QWidget* owner) : UiWindow(nullptr), m_owner(owner) {
    // Not a child of the owner: the box must outlive nothing but its own call.
    setObjectName(QStringLiteral("msgwnd"));
    setWindowFlags(Qt::Tool | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowModality(Qt::ApplicationModal);
}

CMsgWnd::~CMsgWnd() = default;

bool CMsgWnd::Build() {
    const QString skin = SkinFolder();
    ResourceList resources;
    resources.Load(skin);
    const QString layout = resources.Contains(QStringLiteral("XML_MSG"))
                               ? QStringLiteral("XML_MSG")
                               : QStringLiteral("xml/MessageBox.ui");
    if (!LoadLayout(resources, layout))
        return false;

    m_title = FindControl(QStringLiteral("MessageTitle"));
    m_text = FindControl(QStringLiteral("MessageText"));
    m_confirm = FindControl(QStringLiteral("confirm_btn"));
    m_cancel = FindControl(QStringLiteral("cancel_btn"));
    m_close = FindControl(QStringLiteral("closebtn"));
    if (!m_title || !m_text || !m_confirm || !m_cancel || !m_close) {
        DebugLog("message box layout lacks one of its five controls");
        return false;
    }

    // The layout carries its look; the window applies it scaled.
    if (QWidget* root = Root(); root && !root->styleSheet().isEmpty()) {
        const QString qss = ResolveStyleUrls(root->styleSheet(), skin);
        root->setStyleSheet(QString());
        SetBaseStyleSheet(qss);
    }
    if (Setup().fonts)
        ApplyFonts(*Setup().fonts);
    ApplyLayoutTexts();
    setWindowTitle(qobject_cast<QLabel*>(m_title) ? qobject_cast<QLabel*>(m_title)->text() : QString());
    return true;
}

void CMsgWnd::ApplyLayoutTexts() {
    const MsgWndSetup& setup = Setup();
    if (!setup.lookup)
        return;
    for (QWidget* w : findChildren<QWidget*>()) {
        const QString key = w->property("textKey").toString();
        // A key the language lacks keeps the layout's own words.
        if (key.isEmpty() || (setup.hasText && !setup.hasText(key)))
            continue;
        SetWidgetText(w, setup.lookup(key));
    }
}

void CMsgWnd::SetTitle(const QString& title) {
    if (title.isEmpty() || !m_title)
        return;
    m_title->setProperty("textKey", QVariant());
    SetWidgetText(m_title, title);
    setWindowTitle(title);
}

void CMsgWnd::SetText(const QString& text, bool isLanguageKey) {
    if (text.isEmpty() || !m_text)
        return;
    m_text->setProperty("textKey", isLanguageKey ? QVariant(text) : QVariant());
    QString shown = text;
    if (isLanguageKey && Setup().lookup)
        shown = Setup().lookup(text);
    SetWidgetText(m_text, shown);
}

void CMsgWnd::SetButtons(int buttons) {
    if (!m_confirm || !m_cancel)
        return;
    if (buttons == 0) {
        m_confirm->setVisible(true);
        m_cancel->setVisible(false);
    } else if (buttons == 1) {
        m_confirm->setVisible(true);
        m_cancel->setVisible(true);
    }
}

bool CMsgWnd::IsAllowedDpi(int dpi) {
    switch (dpi) {
    case 48:
    case 72:
    case 96:
    case 120:
    case 144:
    case 168:
    case 192:
        return true;
    default:
        return false;
    }
}

int CMsgWnd::SetDpi(int dpi) {
    if (!IsAllowedDpi(dpi)) {
        DebugLog("MSG_WND DPI SET ERROR");
        dpi = kDefaultDpi;
    }
    m_dpi = dpi;
    // Only this box: the other windows keep the scale their own policy gave them.
    SetScale(dpi);
    return dpi;
}

void CMsgWnd::CentreOnOwner() {
    adjustSize();
    QRect area;
    QWidget* ownerWindow = m_owner ? m_owner->window() : nullptr;
    if (ownerWindow && ownerWindow->isVisible())
        area = ownerWindow->frameGeometry();
    else if (QScreen* screen = ownerWindow ? ownerWindow->screen() : QGuiApplication::primaryScreen())
        area = screen->availableGeometry();
    if (area.isValid())
        move(area.center() - QPoint(width() / 2, height() / 2));
}

int CMsgWnd::ShowModal() {
    m_answered = false;
    m_answer = kCancel;
    CentreOnOwner();
    show();
    raise();
    activateWindow();
    QEventLoop loop;
    m_loop = &loop;
    if (!m_answered)
        loop.exec(QEventLoop::DialogExec);
    m_loop = nullptr;
    hide();
    return m_answer;
}

void CMsgWnd::Close(int answer) {
    if (m_answered)
        return;
    m_answer = answer;
    m_answered = true;
    if (m_loop)
        m_loop->quit();
}

void CMsgWnd::Notify(const UiNotify& msg) {
    if (msg.type != QLatin1String("click"))
        return;
    if (msg.name == QLatin1String("confirm_btn"))
        Close(kConfirm);
    else if (msg.name == QLatin1String("cancel_btn") || msg.name == QLatin1String("closebtn"))
        Close(kCancel);
}

void CMsgWnd::closeEvent(QCloseEvent* event) {
    // Closed by the desktop: nothing was confirmed.
    Close(kCancel);
    event->accept();
}

void CMsgWnd::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        Close(kCancel);
        return;
    }
    UiWindow::keyPressEvent(event);
}

void CMsgWnd::mousePressEvent(QMouseEvent* event) {
    // The box has no frame: it is moved by dragging anywhere outside its buttons.
    if (event->button() == Qt::LeftButton) {
        m_dragging = true;
        m_dragOffset = event->globalPosition().toPoint() - frameGeometry().topLeft();
        event->accept();
        return;
    }
    UiWindow::mousePressEvent(event);
}

void CMsgWnd::mouseMoveEvent(QMouseEvent* event) {
    if (m_dragging && (event->buttons() & Qt::LeftButton)) {
        move(event->globalPosition().toPoint() - m_dragOffset);
        event->accept();
        return;
    }
    UiWindow::mouseMoveEvent(event);
}

void CMsgWnd::mouseReleaseEvent(QMouseEvent* event) {
    m_dragging = false;
    UiWindow::mouseReleaseEvent(event);
}

int ShowMessage(QWidget* owner, const QString& title, const QString& text, int dpi, bool textIsKey,
                int buttons) {
    auto box = std::make_unique<CMsgWnd>(owner);
    if (!box->Build())
        return CMsgWnd::kCancel;
    box->SetTitle(title);
    box->SetText(text, textIsKey);
    box->SetDpi(dpi);
    box->SetButtons(buttons);
    return box->ShowModal();
}

} // namespace nk7x
