#include "windows/UpdateInfoListItem.h"

#include "ui/UiNotify.h"
#include "windows/SecondaryWnd.h"

#include <QCheckBox>
#include <QContextMenuEvent>
#include <QLabel>
#include <QPainter>
#include <QProgressBar>

#include <array>

namespace nk7x {
namespace {

constexpr quint32 kWhite = 0xFFFFFFFF;
constexpr quint32 kGrey = 0xFF666666;
constexpr quint32 kBlue = 0xFF0099FF;
constexpr quint32 kDarkBlue = 0xFF0078C8;

// clang-format off
constexpr std::array<CUpdateInfoListItemUI::StateLook, CUpdateInfoListItemUI::kStateCount> kLooks{{
    {"LessUpdateText",   false, false, false, kWhite, kGrey},
    {"NeedUpdateText",   true,  false, false, kBlue,  kDarkBlue},
    {"NeedUpdateText",   true,  false, false, kBlue,  kDarkBlue},
    {"DownloadWaitText", false, false, false, kBlue,  kDarkBlue},
    {"DownloadIngText",  false, true,  false, kBlue,  kDarkBlue},
    {"DownloadOkText",   false, false, true,  kBlue,  kDarkBlue},
    {"UpdateIngText",    false, true,  false, kBlue,  kDarkBlue},
    {"UpdateOkText",     false, false, false, kWhite, kGrey},
    {"UpdateFailText",   true,  false, false, kBlue,  kDarkBlue},
}};
// clang-format on

QString ColorName(quint32 argb) {
    return QColor::fromRgba(argb).name(QColor::HexArgb);
}

} // namespace

const CUpdateInfoListItemUI::StateLook& CUpdateInfoListItemUI::Look(int state) {
    return kLooks.at(static_cast<size_t>(state));
}

CUpdateInfoListItemUI::CUpdateInfoListItemUI(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("update_list_item"));
    setFixedHeight(kHeight);
    setAttribute(Qt::WA_Hover);
}

bool CUpdateInfoListItemUI::BindParts() {
    auto find = [this](const char* name) { return findChild<QWidget*>(QString::fromLatin1(name)); };
    m_option = qobject_cast<QCheckBox*>(find("check_name_select"));
    m_oldRev = qobject_cast<QLabel*>(find("OldRev"));
    m_newRev = qobject_cast<QLabel*>(find("updateRev"));
    m_status = qobject_cast<QLabel*>(find("update_status_text"));
    m_progressBar = qobject_cast<QProgressBar*>(find("update_status_ing"));
    m_progressText = qobject_cast<QLabel*>(find("update_progress_value"));
    m_doneMark = find("update_status_ok");
    if (m_newRev) {
        // The columns stay in line whether or not a newest version is shown.
        QSizePolicy policy = m_newRev->sizePolicy();
        policy.setRetainSizeWhenHidden(true);
        m_newRev->setSizePolicy(policy);
        m_newRev->setVisible(!m_newRev->text().isEmpty());
    }
    if (m_option)
        connect(m_option, &QCheckBox::toggled, this, [this] { update(); });
    return m_option != nullptr;
}

void CUpdateInfoListItemUI::SetState(int state) {
    if (state == m_state || state < 0 || state >= kStateCount)
        return;
    m_state = state;
    m_statusOverride.clear();
    ApplyLook();
}

void CUpdateInfoListItemUI::ApplyLook() {
    const StateLook& look = Look(m_state);
    SetOptionEnabled(look.optionEnabled);
    if (m_progressBar)
        m_progressBar->setVisible(look.progress);
    if (m_progressText)
        m_progressText->setVisible(look.progress);
    if (m_doneMark)
        m_doneMark->setVisible(look.doneMark);
    m_textColor = QColor::fromRgba(look.textColor);
    // The selected text follows the text colour; a disabled option has its own.
    const QString qss = QStringLiteral("QCheckBox, QLabel { color: %1; } QCheckBox:disabled { color: %2; }")
                            .arg(ColorName(look.textColor), ColorName(look.disabledTextColor));
    for (QWidget* w : {static_cast<QWidget*>(m_option), static_cast<QWidget*>(m_status)}) {
        if (w)
            w->setStyleSheet(qss);
    }
    ReloadStatusText();
}

