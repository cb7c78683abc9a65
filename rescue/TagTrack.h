#pragma once

#include "OneTrack.h"
#include "PlayerFiles.h"
#include "TagFields.h"
#include "TagReading.h"

#include <string>

// The track of one media file on the player from what its tags gave (TagFile.h), or the reason
// it gives none. A file without a title takes its file name without the extension; the track's
// location is the file's player location and its source is Tags; its id and ordinal are left
// to the caller.
TagReading TrackFromResult(const PlayerFile& file, const TagResult& result);

// Reads one file through a tag reader of its own (ReadTagsInParallel): true with `track` filled,
// or false with `reason` set; `unreadable`, when given, tells whether the file could not be read
// (permission or I/O errors, or a reader that it ended) rather than held no media.
bool ReadTagTrack(const PlayerFile& file, OneTrack& track, std::string& reason, bool* unreadable = nullptr);
