#include "panels/pages/keyboard/KeyboardSettingsView.h"

#include "platform/DebugLog.h"
#include "ui/LanguageTexts.h"
#include "ui/UiWindow.h"
#include "windows/MessageBox.h"

#include <QAbstractButton>
#include <QAbstractSlider>
#include <QLabel>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QTextEdit>
#include <QTimer>

#include <algorithm>
#include <memory>
#include <vector>

namespace nk7x {

namespace {

const QString kNoticeName = QStringLiteral("keyboard_write_notice");
const QString kNoticeTimerName = QStringLiteral("keyboard_write_notice_timer");

// The text of a language key: the given texts, else the program's language, else the key itself.
// The page's hidden label "text_test" is left holding the last text looked up.
QString Translate(QWidget* page, const LanguageTexts* texts, const QString& key) {
    QString text;
    if (texts) {
        text = texts->Text(key);
    } else {
        const MsgWndSetup& setup = GetMsgWndSetup();
        text = setup.lookup ? setup.lookup(key) : key;
    }
    if (auto* probe =
            qobject_cast<QLabel*>(UiWindow::FindSubControlByName(page, QStringLiteral("text_test"))))
        probe->setText(text);
    return text;
}

// Checks option `selected` of a numbered group (the others unchecked) without notifications; the
// whole group stays quiet, since an exclusive group unchecks its other members itself.
void SelectOption(QWidget* page, const QString& prefix, int count, int selected) {
    std::vector<std::pair<int, QAbstractButton*>> group;
    for (int i = 0; i < count; ++i)
        if (auto* b = qobject_cast<QAbstractButton*>(
                UiWindow::FindSubControlByName(page, prefix + QString::number(i))))
            group.emplace_back(i, b);
    std::vector<std::unique_ptr<QSignalBlocker>> quiet;
    for (auto& [i, b] : group)
        quiet.push_back(std::make_unique<QSignalBlocker>(b));
    for (auto& [i, b] : group)
        if (i == selected)
            b->setChecked(true);
    for (auto& [i, b] : group) {
        if (i == selected || !b->isChecked())
            continue;
        // An exclusive group keeps its only checked member checked; it must not when the selected
        // option is missing from the page.
        const bool exclusive = b->autoExclusive();
        b->setAutoExclusive(false);
        b->setChecked(false);
        b->setAutoExclusive(exclusive);
    }
}

void SetCheck(QWidget* page, const QString& name, bool on) {
    if (auto* b = qobject_cast<QAbstractButton*>(UiWindow::FindSubControlByName(page, name))) {
        const QSignalBlocker quiet(b);
        b->setChecked(on);
    }
}

QWidget* NoticeArea(QWidget* page) {
    if (QWidget* w = UiWindow::FindSubControlByName(page, kNoticeName))
        return w;
    // A page without the notice area still tells the user: a banner along its top edge.
    auto* banner = new QLabel(page);
    banner->setObjectName(kNoticeName);
    banner->setProperty("notice", true);
    banner->setWordWrap(true);
    banner->setStyleSheet(QStringLiteral(
        "QLabel { background: rgba(150,40,40,230); color: white; padding: 6px 12px; border-radius: 4px; }"));
    banner->setGeometry(12, 8, std::max(100, page->width() - 24), 32);
    banner->hide();
    return banner;
}

} // namespace

void ShowKeyboardSettings(QWidget* page, const KeyboardSettingsControls& controls,
                          const LanguageTexts* texts) {
    if (!page)
        return;
    const int polling =
        controls.pollingOption >= 0 && controls.pollingOption <= 3 ? controls.pollingOption : 0;
    SelectOption(page, QStringLiteral("polling_rate_option_"), 4, polling);
    SetCheck(page, QStringLiteral("winlockflag_option"), controls.winLock);
    SetCheck(page, QStringLiteral("wflag_option"), controls.wFlag);
    SetCheck(page, QStringLiteral("6flag_option"), controls.key6Flag);
    if (auto* s = qobject_cast<QAbstractSlider*>(
            UiWindow::FindSubControlByName(page, QStringLiteral("repeat_rate_slider")))) {
        const QSignalBlocker quiet(s);
        s->setValue(std::clamp(controls.repeatRate, s->minimum(), s->maximum()));
    }
    const int delay =
        controls.repeatDelayOption >= 0 && controls.repeatDelayOption <= 3 ? controls.repeatDelayOption : 0;
    SelectOption(page, QStringLiteral("repeat_delay_check_"), 4, delay);
    if (auto* l = qobject_cast<QLabel*>(
            UiWindow::FindSubControlByName(page, QStringLiteral("repeat_delay_time_label1"))))
        l->setText(Translate(page, texts, QStringLiteral("Repeat_Delay_Time")) +
                   QString::number(delay * 250 + 250) + QStringLiteral("ms"));
    QWidget* field = UiWindow::FindSubControlByName(page, QStringLiteral("repeat_input_richedit"));
    const QString tip = field ? Translate(page, texts, QStringLiteral("Repeat_input_text")) : QString();
    if (auto* e = qobject_cast<QLineEdit*>(field)) {
        const QSignalBlocker quiet(e);
        e->clear();
        e->setPlaceholderText(tip);
    } else if (auto* t = qobject_cast<QTextEdit*>(field)) {
        const QSignalBlocker quiet(t);
        t->clear();
        t->setPlaceholderText(tip);
    }
}

QString WriteFailedTextKey(KeyboardWrite what) {
    switch (what) {
    case KeyboardWrite::Settings:
        return QStringLiteral("keyboard_write_failed_settings");
    case KeyboardWrite::KeyAssignments:
        return QStringLiteral("keyboard_write_failed_keys");
    case KeyboardWrite::Macros:
        return QStringLiteral("keyboard_write_failed_macros");
    case KeyboardWrite::CustomColours:
        return QStringLiteral("keyboard_write_failed_colours");
    }
    return QStringLiteral("keyboard_write_failed_settings");
}

void ShowWriteFailedNotice(QWidget* page, KeyboardWrite what, int result, const LanguageTexts* texts) {
    if (!page)
        return;
    DebugLogf("keyboard write failed: kind %d result %d", static_cast<int>(what), result);
    QWidget* area = NoticeArea(page);
    QString text = Translate(page, texts, WriteFailedTextKey(what));
    text = text.contains(QLatin1String("%1")) ? text.arg(result) : text + QStringLiteral(" (%1)").arg(result);
    // The area is a label, or a container whose first label carries the text.
    QLabel* label = qobject_cast<QLabel*>(area);
    if (!label)
        label = area->findChild<QLabel*>();
    if (label)
        label->setText(text);
    area->setToolTip(text);
    area->show();
    area->raise();
    auto* timer = area->findChild<QTimer*>(kNoticeTimerName, Qt::FindDirectChildrenOnly);
    if (!timer) {
        timer = new QTimer(area);
        timer->setObjectName(kNoticeTimerName);
        timer->setSingleShot(true);
        QObject::connect(timer, &QTimer::timeout, area, [area] { area->hide(); });
    }
    timer->start(kWriteNoticeMs);
}

} // namespace nk7x
