#include "QtUserDialogs.h"

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

// Shows a box through the real dialogs and acts on it once it is up.
UserDialogs::Answer AskAndThen(UserDialogs::Buttons buttons, std::function<void(QMessageBox&)> act)
{
    QTimer::singleShot(0, [act] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        act(*box);
    });
    QtUserDialogs dialogs;
    return dialogs.Message(nullptr, "Varnel", "Do you want to extract remaining files?", UserDialogs::Icon::Error,
                           buttons);
}

TEST(QtUserDialogs, EscapeAnswersNothingInAYesNoBoxWhileClosingStillAnswersNo)
{
    const auto pressEscape = [](QMessageBox& box) {
        // Where the focus is (a button) and on the box itself.
        for (QWidget* target : {box.focusWidget(), static_cast<QWidget*>(&box)}) {
            if (!target)
                continue;
            QTest::keyClick(target, Qt::Key_Escape);
            EXPECT_TRUE(box.isVisible());
        }
    };
    struct Case {
        const char* Name;
        std::function<void(QMessageBox&)> Then;
        UserDialogs::Answer Answer;
    };
    const Case cases[] = {
        {"Yes", [](QMessageBox& box) { box.button(QMessageBox::Yes)->click(); }, UserDialogs::Answer::Yes},
        {"No", [](QMessageBox& box) { box.button(QMessageBox::No)->click(); }, UserDialogs::Answer::No},
        {"close", [](QMessageBox& box) { box.close(); }, UserDialogs::Answer::No},
    };
    for (const Case& c : cases) {
        const UserDialogs::Answer answer = AskAndThen(UserDialogs::Buttons::YesNo, [&](QMessageBox& box) {
            pressEscape(box);
            c.Then(box);
        });
        EXPECT_EQ(answer, c.Answer) << c.Name;
    }
    // A box with OK alone is still closed by Escape.
    EXPECT_EQ(AskAndThen(UserDialogs::Buttons::Ok, [](QMessageBox& box) { QTest::keyClick(&box, Qt::Key_Escape); }),
              UserDialogs::Answer::Ok);
}

} // namespace
