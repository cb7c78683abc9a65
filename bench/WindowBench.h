#pragma once

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <memory>

// The application of a benchmark of the main window: the offscreen platform unless another is
// set, and settings of its own in `config`, never the user's: all tracks, no first-run question.
inline std::unique_ptr<QApplication> MakeBenchApplication(const QTemporaryDir& config, char** argv)
{
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    static int qtArgc = 1;
    auto app = std::make_unique<QApplication>(qtArgc, argv);
    QApplication::setApplicationName("Varnel");
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, config.path());
    QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Mardle Works", "Varnel");
    store.setValue("FirstRun", "0");
    store.setValue("TrackLimit", "-1");
    return app;
}
