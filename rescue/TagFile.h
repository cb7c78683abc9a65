#pragma once

#include "MediaKind.h"
#include "TagFields.h"

// Reads the tags and audio properties of the media file open at `fd`, of the kind given, through
// TagLib with the fast reading style and a CappedStream. Title, artist, album, album artist,
// genre, composer, comment, track and disc numbers and year come from the tags, each from the
// first tag that holds it (ID3v2, then APEv2, then ID3v1 or RIFF INFO); length, bit rate and
// sample rate from the audio properties; the encoding text from the kind of file.
//
// TagLib is not safe on hostile input: this runs in the tag reader's own process (varnel-tags),
// under its limits. A file that is not one TagLib can read, or is cut short before anything
// readable, is NotMedia. An MP3, WAV or AIFF file without audio (no sample rate or no length) is
// NoAudio; an MP4 file needs only a length (a protected AAC file or a video without sound). A
// read error is ReadError unless the file's audio and tags were read before it.
TagResult ReadTagFile(int fd, MediaKind kind);
