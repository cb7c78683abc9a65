#include "CopyWriting.h"

#include "CopyTagger.h"
#include "WorkerLimits.h"
#include "WorkerSocket.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <memory>

namespace {

// The largest cover taken; the player's own are far smaller.
constexpr off_t kMaxCover = 16 << 20;

CoverJpegBytes ReadCover(int fd)
{
    struct stat info {};
    if (::fstat(fd, &info) != 0 || info.st_size <= 0 || info.st_size > kMaxCover)
        return nullptr;
    auto bytes = std::make_shared<std::vector<unsigned char>>(static_cast<std::size_t>(info.st_size));
    std::size_t got = 0;
    while (got < bytes->size()) {
        const ssize_t n = ::pread(fd, bytes->data() + got, bytes->size() - got, static_cast<off_t>(got));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return nullptr;
        got += static_cast<std::size_t>(n);
    }
    return bytes;
}

TrackTags TagsFrom(const tagwire::CopyTags& wire)
{
    TrackTags tags;
    std::u16string* texts[] = {&tags.Title, &tags.Artist, &tags.Album, &tags.AlbumArtist, &tags.Genre, &tags.Composer};
    for (std::size_t i = 0; i < std::size(texts); ++i)
        *texts[i] = wire.Texts[i];
    std::int32_t* numbers[] = {&tags.Year, &tags.TrackNumber, &tags.TrackCount, &tags.DiscNumber,
                               &tags.DiscCount, &tags.Rating, &tags.PlayCount};
    for (std::size_t i = 0; i < std::size(numbers); ++i)
        *numbers[i] = wire.Numbers[i];
    tags.Compilation = wire.Compilation;
    return tags;
}

} // namespace

int ServeWrites(unsigned long long memoryBudget, int cpuSeconds)
{
#if VARNEL_TAGS_TEST_HOOK
    // Tests only: a copy of this track's file name ends the writer as a crash would.
    const char* const abortOn = std::getenv("VARNEL_TAGS_ABORT_ON");
#endif
    std::vector<std::uint8_t> buffer(tagwire::kMaxMessage);
    std::vector<int> fds;
    if (!StartServing(true, memoryBudget))
        return 3;
    for (;;) {
        const ssize_t got = Receive(buffer, fds);
        if (got == 0)
            return 0;
        const auto request = got > 0 ? tagwire::DecodeCopyTags(buffer.data(), static_cast<std::size_t>(got)) : std::nullopt;
        if (!request || fds.size() != (request->Cover ? 2u : 1u) || request->Kind > static_cast<std::uint8_t>(TagKind::Mp4))
            return 3;
#if VARNEL_TAGS_TEST_HOOK
        if (abortOn && request->Name == abortOn)
            std::abort();
#endif
        TrackTags tags = TagsFrom(*request);
        if (request->Cover)
            tags.CoverJpeg = ReadCover(fds[1]);
        tagwire::CopyTagged result;
        result.Seq = request->Seq;
        bool changed = false;
        workerlimits::ArmCpuTimer(cpuSeconds);
        result.Tagged = TagCopy(fds[0], static_cast<TagKind>(request->Kind), tags, result.Reason, changed);
        result.Error = result.Tagged ? 0 : errno;
        workerlimits::ArmCpuTimer(0);
        result.Changed = changed;
        for (const int fd : fds)
            ::close(fd);
        if (!Send(tagwire::Encode(result)))
            return 3;
    }
}
