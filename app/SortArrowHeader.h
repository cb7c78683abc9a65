#pragma once

#include <QHeaderView>

// The track list's header: the sort arrow of the sorted column is drawn small above its caption,
// as the desktop's file lists do, so that it takes no width from the caption and the columns keep
// their widths. The arrow follows setSortIndicator; a section of -1 shows none.
class SortArrowHeader : public QHeaderView {
    Q_OBJECT
public:
    explicit SortArrowHeader(QWidget* parent = nullptr);

protected:
    void paintSection(QPainter* painter, const QRect& rect, int logicalIndex) const override;
};
