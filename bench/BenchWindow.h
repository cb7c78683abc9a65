#pragma once

// The main window's surroundings for a benchmark: the offscreen platform unless another is
// asked for, and settings of its own in a temporary folder, never the user's.

#include <QApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>

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

// The longest stretch between two firings of a timer that asks to fire at once.
class EventGaps {
public:
    EventGaps()
    {
        Timer.setSingleShot(true);
        Timer.setInterval(0);
        QObject::connect(&Timer, &QTimer::timeout, [this] {
            Note();
            Timer.start();
        });
    }
    void Start()
    {
        Longest = {};
        Last = Started = std::chrono::steady_clock::now();
        Timer.start();
    }
    void Stop()
    {
        if (!Timer.isActive())
            return;
        Note();
        Timer.stop();
        Total = std::chrono::steady_clock::now() - Started;
    }
    double LongestMs() const { return std::chrono::duration<double, std::milli>(Longest).count(); }
    double TotalMs() const { return std::chrono::duration<double, std::milli>(Total).count(); }

private:
    void Note()
    {
        const auto now = std::chrono::steady_clock::now();
        Longest = std::max(Longest, now - Last);
        Last = now;
    }
    QTimer Timer;
    std::chrono::steady_clock::time_point Last, Started;
    std::chrono::steady_clock::duration Longest{}, Total{};
};
