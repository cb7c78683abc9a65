#pragma once

#include "MediaKind.h"
#include "TagFields.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The messages between the program and its tag readers (varnel-tags), one datagram each on a
// UNIX sequenced-packet socket: little-endian numbers, texts as a 32-bit length and the units.
// The reader checks every length against what the message holds and against the bounds below;
// a message that breaks one reads as none, and its sender is then treated as broken.
namespace tagwire {

constexpr std::uint32_t kVersion = 1;
// The largest message either side sends or accepts.
constexpr std::size_t kMaxMessage = 64 * 1024;
// Files in one request; their descriptors travel with it.
constexpr std::size_t kMaxBatch = 32;
// A tag text is cut to this many UTF-16 units, so that the longest result fits a message.
constexpr std::size_t kMaxText = 4000;
constexpr std::size_t kMaxName = 255;

using Bytes = std::vector<std::uint8_t>;

// The reader's greeting: its version and the limits it runs under.
struct Hello {
    std::uint32_t Version = kVersion;
    bool AddressLimit = false; // RLIMIT_AS set
    bool Confined = false;     // the seccomp filter loaded
};

// A batch of files to read: each file's kind and name (the name only for the test hook and
// diagnostics); the descriptors come beside the message, in the same order.
struct Request {
    std::uint32_t Batch = 0;
    std::vector<std::pair<MediaKind, std::string>> Files;
};

// The results of the files of one batch read so far, each with its place in the batch.
struct Reply {
    std::uint32_t Batch = 0;
    std::vector<std::pair<std::uint8_t, TagResult>> Results;
};

// A copy to tag (CopyTagger.h), its descriptor beside the message, open for reading and
// writing, and after it a sealed memory file of the cover's JPEG bytes when Cover is set.
struct CopyTags {
    std::uint32_t Seq = 0;
    std::uint8_t Kind = 0;   // TagKind
    std::string Name;        // the track's file name on the player (for the test hook)
    std::u16string Texts[6]; // title, artist, album, album artist, genre, composer
    std::int32_t Numbers[7] = {}; // year, track, track count, disc, disc count, rating, plays
    bool Compilation = false;
    bool Cover = false;
};

// How tagging a copy ended: tagged, or not with the reason, whether the copy was changed, and
// the errno of a failed read or write of it.
struct CopyTagged {
    std::uint32_t Seq = 0;
    bool Tagged = false;
    bool Changed = false;
    std::int32_t Error = 0;
    std::string Reason;
};

Bytes Encode(const CopyTags& tags);
Bytes Encode(const CopyTagged& tagged);
std::optional<CopyTags> DecodeCopyTags(const std::uint8_t* data, std::size_t size);
std::optional<CopyTagged> DecodeCopyTagged(const std::uint8_t* data, std::size_t size);

Bytes Encode(const Hello& hello);
Bytes Encode(const Request& request);
// The reply with `result` added, or none when it would pass kMaxMessage (send the reply first).
bool Append(Bytes& reply, std::uint32_t batch, std::uint8_t index, const TagResult& result);

std::optional<Hello> DecodeHello(const std::uint8_t* data, std::size_t size);
std::optional<Request> DecodeRequest(const std::uint8_t* data, std::size_t size);
std::optional<Reply> DecodeReply(const std::uint8_t* data, std::size_t size);

} // namespace tagwire
