#include "VarnelApplication.h"

#include "UserDialogs.h"

#include <exception>

VarnelApplication::VarnelApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
}

bool VarnelApplication::notify(QObject* receiver, QEvent* event)
{
    return RunGuarded([&] { return QApplication::notify(receiver, event); });
}

bool VarnelApplication::RunGuarded(const std::function<bool()>& work)
{
    try {
        return work();
    } catch (...) {
        ShowCurrentException();
    }
    return false;
}

QString VarnelApplication::ExceptionText(const QString& message)
{
    if (!message.isEmpty() && QString::localeAwareCompare(message.right(1), QStringLiteral(".")) > 0)
        return message + QLatin1Char('.');
    return message;
}

void VarnelApplication::ShowException(const QString& message)
{
    UserDialogs::Current().Message(nullptr, QCoreApplication::applicationName(), ExceptionText(message),
                                   UserDialogs::Icon::Error, UserDialogs::Buttons::Ok);
}

void VarnelApplication::ShowCurrentException()
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
        ShowException(message);
    } catch (...) {
        // Nothing sensible is left to do when the box itself fails.
    }
}
