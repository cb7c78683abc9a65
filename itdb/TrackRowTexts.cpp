#include "TrackRowTexts.h"

#include "OneTrack.h"
#include "TextConvert.h"

#include <string>
#include <string_view>

const std::array<std::u16string, TrackColumnCount> kTrackColumnHeaders = {
    u"Track #", u"Title", u"Artist", u"Album", u"Length",
    u"Track Type", u"Encoding", u"Bit Rate", u"Sample Rate",
};

namespace {

std::u16string Ascii(std::string_view text)
{
    return std::u16string(text.begin(), text.end());
}

} // namespace

std::u16string TrackCellText(const OneTrack& track, TrackColumn column)
{
    switch (column) {
    case ColTrackNumber: return Ascii(std::to_string(track.GetTrackNumber()));
    case ColTitle: return std::u16string(track.GetTitle());
    case ColArtist: return std::u16string(track.GetArtist());
    case ColAlbum: return std::u16string(track.GetAlbum());
    case ColLength: return Ascii(track.GetLengthText());
    case ColTrackType: return Ascii(track.GetTrackType());
    case ColEncoding: return WideFromNarrow(track.GetEncoding());
    case ColBitRate: return Ascii(std::to_string(track.GetBitRate()) + " kBps");
    case ColSampleRate: return Ascii(std::to_string(track.GetSampleRate()) + " Hz");
    case TrackColumnCount: break;
    }
    return {};
}

std::array<std::u16string, TrackColumnCount> TrackRowTexts(const OneTrack& track)
{
    std::array<std::u16string, TrackColumnCount> row;
    for (int c = 0; c < TrackColumnCount; ++c)
        row[c] = TrackCellText(track, static_cast<TrackColumn>(c));
    return row;
}
