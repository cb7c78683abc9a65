#include "TPreferencesForm.h"

#include "AppTitle.h"
#include "BusyCursor.h"
#include "DecimalInt32.h"
#include "ForbiddenFileNameChars.h"
#include "SettingsStore.h"
#include "UserDialogs.h"

#include <QApplication>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>
#include <optional>

namespace {

const char* const FormatPresets[] = {
    "%tracknumber% - %artist% - %title%",
    "%tracknumber% - %title%",
    "%tracknumber% - %album% - %title%",
    "%tracknumber% - %album% - %artist% - %title%",
    "%artist% - %title%",
    "%title%",
    "%album% - %title%",
    "%album% - %artist% - %title%",
};

// A Linux message box shows a carriage return badly, so the lines end in a plain line feed.
const char* const HelpText =
    "You can limit the number of tracks read from the "
    "iPod database by entering the maximum number in the\n"
    "corresponding field.  If you select 'All Tracks', all "
    "tracks from the iPod database will be loaded and "
    "dislplayed.\n\n"
    "File Format field is used to specify the format of "
    "the extracted tracks.  The following substitutions "
    "will be made:\n"
    "        %tracknumber% - track number\n"
    "        %title% - track title\n"
    "        %artist% - track artist\n"
    "        %album% - track album\n"
    "        %autonumber% - auto track number from iPod\n"
    "All other characters will be used as is in the filename";

const char* const BadLimitMessage = "Please enter a valid non-negative track limit.";
const char* const BadFormatMessage = "File format cannot contain characters  \\ / : * ? \" < > | ";

ScreenArea PrimaryScreenArea()
{
    ScreenArea area;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect work = screen->availableGeometry();
        const QRect full = screen->geometry();
        area = {work.width(), work.height(), full.width(), full.height()};
    }
    return area;
}

} // namespace

TPreferencesForm::TPreferencesForm(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                          Qt::MSWindowsFixedSizeDialogHint)
{
    CreateControls();
    LoadSettings();
}

TPreferencesForm::~TPreferencesForm() = default;

