#pragma once

#include "UserDialogs.h"

// The real dialogs: QMessageBox and QFileDialog, modal over their parent.
class QtUserDialogs final : public UserDialogs {
public:
    Answer Message(QWidget* parent, const QString& caption, const QString& text, Icon icon,
                   Buttons buttons) override;
    QString ChooseFolder(QWidget* parent, const QString& caption, const QString& startFolder) override;
    QString ChooseOpenFile(QWidget* parent, const QString& caption, const QString& startFolder,
                           const QString& filter) override;
    QString ChooseSaveFile(QWidget* parent, const QString& caption, const QString& startPath,
                           const QString& filter) override;
};
