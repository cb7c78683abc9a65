// Feeds arbitrary bytes to the rescue's tag reader as one media file on the player. The first
// byte picks the kind of file by its name's extension; the rest is the file. TagLib itself is not
// instrumented, so the fuzzer is guided by the rescue's own code, and still meets every crash,
// hang or runaway allocation that TagLib shows on what it reads.

#include "TagTrack.h"
#include "TrackRowTexts.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/mman.h>
#include <unistd.h>

namespace {

int InputFile()
{
    static const int fd = [] {
        const int f = ::memfd_create("media", MFD_CLOEXEC);
        if (f < 0) {
            std::perror("memfd_create");
            std::abort();
        }
        return f;
    }();
    return fd;
}

bool Store(const std::uint8_t* data, std::size_t size)
{
    const int fd = InputFile();
    if (::ftruncate(fd, 0) != 0)
        return false;
    std::size_t done = 0;
    while (done < size) {
        const ssize_t n = ::pwrite(fd, data + done, size - done, static_cast<off_t>(done));
        if (n <= 0)
            return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    static const char* const kNames[] = {"FUZZ.mp3", "FUZZ.m4a", "FUZZ.m4v", "FUZZ.wav", "FUZZ.aif"};
    const char* name = kNames[data[0] % 5];
    if (!Store(data + 1, size - 1))
        return 0;
    const PlayerFile file{"/proc/self/fd/" + std::to_string(InputFile()), std::string("\\iPod_Control\\Music\\F00\\") + name,
                          size - 1};
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
