// Feeds arbitrary bytes to the rescue's tag reader as one media file on the player. The first
// byte picks the kind of file by its name's extension; the rest is the file. TagLib itself is not
// instrumented, so the fuzzer is guided by the rescue's own code, and still meets every crash,
// hang or runaway allocation that TagLib shows on what it reads.

#include "TagTrack.h"
#include "TrackRowTexts.h"
#include "FuzzInput.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    static const char* const kNames[] = {"FUZZ.mp3", "FUZZ.m4a", "FUZZ.m4v", "FUZZ.wav", "FUZZ.aif"};
    const char* name = kNames[data[0] % 5];
    if (!StoreFuzzInput(data + 1, size - 1))
        return 0;
    const PlayerFile file{FuzzInputPath(), std::string("\\iPod_Control\\Music\\F00\\") + name};
    OneTrack track;
    std::string reason;
    volatile std::size_t sink = 0;
    if (ReadTagTrack(file, track, reason)) {
        for (const std::u16string& cell : TrackRowTexts(track))
            sink = sink + cell.size();
        if (track.GetLocation() != file.Location || track.GetTitle().empty()) {
            std::fprintf(stderr, "broken promise: a track keeps its location and has a title\n");
            std::abort();
        }
    } else if (reason.empty()) {
        std::fprintf(stderr, "broken promise: a skipped file has a reason\n");
        std::abort();
    }
    return 0;
}
