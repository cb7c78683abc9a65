#include "UserDialogs.h"

#include "QtUserDialogs.h"

#include <QCoreApplication>

namespace {

UserDialogs* gInstalled = nullptr;

QtUserDialogs& RealDialogs()
{
    static QtUserDialogs real;
    return real;
}

QString Title()
{
    return QCoreApplication::applicationName();
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
