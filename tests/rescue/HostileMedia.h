#pragma once

// Media files built in code for the rescue's tests, benchmark and fuzz seeds: tags of every kind,
// and files made to crash, stall or exhaust a tag reader.

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace hostile {

using Bytes = std::vector<std::uint8_t>;

inline void Append(Bytes& to, const std::string& text) { to.insert(to.end(), text.begin(), text.end()); }
inline void Append(Bytes& to, const Bytes& more) { to.insert(to.end(), more.begin(), more.end()); }

inline std::string BigEndian32(std::uint32_t n)
{
    return {char(n >> 24), char(n >> 16 & 0xFF), char(n >> 8 & 0xFF), char(n & 0xFF)};
}
inline std::string LittleEndian32(std::uint32_t n)
{
    return {char(n & 0xFF), char(n >> 8 & 0xFF), char(n >> 16 & 0xFF), char(n >> 24)};
}
inline std::string SyncSafe(std::uint32_t n)
{
    return {char(n >> 21 & 0x7F), char(n >> 14 & 0x7F), char(n >> 7 & 0x7F), char(n & 0x7F)};
}

// One ID3v2 frame of version 3 (plain size) or 4 (7-bit size).
inline Bytes Frame(int version, const std::string& id, const Bytes& body)
{
    Bytes frame;
    Append(frame, id + (version >= 4 ? SyncSafe(std::uint32_t(body.size())) : BigEndian32(std::uint32_t(body.size()))));
    Append(frame, std::string(2, '\0'));
    Append(frame, body);
    return frame;
}

// A text frame's body: an encoding byte, then the bytes as given.
inline Bytes Text(std::uint8_t encoding, const std::string& bytes)
{
    Bytes body{encoding};
    Append(body, bytes);
    return body;
}

// An ID3v2 tag of the frames given; `claimed`, when not 0, is the body size its header states.
inline Bytes Id3v2(int version, const std::vector<Bytes>& frames, std::uint32_t claimed = 0)
{
    Bytes body;
    for (const Bytes& frame : frames)
        Append(body, frame);
    Bytes tag;
    Append(tag, std::string("ID3") + char(version) + std::string(2, '\0') + SyncSafe(claimed ? claimed : std::uint32_t(body.size())));
    Append(tag, body);
    return tag;
}

// An ID3v2.3 tag of a frame `firstId` and `depth` chapter frames, each inside the one before.
// A first id of "TT2\0" is one that TagLib takes in a version 2.3 tag and goes on after.
inline Bytes NestedChapters(int depth, const std::string& firstId = "TIT2")
{
    // Written from the outside in: the frame at level i holds 18 bytes of its own and the
    // frame below, 10 bytes of header and its body.
    Bytes chapters;
    for (int i = 0; i < depth; ++i) {
        const auto body = std::uint32_t(18 + 28 * (depth - 1 - i));
        Append(chapters, "CHAP" + BigEndian32(body) + std::string(2, '\0') + std::string("c\0", 2) + std::string(16, '\0'));
    }
    return Id3v2(3, {Frame(3, firstId, Text(0, "Deep")), chapters});
}

// An ID3v2.3 tag of a title and a picture frame of `pictureBytes`, as cover art makes one.
inline Bytes CoverArt(std::size_t pictureBytes)
{
    Bytes picture = Text(0, std::string("image/jpeg\0\x03\0", 13));
    picture.resize(picture.size() + pictureBytes, 0xA5);
    return Id3v2(3, {Frame(3, "TIT2", Text(0, "Cover")), Frame(3, "APIC", picture)});
}

// An ID3v2.3 tag of `count` tiny user text frames.
inline Bytes ManyTextFrames(int count)
{
    const Bytes frame = Frame(3, "TXXX", Text(0, std::string("k\0v", 3)));
    std::vector<Bytes> frames(static_cast<std::size_t>(count), frame);
    frames.insert(frames.begin(), Frame(3, "TIT2", Text(0, "Crowded")));
    return Id3v2(3, frames);
}

// An M4A file of `depth` movie atoms, each inside the one before.
inline Bytes NestedAtoms(int depth)
{
    Bytes file;
    Append(file, BigEndian32(20) + "ftypM4A " + std::string(8, '\0'));
    for (int i = 0; i < depth; ++i)
        Append(file, BigEndian32(std::uint32_t(8 * (depth - i))) + "moov");
    return file;
}

// An ID3v1.1 tag with a track number.
inline Bytes Id3v1(const std::string& title, int track)
{
    std::string tag = "TAG";
    for (std::string field : {title, std::string("V1 Artist"), std::string("V1 Album")}) {
        field.resize(30, '\0');
        tag += field;
    }
    tag += "1999" + std::string(29, '\0') + char(track) + '\x11';
    return {tag.begin(), tag.end()};
}

// An APEv2 tag (items, then a footer) of the keys and values given.
inline Bytes ApeTag(const std::vector<std::pair<std::string, std::string>>& items)
{
    Bytes body;
    for (const auto& [key, value] : items)
        Append(body, LittleEndian32(std::uint32_t(value.size())) + LittleEndian32(0) + key + '\0' + value);
    Bytes tag = body;
    Append(tag, "APETAGEX" + LittleEndian32(2000) + LittleEndian32(std::uint32_t(body.size() + 32)) +
                    LittleEndian32(std::uint32_t(items.size())) + LittleEndian32(0) + std::string(8, '\0'));
    return tag;
}

// A PCM WAV file of 16-bit mono samples at `rate` Hz; `dataBytes` of silence (0: no data chunk),
// and any chunks given before the data.
inline Bytes Wav(std::uint32_t rate, std::uint32_t dataBytes, const Bytes& chunks = {})
{
    Bytes wav;
    Append(wav, std::string("fmt ") + LittleEndian32(16) + std::string("\x01\x00\x01\x00", 4) + LittleEndian32(rate) +
                    LittleEndian32(rate * 2) + std::string("\x02\x00\x10\x00", 4));
    Append(wav, chunks);
    if (dataBytes > 0) {
        Append(wav, "data" + LittleEndian32(dataBytes));
        wav.resize(wav.size() + dataBytes, 0);
    }
    Bytes file;
    Append(file, "RIFF" + LittleEndian32(std::uint32_t(wav.size() + 4)) + "WAVE");
    Append(file, wav);
    return file;
}

// An M4A file whose metadata atom lacks its version and flags and is followed at once by item
// lists nested `depth` deep.
inline Bytes BareMetaNestedItems(int depth)
{
    Bytes file;
    Append(file, BigEndian32(20) + "ftypM4A " + std::string(8, '\0'));
    const auto inner = std::uint32_t(8 * depth);
    Append(file, BigEndian32(24 + inner) + "moov" + BigEndian32(16 + inner) + "udta" + BigEndian32(8 + inner) + "meta");
    for (int i = 0; i < depth; ++i)
        Append(file, BigEndian32(std::uint32_t(8 * (depth - i))) + "ilst");
    return file;
}

// An ID3v2.4 tag of `count` chapter frames side by side, each with a data length indicator that
// reaches past its own frame to the end of the tag.
inline Bytes OverreachingChapters(int count)
{
    constexpr std::uint32_t kFrame = 10 + 22;
    Bytes body;
    for (int i = 0; i < count; ++i) {
        const auto rest = std::uint32_t(kFrame * (count - i));
        Append(body, "CHAP" + SyncSafe(22) + std::string("\0\x01", 2) + SyncSafe(rest) + std::string("c\0", 2) +
                         std::string(16, '\0'));
    }
    return Id3v2(4, {body});
}

// An ID3v2.3 tag of `bytes` in all, starting with `count` tiny compressed text frames.
inline Bytes CompressedFrames(int count, std::size_t bytes)
{
    // zlib's compression of the two bytes 0 and 'a'.
    const std::string zlib("\x78\x9c\x63\x48\x04\x00\x00\x63\x00\x62", 10);
    Bytes body;
    for (int i = 0; i < count; ++i)
        Append(body, "TXXX" + BigEndian32(std::uint32_t(4 + zlib.size())) + std::string("\0\x80", 2) + BigEndian32(2) + zlib);
    body.resize(std::max(body.size(), bytes - 10), 0);
    return Id3v2(3, {body});
}

// A file of `size` bytes that holds `pieces` at their offsets and a hole elsewhere.
struct SparseFile {
    std::uint64_t Size = 0;
    std::vector<std::pair<std::uint64_t, Bytes>> Pieces;
};

// An M4A file of `count` free atoms of `spacing` bytes each, after its file type.
inline SparseFile SpacedAtoms(int count, std::uint32_t spacing)
{
    SparseFile file;
    Bytes type;
    Append(type, BigEndian32(20) + "ftypM4A " + std::string(8, '\0'));
    file.Pieces.emplace_back(0, type);
    for (int i = 0; i < count; ++i) {
        Bytes atom;
        Append(atom, BigEndian32(spacing) + "free");
        file.Pieces.emplace_back(20 + std::uint64_t(i) * spacing, atom);
    }
    file.Size = 20 + std::uint64_t(count) * spacing;
    return file;
}

// An APEv2 tag of `count` tiny items.
inline Bytes CrowdedApeTag(int count)
{
    std::vector<std::pair<std::string, std::string>> items;
    for (int i = 0; i < count; ++i)
        items.emplace_back("K" + std::to_string(i), "v");
    return ApeTag(items);
}

// An AIFF file of a second of silence at 8 kHz (8-bit mono), with the chunks given after it.
inline Bytes Aiff(const Bytes& chunks = {})
{
    Bytes form;
    Append(form, "AIFFCOMM" + BigEndian32(18) + std::string("\x00\x01", 2) + BigEndian32(8000) + std::string("\x00\x08", 2));
    Append(form, std::string("\x40\x0B\xFA\x00\x00\x00\x00\x00\x00\x00", 10)); // 8000 as an 80-bit float
    Append(form, "SSND" + BigEndian32(8 + 8000) + std::string(8, '\0'));
    form.resize(form.size() + 8000, 0);
    Append(form, chunks);
    Bytes file;
    Append(file, "FORM" + BigEndian32(std::uint32_t(form.size())));
    Append(file, form);
    return file;
}

} // namespace hostile
