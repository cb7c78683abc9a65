#include "ExtractRun.h"

#include "CopyHooks.h"
#include "FatMount.h"
#include "ITDBParser.h"
#include "ItdbWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

// Answers every question with "go on", and notes the failures it was told of.
class RecordingHost : public ExtractRunHost {
public:
    OverwriteAnswer AskOverwrite(const RunItem&) override { return AnswerYes; }
    bool Failed(const RunItem& item, const std::string& reason, const std::vector<const RunItem*>&,
                const std::string& fatal) override
    {
        Failures.push_back(item.Plan.Destination + ": " + reason);
        return fatal.empty();
    }
    void Progress(const RunProgress&) override { ++Reports; }
    bool StopRequested() override { return false; }

    std::vector<std::string> Failures;
    int Reports = 0;
};

std::string Read(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

void Write(const fs::path& path, const std::string& bytes)
{
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
}

// Every file below `folder`, as paths relative to it, sorted.
std::vector<std::string> FilesBelow(const fs::path& folder)
{
    std::vector<std::string> files;
    for (const auto& entry : fs::recursive_directory_iterator(folder)) {
        if (!entry.is_directory() || entry.is_symlink())
            files.push_back(entry.path().lexically_relative(folder).string());
    }
    std::sort(files.begin(), files.end());
    return files;
}

// A player with "Road Song" and "road song" by Band, "Intro" by Other, the playlist "Road Trip"
// of all three; the copies go to Out.
class ExtractRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Top = fs::temp_directory_path() / ("varnel-run-" + std::to_string(::getpid()));
        fs::remove_all(Top);
        Out = Top / "out";
        fs::create_directories(Out);
        const struct {
            const char16_t* Title;
            const char16_t* Artist;
            const char* File;
        } tracks[] = {{u"Road Song", u"Band", "F00/AAAA.mp3"}, {u"road song", u"Band", "F01/BBBB.mp3"},
                      {u"Intro", u"Other", "F02/CCCC.mp3"}};
        std::vector<itdbwriter::TrackSpec> records;
        std::vector<std::int32_t> ids;
        for (const auto& t : tracks) {
            const auto id = static_cast<std::int32_t>(100 + ids.size());
            std::string location = std::string(":iPod_Control:Music:") + t.File;
            std::replace(location.begin(), location.end(), '/', ':');
            records.push_back(itdbwriter::Track(id, t.Title, std::u16string(location.begin(), location.end()), u"Album",
                                                t.Artist));
            ids.push_back(id);
            Write(Player() / "iPod_Control/Music" / t.File, std::string(1000 + ids.size(), 'a'));
        }
        itdbwriter::Database db;
        db.AddTracks(records);
        db.AddPlaylists({itdbwriter::Playlist(u"iPod", true, ids), itdbwriter::Playlist(u"Road Trip", false, ids)});
        fs::create_directories(Player() / "iPod_Control/iTunes");
        db.WriteTo((Player() / "iPod_Control/iTunes/iTunesDB").string());
        Database = std::make_unique<ITDBParser>((Player() / "iPod_Control/iTunes/iTunesDB").string());
        ASSERT_EQ(Database->Parse(-1), 3);
        for (const std::int32_t id : ids)
            Tracks.push_back(Database->FindTrack(id));
    }
    void TearDown() override
    {
        SetCopyHooks(nullptr);
        ::umount2(Out.c_str(), MNT_DETACH);
        fs::remove_all(Top);
    }

    fs::path Player() const { return Top / "player"; }
    std::unique_ptr<ExtractRun> Planned(bool dryRun = false, bool playlists = true)
    {
        auto run = std::make_unique<ExtractRun>(RunSetup{Player().string(), Out.string(), NeverOverwrite, nullptr, dryRun},
                                                Host);
        EXPECT_TRUE(run->Plan(*Database, Tracks, {"%artist%/%title%", true}, playlists));
        EXPECT_FALSE(run->FirstOnPlayer());
        return run;
    }

    fs::path Top;
    fs::path Out;
    std::unique_ptr<ITDBParser> Database;
    std::vector<const OneTrack*> Tracks;
    RecordingHost Host;
};

// Letter case counts as the file system that holds each copy's folder counts it: a FAT disk
// mounted inside a destination on a case-sensitive disk gets "(2)" for the twin, in the dry run
// as in the real run, and nothing is lost.
TEST_F(ExtractRunTest, LetterCaseIsDecidedForEachFileSystemACopyLandsOn)
{
    fs::create_directories(Top / "fat");
    FatMount fat((Top / "fat").string());
    if (!fat.Ready())
        GTEST_SKIP() << fat.Why();
    fs::create_directory_symlink(fat.Root(), Out / "Band");
    for (const bool dryRun : {true, false}) {
        const auto run = Planned(dryRun, false);
        std::vector<std::string> names;
        for (const RunItem& item : run->Tracks())
            names.push_back(fs::path(item.Plan.Destination).lexically_relative(Out).string());
        EXPECT_EQ(names, (std::vector<std::string>{"Band/Road Song.mp3", "Band/road song (2).mp3", "Other/Intro.mp3"}))
            << dryRun;
        if (dryRun)
            continue;
        ASSERT_EQ(run->Open(), 0);
        const RunCounts counts = run->CopyTracks();
        EXPECT_EQ(counts.Copied, 3) << Host.Failures.size();
        EXPECT_EQ(FilesBelow(fat.Root()), (std::vector<std::string>{"Road Song.mp3", "road song (2).mp3"}));
    }
    // On the case-sensitive disk itself, the twins need no number.
    fs::remove(Out / "Band");
    EXPECT_EQ(fs::path(Planned(true, false)->Tracks()[1].Plan.Destination).lexically_relative(Out), "Band/road song.mp3");
}

