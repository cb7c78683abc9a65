#include "TrackNames.h"

#include "ITDBParser.h"
#include "TextConvert.h"
#include "TrackCopyPlan.h"

#include <unicode/uchar.h>
#include <unicode/utf16.h>

#include <algorithm>

namespace {

// `path` with every character replaced by its simple case folding (one character for one), so
// that "Road Song" and "road song", or "ÄRGER" and "ärger", give one key.
std::string FoldedKey(std::string_view path)
{
    const std::u16string wide = WideFromNarrow(path);
    std::u16string folded;
    folded.reserve(wide.size());
    for (std::size_t i = 0; i < wide.size();) {
        UChar32 c = 0;
        U16_NEXT(wide.data(), i, wide.size(), c);
        c = u_foldCase(c, U_FOLD_CASE_DEFAULT);
        if (U_IS_BMP(c)) {
            folded += static_cast<char16_t>(c);
        } else {
            folded += static_cast<char16_t>(U16_LEAD(c));
            folded += static_cast<char16_t>(U16_TRAIL(c));
        }
    }
    return NarrowFromWide(folded);
}

// "Folders/Stem (n).ext", the stem cut so that the file name keeps within its byte limit.
std::string Numbered(const TrackNameParts& parts, unsigned number)
{
    const std::string suffix = " (" + std::to_string(number) + ")";
    return parts.Folders + NarrowFromWide(FitFileName(parts.Stem, suffix.size() + parts.Extension.size())) + suffix +
           parts.Extension;
}

} // namespace

TrackNames::TrackNames(const ITDBParser& database, const TrackNameRule& rule, const std::function<void()>& named)
{
    std::vector<const OneTrack*> tracks;
    tracks.reserve(database.GetTracks().size());
    for (const auto& [id, track] : database.GetTracks())
        tracks.push_back(&track);
    NameAll(std::move(tracks), rule, named);
}

TrackNames::TrackNames(std::vector<const OneTrack*> tracks, const TrackNameRule& rule)
{
    NameAll(std::move(tracks), rule, {});
}

std::string UniqueNames::KeyOf(const std::string& path, bool ignoreCase) const
{
    return ignoreCase ? FoldedKey(path) : path;
}

std::string UniqueNames::Take(const TrackNameParts& parts)
{
    std::string path = parts.Folders + NarrowFromWide(parts.Stem) + parts.Extension;
    const bool ignoreCase = IgnoreCaseIn ? IgnoreCaseIn(parts.Folders) : IgnoreCase;
    std::string key = KeyOf(path, ignoreCase);
    if (!Taken.insert(key).second) {
        unsigned& number = NextNumber.try_emplace(key, 2).first->second;
        do {
            path = Numbered(parts, number++);
        } while (!Taken.insert(KeyOf(path, ignoreCase)).second);
    }
    return path;
}

void TrackNames::NameAll(std::vector<const OneTrack*> tracks, const TrackNameRule& rule,
                         const std::function<void()>& named)
{
    std::stable_sort(tracks.begin(), tracks.end(),
                     [](const OneTrack* a, const OneTrack* b) { return a->GetOrdinal() < b->GetOrdinal(); });
    UniqueNames names = rule.IgnoreCaseIn ? UniqueNames(rule.IgnoreCaseIn) : UniqueNames(rule.IgnoreCase);
    Index.reserve(tracks.size());
    for (const OneTrack* track : tracks) {
        const TrackNameParts parts = NamePartsOf(*track, rule.FileFormat, rule.SlashMakesFolders);
        Index.insert_or_assign(track, &Names.emplace_back(names.Take(parts)));
        if (named)
            named();
    }
}

const std::string& TrackNames::RelativePath(const OneTrack& track) const
{
    static const std::string none;
    const auto found = Index.find(&track);
    return found == Index.end() ? none : *found->second;
}
