#include "TSelectIPodForm.h"

#include "PlayerPaths.h"
#include "UserDialogs.h"
#include "Volumes.h"

#include <QCollator>
#include <QComboBox>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>
#include <fcntl.h>
#include <unistd.h>
#include <vector>

namespace {

// The mount point travels with each item, so nothing is parsed back out of its text.
constexpr int kMountPointRole = Qt::UserRole;

// Opens the file for reading and closes it again: the database must be readable, not just there.
bool CanRead(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

} // namespace

TSelectIPodForm::TSelectIPodForm(QWidget* parent)
    : TSelectIPodForm(parent, VolumeSource::Current())
{
}

TSelectIPodForm::TSelectIPodForm(QWidget* parent, VolumeSource& volumes)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint
                          | Qt::WindowCloseButtonHint)
    , Volumes(volumes)
{
    setObjectName("SelectIPodForm");
    setWindowTitle("Select Your iPod");
    setModal(true);

    Label1 = new QLabel("Select the drive representing your iPod:", this);
    Label1->setObjectName("Label1");
    CbDrive = new QComboBox(this);
    CbDrive->setObjectName("CbDrive");
    CbDrive->setEditable(false);
    CbDrive->setMinimumWidth(185);
    CbDrive->setSizeAdjustPolicy(QComboBox::AdjustToContents);

    BtnOK = new QPushButton("&OK", this);
    BtnOK->setObjectName("BtnOK");
    BtnOK->setDefault(true);
    BtnOK->setMinimumSize(75, 25);
    BtnCancel = new QPushButton("&Cancel", this);
    BtnCancel->setObjectName("BtnCancel");
    BtnCancel->setMinimumSize(75, 25);
    connect(BtnOK, &QPushButton::clicked, this, &TSelectIPodForm::BtnOKClick);
    connect(BtnCancel, &QPushButton::clicked, this, &TSelectIPodForm::BtnCancelClick);

    auto* buttons = new QHBoxLayout;
    buttons->setSpacing(1);
    buttons->addStretch(1);
    buttons->addWidget(BtnOK);
    buttons->addWidget(BtnCancel);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(32, 24, 32, 24);
    layout->setSpacing(8);
    layout->addWidget(Label1);
    layout->addWidget(CbDrive);
    layout->addStretch(1);
    layout->addLayout(buttons);
    FitToItems();
}

void TSelectIPodForm::FitToItems()
{
    // A fixed dialog border, wide enough for the longest item.
    setFixedSize(sizeHint().expandedTo(QSize(256, 150)));
}

void TSelectIPodForm::FillDriveList()
{
    CbDrive->clear();
    SelectedPath.clear();
    struct Item {
        QString Text;
        QByteArray MountPoint; // the bytes as the system spells them, whatever their encoding
    };
    std::vector<Item> items;
    for (const Volume& volume : Volumes.ListVolumes()) {
        const QString shown = QFile::decodeName(QByteArray::fromStdString(volume.MountPoint));
        items.push_back({"(" + shown + ")  " + QString::fromStdString(volume.Label),
                         QByteArray::fromStdString(volume.MountPoint)});
    }
    QCollator collator;
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::stable_sort(items.begin(), items.end(),
                     [&](const Item& a, const Item& b) { return collator.compare(a.Text, b.Text) < 0; });
    for (const Item& item : items)
        CbDrive->addItem(item.Text, item.MountPoint);
    CbDrive->setCurrentIndex(CbDrive->count() > 0 ? 0 : -1);
    FitToItems();
}

std::string TSelectIPodForm::ChooseDatabasePath()
{
    FillDriveList();
    exec();
    return SelectedPath;
}

void TSelectIPodForm::BtnOKClick()
{
    if (CbDrive->currentIndex() < 0) {
        UserDialogs::ShowError(this, "Please select your iPod drive.");
        return;
    }
    const std::string mountPoint = CbDrive->currentData(kMountPointRole).toByteArray().toStdString();
    const auto database = LocatePlayerDatabase(mountPoint);
    if (!database || !CanRead(*database)) {
        UserDialogs::ShowError(this, "Cannot read iPod database on selected device.");
        return;
    }
    SelectedPath = *database;
    accept();
}

void TSelectIPodForm::BtnCancelClick()
{
    SelectedPath.clear();
    reject();
}
