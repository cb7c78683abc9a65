#include "SettingsStore.h"

#include "ForbiddenFileNameChars.h"
#include "TempSettingsStore.h"

#include <QDir>
#include <QFile>
#include <QPoint>
#include <QSettings>

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <stdexcept>
#include <string>

namespace {

const ScreenArea Wide{1600, 1170, 1600, 1200};

// The message of the std::runtime_error that `load` throws, or "" when it throws none.
template <typename F>
std::string ErrorOf(F load)
{
    try {
        load();
    } catch (const std::runtime_error& error) {
        return error.what();
    }
    return {};
}

Settings LoadWith(const QByteArray& body)
{
    TempSettingsStore store;
    store.WriteRaw(body);
    return SettingsStore::Load(Wide);
}

} // namespace

TEST(SettingsStore, EmptyStoreGivesDefaultsAndWritesNothing)
{
    TempSettingsStore store;
    const Settings s = SettingsStore::Load(Wide);
    EXPECT_EQ(s.Bounds.w, 884);
    EXPECT_EQ(s.Bounds.h, 606);
    EXPECT_EQ(s.Bounds.x, (1600 - 884) / 2);
    EXPECT_EQ(s.Bounds.y, (1200 - 606) / 2);
    EXPECT_EQ(s.TrackLimit, -1);
    EXPECT_EQ(s.OverwriteFiles, AlwaysPrompt);
    EXPECT_EQ(s.FileFormat, "%tracknumber% - %title% - %artist%");
    EXPECT_EQ(s.ExtractPath, "");
    EXPECT_TRUE(s.FirstRun);
    EXPECT_TRUE(s.ShowMenuBar);
    EXPECT_TRUE(s.ShowToolbar);
    EXPECT_TRUE(s.ShowStatusBar);
    EXPECT_FALSE(store.FileExists());
}

TEST(SettingsStore, DefaultBoundsFitTheWorkAreaAndCentreOnTheFullScreen)
{
    EXPECT_EQ(SettingsStore::DefaultExtent(800, SettingsStore::DefaultWidthCap), 800);
    EXPECT_EQ(SettingsStore::DefaultExtent(570, SettingsStore::DefaultHeightCap), 570);
    EXPECT_EQ(SettingsStore::DefaultExtent(1600, SettingsStore::DefaultWidthCap), 884);
    EXPECT_EQ(SettingsStore::DefaultExtent(1170, SettingsStore::DefaultHeightCap), 606);
    EXPECT_EQ(SettingsStore::DefaultOffset(1025, 884), 70);
    // Halving rounds toward minus infinity.
    EXPECT_EQ(SettingsStore::DefaultOffset(1000, 1025), -13);
    // A stored size at the ends of the range must not overflow the centring.
    constexpr auto Min = std::numeric_limits<std::int32_t>::min();
    constexpr auto Max = std::numeric_limits<std::int32_t>::max();
    EXPECT_EQ(SettingsStore::DefaultOffset(1000, Min), 1073742324);
    EXPECT_EQ(SettingsStore::DefaultOffset(0, Max), -1073741824);
}

TEST(SettingsStore, StoredSizeIsCentredOnTheFullScreenNotTheWorkArea)
{
    TempSettingsStore store;
    store.WriteRaw("w=1025\n");
    const Settings s = SettingsStore::Load({1000, 700, 1000, 750});
    EXPECT_EQ(s.Bounds.w, 1025);
    EXPECT_EQ(s.Bounds.x, -13);
    EXPECT_EQ(s.Bounds.h, 606);
    EXPECT_EQ(s.Bounds.y, (750 - 606) / 2);
}

