#include "TAboutForm.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QStringList>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

#include <memory>

TEST(TAboutForm, AboutTextIsComposedFromTheTitle)
{
    TAboutForm about;
    const QString expected = QString::fromUtf8("Varnel - Version 0.2\n\n       \n\n"
                                               "iPod\u2122 is a registered trademark of Apple Inc.");
    EXPECT_EQ(about.LblAbout->text(), expected);
    EXPECT_EQ(about.LblAbout->text().split('\n').first(), "Varnel - Version 0.2");
    EXPECT_EQ(about.windowTitle(), "About Varnel");
    EXPECT_EQ(about.PageControl1->tabText(0), "About Varnel");
    EXPECT_EQ(about.PageControl1->tabText(1), "Revision History");
    EXPECT_EQ(about.BtnOK->text(), "&OK");
}

TEST(TAboutForm, RevisionHistoryHasItsTwentyFiveLines)
{
    TAboutForm about;
    const QStringList lines = about.TxtRevision->toPlainText().split('\n');
    ASSERT_EQ(lines.size(), 25);
    EXPECT_EQ(lines[0], "Varnel");
    EXPECT_EQ(lines[1], QString(9, '='));
    EXPECT_EQ(lines[2], "");
    EXPECT_EQ(lines[4], QString(18, '-'));
    EXPECT_EQ(lines[8], "* Fixed minor display problems in the status bar and the ");
    EXPECT_EQ(lines[9], "\"overwrite file\" dialog.");
    EXPECT_EQ(lines[12], QString(19, '-'));
    EXPECT_EQ(lines[13], "* Major rework to correctly handle unicode and accented ");
    EXPECT_EQ(lines[17], "* Added progress bar, displayed while copying files or loading ");
    EXPECT_EQ(lines[19], "* Added accending and descending sort of track list.");
    EXPECT_EQ(lines[21], "");
    EXPECT_EQ(lines[23], QString(19, '-'));
    EXPECT_EQ(lines[24], "* Initial revision.");
}

TEST(TAboutForm, RevisionHistoryIsReadOnlyAndScrolls)
{
    TAboutForm about;
    EXPECT_TRUE(about.TxtRevision->isReadOnly());
    EXPECT_EQ(about.TxtRevision->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    EXPECT_EQ(about.TxtRevision->focusPolicy(), Qt::NoFocus);
    EXPECT_EQ(about.TxtRevision->lineWrapMode(), QPlainTextEdit::WidgetWidth);

    about.show();
    about.PageControl1->setCurrentIndex(1);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&about));
    QTest::keyClicks(about.TxtRevision, "typed");
    EXPECT_EQ(about.TxtRevision->toPlainText(), TAboutForm::RevisionHistory());
    EXPECT_TRUE(about.TxtRevision->verticalScrollBar()->isVisible());
}

TEST(TAboutForm, FormCreateComposesTheTextAndSelectsTheFirstTab)
{
    TAboutForm about;
    about.PageControl1->setCurrentIndex(1);
    about.LblAbout->clear();
    about.FormCreate();
    EXPECT_EQ(about.PageControl1->currentIndex(), 0);
    EXPECT_TRUE(about.LblAbout->text().startsWith("Varnel - Version 0.2\n"));
}

TEST(TAboutForm, EscapeAndEnterCloseTheDialog)
{
    for (const Qt::Key key : {Qt::Key_Escape, Qt::Key_Return}) {
        auto about = std::make_unique<TAboutForm>();
        bool closedByKey = false;
        QTimer::singleShot(0, about.get(), [&] {
            QTest::keyClick(about.get(), key);
            closedByKey = !about->isVisible();
            if (!closedByKey)
                about->done(42);
        });
        about->exec();
        EXPECT_TRUE(closedByKey) << "key " << key;
    }
}

TEST(TAboutForm, OkIsTheDefaultButton)
{
    TAboutForm about;
    EXPECT_TRUE(about.BtnOK->isDefault());
    about.show();
    QTest::mouseClick(about.BtnOK, Qt::LeftButton);
    EXPECT_FALSE(about.isVisible());
    EXPECT_EQ(about.result(), QDialog::Accepted);
}

TEST(TAboutForm, TabsTurnWithTheKeysOfEveryTabWidget)
{
    TAboutForm about;
    about.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&about));
    ASSERT_TRUE(about.BtnOK->hasFocus());
    const struct {
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        int tab;
    } presses[] = {
        {Qt::Key_Tab, Qt::ControlModifier, 1},
        {Qt::Key_Tab, Qt::ControlModifier, 0}, // round again
        {Qt::Key_PageDown, Qt::ControlModifier, 1},
        {Qt::Key_PageUp, Qt::ControlModifier, 0},
        {Qt::Key_PageUp, Qt::ControlModifier, 1},
        {Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier, 0},
    };
    for (const auto& press : presses) {
        QTest::keyClick(about.BtnOK, press.key, press.modifiers);
        EXPECT_EQ(about.PageControl1->currentIndex(), press.tab) << press.key;
    }
    EXPECT_TRUE(about.isVisible());
}
