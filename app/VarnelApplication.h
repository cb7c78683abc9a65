#pragma once

#include <QApplication>

#include <functional>

// The application object. An exception that escapes an event handler is shown in an error box
// (UserDialogs::ShowException), and the event loop goes on.
class VarnelApplication : public QApplication {
    Q_OBJECT
public:
    // Sets the program's identity (SetIdentity) as well.
    VarnelApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Runs `work`; an exception escaping it is shown with UserDialogs::ShowException and gives false.
    static bool RunGuarded(const std::function<bool()>& work);

    // The application's name, icon and desktop entry. No display name is set: the window system
    // would append it to every window title that does not already end with it.
    static void SetIdentity();
};