// What is written after the gate judged the paths goes through the folders as opened and judged
// then: a playlist folder turned into a link onto the player, or a destination unmounted, gets
// nothing; the source changed since planning looked at it is not copied.
TEST_F(ExtractRunTest, WhatChangesAfterPlanningIsJudgedAsItIsWritten)
{
    const bool root = ::geteuid() == 0;
    const fs::path music = Player() / "iPod_Control/Music";
    const std::vector<std::string> player = FilesBelow(Player());
    const struct {
        const char* What;
        std::function<void()> Change; // once the last track's bytes are copied
        int Copied;
        bool Gone;
        std::vector<std::string> Left; // what Out holds afterwards
    } cases[] = {
        {"playlists' folder a link onto the player",
         [&] { fs::create_directory_symlink(Player() / "iPod_Control/iTunes", Out / "Playlists"); }, 3, false,
         {"Band/Road Song.mp3", "Band/road song.mp3", "Other/Intro.mp3", "Playlists"}},
        {"destination unmounted", [&] { ::umount2(Out.c_str(), MNT_DETACH); }, 0, true, {}},
    };
    for (const auto& c : cases) {
        if (std::string(c.What) == "destination unmounted" &&
            (!root || ::mount("tmpfs", Out.c_str(), "tmpfs", 0, "size=1m") != 0)) {
            std::cout << "skipped without root: " << c.What << '\n';
            continue;
        }
        const auto run = Planned();
        ASSERT_EQ(run->Open(), 0);
        CopyHooks hooks;
        hooks.AtStep = [&](CopyStep step, const std::string& destination) {
            if (step == CopyStep::ContentsCopied && destination == run->Tracks().back().Plan.Destination)
                c.Change();
        };
        SetCopyHooks(&hooks);
        const RunCounts tracks = run->CopyTracks();
        const RunCounts lists = run->WritePlaylists();
        SetCopyHooks(nullptr);
        EXPECT_EQ(tracks.Copied, c.Copied) << c.What;
        EXPECT_EQ(lists.Copied, 0) << c.What;
        EXPECT_EQ(!lists.StopReason.empty(), c.Gone) << c.What << lists.StopReason;
        EXPECT_EQ(FilesBelow(Player()), player) << c.What;
        EXPECT_EQ(FilesBelow(Out), c.Left) << c.What;
        fs::remove_all(Out);
        fs::create_directories(Out);
    }

    // Replaced by another file of the same size and time between planning and copying.
    const auto run = Planned(false, false);
    const fs::path intro = music / "F02/CCCC.mp3";
    Write(music / "other", std::string(fs::file_size(intro), 'b'));
    fs::last_write_time(music / "other", fs::last_write_time(intro));
    fs::rename(music / "other", intro);
    ASSERT_EQ(run->Open(), 0);
    EXPECT_EQ(run->CopyTracks().Failed, 1);
    EXPECT_EQ(Host.Failures.back(), (Out / "Other/Intro.mp3").string() + ": " + kSourceChangedMessage);
    EXPECT_FALSE(fs::exists(Out / "Other/Intro.mp3"));
}

// Playlists are written like copies, and meet the overwrite mode as copies do; the run reports
// its progress while it works.
TEST_F(ExtractRunTest, PlaylistsListTheCopiesInPlace)
{
    Write(Out / "Playlists/Road Trip.m3u8", "older");
    {
        const auto run = Planned();
        ASSERT_EQ(run->Open(), 0);
        run->CopyTracks();
        EXPECT_EQ(run->WritePlaylists().Kept, 1);
        EXPECT_EQ(Read(Out / "Playlists/Road Trip.m3u8"), "older");
    }
    fs::remove(Out / "Band/road song.mp3");
    fs::remove(Out / "Playlists/Road Trip.m3u8");
    const auto run = Planned(false, true);
    ASSERT_EQ(run->Open(), 0);
    EXPECT_EQ(run->WritePlaylists().Copied, 1);
    const std::string list = Read(Out / "Playlists/Road Trip.m3u8");
    EXPECT_NE(list.find("../Band/Road Song.mp3"), std::string::npos) << list;
    EXPECT_EQ(list.find("road song"), std::string::npos) << "a member without a copy is left out: " << list;
    EXPECT_GT(Host.Reports, 0);
}

} // namespace
