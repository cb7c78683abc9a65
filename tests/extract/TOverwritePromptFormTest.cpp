#include "TOverwritePromptForm.h"

#include "ElidedLabel.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <vector>

namespace {

// Asks about `path` and acts on the dialog once it is up.
OverwriteAnswer AskAndThen(TOverwritePromptForm& prompt, const QString& path, std::function<void()> act)
{
    QTimer::singleShot(0, &prompt, [&prompt, act] {
        EXPECT_TRUE(prompt.isVisible());
        act();
    });
    return prompt.AskOverwrite(path);
}

} // namespace

TEST(TOverwritePromptForm, EachButtonGivesItsAnswerAndClosingMeansCancel)
{
    TOverwritePromptForm prompt;
    EXPECT_EQ(prompt.windowTitle(), "Varnel");
    EXPECT_EQ(prompt.Label1->text(), "File already exists.  Overwirte?");
    const struct {
        QPushButton* button;
        const char* caption;
        OverwriteAnswer answer;
    } buttons[] = {
        {prompt.BtnYes, "&Yes", AnswerYes},
        {prompt.BtnNo, "&No", AnswerNo},
        {prompt.BtnYesAll, "&Yes to All", AnswerYesToAll},
        {prompt.BtnNoAll, "N&o to All", AnswerNoToAll},
        {prompt.BtnCancel, "&Cancel", AnswerCancel},
    };
    for (const auto& b : buttons) {
        EXPECT_EQ(b.button->text(), b.caption);
        EXPECT_FALSE(b.button->isDefault() || b.button->autoDefault()) << b.caption;
        EXPECT_EQ(AskAndThen(prompt, "/x/a.mp3", [&] { b.button->click(); }), b.answer) << b.caption;
        EXPECT_FALSE(prompt.isVisible());
    }
    // A Yes before does not carry over to a dialog closed without a button.
    EXPECT_EQ(AskAndThen(prompt, "/x/b.mp3", [&] { prompt.BtnYes->click(); }), AnswerYes);
    EXPECT_EQ(AskAndThen(prompt, "/x/b.mp3", [&] { prompt.close(); }), AnswerCancel);
    // Neither Enter nor Escape chooses anything by itself, wherever the focus is.
    const QList<QWidget*> targets{&prompt, prompt.BtnCancel};
    for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Escape}) {
        const auto pressThenNo = [&] {
            for (QWidget* target : targets) {
                QTest::keyClick(target, key);
                EXPECT_TRUE(prompt.isVisible()) << key;
            }
            prompt.BtnNo->click();
        };
        EXPECT_EQ(AskAndThen(prompt, "/x/b.mp3", pressThenNo), AnswerNo);
    }
}

TEST(TOverwritePromptForm, ShowsTheWholePathShortenedInTheMiddle)
{
    TOverwritePromptForm prompt;
    const QString shortPath = QString::fromUtf8("/music/Кино & Co/1 - Группа крови.mp3");
    AskAndThen(prompt, shortPath, [&] { prompt.BtnNo->click(); });
    EXPECT_EQ(prompt.ShownPath(), shortPath);
    EXPECT_EQ(prompt.FileNameLabel->text(), shortPath);
    EXPECT_EQ(prompt.FileNameLabel->textFormat(), Qt::PlainText);

    const QString longPath = "/start/" + QString(300, 'm') + "/the end.mp3";
    AskAndThen(prompt, longPath, [&] { prompt.BtnNo->click(); });
    const QString shown = prompt.FileNameLabel->text();
    EXPECT_TRUE(shown.startsWith("/start/")) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith("the end.mp3")) << shown.toStdString();
    EXPECT_TRUE(shown.contains(QChar(0x2026)));
    EXPECT_LE(prompt.FileNameLabel->fontMetrics().horizontalAdvance(shown), prompt.FileNameLabel->width());
    EXPECT_EQ(prompt.FileNameLabel->toolTip(), longPath);
}

TEST(TOverwritePromptForm, AltYThenEnterAnswersWithTheButtonThatHasTheFocus)
{
    // "&Yes" and "&Yes to All" share Alt+Y: each press moves the focus to one of them, a second
    // press to the other, and Enter answers with the one it is on.
    TOverwritePromptForm prompt;
    for (const int presses : {1, 2, 3}) {
        std::vector<QWidget*> focused;
        const OverwriteAnswer answer = AskAndThen(prompt, "/x/a.mp3", [&] {
            ASSERT_TRUE(QTest::qWaitForWindowActive(&prompt));
            for (int i = 0; i < presses; ++i) {
                QTest::keyClick(&prompt, Qt::Key_Y, Qt::AltModifier);
                focused.push_back(prompt.focusWidget());
            }
            QTest::keyClick(prompt.focusWidget(), Qt::Key_Return);
            if (prompt.isVisible())
                prompt.BtnNo->click();
        });
        for (std::size_t i = 0; i < focused.size(); ++i) {
            EXPECT_TRUE(focused[i] == prompt.BtnYes || focused[i] == prompt.BtnYesAll) << presses;
            if (i > 0) {
                EXPECT_NE(focused[i], focused[i - 1]) << presses;
            }
        }
        EXPECT_EQ(answer, focused.back() == prompt.BtnYes ? AnswerYes : AnswerYesToAll) << presses;
    }
}