void TPreferencesForm::CreateControls()
{
    setObjectName(QStringLiteral("PreferencesForm"));
    setWindowTitle(QString::fromLatin1(kAppTitle) + QStringLiteral(" Preferences"));
    setSizeGripEnabled(false);

    GroupBox1 = new QGroupBox(QStringLiteral(" Read Tracks From iPod Database "), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    RbAllSongs = new QRadioButton(QStringLiteral("&All Tracks"), GroupBox1);
    RbAllSongs->setObjectName(QStringLiteral("RbAllSongs"));
    RbMaxSongs = new QRadioButton(QStringLiteral("Limit Tracks To:"), GroupBox1);
    RbMaxSongs->setObjectName(QStringLiteral("RbMaxSongs"));
    TxtSongLimit = new QLineEdit(GroupBox1);
    TxtSongLimit->setObjectName(QStringLiteral("TxtSongLimit"));
    TxtSongLimit->setAccessibleName(QStringLiteral("Track limit"));
    // Room for any 32-bit number; the field takes any text and OK checks it.
    const QFontMetrics metrics = TxtSongLimit->fontMetrics();
    TxtSongLimit->setFixedWidth(metrics.horizontalAdvance(QStringLiteral("00000000000")) + 2 * metrics.height());

    auto* limitRow = new QHBoxLayout(GroupBox1);
    limitRow->addWidget(RbAllSongs);
    limitRow->addSpacing(2 * metrics.height());
    limitRow->addWidget(RbMaxSongs);
    limitRow->addWidget(TxtSongLimit);
    limitRow->addStretch(1);

    GroupBox2 = new QGroupBox(QStringLiteral(" Extract Tracks From iPod "), this);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    Label1 = new QLabel(QStringLiteral("File Format:"), GroupBox2);
    Label1->setObjectName(QStringLiteral("Label1"));
    CbFormat = new QComboBox(GroupBox2);
    CbFormat->setObjectName(QStringLiteral("CbFormat"));
    CbFormat->setEditable(true);
    CbFormat->setInsertPolicy(QComboBox::NoInsert);
    // A typed template is kept exactly as typed: no inline completion from the presets.
    CbFormat->setCompleter(nullptr);
    CbFormat->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    for (const char* preset : FormatPresets)
        CbFormat->addItem(QString::fromLatin1(preset));
    Label1->setBuddy(CbFormat);
    Label2 = new QLabel(QStringLiteral("Overwrite Files:"), GroupBox2);
    Label2->setObjectName(QStringLiteral("Label2"));
    CbOverwrite = new QComboBox(GroupBox2);
    CbOverwrite->setObjectName(QStringLiteral("CbOverwrite"));
    // The item index is the stored OverwriteMode.
    CbOverwrite->addItem(QStringLiteral("Always Overwrite"));
    CbOverwrite->addItem(QStringLiteral("Never Overwrite"));
    CbOverwrite->addItem(QStringLiteral("Always Prompt"));
    Label2->setBuddy(CbOverwrite);

    auto* extractGrid = new QGridLayout(GroupBox2);
    extractGrid->addWidget(Label1, 0, 0);
    extractGrid->addWidget(CbFormat, 0, 1);
    extractGrid->addWidget(Label2, 1, 0);
    extractGrid->addWidget(CbOverwrite, 1, 1);
    extractGrid->setColumnStretch(1, 1);
    extractGrid->setHorizontalSpacing(metrics.height() / 2);

    BtnOK = new QPushButton(QStringLiteral("&OK"), this);
    BtnOK->setObjectName(QStringLiteral("BtnOK"));
    BtnOK->setDefault(true);
    BtnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    BtnCancel->setObjectName(QStringLiteral("BtnCancel"));
    BtnHelp = new QPushButton(QStringLiteral("&Help"), this);
    BtnHelp->setObjectName(QStringLiteral("BtnHelp"));
    int buttonWidth = 0;
    for (QPushButton* button : {BtnOK, BtnCancel, BtnHelp})
        buttonWidth = std::max(buttonWidth, button->sizeHint().width());
    for (QPushButton* button : {BtnOK, BtnCancel, BtnHelp})
        button->setMinimumWidth(buttonWidth);

    auto* buttonRow = new QHBoxLayout;
    buttonRow->addStretch(1);
    buttonRow->addWidget(BtnOK);
    buttonRow->addWidget(BtnCancel);
    buttonRow->addWidget(BtnHelp);
    buttonRow->addStretch(1);

    const int gap = metrics.height();
    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(gap, gap, gap, gap);
    page->setSpacing(gap * 2 / 3);
    page->addWidget(GroupBox1);
    page->addWidget(GroupBox2);
    page->addSpacing(gap / 3);
    page->addLayout(buttonRow);
    // The dialog takes the size its contents need and cannot be resized.
    page->setSizeConstraint(QLayout::SetFixedSize);

    setTabOrder(RbAllSongs, RbMaxSongs);
    setTabOrder(RbMaxSongs, TxtSongLimit);
    setTabOrder(TxtSongLimit, CbFormat);
    setTabOrder(CbFormat, CbOverwrite);
    setTabOrder(CbOverwrite, BtnOK);
    setTabOrder(BtnOK, BtnCancel);
    setTabOrder(BtnCancel, BtnHelp);

    connect(RbAllSongs, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked)
            RbAllSongsClick();
    });
    connect(RbMaxSongs, &QRadioButton::toggled, this, [this](bool checked) {
        if (checked)
            RbMaxSongsClick();
    });
    connect(BtnOK, &QPushButton::clicked, this, &TPreferencesForm::BtnOKClick);
    connect(BtnCancel, &QPushButton::clicked, this, &TPreferencesForm::BtnCancelClick);
    connect(BtnHelp, &QPushButton::clicked, this, &TPreferencesForm::BtnHelpClick);
}

