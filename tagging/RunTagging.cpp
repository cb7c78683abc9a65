#include "RunTagging.h"

#include "CopyTagger.h"
#include "OneTrack.h"

#include <cerrno>
#include <unistd.h>
#include <vector>

RunTagging::RunTagging(std::string artworkDatabase) : Covers(std::move(artworkDatabase)) {}

std::function<int(int, int)> RunTagging::StepFor(const OneTrack& track, std::string_view extension)
{
    return [this, &track, extension = std::string(extension)](int source, int copy) {
        return Tag(track, extension, source, copy);
    };
}

int RunTagging::Tag(const OneTrack& track, const std::string& extension, int source, int copy)
{
    const std::string_view type = track.GetTrackType();
    const bool video = type.find("Video") != std::string_view::npos || type.find("TV") != std::string_view::npos;
    const TagKind kind = TagKindOf(extension, video);
    if (kind == TagKind::None) {
        ++UntaggedCount;
        return 0;
    }
    TrackTags tags = TagsOfTrack(track);
    tags.CoverJpeg = Covers.CoverFor(track.GetDetails());
    std::string reason;
    bool changed = false;
    if (TagCopy(copy, kind, tags, reason, changed))
        return 0;
    // The destination failed under the tag write (full, gone, an I/O error): the copy fails as
    // it would have while its data was written. Only a file TagLib refuses stays a plain copy.
    if (const int error = errno; error != 0)
        return error;
    ++UntaggedCount;
    return changed ? CopyAgain(source, copy) : 0;
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
