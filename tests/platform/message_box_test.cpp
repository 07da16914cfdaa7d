// The production message boxes under offscreen: buttons, icon, plain text and result codes.

#include "platform/dialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include <gtest/gtest.h>

using namespace kelvo;

namespace {

struct SeenBox {
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    Qt::TextFormat format = Qt::AutoText;
    QString text;
    QString title;
};

// Presses `press` on the next modal box once it shows, and notes what it showed.
void answerNextBox(QMessageBox::StandardButton press, SeenBox &seen)
{
    QTimer::singleShot(0, qApp, [press, &seen] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box) {
            answerNextBox(press, seen);
            return;
        }
        seen = {box->icon(), box->standardButtons(), box->textFormat(), box->text(), box->windowTitle()};
        box->button(press)->click();
    });
}

TEST(MessageBox, PlainFormShowsOkWithoutIconAsPlainText)
{
    SeenBox seen;
    answerNextBox(QMessageBox::Ok, seen);
    platform::dialogs().msgBox(QStringLiteral("<b>Port</b> busy"));
    EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
    EXPECT_EQ(seen.buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    EXPECT_EQ(seen.format, Qt::PlainText);
    EXPECT_EQ(seen.text, QStringLiteral("<b>Port</b> busy"));
}

TEST(MessageBox, CodedFormButtonsAndResults)
{
    using platform::MsgBoxAnswer;
    using platform::MsgBoxCode;
    struct Case {
        MsgBoxCode code;
        QMessageBox::StandardButton press;
        QMessageBox::StandardButtons buttons;
        MsgBoxAnswer result;
    };
    const Case cases[] = {
        {MsgBoxCode::CautionOk, QMessageBox::Ok, QMessageBox::Ok, MsgBoxAnswer::Ok},
        {MsgBoxCode::CautionRetryCancel, QMessageBox::Retry, QMessageBox::Retry | QMessageBox::Cancel, MsgBoxAnswer::Retry},
        {MsgBoxCode::CautionRetryCancel, QMessageBox::Cancel, QMessageBox::Retry | QMessageBox::Cancel, MsgBoxAnswer::Cancel},
    };
    for (const Case &c : cases) {
        SeenBox seen;
        answerNextBox(c.press, seen);
        const MsgBoxAnswer result =
            platform::dialogs().msgBox(QStringLiteral("No answer & <i>retry</i>?"), c.code, QString());
        EXPECT_EQ(result, c.result) << static_cast<int>(c.code);
        EXPECT_EQ(seen.icon, QMessageBox::Warning);
        EXPECT_EQ(seen.buttons, c.buttons);
        EXPECT_EQ(seen.format, Qt::PlainText);
        EXPECT_EQ(seen.text, QStringLiteral("No answer & <i>retry</i>?"));
    }
}

} // namespace
