#pragma once

#include <QApplication>
#include <QString>

#include <functional>

// The application object. An exception that escapes an event handler is shown in an error box
// captioned with the application title, and the event loop goes on.
class VarnelApplication : public QApplication {
    Q_OBJECT
public:
    VarnelApplication(int& argc, char** argv);

    bool notify(QObject* receiver, QEvent* event) override;

    // Runs `work`; an exception escaping it is shown with ShowException and gives false.
    static bool RunGuarded(const std::function<bool()>& work);

    // The text of the exception box for a message: a full stop is added when the message is not
    // empty and its last character sorts after the full stop.
    static QString ExceptionText(const QString& message);
    // Shows the exception box: that text, the application title as caption, error icon, OK.
    static void ShowException(const QString& message);
    // Shows the exception currently being handled; call it inside a catch block only.
    static void ShowCurrentException();
};