TEST(SettingsStore, IntegerTextThatDoesNotConvertGivesTheDefault)
{
    for (const char* text : {"7", "-1", "3", "abc", ""})
        EXPECT_EQ(LoadWith(QByteArray("OverwriteFiles=") + text + "\n").OverwriteFiles, AlwaysPrompt) << text;
    EXPECT_EQ(LoadWith("OverwriteFiles=0\n").OverwriteFiles, AlwaysOverwrite);
    EXPECT_EQ(LoadWith("OverwriteFiles=1\n").OverwriteFiles, NeverOverwrite);

    for (const char* text : {"abc", "", "+5", " 5", "5 ", "0x10", "2147483648", "-2147483649", "99999999999", "-"})
        EXPECT_EQ(LoadWith(QByteArray("TrackLimit=\"") + text + "\"\n").TrackLimit, -1) << text;
    EXPECT_EQ(LoadWith("TrackLimit=-5\n").TrackLimit, -5);
    EXPECT_EQ(LoadWith("TrackLimit=0\n").TrackLimit, 0);
    EXPECT_EQ(LoadWith("TrackLimit=2147483647\n").TrackLimit, 2147483647);
    EXPECT_EQ(LoadWith("TrackLimit=-2147483648\n").TrackLimit, -2147483647 - 1);
    EXPECT_EQ(LoadWith("x=-40\ny=abc\n").Bounds.x, -40);
}

TEST(SettingsStore, FlagsAreIntegersTrueWhenNotZero)
{
    EXPECT_FALSE(LoadWith("ShowToolbar=0\n").ShowToolbar);
    EXPECT_TRUE(LoadWith("ShowToolbar=2\n").ShowToolbar);
    EXPECT_TRUE(LoadWith("ShowToolbar=yes\n").ShowToolbar);
    EXPECT_TRUE(LoadWith("ShowToolbar=-1\n").ShowToolbar);
    const Settings s = LoadWith("FirstRun=0\nShowMenuBar=0\nShowStatusBar=0\n");
    EXPECT_FALSE(s.FirstRun);
    EXPECT_FALSE(s.ShowMenuBar);
    EXPECT_FALSE(s.ShowStatusBar);
    EXPECT_TRUE(s.ShowToolbar);
}

TEST(SettingsStore, TemplateWithAForbiddenCharacterFallsBackAndIsOverwrittenOnSave)
{
    ASSERT_EQ(ForbiddenFileNameChars.size(), 9u);
    for (char c : std::string("\\/:*?\"<>|")) {
        const std::string stored = std::string("%album%") + c + "%title%";
        TempSettingsStore store;
        {
            QSettings raw(store.FilePath(), QSettings::IniFormat);
            raw.setValue("FileFormat", QString::fromStdString(stored));
        }
        EXPECT_EQ(SettingsStore::Load(Wide).FileFormat, "%tracknumber% - %title% - %artist%") << stored;
    }

    TempSettingsStore store;
    store.WriteRaw("FileFormat=%album%/%title%\n");
    const Settings s = SettingsStore::Load(Wide);
    EXPECT_EQ(s.FileFormat, "%tracknumber% - %title% - %artist%");
    SettingsStore::Save(s);
    EXPECT_EQ(store.StoredValues().value("FileFormat").toString(), "%tracknumber% - %title% - %artist%");

    EXPECT_EQ(LoadWith("FileFormat=\n").FileFormat, "");
    EXPECT_EQ(LoadWith("FileFormat=Bj\xc3\xb6rk \xe2\x80\x93 %title%\n").FileFormat,
              "Bj\xc3\xb6rk \xe2\x80\x93 %title%");
}

TEST(SettingsStore, ValueThatIsNotTextStopsTheLoad)
{
    TempSettingsStore store;
    {
        // What QSettings itself writes for a typed value.
        QSettings typed(store.FilePath(), QSettings::IniFormat);
        typed.setValue("TrackLimit", QPoint(1, 2));
    }
    EXPECT_EQ(ErrorOf([] { SettingsStore::Load(Wide); }), "Invalid data type for 'TrackLimit'");

    EXPECT_EQ(ErrorOf([] { LoadWith("TrackLimit=@Variant(\\0\\0\\0\\x2\\0\\0\\0\\x5)\n"); }),
              "Invalid data type for 'TrackLimit'");
    EXPECT_EQ(ErrorOf([] { LoadWith("FileFormat=%title%, %album%\n"); }), "Invalid data type for 'FileFormat'");
    EXPECT_EQ(ErrorOf([] { LoadWith("w=@Invalid()\n"); }), "Invalid data type for 'w'");
    EXPECT_EQ(ErrorOf([] { LoadWith("ExtractPath=@ByteArray(/music)\n"); }), "Invalid data type for 'ExtractPath'");
    // The first refused value in reading order is the one named.
    EXPECT_EQ(ErrorOf([] { LoadWith("ShowToolbar=1, 2\nh=@Invalid()\n"); }), "Invalid data type for 'h'");
    EXPECT_EQ(ErrorOf([] { LoadWith("TrackLimit=\"1, 2\"\nExtractPath=@String(/music)\n"); }), "");
}