QString CUpdateInfoListItemUI::StatusKey() const {
    if (!m_statusOverride.isEmpty())
        return m_statusOverride;
    return m_state < 0 ? QString() : QString::fromLatin1(Look(m_state).textKey);
}

void CUpdateInfoListItemUI::SetStatusOverride(const QString& key) {
    m_statusOverride = key;
    ReloadStatusText();
}

void CUpdateInfoListItemUI::ReloadStatusText() {
    if (!m_status || StatusKey().isEmpty())
        return;
    m_status->setProperty("textKey", StatusKey());
    m_status->setText(CSecondaryWnd::Translate(StatusKey()));
}

void CUpdateInfoListItemUI::SetName(const QString& name) {
    if (m_option)
        m_option->setText(name);
}

QString CUpdateInfoListItemUI::Name() const {
    return m_option ? m_option->text() : QString();
}

void CUpdateInfoListItemUI::SetInstalledText(const QString& text) {
    if (m_oldRev)
        m_oldRev->setText(text);
}

QString CUpdateInfoListItemUI::InstalledText() const {
    return m_oldRev ? m_oldRev->text() : QString();
}

void CUpdateInfoListItemUI::SetNewestText(const QString& text) {
    if (!m_newRev)
        return;
    // The server's text, shown as it is: never read as markup (a link, a picture to fetch).
    m_newRev->setTextFormat(Qt::PlainText);
    m_newRev->setText(text);
    m_newRev->setVisible(!text.isEmpty());
}

QString CUpdateInfoListItemUI::NewestText() const {
    return m_newRev ? m_newRev->text() : QString();
}

void CUpdateInfoListItemUI::SetProgress(int percent) {
    if (m_progressBar)
        m_progressBar->setValue(percent);
    if (m_progressText)
        m_progressText->setText(QStringLiteral("%1%2").arg(percent).arg(QLatin1Char('%')));
}

bool CUpdateInfoListItemUI::IsTicked() const {
    return m_option && m_option->isChecked();
}

void CUpdateInfoListItemUI::SetTicked(bool on) {
    if (m_option)
        m_option->setChecked(on);
}

bool CUpdateInfoListItemUI::IsOptionEnabled() const {
    return m_option && m_option->isEnabled();
}

void CUpdateInfoListItemUI::SetOptionEnabled(bool on) {
    if (m_option)
        m_option->setEnabled(on);
}

void CUpdateInfoListItemUI::paintEvent(QPaintEvent* event) {
    QWidget::paintEvent(event);
    if (!m_hovered || IsTicked())
        return;
    QPainter painter(this);
    painter.setPen(QPen(QColor(0x2f, 0x6b, 0xff), 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 4, 4);
}

void CUpdateInfoListItemUI::enterEvent(QEnterEvent* event) {
    m_hovered = true;
    update();
    QWidget::enterEvent(event);
}

void CUpdateInfoListItemUI::leaveEvent(QEvent* event) {
    m_hovered = false;
    update();
    QWidget::leaveEvent(event);
}

void CUpdateInfoListItemUI::mouseDoubleClickEvent(QMouseEvent* event) {
    RaiseNotify(this, QStringLiteral("itemactivate"));
    QWidget::mouseDoubleClickEvent(event);
}

void CUpdateInfoListItemUI::contextMenuEvent(QContextMenuEvent* event) {
    if (m_contextMenus) {
        RaiseNotify(this, QStringLiteral("menu"), event->globalPos().x(), event->globalPos().y());
        event->accept();
        return;
    }
    QWidget::contextMenuEvent(event);
}

} // namespace nk7x
