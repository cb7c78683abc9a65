#pragma once

#include "UserDialogs.h"

#include <QString>
#include <QStringList>

#include <deque>
#include <vector>

// Stands in for the real dialogs while installed: records every message box and file dialog
// and answers from queues the test fills. An unexpected question (empty queue) answers No or
// an empty path, and is counted so that tests can assert nothing unexpected was asked.
class ScriptedDialogs final : public UserDialogs {
public:
    struct Shown {
        QString caption;
        QString text;
        Icon icon;
        Buttons buttons;
        bool busyCursor; // the busy cursor was shown over the box
    };

    ScriptedDialogs() { Install(this); }
    ~ScriptedDialogs() override { Install(nullptr); }

    Answer Message(QWidget* parent, const QString& caption, const QString& text, Icon icon,
                   Buttons buttons) override;
    QString ChooseFolder(QWidget* parent, const QString& caption, const QString& startFolder) override;
    QString ChooseOpenFile(QWidget* parent, const QString& caption, const QString& startFolder,
                           const QString& filter) override;
    QString ChooseSaveFile(QWidget* parent, const QString& caption, const QString& startPath,
                           const QString& filter) override;

    std::vector<Shown> messages;     // every message box, in order
    std::deque<Answer> answers;      // answers for Yes/No boxes
    std::deque<QString> paths;       // answers for file and folder dialogs
    QStringList dialogStarts;        // the start folder or path each file dialog was given
    QStringList dialogCaptions;      // the title of each file dialog
    QStringList dialogFilters;       // the filter of each file-open or file-save dialog
    int unexpected = 0;              // questions asked with no scripted answer
};
