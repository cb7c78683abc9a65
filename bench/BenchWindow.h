#pragma once

// The main window's surroundings for a benchmark: the offscreen platform unless another is
// asked for, and settings of its own in a temporary folder, never the user's.

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <initializer_list>
#include <memory>
#include <utility>

class BenchApplication {
public:
    // `settings`: values stored before the window reads them, on top of "no first-run question"
    // and "all tracks".
    BenchApplication(char** argv, std::initializer_list<std::pair<const char*, const char*>> settings = {})
    {
        qputenv("XDG_CONFIG_HOME", Config.path().toLocal8Bit());
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        App = std::make_unique<QApplication>(Argc, argv);
        QApplication::setApplicationName("Varnel");
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Config.path());
        QSettings store(QSettings::NativeFormat, QSettings::UserScope, "Mardle Works", "Varnel");
        store.setValue("FirstRun", "0");
        store.setValue("TrackLimit", "-1");
        for (const auto& [name, value] : settings)
            store.setValue(name, value);
    }
    bool Valid() const { return Config.isValid(); }
    QString Folder() const { return Config.path(); }

private:
    QTemporaryDir Config;
    int Argc = 1;
    std::unique_ptr<QApplication> App;
};
