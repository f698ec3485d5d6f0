#include "ControlsTestSupport.h"

#include "platform/DebugLog.h"
#include "windows/MessageBox.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>

namespace nk7x {
namespace {

CMsgWnd* OpenBox() {
    for (QWidget* w : QApplication::topLevelWidgets()) {
        if (auto* box = qobject_cast<CMsgWnd*>(w); box && box->isVisible() && box->IsRunning())
            return box;
    }
    return nullptr;
}

// Runs `act` on the box once it is up; gives up (closing any box) after two seconds.
void WhenShown(std::function<void(CMsgWnd*)> act) {
    auto* poll = new QTimer();
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    QObject::connect(poll, &QTimer::timeout, [poll, act, started] {
        if (CMsgWnd* box = OpenBox()) {
            poll->stop();
            poll->deleteLater();
            act(box);
        } else if (started->elapsed() > 2000) {
            poll->stop();
            poll->deleteLater();
        }
    });
    poll->start(5);
}

void Click(CMsgWnd* box, const char* name) {
    auto* b = qobject_cast<QAbstractButton*>(box->FindControl(QString::fromLatin1(name)));
    ASSERT_NE(b, nullptr) << name;
    ASSERT_TRUE(b->isVisible()) << name;
    QTest::mouseClick(b, Qt::LeftButton);
}

QString LabelText(CMsgWnd* box, const char* name) {
    auto* l = qobject_cast<QLabel*>(box->FindControl(QString::fromLatin1(name)));
    return l ? l->text() : QStringLiteral("<none>");
}

class MessageBox : public ::testing::Test {
  protected:
    void SetUp() override {
        MsgWndSetup setup;
        setup.skinFolder = QStringLiteral(NK7X_SOURCE_DIR "/skin");
        setup.lookup = [](const QString& key) {
            static const std::map<QString, QString> texts = {
                {QStringLiteral("message_text_4"), QStringLiteral("Delete the macro?")},
                {QStringLiteral("message_confirm_text"), QStringLiteral("Yes")}};
            const auto it = texts.find(key);
            return it == texts.end() ? key : it->second;
        };
        setup.hasText = [](const QString& key) {
            return key == QLatin1String("message_text_4") || key == QLatin1String("message_confirm_text");
        };
        SetMsgWndSetup(setup);
    }
    void TearDown() override {
        SetMsgWndSetup({});
        SetDebugSink({});
    }
};

TEST_F(MessageBox, OkOnlyConfirmsWithConfirmAndDeclinesWithClose) {
    bool cancelShown = true;
    WhenShown([&](CMsgWnd* box) {
        cancelShown = box->FindControl(QStringLiteral("cancel_btn"))->isVisible();
        Click(box, "confirm_btn");
    });
    EXPECT_EQ(ShowMessage(nullptr, QString(), QStringLiteral("message_text_4"), 96, true, 0), 1);
    EXPECT_FALSE(cancelShown);

    WhenShown([](CMsgWnd* box) { Click(box, "closebtn"); });
    EXPECT_EQ(ShowMessage(nullptr, QString(), QStringLiteral("message_text_4"), 96, true, 0), 0);
}

TEST_F(MessageBox, OkCancelAnswersPerButton) {
    WhenShown([](CMsgWnd* box) { Click(box, "cancel_btn"); });
    EXPECT_EQ(ShowMessage(nullptr, QStringLiteral("Macro"), QStringLiteral("Sure?"), 96, false, 1), 0);
    WhenShown([](CMsgWnd* box) { Click(box, "confirm_btn"); });
    EXPECT_EQ(ShowMessage(nullptr, QStringLiteral("Macro"), QStringLiteral("Sure?"), 96, false, 1), 1);
    // Escape and the desktop's close are no confirmation.
    WhenShown([](CMsgWnd* box) { QTest::keyClick(box, Qt::Key_Escape); });
    EXPECT_EQ(ShowMessage(nullptr, QString(), QStringLiteral("Sure?"), 96, false, 1), 0);
    WhenShown([](CMsgWnd* box) { box->close(); });
    EXPECT_EQ(ShowMessage(nullptr, QString(), QStringLiteral("Sure?"), 96, false, 1), 0);
}

TEST_F(MessageBox, OtherButtonValuesKeepTheLayoutsButtons) {
    bool confirm = false, cancel = false;
    WhenShown([&](CMsgWnd* box) {
        confirm = box->FindControl(QStringLiteral("confirm_btn"))->isVisible();
        cancel = box->FindControl(QStringLiteral("cancel_btn"))->isVisible();
        Click(box, "cancel_btn");
    });
    EXPECT_EQ(ShowMessage(nullptr, QString(), QStringLiteral("x"), 96, false, 7), 0);
    EXPECT_TRUE(confirm);
    EXPECT_TRUE(cancel);
}

TEST_F(MessageBox, TextIsTranslatedOnlyWhenFlaggedAsKey) {
    QString keyed, plain, title, confirmText;
    WhenShown([&](CMsgWnd* box) {
        keyed = LabelText(box, "MessageText");
        title = LabelText(box, "MessageTitle");
        confirmText = qobject_cast<QAbstractButton*>(box->FindControl(QStringLiteral("confirm_btn")))->text();
        Click(box, "confirm_btn");
    });
    ShowMessage(nullptr, QString(), QStringLiteral("message_text_4"), 96, true, 0);
    WhenShown([&](CMsgWnd* box) {
        plain = LabelText(box, "MessageText");
        Click(box, "confirm_btn");
    });
    ShowMessage(nullptr, QStringLiteral("Title words"), QStringLiteral("message_text_4"), 96, false, 0);
    EXPECT_EQ(keyed, QStringLiteral("Delete the macro?"));
    EXPECT_EQ(plain, QStringLiteral("message_text_4"));
    // An empty title keeps the layout's; a key the language lacks keeps the layout's words.
    EXPECT_EQ(title, QStringLiteral("Notice"));
    EXPECT_EQ(confirmText, QStringLiteral("Yes"));
}

TEST_F(MessageBox, TitleAndTextReplaceTheLayoutsWhenGiven) {
    QString title, text;
    WhenShown([&](CMsgWnd* box) {
        title = LabelText(box, "MessageTitle");
        text = LabelText(box, "MessageText");
        Click(box, "confirm_btn");
    });
    ShowMessage(nullptr, QStringLiteral("Profiles"), QStringLiteral("Saved."), 96, false, 0);
    EXPECT_EQ(title, QStringLiteral("Profiles"));
    EXPECT_EQ(text, QStringLiteral("Saved."));
}

TEST_F(MessageBox, UnknownDpiFallsBackTo96AndSaysSo) {
    std::vector<std::string> lines;
    SetDebugSink([&](const std::string& l) { lines.push_back(l); });
    int dpi = 0;
    QSize at96, at144;
    WhenShown([&](CMsgWnd* box) {
        dpi = box->Dpi();
        at96 = box->size();
        Click(box, "confirm_btn");
    });
    EXPECT_EQ(ShowMessage(nullptr, QString(), QStringLiteral("x"), 100, false, 0), 1);
    EXPECT_EQ(dpi, 96);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "MSG_WND DPI SET ERROR"), lines.end());

