#pragma once

#include <QObject>

#include <csignal>

class QSocketNotifier;

// Lets the window end cleanly on SIGTERM (a plain kill, logging out with the window open),
// SIGHUP (the terminal that started it closed) and SIGINT (Ctrl+C there). The handler only
// writes the signal's number to a pipe that the event loop watches; SignalCaught is then emitted
// between two events, where the window's own code may run. A second signal ends the program at
// once, as it would without the catcher. A signal ignored when the program
// started (nohup) stays ignored. One object per program; it restores the former handlers when
// it goes.
class SignalCatcher : public QObject {
    Q_OBJECT
public:
    explicit SignalCatcher(QObject* parent = nullptr);
    ~SignalCatcher() override;
    SignalCatcher(const SignalCatcher&) = delete;
    SignalCatcher& operator=(const SignalCatcher&) = delete;

    // The first signal caught; 0 while none was.
    int Caught() const { return Signal; }
    // True from the moment a signal arrives, before SignalCaught is emitted: long work that
    // lets events run only now and then asks this to let them run at once.
    static bool Arrived();
    // Ends the program by the caught signal, as the signal would have ended it without the
    // catcher; returns only when none was caught.
    void EndIfCaught();

signals:
    void SignalCaught(int signal);

private:
    void ReadPipe();

    QSocketNotifier* Notifier = nullptr;
    int Signal = 0;
    struct sigaction Former[3] {};
    bool Installed[3] = {};
};
