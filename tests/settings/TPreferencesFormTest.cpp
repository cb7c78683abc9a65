#include "TPreferencesForm.h"

#include "ScriptedDialogs.h"
#include "TempSettingsStore.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

const QString BadLimit = "Please enter a valid non-negative track limit.";

class PreferencesForm : public ::testing::Test {
protected:
    template <typename T>
    static T* Control(const TPreferencesForm& form, const char* name)
    {
        T* control = form.findChild<T*>(name);
        if (!control)
            ADD_FAILURE() << "no control " << name;
        return control;
    }

    // Shows the dialog as the program does; `whileShown` runs once it is up, and the dialog is
    // cancelled afterwards if it is still open.
    static void WhileShown(TPreferencesForm& form, const std::function<void()>& whileShown)
    {
        bool ran = false;
        QTimer::singleShot(0, &form, [&] {
            form.activateWindow();
            QApplication::processEvents();
            whileShown();
            ran = true;
            if (form.isVisible())
                form.BtnCancelClick();
        });
        form.ShowPreferences();
        EXPECT_TRUE(ran);
        EXPECT_FALSE(form.isVisible());
    }

    TempSettingsStore store;
    ScriptedDialogs dialogs;
};

} // namespace

TEST_F(PreferencesForm, HasItsCaptionControlsAndPresets)
{
    TPreferencesForm form;
    EXPECT_EQ(form.windowTitle(), "Varnel Preferences");
    EXPECT_EQ(Control<QGroupBox>(form, "GroupBox1")->title(), " Read Tracks From iPod Database ");
    EXPECT_EQ(Control<QGroupBox>(form, "GroupBox2")->title(), " Extract Tracks From iPod ");
    EXPECT_EQ(Control<QRadioButton>(form, "RbAllSongs")->text(), "&All Tracks");
    EXPECT_TRUE(Control<QPushButton>(form, "BtnOK")->isDefault());

    const QComboBox* format = Control<QComboBox>(form, "CbFormat");
    EXPECT_TRUE(format->isEditable());
    const QStringList presets{
        "%tracknumber% - %artist% - %title%",           "%tracknumber% - %title%",
        "%tracknumber% - %album% - %title%",            "%tracknumber% - %album% - %artist% - %title%",
        "%artist% - %title%",                           "%title%",
        "%album% - %title%",                            "%album% - %artist% - %title%",
    };
    ASSERT_EQ(format->count(), presets.size());
    for (int i = 0; i < format->count(); ++i)
        EXPECT_EQ(format->itemText(i), presets[i]);

    const QComboBox* overwrite = Control<QComboBox>(form, "CbOverwrite");
    EXPECT_FALSE(overwrite->isEditable());
    ASSERT_EQ(overwrite->count(), 3);
    EXPECT_EQ(overwrite->itemText(AlwaysOverwrite), "Always Overwrite");
    EXPECT_EQ(overwrite->itemText(NeverOverwrite), "Never Overwrite");
    EXPECT_EQ(overwrite->itemText(AlwaysPrompt), "Always Prompt");

    WhileShown(form, [&] {
        EXPECT_EQ(form.minimumSize(), form.maximumSize());
        EXPECT_FALSE(form.windowFlags() & Qt::WindowMaximizeButtonHint);
        EXPECT_FALSE(form.windowFlags() & Qt::WindowMinimizeButtonHint);
    });
    EXPECT_TRUE(dialogs.messages.empty());
}

TEST_F(PreferencesForm, AllTracksKeepsMinusOneAndOkSavesEverything)
{
    TPreferencesForm form;
    WhileShown(form, [&] {
        EXPECT_TRUE(Control<QRadioButton>(form, "RbAllSongs")->isChecked());
        const QLineEdit* limit = Control<QLineEdit>(form, "TxtSongLimit");
        EXPECT_EQ(limit->text(), "All");
        EXPECT_FALSE(limit->isEnabled());
        EXPECT_EQ(Control<QComboBox>(form, "CbFormat")->currentText(), "%tracknumber% - %title% - %artist%");
        EXPECT_EQ(Control<QComboBox>(form, "CbOverwrite")->currentIndex(), AlwaysPrompt);
        form.BtnOKClick();
    });
    EXPECT_EQ(form.result(), QDialog::Accepted);
    EXPECT_EQ(form.GetTrackLimit(), -1);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    const auto stored = store.StoredValues();
    EXPECT_EQ(stored.size(), 12);
    EXPECT_EQ(stored.value("TrackLimit").toString(), "-1");
    EXPECT_EQ(stored.value("FirstRun").toString(), "0");
    EXPECT_TRUE(form.GetFirstRun());
}

