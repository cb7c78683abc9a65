#pragma once

#include "CoverArt.h"

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class OneTrack;

// The tagging of one extraction run's copies (see CopyTagger.h): the step that each copy takes
// in its temporary, after its data is complete and before it gets its name, and the count of
// copies that stay plain.
//
// A copy that cannot be tagged (a video, a kind of file without tags, a damaged file) stays the
// plain copy: one that TagLib had begun to change is copied again from the source. When that
// fails too, or a read or write of the copy fails during tagging (the destination full or gone),
// the step fails the copy with that error, so that a copy is whole or absent.
class RunTagging {
public:
    // `artworkDatabase` as for CoverArt: the player's ArtworkDB, or empty.
    explicit RunTagging(std::string artworkDatabase);

    // The step for the copy of `track`, whose copy ends in `extension` (".mp3"): given the
    // source's and the temporary's descriptors, it returns 0 or the errno that fails the copy.
    std::function<int(int source, int copy)> StepFor(const OneTrack& track, std::string_view extension);

    int Untagged() const { return UntaggedCount; }
    // What to tell at the end of the run, one line each: how many copies stayed plain, and what
    // of the artwork gave no covers (see CoverArt::Warnings).
    std::vector<std::string> Warnings() const;

private:
    int Tag(const OneTrack& track, const std::string& extension, int source, int copy);

    CoverArt Covers;
    int UntaggedCount = 0;
};

// Makes `copy` the same bytes as `source` again: 0 or an errno.
int CopyAgain(int source, int copy);
