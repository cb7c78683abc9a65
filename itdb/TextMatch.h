#pragma once

#include <string>
#include <string_view>
#include <vector>

// Matching typed words against track texts the way people expect of a music program's filter:
// letter case and accents do not count, so "bjork joga" finds "Jóga" by "Björk".

// `text` decomposed, stripped of its combining marks and case-folded (full Unicode case folding).
// Fold each text once and keep the result: folding is the costly part of matching.
std::u16string FoldForMatch(std::u16string_view text);

// The words of a query, each folded; typed once, tested against many rows.
class MatchWords {
public:
    MatchWords() = default;
    // Splits `query` at white space (any Unicode white space) and folds each word.
    explicit MatchWords(std::u16string_view query);

    bool Empty() const { return Words.empty(); }
    const std::vector<std::u16string>& List() const { return Words; }

    // True when every word occurs in at least one of `folded` (texts already folded with
    // FoldForMatch). An empty query matches everything.
    template <class... Texts>
    bool MatchesAny(const Texts&... folded) const
    {
        for (const std::u16string& word : Words) {
            if (((std::u16string_view(folded).find(word) == std::u16string_view::npos) && ...))
                return false;
        }
        return true;
    }

private:
    std::vector<std::u16string> Words;
};
