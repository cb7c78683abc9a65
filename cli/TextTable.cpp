#include "TextTable.h"

#include "TextConvert.h"

#include <algorithm>
#include <cwchar>
#include <ostream>

namespace {

bool IsHighSurrogate(char16_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

} // namespace

void TextTable::AddColumn(std::u16string_view header, Align align)
{
    Aligns.push_back(align);
    Widths.push_back(0);
    Headers.push_back(MakeCell(header));
    Widths.back() = Headers.back().Width;
}

void TextTable::AddRow(const std::vector<std::u16string>& cells)
{
    std::vector<Cell> row;
    row.reserve(Aligns.size());
    for (std::size_t c = 0; c < Aligns.size(); ++c) {
        row.push_back(MakeCell(c < cells.size() ? std::u16string_view(cells[c]) : std::u16string_view()));
        Widths[c] = std::max(Widths[c], row.back().Width);
    }
    Rows.push_back(std::move(row));
}

TextTable::Cell TextTable::MakeCell(std::u16string_view text)
{
    std::u16string shown(text);
    std::erase(shown, u'\0'); // padding some players leave in their texts
    int width = 0;
    for (std::size_t i = 0; i < shown.size(); ++i) {
        char32_t point = shown[i];
        if (IsHighSurrogate(shown[i]) && i + 1 < shown.size() && IsLowSurrogate(shown[i + 1])) {
            point = 0x10000 + ((char32_t(shown[i]) - 0xD800) << 10) + (char32_t(shown[i + 1]) - 0xDC00);
            ++i;
        } else if (point < 0x20 || point == 0x7F) {
            shown[i] = u' ';
            point = U' ';
        }
        // Outside a UTF-8 locale wcwidth knows no width for non-ASCII; count one cell then.
        const int cells = ::wcwidth(static_cast<wchar_t>(point));
        width += cells < 0 ? 1 : cells;
    }
    return Cell{NarrowFromWide(shown), width};
}

void TextTable::PrintRow(std::ostream& out, const std::vector<Cell>& row) const
{
    std::string line;
    for (std::size_t c = 0; c < row.size(); ++c) {
        const std::string padding(static_cast<std::size_t>(Widths[c] - row[c].Width), ' ');
        const bool last = c + 1 == row.size();
        if (c > 0)
            line += "  ";
        if (Aligns[c] == Right)
            line += padding;
        line += row[c].Text;
        if (Aligns[c] == Left && !last)
            line += padding;
    }
    out << line << '\n';
}

void TextTable::Print(std::ostream& out) const
{
    PrintRow(out, Headers);
    for (const std::vector<Cell>& row : Rows)
        PrintRow(out, row);
}
