#include "RunTagging.h"

#include "CopyTagger.h"
#include "OneTrack.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <vector>

RunTagging::RunTagging(std::string artworkDatabase) : Covers(std::move(artworkDatabase)) {}

std::function<int(int, int)> RunTagging::StepFor(const OneTrack& track, std::string_view extension)
{
    return [this, &track, extension = std::string(extension)](int source, int copy) {
        return Tag(track, extension, source, copy);
    };
}

namespace {

// A writer that has not answered for this long, plus a second for every 8 MiB of the copy (a
// tag inserted at the front moves the whole file on a slow disk), is ended.
constexpr int kWatchdogMs = 5000;
constexpr off_t kBytesPerSecond = 8 << 20;

tagwire::CopyTags WireTags(const TrackTags& tags, TagKind kind, std::uint32_t seq, const OneTrack& track)
{
    tagwire::CopyTags wire;
    wire.Seq = seq;
    wire.Kind = static_cast<std::uint8_t>(kind);
    const std::string_view location = track.GetLocation();
    wire.Name = std::string(location.substr(location.find_last_of(":\\") + 1));
    const std::u16string* texts[] = {&tags.Title, &tags.Artist, &tags.Album, &tags.AlbumArtist, &tags.Genre, &tags.Composer};
    for (std::size_t i = 0; i < std::size(texts); ++i)
        wire.Texts[i] = *texts[i];
    const std::int32_t numbers[] = {tags.Year,      tags.TrackNumber, tags.TrackCount, tags.DiscNumber,
                                    tags.DiscCount, tags.Rating,      tags.PlayCount};
    std::copy(std::begin(numbers), std::end(numbers), wire.Numbers);
    wire.Compilation = tags.Compilation;
    wire.Cover = tags.CoverJpeg && !tags.CoverJpeg->empty();
    return wire;
}

// A sealed memory file of the cover's bytes, which the writer can read and no one can change;
// -1 when none could be made.
int CoverFile(const std::vector<unsigned char>& jpeg)
{
    const int fd = ::memfd_create("varnel-cover", MFD_CLOEXEC | MFD_ALLOW_SEALING);
    if (fd < 0)
        return -1;
    std::size_t put = 0;
    while (put < jpeg.size()) {
        const ssize_t n = ::write(fd, jpeg.data() + put, jpeg.size() - put);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        put += static_cast<std::size_t>(n);
    }
    if (put < jpeg.size() || ::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK | F_SEAL_GROW | F_SEAL_WRITE | F_SEAL_SEAL) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

} // namespace

int RunTagging::Tag(const OneTrack& track, const std::string& extension, int source, int copy)
{
    const std::string_view type = track.GetTrackType();
    const bool video = type.find("Video") != std::string_view::npos || type.find("TV") != std::string_view::npos;
    const TagKind kind = TagKindOf(extension, video);
    if (kind == TagKind::None) {
        ++UntaggedCount;
        return 0;
    }
    if (!Writer.Running() && Writer.Start(TagWorkerProgram(), true) != 0) {
        ++UntaggedCount; // no writer: the copy stays as it was, plain
        return 0;
    }
    TrackTags tags = TagsOfTrack(track);
    tags.CoverJpeg = Covers.CoverFor(track.GetDetails());
    const tagwire::CopyTags wire = WireTags(tags, kind, ++Seq, track);
    std::vector<int> fds{copy};
    const int cover = wire.Cover ? CoverFile(*tags.CoverJpeg) : -1;
    if (cover >= 0)
        fds.push_back(cover);
    tagwire::CopyTags sent = wire;
    sent.Cover = cover >= 0;
    struct stat info {};
    const off_t size = ::fstat(copy, &info) == 0 ? info.st_size : 0;
    tagwire::Bytes message;
    const bool answered = Writer.Send(tagwire::Encode(sent), fds) &&
                          Writer.Wait(kWatchdogMs + static_cast<int>(std::min<off_t>(size / kBytesPerSecond, 3600)) * 1000, message);
    if (cover >= 0)
        ::close(cover);
    const auto result = answered ? tagwire::DecodeCopyTagged(message.data(), message.size()) : std::nullopt;
    if (!result || result->Seq != Seq) {
        // The writer crashed, passed a limit or stalled: whatever it did to the copy is undone.
        Writer.Stop();
        ++UntaggedCount;
        return CopyAgain(source, copy);
    }
    if (result->Tagged)
        return 0;
    // The destination failed under the tag write (full, gone, an I/O error): the copy fails as
    // it would have while its data was written. Only a file TagLib refuses stays a plain copy.
    if (result->Error != 0)
        return result->Error;
    ++UntaggedCount;
    return result->Changed ? CopyAgain(source, copy) : 0;
}

std::vector<std::string> RunTagging::Warnings() const
{
    std::vector<std::string> warnings;
    if (UntaggedCount > 0) {
        const std::string copies = UntaggedCount == 1 ? "1 copy" : std::to_string(UntaggedCount) + " copies";
        warnings.push_back(copies + " could not be tagged (videos, or files that do not take tags); " +
                           (UntaggedCount == 1 ? "it is a plain copy." : "they are plain copies."));
    }
    warnings.insert(warnings.end(), Covers.Warnings().begin(), Covers.Warnings().end());
    return warnings;
}

int CopyAgain(int source, int copy)
{
    if (::ftruncate(copy, 0) != 0)
        return errno;
    std::vector<char> buffer(1024 * 1024);
    for (off_t at = 0;;) {
        const ssize_t got = ::pread(source, buffer.data(), buffer.size(), at);
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return errno;
        if (got == 0)
            return 0;
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::pwrite(copy, buffer.data() + done, static_cast<std::size_t>(got - done), at + done);
            if (put < 0 && errno == EINTR)
                continue;
            if (put <= 0)
                return put < 0 ? errno : EIO;
            done += put;
        }
        at += got;
    }
}
