#include "QtUserDialogs.h"

#include <QAbstractFileIconProvider>
#include <QDir>
#include <QFileDialog>
#include <QListView>
#include <QTreeView>
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

// The file dialog asks its icon provider for every file's icon and type as the listing comes in,
// on the window thread too, and the stock provider looks each one up in the MIME database: on a
// folder of 50,000 files the window stops for seconds. One folder and one file icon, and a type
// made from the name's extension, cost nothing.
class PlainIcons final : public QAbstractFileIconProvider {
public:
    PlainIcons()
        : FolderIcon(QAbstractFileIconProvider::icon(Folder))
        , FileIcon(QAbstractFileIconProvider::icon(File))
    {
    }
    QIcon icon(IconType type) const override { return QAbstractFileIconProvider::icon(type); }
    QIcon icon(const QFileInfo& info) const override { return info.isDir() ? FolderIcon : FileIcon; }
    QString type(const QFileInfo& info) const override
    {
        if (info.isDir())
            return QStringLiteral("Folder");
        const QString suffix = info.suffix();
        return suffix.isEmpty() ? QStringLiteral("File") : suffix + QStringLiteral(" File");
    }

private:
    QIcon FolderIcon;
    QIcon FileIcon;
};

// Qt's own dialog (where the desktop offers none of its own) with cheap icons, and lists that
// lay their rows out a batch at a time with one row height: a long listing then lets the window
// answer between batches.
void Prepare(QFileDialog& dialog)
{
    static const PlainIcons icons;
    dialog.setIconProvider(const_cast<PlainIcons*>(&icons));
    if (auto* list = dialog.findChild<QListView*>(QStringLiteral("listView"))) {
        list->setUniformItemSizes(true);
        list->setLayoutMode(QListView::Batched);
    }
    if (auto* tree = dialog.findChild<QTreeView*>(QStringLiteral("treeView")))
        tree->setUniformRowHeights(true);
}

QString RunChooser(QFileDialog& dialog)
{
    Prepare(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return {};
    return dialog.selectedFiles().constFirst();
}

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
    // Opened on the folder above the start folder, with the start folder chosen, as a folder
    // browser shows it: Return takes it, and a folder of tens of thousands of files is listed
    // only when the user goes into it.
    const QDir start(startFolder);
    QDir above(startFolder);
    const bool inside = !startFolder.isEmpty() && start.exists() && above.cdUp() && above != start;
    QFileDialog dialog(parent, caption, inside ? above.path() : startFolder);
    dialog.setFileMode(QFileDialog::Directory);
    dialog.setOption(QFileDialog::ShowDirsOnly, true);
    if (inside)
        dialog.selectFile(start.dirName());
    return RunChooser(dialog);
}

QString QtUserDialogs::ChooseOpenFile(QWidget* parent, const QString& caption, const QString& startFolder,
                                      const QString& filter)
{
    QFileDialog dialog(parent, caption, startFolder, filter);
    dialog.setFileMode(QFileDialog::ExistingFile);
    return RunChooser(dialog);
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
    return RunChooser(dialog);
}
