#include "UserDialogs.h"

#include "AppTitle.h"
#include "QtUserDialogs.h"

#include <exception>

namespace {

UserDialogs* gInstalled = nullptr;

QtUserDialogs& RealDialogs()
{
    static QtUserDialogs real;
    return real;
}

QString Title()
{
    return QString::fromLatin1(kAppTitle);
}

} // namespace

UserDialogs::~UserDialogs() = default;

UserDialogs& UserDialogs::Current()
{
    return gInstalled ? *gInstalled : RealDialogs();
}

void UserDialogs::Install(UserDialogs* dialogs)
{
    gInstalled = dialogs;
}

void UserDialogs::ShowError(QWidget* parent, const QString& text)
{
    Current().Message(parent, Title(), text, Icon::Error, Buttons::Ok);
}

void UserDialogs::ShowWarning(QWidget* parent, const QString& text)
{
    Current().Message(parent, Title(), text, Icon::Warning, Buttons::Ok);
}

void UserDialogs::ShowInformation(QWidget* parent, const QString& text)
{
    Current().Message(parent, Title(), text, Icon::Information, Buttons::Ok);
}

bool UserDialogs::AskYesNo(QWidget* parent, const QString& text)
{
    return Current().Message(parent, Title(), text, Icon::Question, Buttons::YesNo) == Answer::Yes;
}

QString UserDialogs::ExceptionText(const QString& message)
{
    if (!message.isEmpty() && QString::localeAwareCompare(message.right(1), QStringLiteral(".")) > 0)
        return message + QLatin1Char('.');
    return message;
}

void UserDialogs::ShowException(QWidget* parent, const QString& message)
{
    ShowError(parent, ExceptionText(message));
}

void UserDialogs::ShowCurrentException(QWidget* parent)
{
    QString message;
    try {
        throw;
    } catch (const std::exception& error) {
        message = QString::fromUtf8(error.what());
    } catch (...) {
        // Not an exception object: shown with an empty message.
    }
    try {
        ShowException(parent, message);
    } catch (...) {
        // Nothing sensible is left to do when the box itself fails.
    }
}
