#include "RowSelection.h"

#include <QAbstractItemModel>
#include <QItemSelectionModel>

#include <algorithm>

std::vector<char> SelectedRowMask(const QItemSelectionModel& selection)
{
    const QAbstractItemModel* model = selection.model();
    const int rows = model ? model->rowCount() : 0;
    std::vector<char> mask(static_cast<std::size_t>(rows), 0);
    if (rows == 0)
        return mask;
    // The ranges as they stand; rows covered twice are simply marked twice.
    for (const QItemSelectionRange& range : selection.selection()) {
        if (!range.isValid() || range.parent().isValid())
            continue;
        const int top = std::max(0, range.top());
        const int bottom = std::min(rows - 1, range.bottom());
        if (top <= bottom)
            std::fill(mask.begin() + top, mask.begin() + bottom + 1, char(1));
    }
    return mask;
}

void SelectRowMask(QItemSelectionModel& selection, const std::vector<char>& rows)
{
    const QAbstractItemModel* model = selection.model();
    if (!model)
        return;
    const int count = std::min(model->rowCount(), static_cast<int>(rows.size()));
    const int lastColumn = model->columnCount() - 1;
    QItemSelection runs;
    for (int row = 0; row < count && lastColumn >= 0;) {
        if (!rows[static_cast<std::size_t>(row)]) {
            ++row;
            continue;
        }
        const int top = row;
        while (row < count && rows[static_cast<std::size_t>(row)])
            ++row;
        runs.append(QItemSelectionRange(model->index(top, 0), model->index(row - 1, lastColumn)));
    }
    // Cleared first, so that Qt never compares the old ranges with the new ones.
    selection.clearSelection();
    if (!runs.isEmpty())
        selection.select(runs, QItemSelectionModel::Select);
}
