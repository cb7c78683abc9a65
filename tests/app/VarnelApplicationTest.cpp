#include "VarnelApplication.h"

#include "ScriptedDialogs.h"

#include <gtest/gtest.h>

#include <ostream>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

#include <stdexcept>

namespace {

TEST(VarnelApplication, ExceptionTextEndsWithAFullStop)
{
    EXPECT_EQ(VarnelApplication::ExceptionText("x"), "x.");
    EXPECT_EQ(VarnelApplication::ExceptionText("Disk full 7"), "Disk full 7.");
    EXPECT_EQ(VarnelApplication::ExceptionText("x."), "x.");
    EXPECT_EQ(VarnelApplication::ExceptionText(""), "");
    // Characters that sort before the full stop get none.
    EXPECT_EQ(VarnelApplication::ExceptionText("done!"), "done!");
    EXPECT_EQ(VarnelApplication::ExceptionText("trailing "), "trailing ");
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
