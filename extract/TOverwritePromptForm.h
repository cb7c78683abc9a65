#pragma once

#include "OverwriteAnswer.h"

#include <QDialog>
#include <QString>

#include <cstdint>

class ElidedLabel;
class QKeyEvent;
class QLabel;
class QPushButton;

// The question asked during extraction when a destination file already exists. The main window
// creates it once and reuses it for every question.
class TOverwritePromptForm : public QDialog {
    Q_OBJECT
public:
    explicit TOverwritePromptForm(QWidget* owner = nullptr);

    // Shows `path` and waits for an answer. Closing the dialog without a button (its close
    // button, the window menu, Alt+F4) answers AnswerCancel. Escape does nothing: no button is
    // the one it presses, and one stray key must not end a whole run.
    OverwriteAnswer AskOverwrite(const QString& path);

    const QString& ShownPath() const { return Path; }
    OverwriteAnswer Answer() const { return Chosen; }

    QLabel* QuestionIcon = nullptr;
    // The whole path, shortened in the middle when it does not fit; an ampersand shows as itself.
    ElidedLabel* FileNameLabel = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* BtnYes = nullptr;
    QPushButton* BtnNo = nullptr;
    QPushButton* BtnYesAll = nullptr;
    QPushButton* BtnNoAll = nullptr;
    QPushButton* BtnCancel = nullptr;

public slots:
    void BtnYesClick();
    void BtnNoClick();
    void BtnYesAllClick();
    void BtnNoAllClick();
    void BtnCancelClick();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QPushButton* MakeButton(const char* name, const QString& caption, void (TOverwritePromptForm::*handler)());
    void Finish(OverwriteAnswer answer);

    QString Path;
    OverwriteAnswer Chosen = AnswerCancel;
    bool FocusChosen = false; // the user moved the focus to a button during this question
};
