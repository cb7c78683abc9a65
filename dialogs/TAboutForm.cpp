#include "TAboutForm.h"

#include "AppTitle.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QPalette>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QShortcut>
#include <QStringList>
#include <QTabBar>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

const char* const kVersion = "0.2";

} // namespace

TAboutForm::TAboutForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint)
{
    setObjectName("AboutForm");
    const QString title = QString::fromLatin1(kAppTitle);
    setWindowTitle("About " + title);
    setModal(true);

    PageControl1 = new QTabWidget(this);
    PageControl1->setObjectName("PageControl1");
    PageControl1->setFocusPolicy(Qt::NoFocus);
    PageControl1->tabBar()->setFocusPolicy(Qt::NoFocus);
    PageControl1->setMinimumSize(353, 241);

    TabSheet1 = new QWidget;
    TabSheet1->setObjectName("TabSheet1");
    Image1 = new QLabel(TabSheet1);
    Image1->setObjectName("Image1");
    Image1->setFixedSize(32, 32);
    Image1->setPixmap(QApplication::windowIcon().pixmap(32, 32));
    LblAbout = new QLabel(TabSheet1);
    LblAbout->setObjectName("LblAbout");
    LblAbout->setTextFormat(Qt::PlainText);
    LblAbout->setWordWrap(true);
    LblAbout->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    LblAbout->setFixedWidth(257);
    LblAbout->setMinimumHeight(169);
    auto* aboutLayout = new QHBoxLayout(TabSheet1);
    aboutLayout->setContentsMargins(16, 24, 16, 8);
    aboutLayout->setSpacing(24);
    aboutLayout->addWidget(Image1, 0, Qt::AlignTop);
    aboutLayout->addWidget(LblAbout, 0, Qt::AlignTop);
    aboutLayout->addStretch(1);
    PageControl1->addTab(TabSheet1, "About " + title);

    TabSheet2 = new QWidget;
    TabSheet2->setObjectName("TabSheet2");
    TxtRevision = new QPlainTextEdit(TabSheet2);
    TxtRevision->setObjectName("TxtRevision");
    TxtRevision->setReadOnly(true);
    TxtRevision->setFocusPolicy(Qt::NoFocus);
    TxtRevision->setLineWrapMode(QPlainTextEdit::WidgetWidth);
    TxtRevision->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    TxtRevision->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    QPalette face = TxtRevision->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        face.setColor(group, QPalette::Base, face.color(group, QPalette::Window));
    TxtRevision->setPalette(face);
    TxtRevision->setPlainText(RevisionHistory());
    auto* revisionLayout = new QVBoxLayout(TabSheet2);
    revisionLayout->setContentsMargins(8, 8, 8, 8);
    revisionLayout->addWidget(TxtRevision);
    PageControl1->addTab(TabSheet2, "Revision History");

    // The tab widget never has the focus (OK has it), so it hears none of the keys that turn tabs;
    // the dialog answers them for it, the way every tab widget does. X sends Shift+Tab as
    // ISO_Left_Tab, which Qt delivers as Backtab with or without the Shift: both turn back. One
    // shortcut holds each direction's keys, so that a key matching two of them is still one turn.
    const auto turnTabs = [this](const QList<QKeySequence>& keys, int step) {
        auto* shortcut = new QShortcut(this);
        shortcut->setKeys(keys);
        const auto turn = [this, step] {
            const int count = PageControl1->count();
            PageControl1->setCurrentIndex((PageControl1->currentIndex() + step + count) % count);
        };
        connect(shortcut, &QShortcut::activated, this, turn);
        connect(shortcut, &QShortcut::activatedAmbiguously, this, turn);
    };
    turnTabs({QKeySequence("Ctrl+Tab"), QKeySequence("Ctrl+PgDown")}, 1);
    turnTabs({QKeySequence("Ctrl+Shift+Backtab"), QKeySequence("Ctrl+Backtab"), QKeySequence("Ctrl+PgUp")}, -1);

    BtnOK = new QPushButton("&OK", this);
    BtnOK->setObjectName("BtnOK");
    BtnOK->setDefault(true);
    BtnOK->setAutoDefault(true);
    BtnOK->setMinimumSize(83, 25);
    connect(BtnOK, &QPushButton::clicked, this, &TAboutForm::BtnOKClick);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(BtnOK);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(8, 8, 10, 10);
    layout->setSpacing(15);
    layout->addWidget(PageControl1);
    layout->addLayout(buttons);
    // No resizing: the frame keeps the size the contents need.
    layout->setSizeConstraint(QLayout::SetFixedSize);

    FormCreate();
}

QString TAboutForm::AboutText()
{
    QString text = QString::fromLatin1(kAppTitle);
    text += " - Version ";
    text += kVersion;
    text += "\n\n ";
    text += "  ";
    text += " ";
    text += " ";
    text += "  ";
    text += "";
    text += QString::fromUtf8("\n\niPod\u2122 is a registered trademark of Apple Inc.");
    return text;
}

QString TAboutForm::RevisionHistory()
{
    static const char* const kLines[] = {
        kAppTitle,
        "=========",
        "",
        "Version 0.2",
        "------------------",
        "* Added reading playlists from the iPod and filtering by playlists.",
        "* Added a function to read a stand-alone iPod database file.",
        "* Added %autonumber% filename template parameter.",
        "* Fixed minor display problems in the status bar and the ",
        "\"overwrite file\" dialog.",
        "",
        "Version 0.1b",
        "-------------------",
        "* Major rework to correctly handle unicode and accented ",
        "characters.",
        "* Exported track list is now in unicode text.",
        "* Fixed a bug trying to use special characters in filenames.",
        "* Added progress bar, displayed while copying files or loading ",
        "iPod database.",
        "* Added accending and descending sort of track list.",
        "* Updated user interface to use Windows XP visual styles.",
        "",
        "Version 0.1a",
        "-------------------",
        "* Initial revision.",
    };
    QStringList lines;
    for (const char* line : kLines)
        lines << QString::fromUtf8(line);
    return lines.join('\n');
}

void TAboutForm::FormCreate()
{
    LblAbout->setText(AboutText());
    PageControl1->setCurrentIndex(0);
}

void TAboutForm::BtnOKClick()
{
    accept();
}
