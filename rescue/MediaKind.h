#pragma once

#include <string>

// The kinds of media file the rescue reads, by extension (any letter case).
enum class MediaKind { None, Mpeg, Mp4Audio, Mp4Video, Wav, Aiff };
MediaKind MediaKindOf(const std::string& fileName);