    lines.clear();
    WhenShown([&](CMsgWnd* box) {
        dpi = box->Dpi();
        at144 = box->size();
        Click(box, "confirm_btn");
    });
    EXPECT_EQ(ShowMessage(nullptr, QString(), QStringLiteral("x"), 144, false, 0), 1);
    EXPECT_EQ(dpi, 144);
    EXPECT_EQ(std::find(lines.begin(), lines.end(), "MSG_WND DPI SET ERROR"), lines.end());
    EXPECT_GE(at144.width(), at96.width() * 3 / 2 - 2);
    EXPECT_TRUE(CMsgWnd::IsAllowedDpi(48));
    EXPECT_TRUE(CMsgWnd::IsAllowedDpi(192));
    EXPECT_FALSE(CMsgWnd::IsAllowedDpi(0));
    EXPECT_FALSE(CMsgWnd::IsAllowedDpi(216));
}

TEST_F(MessageBox, CentredOnItsOwner) {
    QWidget owner;
    owner.setGeometry(200, 150, 800, 572);
    owner.show();
    QPoint centre;
    WhenShown([&](CMsgWnd* box) {
        centre = box->geometry().center();
        Click(box, "confirm_btn");
    });
    ShowMessage(&owner, QString(), QStringLiteral("x"), 96, false, 0);
    EXPECT_LE(std::abs(centre.x() - owner.frameGeometry().center().x()), 2);
    EXPECT_LE(std::abs(centre.y() - owner.frameGeometry().center().y()), 2);
}

TEST_F(MessageBox, MissingLayoutAnswersNoWithoutShowing) {
    QTemporaryDir empty;
    MsgWndSetup setup;
    setup.skinFolder = empty.path();
    SetMsgWndSetup(setup);
    EXPECT_EQ(ShowMessage(nullptr, QString(), QStringLiteral("x"), 96, false, 1), 0);
    EXPECT_EQ(OpenBox(), nullptr);
}

} // namespace
} // namespace nk7x