TEST(SettingsStore, SaveWritesAllTwelveValuesAsTextWithFirstRunZero)
{
    TempSettingsStore store;
    Settings s;
    s.Bounds = {-7, 12, 900, 640};
    s.TrackLimit = -5;
    s.OverwriteFiles = NeverOverwrite;
    s.FileFormat = "%title%";
    s.ExtractPath = "/home/ann/Music";
    s.ShowToolbar = false;
    ASSERT_TRUE(s.FirstRun);
    SettingsStore::Save(s);

    const QMap<QString, QVariant> stored = store.StoredValues();
    const QMap<QString, QString> expected{
        {"x", "-7"},           {"y", "12"},           {"w", "900"},
        {"h", "640"},          {"TrackLimit", "-5"},  {"OverwriteFiles", "1"},
        {"FileFormat", "%title%"}, {"ExtractPath", "/home/ann/Music"}, {"FirstRun", "0"},
        {"ShowMenuBar", "1"},  {"ShowToolbar", "0"},  {"ShowStatusBar", "1"},
    };
    ASSERT_EQ(stored.keys(), expected.keys());
    for (auto it = stored.cbegin(); it != stored.cend(); ++it) {
        EXPECT_EQ(it.value().typeId(), QMetaType::QString) << it.key().toStdString();
        EXPECT_EQ(it.value().toString(), expected.value(it.key())) << it.key().toStdString();
    }
    EXPECT_TRUE(store.ReadRaw().contains("\nFirstRun=0\n"));
}

TEST(SettingsStore, AwkwardTextsSurviveTheRoundTripAsText)
{
    TempSettingsStore store;
    Settings s;
    s.FileFormat = "%artist%, %album% ; #1 = 100% 'live' [2004]";
    s.ExtractPath = "@Variant(/mnt/Mus\xc3\xafk \xe2\x99\xab), \"quoted\" ~ \t tab \n  ";
    s.LastExtractFolder = s.ExtractPath + "/last";
    SettingsStore::Save(s);
    store.ReopenFromCopy();
    const Settings back = SettingsStore::Load(Wide);
    EXPECT_EQ(back.FileFormat, s.FileFormat);
    EXPECT_EQ(back.LastExtractFolder, s.LastExtractFolder);
    EXPECT_EQ(back.ExtractPath, s.ExtractPath);
}

TEST(SettingsStore, FileWithUnparsableLinesIsStillSaved)
{
    TempSettingsStore store;
    Settings s = SettingsStore::Load(Wide);
    // Edited by hand while the program runs.
    store.WriteRaw("TrackLimit=12\nthis line means nothing\n");
    s.TrackLimit = 30;
    EXPECT_EQ(ErrorOf([&] { SettingsStore::Save(s); }), "");
    EXPECT_EQ(store.StoredValues().value("TrackLimit").toString(), "30");
    EXPECT_FALSE(store.ReadRaw().contains("this line means nothing"));
}

TEST(SettingsStore, SaveThatCannotCreateTheStoreThrows)
{
    TempSettingsStore store;
    // A file where the store's folder should be: no one, root included, can create the store.
    QFile blocker(store.ConfigFolder() + "/Mardle Works");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.write("in the way");
    blocker.close();
    // The message names the file the user would look for.
    EXPECT_EQ(ErrorOf([] { SettingsStore::Save(Settings{}); }),
              "Failed to create key " + store.FilePath().toStdString());
    EXPECT_TRUE(blocker.open(QIODevice::ReadOnly));
    EXPECT_EQ(blocker.readAll(), "in the way");
}
