#include "MediaKind.h"

#include <algorithm>
#include <cctype>

MediaKind MediaKindOf(const std::string& fileName)
{
    const std::size_t dot = fileName.rfind('.');
    if (dot == std::string::npos || dot == 0)
        return MediaKind::None;
    std::string ext = fileName.substr(dot + 1);
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    if (ext == "mp3")
        return MediaKind::Mpeg;
    if (ext == "m4a" || ext == "m4b" || ext == "m4p")
        return MediaKind::Mp4Audio;
    if (ext == "m4v" || ext == "mp4" || ext == "mov")
        return MediaKind::Mp4Video;
    if (ext == "wav")
        return MediaKind::Wav;
    if (ext == "aif" || ext == "aiff")
        return MediaKind::Aiff;
    return MediaKind::None;
}
