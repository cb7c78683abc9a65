#include "ArtworkWriter.h"
#include "LibraryPlayer.h"

#include <nlohmann/json.hpp>

#include <taglib/attachedpictureframe.h>
#include <taglib/id3v2tag.h>
#include <taglib/mpegfile.h>
#include <taglib/popularimeterframe.h>

#include <algorithm>

namespace fs = std::filesystem;
using namespace itdbwriter;


TEST_F(LibraryPlayer, WhatThePlayerNotedReachesTheListsAndTheTaggedCopies)
{
    const fs::path itunes = Root / "iPod_Control/iTunes";
    // Intro (the first track) played twice and skipped once since the sync, and given five stars.
    WriteFile((itunes / "Play Counts").string(),
              PlayerNoteFile("mhdp", 96, 28, {{2, static_cast<std::int32_t>(3786912000u), 0, 100, 0, 1, 0}, {}, {}, {}, {}}));
    WriteFile((itunes / "OTGPlaylistInfo").string(), PlayerNoteFile("mhpo", 96, 4, {{2}, {0}}));
    // Intro's cover: image 100, which its track header names.
    Bytes db = Db.Build();
    const auto first = std::search(db.begin(), db.end(), std::begin("mhit"), std::end("mhit") - 1);
    PutInt32(db, static_cast<std::size_t>(first - db.begin()) + 352, 100);
    WriteFile(DatabasePath(), db);
    const fs::path artwork = Root / "iPod_Control/Artwork";
    fs::create_directories(artwork);
    const auto grey = [](int, int) { return artworkwriter::Rgb{128, 128, 128}; };
    WriteFile((artwork / "F1060_1.ithmb").string(), artworkwriter::Rgb565Slot(8, 8, 0, 0, 8, 8, grey));
    WriteFile((artwork / "ArtworkDB").string(),
              artworkwriter::ArtworkDatabase({{100, 0, {{1060, u":F1060_1.ithmb", 0, 128, 8, 8, 0, 0}}}}));
    WriteText(Root / "iPod_Control/Music/F00/AAAA.mp3", ReadFile(std::string(VARNEL_RESCUE_MEDIA) + "/notags.mp3"));

    const ProgramResult tracks = Run({"tracks", Root.string(), "--format", "json"});
    ASSERT_EQ(tracks.ExitCode, 0) << tracks.Err;
    const nlohmann::json intro = nlohmann::json::parse(tracks.Out)[0];
    EXPECT_EQ(intro["play_count"], 5);
    EXPECT_EQ(intro["skip_count"], 1);
    EXPECT_EQ(intro["rating"], 100);
    EXPECT_EQ(intro["last_played"], "2024-01-01T00:00:00Z");

    const ProgramResult onTheGo = Run({"tracks", Root.string(), "--playlist", "On-The-Go 1", "--format", "json"});
    ASSERT_EQ(onTheGo.ExitCode, 0) << onTheGo.Err;
    std::vector<int> ids;
    for (const auto& row : nlohmann::json::parse(onTheGo.Out))
        ids.push_back(row["id"]);
    EXPECT_EQ(ids, (std::vector<int>{203, 201}));

    const fs::path dest = Temp.File("tagged");
    const ProgramResult run = Run({"extract", Root.string(), dest.string(), "--template", "%title% %disc%", "--write-tags"});
    EXPECT_EQ(run.ExitCode, 0) << run.Err;
    EXPECT_NE(run.Err.find("warning: 4 copies could not be tagged"), std::string::npos) << run.Err;
    const std::map<std::string, std::string> copies = FilesBelow(dest);
    EXPECT_EQ(copies.size(), 5u);
    for (const auto& [name, bytes] : copies) // the untagged ones are the plain copies
        EXPECT_TRUE(name == "Intro 1.mp3" || bytes.starts_with("audio of ")) << name;
    TagLib::MPEG::File copy((dest / "Intro 1.mp3").c_str());
    ASSERT_TRUE(copy.ID3v2Tag());
    const auto popm = copy.ID3v2Tag()->frameList("POPM");
    ASSERT_EQ(popm.size(), 1u);
    EXPECT_EQ(static_cast<TagLib::ID3v2::PopularimeterFrame*>(popm.front())->rating(), 255);
    EXPECT_EQ(static_cast<TagLib::ID3v2::PopularimeterFrame*>(popm.front())->counter(), 5u);
    EXPECT_EQ(copy.ID3v2Tag()->frameList("APIC").size(), 1u);
    EXPECT_EQ(copy.ID3v2Tag()->title(), "Intro");

    // Without --write-tags the copy is the file as it is on the player.
    const fs::path plain = Temp.File("plain");
    EXPECT_EQ(Run({"extract", Root.string(), plain.string(), "--template", "%title% %disc%"}).ExitCode, 0);
    EXPECT_EQ(ReadFile(plain / "Intro 1.mp3"), ReadFile(Root / "iPod_Control/Music/F00/AAAA.mp3"));
}
