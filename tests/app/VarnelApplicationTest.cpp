#include "VarnelApplication.h"

#include "ScriptedDialogs.h"

#include <QGuiApplication>
#include <QIcon>

#include <gtest/gtest.h>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

#include <stdexcept>

namespace {

TEST(VarnelApplication, IdentitySetsTheNameButNoDisplayNameForTitlesToCarry)
{
    VarnelApplication::SetIdentity();
    EXPECT_EQ(QCoreApplication::applicationName(), "Varnel");
    EXPECT_FALSE(QGuiApplication::windowIcon().isNull());
    // A display name of its own would stay put here, and the window system would append it to
    // every window title ("Varnel Preferences — Varnel"); without one it follows the name.
    QCoreApplication::setApplicationName("Probe");
    EXPECT_EQ(QGuiApplication::applicationDisplayName(), "Probe");
    QCoreApplication::setApplicationName("Varnel");
}

TEST(VarnelApplication, ExceptionTextEndsWithAFullStop)
{
    EXPECT_EQ(UserDialogs::ExceptionText("x"), "x.");
    EXPECT_EQ(UserDialogs::ExceptionText("Disk full 7"), "Disk full 7.");
    EXPECT_EQ(UserDialogs::ExceptionText("x."), "x.");
    EXPECT_EQ(UserDialogs::ExceptionText(""), "");
    // Characters that sort before the full stop get none.
    EXPECT_EQ(UserDialogs::ExceptionText("done!"), "done!");
    EXPECT_EQ(UserDialogs::ExceptionText("trailing "), "trailing ");
}

TEST(VarnelApplication, AnEscapingExceptionIsShownAndTheLoopGoesOn)
{
    ScriptedDialogs dialogs;
    const bool result = VarnelApplication::RunGuarded(
        []() -> bool { throw std::runtime_error("Failed to set data for 'x'. Disk full"); });
    EXPECT_FALSE(result);
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].text, "Failed to set data for 'x'. Disk full.");
    EXPECT_EQ(dialogs.messages[0].caption, "Varnel");
    EXPECT_EQ(dialogs.messages[0].icon, UserDialogs::Icon::Error);
    EXPECT_EQ(dialogs.messages[0].buttons, UserDialogs::Buttons::Ok);

    EXPECT_FALSE(VarnelApplication::RunGuarded([]() -> bool { throw 42; }));
    ASSERT_EQ(dialogs.messages.size(), 2u);
    EXPECT_EQ(dialogs.messages[1].text, "");

    EXPECT_TRUE(VarnelApplication::RunGuarded([] { return true; }));
    EXPECT_EQ(dialogs.messages.size(), 2u);
}

} // namespace
