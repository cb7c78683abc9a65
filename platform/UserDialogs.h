#pragma once

#include <QString>

class QWidget;

// Every message box and file dialog of the program goes through this interface, so that tests
// can replace the real, modal dialogs with a scripted stand-in that records what was asked and
// gives the answers the test chose.
class UserDialogs {
public:
    enum class Icon { None, Error, Warning, Question, Information };
    // SaveAnywayCancel: "Save Anyway" answers Yes, Cancel answers No.
    enum class Buttons { Ok, YesNo, SaveAnywayCancel };
    enum class Answer { Ok, Yes, No };

    virtual ~UserDialogs();

    // A modal message box; `caption` is the window title. A box closed without a button
    // answers No for Yes/No and Ok for Ok.
    virtual Answer Message(QWidget* parent, const QString& caption, const QString& text, Icon icon,
                           Buttons buttons) = 0;

    // A folder chooser starting at `startFolder`; an empty result means the user cancelled.
    virtual QString ChooseFolder(QWidget* parent, const QString& caption, const QString& startFolder) = 0;
    // A file-open chooser; `filter` uses Qt's "Name (*.ext);;All files (*)" form. Empty: cancelled.
    virtual QString ChooseOpenFile(QWidget* parent, const QString& caption, const QString& startFolder,
                                   const QString& filter) = 0;
    // A file-save chooser starting at `startPath` (folder, or folder and proposed name). Empty: cancelled.
    virtual QString ChooseSaveFile(QWidget* parent, const QString& caption, const QString& startPath,
                                   const QString& filter) = 0;

    // The dialogs in use; the real Qt ones unless a test installed others.
    static UserDialogs& Current();
    // Installs `dialogs` (not owned) as the current ones; nullptr restores the real Qt dialogs.
    static void Install(UserDialogs* dialogs);

    // The message box kinds the program uses, captioned with the application title.
    static void ShowError(QWidget* parent, const QString& text);
    static void ShowWarning(QWidget* parent, const QString& text);
    static void ShowInformation(QWidget* parent, const QString& text);
    static bool AskYesNo(QWidget* parent, const QString& text);

    // A failure that the platform reported (an exception's message), shown the one way the
    // program shows them: an error box with the message and a full stop added when the message is
    // not empty and its last character sorts after the full stop in the user's locale.
    static void ShowException(QWidget* parent, const QString& message);
    // The same for the exception being handled; call it inside a catch block only. A thrown
    // object that is no std::exception shows with an empty message.
    static void ShowCurrentException(QWidget* parent = nullptr);
    // The text ShowException shows for `message`.
    static QString ExceptionText(const QString& message);
};
