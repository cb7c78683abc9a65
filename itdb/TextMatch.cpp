#include "TextMatch.h"

#include <unicode/normalizer2.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>
#include <unicode/ustring.h>

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

bool AllAscii(std::u16string_view text)
{
    for (const char16_t c : text) {
        if (c >= 0x80)
            return false;
    }
    return true;
}

} // namespace

std::u16string FoldForMatch(std::u16string_view text)
{
    // Most titles are plain ASCII: lower-case them without the round trip through ICU.
    if (AllAscii(text)) {
        std::u16string folded(text);
        for (char16_t& c : folded) {
            if (c >= u'A' && c <= u'Z')
                c = static_cast<char16_t>(c - u'A' + u'a');
        }
        return folded;
    }
    const icu::UnicodeString source(false, text.data(), static_cast<int32_t>(text.size()));
    icu::UnicodeString decomposed;
    UErrorCode status = U_ZERO_ERROR;
    if (const icu::Normalizer2* nfd = Decomposer())
        nfd->normalize(source, decomposed, status);
    if (!U_SUCCESS(status) || Decomposer() == nullptr)
        decomposed = source;

    icu::UnicodeString bare;
    for (int32_t i = 0; i < decomposed.length();) {
        const UChar32 c = decomposed.char32At(i);
        if (u_getCombiningClass(c) == 0 && u_charType(c) != U_NON_SPACING_MARK)
            bare.append(c);
        i += U16_LENGTH(c);
    }
    bare.foldCase(U_FOLD_CASE_DEFAULT);
    return std::u16string(reinterpret_cast<const char16_t*>(bare.getBuffer()), static_cast<std::size_t>(bare.length()));
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
