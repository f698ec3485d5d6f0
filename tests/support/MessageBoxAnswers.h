// Answers every message box the program opens while the object lives, as a user clicking OK would,
// and keeps the texts they showed.
#pragma once

#include "windows/MessageBox.h"

#include <QAbstractButton>
#include <QApplication>
#include <QLabel>
#include <QStringList>
#include <QTimer>

namespace nk7x::test {

class MessageBoxAnswers {
  public:
    MessageBoxAnswers() {
        QObject::connect(&m_poll, &QTimer::timeout, [this] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<CMsgWnd*>(w);
                if (!box || !box->isVisible() || !box->IsRunning())
                    continue;
                if (auto* text = qobject_cast<QLabel*>(box->FindControl(QStringLiteral("MessageText"))))
                    m_shown << text->text();
                if (auto* ok =
                        qobject_cast<QAbstractButton*>(box->FindControl(QStringLiteral("confirm_btn"))))
                    ok->click();
            }
        });
        m_poll.start(10);
    }
    const QStringList& Shown() const { return m_shown; }

  private:
    QTimer m_poll;
    QStringList m_shown;
};

} // namespace nk7x::test