void TPreferencesForm::LoadSettings()
{
    Record = SettingsStore::Load(PrimaryScreenArea());
}

void TPreferencesForm::SaveSettings()
{
    SettingsStore::Save(Record);
}

void TPreferencesForm::SetExtractPath(const std::string& path)
{
    Record.ExtractPath = path;
    SaveSettings();
}

void TPreferencesForm::SetLastExtractFolder(const std::string& folder)
{
    Record.LastExtractFolder = folder;
    SaveSettings();
}

void TPreferencesForm::SetShowMenuBar(bool show)
{
    Record.ShowMenuBar = show;
    SaveSettings();
}

void TPreferencesForm::SetShowToolbar(bool show)
{
    Record.ShowToolbar = show;
    SaveSettings();
}

void TPreferencesForm::SetShowStatusBar(bool show)
{
    Record.ShowStatusBar = show;
    SaveSettings();
}

void TPreferencesForm::SetShowCover(bool show)
{
    Record.ShowCover = show;
    SaveSettings();
}

void TPreferencesForm::SetTrackListColumns(const std::string& columns)
{
    Record.TrackListColumns = columns;
    SaveSettings();
}

void TPreferencesForm::SetWindowBounds(std::int32_t x, std::int32_t y, std::int32_t w, std::int32_t h)
{
    Record.Bounds = {x, y, w, h};
    SaveSettings();
}

void TPreferencesForm::ShowPreferences()
{
    // Each showing starts from the record; checking a radio button runs its handler, and
    // the explicit calls cover a button that was already checked.
    if (Record.TrackLimit < 0) {
        RbAllSongs->setChecked(true);
        RbAllSongsClick();
    } else {
        RbMaxSongs->setChecked(true);
        RbMaxSongsClick();
        TxtSongLimit->setText(QString::number(Record.TrackLimit));
    }
    CbFormat->setEditText(QString::fromStdString(Record.FileFormat));
    CbOverwrite->setCurrentIndex(Record.OverwriteFiles);

    // Centred over the parent on every showing, not where the previous one was.
    setAttribute(Qt::WA_Moved, false);
    exec();
}

void TPreferencesForm::RbAllSongsClick()
{
    TxtSongLimit->setEnabled(false);
    TxtSongLimit->setText(QStringLiteral("All"));
}

void TPreferencesForm::RbMaxSongsClick()
{
    TxtSongLimit->setEnabled(true);
    TxtSongLimit->setText(Record.TrackLimit >= 1 ? QString::number(Record.TrackLimit) : QString());
}

void TPreferencesForm::BtnOKClick()
{
    std::int32_t limit = -1;
    if (!RbAllSongs->isChecked()) {
        const std::optional<std::int32_t> typed = ParseDecimalInt32(TxtSongLimit->text().toStdString());
        if (!typed || *typed <= 0) {
            UserDialogs::ShowError(this, QString::fromLatin1(BadLimitMessage));
            TxtSongLimit->setFocus();
            return;
        }
        limit = *typed;
    }
    // The limit is taken even when the template is refused below: the record keeps it, unsaved,
    // also if the user then cancels.
    Record.TrackLimit = limit;

    const std::string format = CbFormat->currentText().toStdString();
    if (ContainsForbiddenFileNameChar(format)) {
        UserDialogs::ShowError(this, QString::fromLatin1(BadFormatMessage));
        CbFormat->setFocus();
        return;
    }
    Record.FileFormat = format;
    Record.OverwriteFiles = CbOverwrite->currentIndex();

    try {
        const BusyCursor busy;
        SaveSettings();
    } catch (...) {
        // Shown here rather than thrown through Qt's signal delivery, the way every failed save
        // is shown; the record keeps the new values and the dialog stays open.
        UserDialogs::ShowCurrentException(this);
        return;
    }
    accept();
}

void TPreferencesForm::BtnCancelClick()
{
    reject();
}

void TPreferencesForm::BtnHelpClick()
{
    UserDialogs::ShowInformation(this, QString::fromLatin1(HelpText));
}
