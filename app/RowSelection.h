#pragma once

#include <vector>

class QItemSelectionModel;

// The selected state of every row of a flat list, read from and given to its selection model in
// one pass however scattered the selection is. Qt merges and compares selection ranges pairwise,
// which grows with the square of their number; these functions never ask it to.

// One entry per row of the model, non-zero where the row is selected.
std::vector<char> SelectedRowMask(const QItemSelectionModel& selection);

// Makes exactly the rows marked in `rows` selected (whole rows; entries past the model's rows are
// ignored): one clear, then one select of the contiguous runs. The current row stays.
void SelectRowMask(QItemSelectionModel& selection, const std::vector<char>& rows);
