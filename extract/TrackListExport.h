#pragma once

#include <string>
#include <string_view>
#include <vector>

class OneTrack;

// The exported track list: UTF-16 little-endian with a byte order mark, a header line, then one
// line per track with the nine columns of the track list, each line ended by a single line feed.
// The functions below append the bytes of the file to `out`, so that a caller can write them in
// pieces of its choosing.

// The byte order mark and the header line.
void AppendExportHeader(std::string& out);

// One track's line.
void AppendExportRow(std::string& out, const OneTrack& track);

// `text` in double quotes, every double quote inside it doubled.
void WriteQuotedField(std::string& out, std::u16string_view text);
