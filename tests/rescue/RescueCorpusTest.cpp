// The rescue's reading of the real databases beside the repository: apart from the other tests,
// so that a run without them skips this alone.
#include "ITDBParser.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

namespace {

namespace fs = std::filesystem;

// Whatever a healthy database holds, Salvage reads exactly as Parse does.
TEST(Salvage, ReadsRealDatabasesAsParseDoes)
{
    const char* corpus = std::getenv("VARNEL_CORPUS_DIR");
    const fs::path folder = corpus ? corpus : VARNEL_CORPUS_DIR;
    if (!fs::is_directory(folder))
        GTEST_SKIP() << "no corpus at " << folder;
    for (const auto& entry : fs::directory_iterator(folder)) {
        const std::string ext = entry.path().extension().string();
        if (ext != ".itdb" && ext != ".itcdb")
            continue;
        SCOPED_TRACE(entry.path().filename().string());
        ITDBParser parsed(entry.path().string());
        ITDBParser salvaged(entry.path().string());
        const int count = parsed.Parse(-1);
        EXPECT_EQ(salvaged.Salvage(), count < 0 ? -1 : count);
        ASSERT_EQ(salvaged.TrackCount(), parsed.TrackCount());
        for (const auto& [id, track] : parsed.GetTracks()) {
            const OneTrack* other = salvaged.FindTrack(id);
            ASSERT_NE(other, nullptr);
            EXPECT_EQ(other->GetOrdinal(), track.GetOrdinal());
            EXPECT_EQ(other->GetTitle(), track.GetTitle());
            EXPECT_EQ(other->GetLocation(), track.GetLocation());
        }
        // Parse reads no playlists when there are no tracks.
        if (count <= 0)
            continue;
        ASSERT_EQ(salvaged.PlaylistCount(), parsed.PlaylistCount());
        for (int i = 0; i < parsed.PlaylistCount(); ++i)
            EXPECT_EQ(salvaged.GetPlaylist(i)->GetItems(), parsed.GetPlaylist(i)->GetItems());
    }
}

} // namespace
