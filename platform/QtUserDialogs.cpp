#include "QtUserDialogs.h"

#include <QFileDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>

namespace {

// Swallows Escape on a Yes/No box: neither answer is the one a stray key should give. The
// title bar's close and Alt+F4 still answer No.
class IgnoreEscape final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::KeyPress && static_cast<QKeyEvent*>(event)->matches(QKeySequence::Cancel))
            return true;
        return QObject::eventFilter(watched, event);
    }
};

} // namespace

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
    const QMessageBox::StandardButtons standard = buttons == Buttons::YesNo ? (QMessageBox::Yes | QMessageBox::No)
                                                  : buttons == Buttons::Ok ? QMessageBox::StandardButtons(QMessageBox::Ok)
                                                                           : QMessageBox::NoButton;
    QMessageBox box(boxIcon, caption, text, standard, parent);
    box.setTextFormat(Qt::PlainText);
    if (buttons == Buttons::YesNo) {
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::No);
        box.installEventFilter(new IgnoreEscape(&box));
    }
    QPushButton* saveAnyway = nullptr;
    if (buttons == Buttons::SaveAnywayCancel) {
        saveAnyway = box.addButton("&Save Anyway", QMessageBox::AcceptRole);
        box.addButton(QMessageBox::Cancel);
        box.setDefaultButton(saveAnyway);
    }
    const int result = box.exec();
    if (saveAnyway)
        return box.clickedButton() == saveAnyway ? Answer::Yes : Answer::No;
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
    QFileDialog dialog(parent, caption, startPath, filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    // A name typed without extension gets the one of the filter's first pattern ("*.csv"); the
    // dialog asks before replacing an existing file, with the extension added.
    static const QRegularExpression pattern(QStringLiteral("\\*\\.(\\w+)"));
    const QRegularExpressionMatch match = pattern.match(filter);
    if (match.hasMatch())
        dialog.setDefaultSuffix(match.captured(1));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}
