#pragma once

#include <QStyledItemDelegate>

// Draws cells as usual, and gives a cell whose text is cut short (elided) its whole text as a
// tooltip; a cell shown whole has none.
class ElidedTipDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // True when the cell's text does not fit the width it is drawn in.
    bool IsElided(const QStyleOptionViewItem& option, const QModelIndex& index) const;

    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;
};
