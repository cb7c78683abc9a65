#include "VarnelApplication.h"

#include "AppTitle.h"
#include "ProgramIcon.h"
#include "UserDialogs.h"

VarnelApplication::VarnelApplication(int& argc, char** argv)
    : QApplication(argc, argv)
{
    SetIdentity();
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
        UserDialogs::ShowCurrentException();
    }
    return false;
}

void VarnelApplication::SetIdentity()
{
    QApplication::setApplicationName(QString::fromLatin1(kAppTitle));
    QGuiApplication::setDesktopFileName(QStringLiteral("varnel"));
    QApplication::setWindowIcon(ProgramIcon());
}
