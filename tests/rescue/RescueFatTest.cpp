// The rescue on a FAT file system in user space, which needs FUSE (and root, or a user who may
// mount one): apart from the other tests, so that a run without it skips this alone.
#include "FatMount.h"
#include "RescuePlayerFixture.h"

namespace {

using namespace rescuefixture;

// Real players are FAT: a file that the database spells in another letter case is listed
// once, from the database, not a second time from its tags.
TEST(RescuePlayer, HealthyPlayerOnFatListsEachFileOnce)
{
    TempDir dir;
    const FatMount fat(dir.File(""));
    if (!fat.Ready())
        GTEST_SKIP() << fat.Why();
    Player player(fat.Root());
    AddFiles(player);
    player.WriteDatabase(ThreeTrackDatabase().Build());
    const RescuedPlayer rescued = RescuePlayer(player.Root());
    EXPECT_EQ(Listed(rescued), (std::vector<std::string>{"Db One db 1", "Db Two db 2", "Db Three db 3",
                                                         "Night Ferry tags 4", "Lantern Clip tags 5"}));
}

} // namespace