TEST_F(PreferencesForm, SwitchingChoicesRestoresTheStoredLimit)
{
    store.WriteRaw("TrackLimit=250\n");
    TPreferencesForm form;
    WhileShown(form, [&] {
        auto* all = Control<QRadioButton>(form, "RbAllSongs");
        auto* max = Control<QRadioButton>(form, "RbMaxSongs");
        auto* limit = Control<QLineEdit>(form, "TxtSongLimit");
        EXPECT_TRUE(max->isChecked());
        EXPECT_EQ(limit->text(), "250");
        EXPECT_TRUE(limit->isEnabled());

        limit->setText("17");
        all->click();
        EXPECT_EQ(limit->text(), "All");
        EXPECT_FALSE(limit->isEnabled());
        max->click();
        EXPECT_EQ(limit->text(), "250");
        EXPECT_TRUE(limit->isEnabled());

        all->click();
        form.BtnOKClick();
    });
    EXPECT_EQ(form.GetTrackLimit(), -1);
    EXPECT_EQ(store.StoredValues().value("TrackLimit").toString(), "-1");
}

TEST_F(PreferencesForm, StoredZeroOpensWithTheLimitChoice)
{
    store.WriteRaw("TrackLimit=0\n");
    TPreferencesForm form;
    WhileShown(form, [&] {
        EXPECT_TRUE(Control<QRadioButton>(form, "RbMaxSongs")->isChecked());
        EXPECT_EQ(Control<QLineEdit>(form, "TxtSongLimit")->text(), "0");
        EXPECT_TRUE(Control<QLineEdit>(form, "TxtSongLimit")->isEnabled());
    });
}

TEST_F(PreferencesForm, LimitThatIsNotAPositiveNumberIsRefused)
{
    TPreferencesForm form;
    WhileShown(form, [&] {
        auto* limit = Control<QLineEdit>(form, "TxtSongLimit");
        Control<QRadioButton>(form, "RbMaxSongs")->click();
        EXPECT_TRUE(limit->isEnabled());
        EXPECT_EQ(limit->text(), "");

        for (const char* typed : {"", "0", "-3", "12abc", "99999999999", "2147483648", " 5", "+5", "0x10"}) {
            limit->setText(typed);
            Control<QPushButton>(form, "BtnOK")->setFocus();
            const std::size_t before = dialogs.messages.size();
            form.BtnOKClick();
            ASSERT_EQ(dialogs.messages.size(), before + 1) << typed;
            const auto& shown = dialogs.messages.back();
            EXPECT_EQ(shown.text, BadLimit) << typed;
            EXPECT_EQ(shown.caption, "Varnel");
            EXPECT_EQ(shown.icon, UserDialogs::Icon::Error);
            EXPECT_EQ(shown.buttons, UserDialogs::Buttons::Ok);
            EXPECT_TRUE(limit->hasFocus()) << typed;
            EXPECT_TRUE(form.isVisible());
            EXPECT_EQ(form.GetTrackLimit(), -1);
        }
        EXPECT_FALSE(store.FileExists());

        limit->setText("2147483647");
        form.BtnOKClick();
        EXPECT_FALSE(form.isVisible());
    });
    EXPECT_EQ(form.GetTrackLimit(), 2147483647);
}

