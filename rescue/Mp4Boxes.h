#pragma once

#include "CappedStream.h"

#include <cstdint>

// What TagLib leaves unread in an MP4 file, read from its boxes through the capped stream; each
// looks at no more than 64 boxes on a level and gives 0 when the box is absent or damaged.

// The movie's own length from its header (moov/mvhd), for a video without a sound track, whose
// length TagLib does not read.
std::uint32_t MovieLengthMs(CappedStream& stream);

// The sample rate of a protected AAC file's first sample entry (drms), which TagLib leaves
// unread: the entry is laid out as an AAC one.
int ProtectedSampleRate(CappedStream& stream);
