#include "QtUserDialogs.h"

#include <QFileDialog>
#include <QMessageBox>

UserDialogs::Answer QtUserDialogs::Message(QWidget* parent, const QString& caption, const QString& text,
                                           Icon icon, Buttons buttons)
{
    QMessageBox::Icon boxIcon = QMessageBox::NoIcon;
    switch (icon) {
    case Icon::None: boxIcon = QMessageBox::NoIcon; break;
    case Icon::Error: boxIcon = QMessageBox::Critical; break;
    case Icon::Warning: boxIcon = QMessageBox::Warning; break;
    case Icon::Question: boxIcon = QMessageBox::Question; break;
    case Icon::Information: boxIcon = QMessageBox::Information; break;
    }
    const QMessageBox::StandardButtons standard =
        buttons == Buttons::YesNo ? (QMessageBox::Yes | QMessageBox::No) : QMessageBox::StandardButtons(QMessageBox::Ok);
    QMessageBox box(boxIcon, caption, text, standard, parent);
    box.setTextFormat(Qt::PlainText);
    if (buttons == Buttons::YesNo) {
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
    }
    const int result = box.exec();
    if (buttons == Buttons::Ok)
        return Answer::Ok;
    return result == QMessageBox::Yes ? Answer::Yes : Answer::No;
}

QString QtUserDialogs::ChooseFolder(QWidget* parent, const QString& caption, const QString& startFolder)
{
    return QFileDialog::getExistingDirectory(parent, caption, startFolder, QFileDialog::ShowDirsOnly);
}

QString QtUserDialogs::ChooseOpenFile(QWidget* parent, const QString& caption, const QString& startFolder,
                                      const QString& filter)
{
    return QFileDialog::getOpenFileName(parent, caption, startFolder, filter);
}

QString QtUserDialogs::ChooseSaveFile(QWidget* parent, const QString& caption, const QString& startPath,
                                      const QString& filter)
{
    return QFileDialog::getSaveFileName(parent, caption, startPath, filter);
}
