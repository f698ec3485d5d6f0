#include "windows/MessageBox.h"

#include "platform/DebugLog.h"
#include "ui/FontTable.h"
#include "ui/LanguageTexts.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QKeyEvent>
#include <QLabel>

#include <memory>
#include <utility>

namespace nk7x {
namespace {

MsgWndSetup& Setup() {
    static MsgWndSetup setup;
    return setup;
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

CMsgWnd::CMsgWnd(QWidget* owner) : CSecondaryWnd(owner, QStringLiteral("msgwnd")) {
    setAttribute(Qt::WA_DeleteOnClose, false);
    setWindowModality(Qt::ApplicationModal);
}

CMsgWnd::~CMsgWnd() = default;

bool CMsgWnd::Build() {
    if (!BuildSkinLayout(QStringLiteral("XML_MSG"), QStringLiteral("xml/MessageBox.ui")))
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
    setWindowTitle(qobject_cast<QLabel*>(m_title) ? qobject_cast<QLabel*>(m_title)->text() : QString());
    return true;
}

void CMsgWnd::SetTitle(const QString& title) {
    if (title.isEmpty() || !m_title)
        return;
    m_title->setProperty("textKey", QVariant());
    SetControlText(m_title, title);
    setWindowTitle(title);
}

void CMsgWnd::SetText(const QString& text, bool isLanguageKey) {
    if (text.isEmpty() || !m_text)
        return;
    m_text->setProperty("textKey", isLanguageKey ? QVariant(text) : QVariant());
    QString shown = text;
    if (isLanguageKey && Setup().lookup)
        shown = Setup().lookup(text);
    SetControlText(m_text, shown);
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

int CMsgWnd::SetDpi(int dpi) {
    // Only this box: the other windows keep the scale their own policy gave them.
    return ApplyDpi(dpi, "MSG_WND DPI SET ERROR");
}

int CMsgWnd::ShowModal() {
    m_answered = false;
    m_answer = kCancel;
    adjustSize();
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
    else if (m_notice)
        close(); // a notice: nothing waits for the answer
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

CMsgWnd* ShowNotice(QWidget* owner, const QString& title, const QString& text, int dpi) {
    auto* box = new CMsgWnd(owner);
    if (!box->Build()) {
        delete box;
        return nullptr;
    }
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->m_notice = true;
    box->SetTitle(title);
    box->SetText(text, false);
    box->SetDpi(dpi);
    box->SetButtons(0);
    box->adjustSize();
    box->CentreOnOwner();
    box->show();
    box->raise();
    return box;
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
