#pragma once

#include "OneTrack.h"
#include "PlayerFiles.h"

#include <string>

// Fills `track` from the tags and audio properties of one media file on the player, read through
// TagLib with the fast reading style and a CappedStream. Title, artist, album, album artist,
// genre, composer, comment, track and disc numbers and year come from the tags; length, bit rate
// and sample rate from the audio properties; the track type and the encoding text from the kind
// of file; the location is the file's player location. A file without a title takes its file
// name without the extension. The track's source is Tags; its id and ordinal are left to the
// caller.
//
// False, with `reason` set, when the file is not one TagLib can read (foreign content under a
// media name, a file cut short before anything readable, an open failure) or when reading it
// cost more than its cap allows; `unreadable`, when given, tells whether the file could not be
// read at all (permission or I/O errors) rather than held no media. A file without audio (no
// sample rate or no length) gives no track. A tag that is too large or nested too deep to read
// safely is left out; when nothing else can be read either, that is the reason.
bool ReadTagTrack(const PlayerFile& file, OneTrack& track, std::string& reason, bool* unreadable = nullptr);
