#include "SortArrowHeader.h"

#include <QPainter>

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
    // A small triangle, pointing up when ascending as in the desktop's file lists.
    const bool up = sortIndicatorOrder() == Qt::AscendingOrder;
    const double x = rect.center().x() + 0.5;
    const double top = rect.top() + 1.5;
    const double bottom = top + 4;
    const QPointF tip(x, up ? top : bottom);
    const QPointF left(x - 4, up ? bottom : top);
    const QPointF right(x + 4, up ? bottom : top);
    QColor colour = palette().color(QPalette::WindowText);
    colour.setAlpha(160);
    painter->save();
    // The header's own painting leaves its clip narrowed to the caption's room.
    painter->setClipRect(rect);
    painter->setRenderHint(QPainter::Antialiasing);
    painter->setPen(Qt::NoPen);
    painter->setBrush(colour);
    const QPointF triangle[] = {tip, left, right};
    painter->drawPolygon(triangle, 3);
    painter->restore();
}
