#pragma once

#include <string>
#include <vector>

class OneTrack;

// An .m3u8 playlist: UTF-8 text that starts with "#EXTM3U" and holds, for each entry, an
// "#EXTINF:seconds,Artist - Title" line and then the path of the entry's file, relative to the
// playlist file's folder with "/" between folders. Line breaks and other control characters in
// the texts become spaces, so that every entry keeps its two lines.
struct M3uEntry {
    const OneTrack* Track;
    std::string Path;
};

std::string M3uText(const std::vector<M3uEntry>& entries);

// `file` relative to `folder`, both absolute or both relative to one folder, with "/" between
// folders: "../Band/First/1 - Intro.mp3" for a playlist in "DEST/Playlists".
std::string PathFromFolder(const std::string& folder, const std::string& file);
