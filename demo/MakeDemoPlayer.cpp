// Writes the demo player folder: MakeDemoPlayer <folder>
#include "DemoPlayer.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argc > 0 ? argv[0] : "MakeDemoPlayer");
        return 2;
    }
    std::string error;
    if (!WriteDemoPlayer(argv[1], error)) {
        std::fprintf(stderr, "MakeDemoPlayer: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s/iPod_Control/iTunes/iTunesDB: %d tracks, %d playlists\n", argv[1], kDemoTrackCount,
                kDemoPlaylistCount);
    return 0;
}
