// main() for widget tests: a QApplication on the offscreen platform, titled like the program,
// with settings kept in a private temporary folder so that no test touches the user's own.
#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include "AppTitle.h"
#include "RunTests.h"

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir config;
    if (!config.isValid())
        return 2;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());

    QApplication app(argc, argv);
    QApplication::setApplicationName(QString::fromLatin1(kAppTitle));
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
    ::testing::InitGoogleTest(&argc, argv);
    return RunTestsReportingSkips();
}