TEST_F(PreferencesForm, RefusedTemplateKeepsTheNewLimitUnsaved)
{
    store.WriteRaw("TrackLimit=250\n");
    TPreferencesForm form;
    WhileShown(form, [&] {
        auto* format = Control<QComboBox>(form, "CbFormat");
        Control<QLineEdit>(form, "TxtSongLimit")->setText("40");
        format->setEditText("%artist%/%title%");
        Control<QPushButton>(form, "BtnOK")->setFocus();
        form.BtnOKClick();
        ASSERT_EQ(dialogs.messages.size(), 1u);
        const QString message = dialogs.messages.back().text;
        EXPECT_EQ(message, "File format cannot contain characters  \\ / : * ? \" < > | ");
        EXPECT_EQ(message.size(), 57);
        EXPECT_EQ(dialogs.messages.back().icon, UserDialogs::Icon::Error);
        EXPECT_TRUE(format->hasFocus());
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(form.GetTrackLimit(), 40);
        EXPECT_EQ(form.GetFileFormat(), "%tracknumber% - %title% - %artist%");
    });
    // Cancelled: the limit stays in the record, and only the next save writes it.
    EXPECT_EQ(form.GetTrackLimit(), 40);
    EXPECT_EQ(store.StoredValues().value("TrackLimit").toString(), "250");
    form.SetShowStatusBar(false);
    EXPECT_EQ(store.StoredValues().value("TrackLimit").toString(), "40");
}

TEST_F(PreferencesForm, EmptyTemplateAndNeverOverwriteAreSaved)
{
    TPreferencesForm form;
    WhileShown(form, [&] {
        Control<QComboBox>(form, "CbFormat")->setEditText("");
        Control<QComboBox>(form, "CbOverwrite")->setCurrentIndex(NeverOverwrite);
        form.BtnOKClick();
    });
    EXPECT_TRUE(dialogs.messages.empty());
    EXPECT_EQ(form.GetFileFormat(), "");
    EXPECT_EQ(form.GetOverwriteFiles(), NeverOverwrite);
    const auto stored = store.StoredValues();
    EXPECT_EQ(stored.value("FileFormat").toString(), "");
    EXPECT_EQ(stored.value("OverwriteFiles").toString(), "1");
}

TEST_F(PreferencesForm, TypedTemplateIsSavedExactlyAsTyped)
{
    TPreferencesForm form;
    WhileShown(form, [&] {
        auto* format = Control<QComboBox>(form, "CbFormat");
        format->setFocus();
        format->clearEditText();
        // Presets start with these characters; nothing may be completed onto them.
        QTest::keyClicks(format, "%album%");
        EXPECT_EQ(format->currentText(), "%album%");
        form.BtnOKClick();
    });
    EXPECT_EQ(form.GetFileFormat(), "%album%");
    EXPECT_EQ(store.StoredValues().value("FileFormat").toString(), "%album%");
}

TEST_F(PreferencesForm, CancelledEditsDoNotSurviveIntoTheNextShowing)
{
    TPreferencesForm form;
    WhileShown(form, [&] {
        Control<QComboBox>(form, "CbFormat")->setEditText("%title% (live)");
        Control<QComboBox>(form, "CbOverwrite")->setCurrentIndex(AlwaysOverwrite);
        Control<QRadioButton>(form, "RbMaxSongs")->click();
        Control<QLineEdit>(form, "TxtSongLimit")->setText("9");
    });
    EXPECT_EQ(form.result(), QDialog::Rejected);
    EXPECT_FALSE(store.FileExists());
    WhileShown(form, [&] {
        EXPECT_EQ(Control<QComboBox>(form, "CbFormat")->currentText(), "%tracknumber% - %title% - %artist%");
        EXPECT_EQ(Control<QComboBox>(form, "CbOverwrite")->currentIndex(), AlwaysPrompt);
        EXPECT_TRUE(Control<QRadioButton>(form, "RbAllSongs")->isChecked());
        EXPECT_EQ(Control<QLineEdit>(form, "TxtSongLimit")->text(), "All");
    });
}

