// Writes the rescue fuzzer's generated starting points: tags nested, crowded and oversized, WAV
// and AIFF files, small forms of the files that once crashed, exhausted or stalled TagLib, each
// behind the byte that picks its kind of file (0 .mp3, 1 .m4a, 3 .wav, 4 .aif), and a reply of a
// tag reader behind the byte 0xF0.
//   MakeRescueSeeds FOLDER MEDIA_FOLDER
// MEDIA_FOLDER holds the test fixtures; their MPEG audio follows the generated tags.

#include "HostileMedia.h"
#include "TagMessages.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

using namespace hostile;

int main(int argc, char** argv)
{
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s FOLDER MEDIA_FOLDER\n", argv[0]);
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);
    std::ifstream in(std::filesystem::path(argv[2]) / "notags.mp3", std::ios::binary);
    const Bytes audio{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    if (audio.empty()) {
        std::fprintf(stderr, "no notags.mp3 in %s\n", argv[2]);
        return 1;
    }
    int failures = 0;
    const auto put = [&](const char* name, std::uint8_t kind, const Bytes& tag, const Bytes& after = {}) {
        Bytes bytes{kind};
        Append(bytes, tag);
        if (kind == 0)
            Append(bytes, audio);
        Append(bytes, after);
        std::ofstream out(dir / name, std::ios::binary);
        if (!out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()))) {
            std::fprintf(stderr, "cannot write %s\n", name);
            ++failures;
        }
    };
    // Small enough for the fuzzer's input size: the nesting and the crowding are what count.
    put("nested-chapters.mp3", 0, NestedChapters(300));
    put("crowded-tag.mp3", 0, ManyTextFrames(600));
    put("tag-claims-256-mib.mp3", 0, Id3v2(4, {Frame(4, "TIT2", Text(3, "Huge"))}, (256u << 20) - 1));
    put("ape-and-id3v1.mp3", 0, {}, [] {
        Bytes tags = ApeTag({{"Track", "5/9"}, {"Composer", "Ape Writer"}});
        Append(tags, Id3v1("V1 Title", 7));
        return tags;
    }());
    Bytes nested = NestedChapters(200);
    Bytes chunk;
    Append(chunk, "id3 " + LittleEndian32(std::uint32_t(nested.size())));
    Append(chunk, nested);
    chunk.resize((chunk.size() + 1) & ~std::size_t(1), 0);
    put("wav-nested-chapters.wav", 3, Wav(44100, 800, chunk));
    Bytes list;
    Append(list, "LIST" + LittleEndian32(0x7FFFFFF0u) + "INFO");
    put("wav-list-claims-2-gb.wav", 3, Wav(44100, 0, list));
    put("wav-96-khz.wav", 3, Wav(96000, 1920));
    // Small forms of the files that crashed, exhausted or stalled TagLib in the program itself.
    const Bytes stopEarly = NestedChapters(300, std::string("TT2\0", 4));
    put("v23-id-ending-in-0-then-chapters.mp3", 0, stopEarly);
    Bytes aiffChunk;
    Append(aiffChunk, "ID3 " + BigEndian32(std::uint32_t(stopEarly.size())));
    Append(aiffChunk, stopEarly);
    put("aiff-id3-chunk-of-chapters.aif", 4, Aiff(aiffChunk));
    put("bare-meta-nested-item-lists.m4a", 1, BareMetaNestedItems(1000));
    put("chapters-reaching-past-themselves.mp3", 0, OverreachingChapters(12));
    put("compressed-frames.mp3", 0, CompressedFrames(200, 4096));
    put("crowded-ape-tag.mp3", 0, {}, CrowdedApeTag(400));
    TagResult result;
    result.Outcome = TagOutcome::Read;
    result.Fields.Title = u"Seed";
    result.Fields.Encoding = "MPEG audio file";
    tagwire::Bytes reply;
    tagwire::Append(reply, 1, 0, result);
    tagwire::Append(reply, 1, 1, TagResult{});
    Bytes message{0xF0};
    Append(message, Bytes(reply.begin(), reply.end()));
    std::ofstream(dir / "reader-reply.msg", std::ios::binary)
        .write(reinterpret_cast<const char*>(message.data()), static_cast<std::streamsize>(message.size()));
    return failures == 0 ? 0 : 1;
}
