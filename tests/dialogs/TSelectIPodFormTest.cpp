#include "TSelectIPodForm.h"

#include "ScriptedDialogs.h"
#include "ScriptedVolumes.h"

#include <QComboBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sys/stat.h>

namespace fs = std::filesystem;

namespace {

class SelectIPodFormTest : public ::testing::Test {
protected:
    // A folder that looks like a mounted player, its database spelled as given.
    std::string Player(const std::string& name, const std::string& database = "iPod_Control/iTunes/iTunesDB")
    {
        const fs::path root = fs::path(Folder.path().toStdString()) / name;
        fs::create_directories((root / database).parent_path());
        std::ofstream(root / database, std::ios::binary) << "mhbd";
        return root.string();
    }

    QStringList Items(const TSelectIPodForm& form)
    {
        QStringList items;
        for (int i = 0; i < form.CbDrive->count(); ++i)
            items << form.CbDrive->itemText(i);
        return items;
    }

    QTemporaryDir Folder;
    ScriptedDialogs dialogs;
    ScriptedVolumes volumes;
};

TEST_F(SelectIPodFormTest, ListsVolumesSortedWithTheFirstPreselected)
{
    const std::string f = Player("f"), e = Player("e");
    volumes.volumes = {{f, "FRED'S IPOD"}, {e, ""}, {"/media/Card", "Ünï"}};
    TSelectIPodForm form;
    EXPECT_EQ(form.windowTitle(), "Select Your iPod");
    form.FillDriveList();
    EXPECT_EQ(Items(form), QStringList({"(/media/Card)  Ünï", QString::fromStdString("(" + e + ")  "),
                                        QString::fromStdString("(" + f + ")  FRED'S IPOD")}));
    EXPECT_EQ(form.CbDrive->currentIndex(), 0);

    form.CbDrive->setCurrentIndex(2);
    form.BtnOKClick();
    EXPECT_EQ(form.SelectedPath, f + "/iPod_Control/iTunes/iTunesDB");
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(SelectIPodFormTest, RefusalsKeepTheDialogOpen)
{
    const std::string empty = Folder.path().toStdString() + "/blank";
    fs::create_directories(empty);
    const std::string locked = Player("locked");
    const std::string upper = Player("upper", "IPOD_CONTROL/ITUNES/ITUNESDB");
    ::chmod((locked + "/iPod_Control/iTunes/iTunesDB").c_str(), 0);
    const bool rootCanReadAnything = ::geteuid() == 0;

    TSelectIPodForm form;
    form.FillDriveList();
    form.BtnOKClick(); // nothing to choose from
    volumes.volumes = {{empty, "CARD"}, {locked, "LOCKED"}, {upper, "UPPER"}};
    form.FillDriveList();
    form.BtnOKClick(); // no database on the volume
    EXPECT_TRUE(form.SelectedPath.empty());
    if (!rootCanReadAnything) {
        form.CbDrive->setCurrentIndex(1);
        form.BtnOKClick(); // a database that cannot be opened
        EXPECT_TRUE(form.SelectedPath.empty());
    }
    ASSERT_EQ(dialogs.messages.size(), rootCanReadAnything ? 2u : 3u);
    EXPECT_EQ(dialogs.messages[0].text, "Please select your iPod drive.");
    EXPECT_EQ(dialogs.messages.back().text, "Cannot read iPod database on selected device.");
    for (const auto& shown : dialogs.messages) {
        EXPECT_EQ(shown.caption, "Varnel");
        EXPECT_EQ(shown.icon, UserDialogs::Icon::Error);
    }

    // Another letter case on a case-sensitive file system is found all the same.
    form.CbDrive->setCurrentIndex(2);
    form.BtnOKClick();
    EXPECT_EQ(form.SelectedPath, upper + "/IPOD_CONTROL/ITUNES/ITUNESDB");
}

TEST_F(SelectIPodFormTest, CancelAndEscapeReturnNothing)
{
    volumes.volumes = {{Player("p"), "P"}};
    for (const bool escape : {false, true}) {
        TSelectIPodForm form;
        QTimer::singleShot(0, &form, [&] {
            if (escape)
                QTest::keyClick(&form, Qt::Key_Escape);
            else
                form.BtnCancelClick();
        });
        EXPECT_EQ(form.ChooseDatabasePath(), "") << escape;
        EXPECT_EQ(form.CbDrive->count(), 1);
    }
}

} // namespace