TEST_F(PreferencesForm, FailedSaveIsShownAndTheDialogStaysOpen)
{
    TPreferencesForm form;
    QFile blocker(store.ConfigFolder() + "/Mardle Works");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    WhileShown(form, [&] {
        Control<QComboBox>(form, "CbOverwrite")->setCurrentIndex(AlwaysOverwrite);
        form.BtnOKClick();
        ASSERT_EQ(dialogs.messages.size(), 1u);
        // Named by the file's own path, with the full stop of every other failure box.
        EXPECT_EQ(dialogs.messages.back().text, "Failed to create key " + store.FilePath() + ".");
        EXPECT_EQ(dialogs.messages.back().icon, UserDialogs::Icon::Error);
        EXPECT_TRUE(form.isVisible());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    });
    EXPECT_EQ(form.GetOverwriteFiles(), AlwaysOverwrite);
}

TEST_F(PreferencesForm, HelpShowsTheSubstitutions)
{
    TPreferencesForm form;
    form.BtnHelpClick();
    ASSERT_EQ(dialogs.messages.size(), 1u);
    EXPECT_EQ(dialogs.messages[0].caption, "Varnel");
    EXPECT_EQ(dialogs.messages[0].icon, UserDialogs::Icon::Information);
    EXPECT_EQ(dialogs.messages[0].buttons, UserDialogs::Buttons::Ok);
    EXPECT_EQ(dialogs.messages[0].text,
              "You can limit the number of tracks read from the iPod database by entering the maximum number in the\n"
              "corresponding field.  If you select 'All Tracks', all tracks from the iPod database will be loaded "
              "and dislplayed.\n\n"
              "File Format field is used to specify the format of the extracted tracks.  The following "
              "substitutions will be made:\n"
              "        %tracknumber% - track number\n"
              "        %title% - track title\n"
              "        %artist% - track artist\n"
              "        %album% - track album\n"
              "        %autonumber% - auto track number from iPod\n"
              "All other characters will be used as is in the filename");
}

TEST_F(PreferencesForm, SettersSaveTheWholeRecordAsLoaded)
{
    store.WriteRaw("TrackLimit=-5\nFileFormat=%album%/%title%\nx=3\ny=4\nw=500\nh=400\n");
    TPreferencesForm form;
    EXPECT_EQ(form.GetTrackLimit(), -5);
    EXPECT_TRUE(form.GetFirstRun());

    form.SetExtractPath("/media/music/");
    auto stored = store.StoredValues();
    EXPECT_EQ(stored.value("TrackLimit").toString(), "-5");
    EXPECT_EQ(stored.value("FileFormat").toString(), "%tracknumber% - %title% - %artist%");
    EXPECT_EQ(stored.value("ExtractPath").toString(), "/media/music/");
    EXPECT_EQ(stored.value("x").toString(), "3");
    EXPECT_EQ(stored.value("FirstRun").toString(), "0");
    EXPECT_TRUE(form.GetFirstRun());

    form.SetShowMenuBar(false);
    form.SetShowToolbar(false);
    form.SetWindowBounds(-20, 30, 640, 480);
    stored = store.StoredValues();
    EXPECT_EQ(stored.value("ShowMenuBar").toString(), "0");
    EXPECT_EQ(stored.value("ShowToolbar").toString(), "0");
    EXPECT_EQ(stored.value("ShowStatusBar").toString(), "1");
    EXPECT_EQ(stored.value("x").toString(), "-20");
    EXPECT_EQ(stored.value("h").toString(), "480");

    store.ReopenFromCopy();
    const TPreferencesForm next;
    EXPECT_FALSE(next.GetFirstRun());
    EXPECT_FALSE(next.GetShowMenuBar());
    EXPECT_FALSE(next.GetShowToolbar());
    EXPECT_TRUE(next.GetShowStatusBar());
    EXPECT_EQ(next.GetExtractPath(), "/media/music/");
    const WindowBounds b = next.GetWindowBounds();
    EXPECT_EQ(b.x, -20);
    EXPECT_EQ(b.y, 30);
    EXPECT_EQ(b.w, 640);
    EXPECT_EQ(b.h, 480);
}

TEST_F(PreferencesForm, ConstructionFailsOnAValueThatIsNotText)
{
    store.WriteRaw("TrackLimit=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)\n");
    try {
        TPreferencesForm form;
        ADD_FAILURE() << "no error";
    } catch (const std::runtime_error& error) {
        EXPECT_STREQ(error.what(), "Invalid data type for 'TrackLimit'");
    }
}
