// Feeds arbitrary bytes to the rescue's tag reading as one media file on the player, read here
// as the tag reader (varnel-tags) reads it; the result then goes through the message format and
// back, as it travels from the reader to the program. The first byte picks the kind of file by
// its name's extension, and the rest is the file; a first byte of 0xF0 or above makes the rest a
// message from a reader instead, which the program's decoder must take or refuse cleanly. TagLib
// itself is not instrumented, so the fuzzer is guided by the rescue's own code.

#include "FuzzInput.h"
#include "TagFile.h"
#include "TagMessages.h"
#include "TagTrack.h"
#include "TrackRowTexts.h"

#include <fcntl.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

[[noreturn]] void Broken(const char* promise)
{
    std::fprintf(stderr, "broken promise: %s\n", promise);
    std::abort();
}

void DecodeMessage(const std::uint8_t* data, std::size_t size)
{
    if (const auto reply = tagwire::DecodeReply(data, size)) {
        const PlayerFile file{"", "\\iPod_Control\\Music\\F00\\FUZZ.mp3"};
        for (const auto& [index, result] : reply->Results) {
            if (index >= tagwire::kMaxBatch)
                Broken("a reply names a place in its batch");
            const TagReading reading = TrackFromResult(file, result);
            if (!reading.Track && reading.Reason.empty())
                Broken("a skipped file has a reason");
        }
    }
    if (const auto request = tagwire::DecodeRequest(data, size); request && request->Files.size() > tagwire::kMaxBatch)
        Broken("a request holds at most a batch");
    tagwire::DecodeHello(data, size);
    if (const auto tags = tagwire::DecodeCopyTags(data, size); tags && tags->Name.size() > tagwire::kMaxName)
        Broken("a copy's name is bounded");
    if (const auto tagged = tagwire::DecodeCopyTagged(data, size); tagged && tagged->Reason.size() > 200)
        Broken("a reason is bounded");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    if (data[0] >= 0xF0) {
        DecodeMessage(data + 1, size - 1);
        return 0;
    }
    static const char* const kNames[] = {"FUZZ.mp3", "FUZZ.m4a", "FUZZ.m4v", "FUZZ.wav", "FUZZ.aif"};
    const char* name = kNames[data[0] % 5];
    if (!StoreFuzzInput(data + 1, size - 1))
        return 0;
    const PlayerFile file{FuzzInputPath(), std::string("\\iPod_Control\\Music\\F00\\") + name};
    const int fd = ::open(file.Path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return 0;
    const TagResult result = ReadTagFile(fd, MediaKindOf(name));
    ::close(fd);
    tagwire::Bytes reply;
    if (!tagwire::Append(reply, 7, 3, result))
        Broken("one result fits a message");
    const auto decoded = tagwire::DecodeReply(reply.data(), reply.size());
    if (!decoded || decoded->Batch != 7 || decoded->Results.size() != 1 || decoded->Results[0].first != 3)
        Broken("a reply reads back as it was written");
    const TagReading reading = TrackFromResult(file, decoded->Results[0].second);
    volatile std::size_t sink = 0;
    if (reading.Track) {
        for (const std::u16string& cell : TrackRowTexts(*reading.Track))
            sink = sink + cell.size();
        if (reading.Track->GetLocation().empty() || reading.Track->GetTitle().empty())
            Broken("a track keeps its location and has a title");
    } else if (reading.Reason.empty()) {
        Broken("a skipped file has a reason");
    }
    return 0;
}
