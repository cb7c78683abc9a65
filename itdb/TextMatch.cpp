#include "TextMatch.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>
#include <unicode/utf16.h>

#include <unordered_map>

namespace {

const icu::Normalizer2* Decomposer()
{
    static const icu::Normalizer2* nfd = [] {
        UErrorCode status = U_ZERO_ERROR;
        const icu::Normalizer2* n = icu::Normalizer2::getNFDInstance(status);
        return U_SUCCESS(status) ? n : nullptr;
    }();
    return nfd;
}

// One code point decomposed, stripped of its combining marks and case-folded. Decomposition and
// full case folding need no context, and the marks that canonical reordering would move are
// dropped anyway, so a text folds as the concatenation of its code points' folds.
std::u16string FoldCodePoint(UChar32 c)
{
    const icu::UnicodeString source(c);
    icu::UnicodeString decomposed;
    UErrorCode status = U_ZERO_ERROR;
    const icu::Normalizer2* nfd = Decomposer();
    if (nfd)
        nfd->normalize(source, decomposed, status);
    if (!nfd || !U_SUCCESS(status))
        decomposed = source;
    icu::UnicodeString bare;
    for (int32_t i = 0; i < decomposed.length();) {
        const UChar32 d = decomposed.char32At(i);
        if (u_getCombiningClass(d) == 0 && u_charType(d) != U_NON_SPACING_MARK)
            bare.append(d);
        i += U16_LENGTH(d);
    }
    bare.foldCase(U_FOLD_CASE_DEFAULT);
    return std::u16string(reinterpret_cast<const char16_t*>(bare.getBuffer()), static_cast<std::size_t>(bare.length()));
}

} // namespace

std::u16string FoldForMatch(std::u16string_view text)
{
    // A large library uses a few hundred distinct letters outside ASCII: each is folded by ICU
    // once per thread and remembered.
    thread_local std::unordered_map<UChar32, std::u16string> folds;
    std::u16string folded;
    folded.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) {
        const char16_t unit = text[i];
        if (unit < 0x80) {
            folded += unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit - u'A' + u'a') : unit;
            ++i;
            continue;
        }
        UChar32 c = unit;
        std::size_t length = 1;
        if (U16_IS_LEAD(unit) && i + 1 < text.size() && U16_IS_TRAIL(text[i + 1])) {
            c = U16_GET_SUPPLEMENTARY(unit, text[i + 1]);
            length = 2;
        }
        auto it = folds.find(c);
        if (it == folds.end())
            it = folds.emplace(c, FoldCodePoint(c)).first;
        folded += it->second;
        i += length;
    }
    return folded;
}

MatchWords::MatchWords(std::u16string_view query)
{
    std::size_t i = 0;
    while (i < query.size()) {
        while (i < query.size() && u_isUWhiteSpace(query[i]))
            ++i;
        const std::size_t start = i;
        while (i < query.size() && !u_isUWhiteSpace(query[i]))
            ++i;
        if (i > start)
            Words.push_back(FoldForMatch(query.substr(start, i - start)));
    }
}
