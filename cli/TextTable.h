#pragma once

#include <iosfwd>
#include <string>
#include <string_view>
#include <vector>

// A plain text table for the terminal: columns padded to their widest cell, two blanks apart,
// no trailing blanks. Widths count what a terminal shows (a CJK character takes two cells, a
// combining accent none), and control characters in a cell are shown as blanks so that every
// row stays on one line.
class TextTable {
public:
    enum Align { Left, Right };

    void AddColumn(std::u16string_view header, Align align);
    // One cell per column, in column order.
    void AddRow(const std::vector<std::u16string>& cells);
    void Print(std::ostream& out) const;

private:
    struct Cell {
        std::string Text; // UTF-8
        int Width = 0;
    };
    Cell MakeCell(std::u16string_view text);
    void PrintRow(std::ostream& out, const std::vector<Cell>& row) const;

    std::vector<Align> Aligns;
    std::vector<int> Widths;
    std::vector<Cell> Headers;
    std::vector<std::vector<Cell>> Rows;
};
