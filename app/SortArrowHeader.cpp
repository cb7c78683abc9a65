#include "SortArrowHeader.h"

#include <QPainter>
#include <QStyleOptionHeader>

SortArrowHeader::SortArrowHeader(QWidget* parent)
    : QHeaderView(Qt::Horizontal, parent)
{
    // Qt's own indicator would reserve room beside every caption and flip on its own at a click.
    setSortIndicatorShown(false);
}

void SortArrowHeader::paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const
{
    QHeaderView::paintSection(painter, rect, logicalIndex);
    if (logicalIndex != sortIndicatorSection() || rect.width() < 12)
        return;
    QStyleOptionHeader arrow;
    arrow.initFrom(this);
    // Ascending: the arrow points up, as in the desktop's file lists.
    arrow.sortIndicator = sortIndicatorOrder() == Qt::AscendingOrder ? QStyleOptionHeader::SortUp
                                                                     : QStyleOptionHeader::SortDown;
    const int width = 9;
    const int height = 5;
    arrow.rect = QRect(rect.center().x() - width / 2, rect.top() + 1, width, height);
    painter->save();
    style()->drawPrimitive(QStyle::PE_IndicatorHeaderArrow, &arrow, painter, this);
    painter->restore();
}
