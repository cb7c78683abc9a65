#pragma once

#include <iosfwd>
#include <vector>

class ITDBParser;
class OneTrack;

enum class OutputFormat { Table, Csv, Json };

// The rows of the track list with the window's nine column texts. CSV is UTF-8 with the header
// line and the quoting of the exported track list; JSON is an array with one object per row.
void PrintTracks(std::ostream& out, const std::vector<const OneTrack*>& rows, OutputFormat format);

// Every playlist in file order with its item count (the ids it lists, read or not), the master
// marked.
void PrintPlaylists(std::ostream& out, const ITDBParser& parser, OutputFormat format);
