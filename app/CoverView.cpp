#include "CoverView.h"

#include <QPainter>

namespace {

constexpr int kPaneWidth = 180;
constexpr int kMargin = 4;

} // namespace

CoverView::CoverView(QWidget* parent)
    : QWidget(parent)
{
    setMinimumWidth(60);
}

void CoverView::SetImage(const QImage& image)
{
    Picture = image;
    update();
}

QRect CoverView::PictureRect() const
{
    if (Picture.isNull())
        return {};
    const QRect room = rect().adjusted(kMargin, kMargin, -kMargin, -kMargin);
    QSize size = Picture.size();
    if (size.width() > room.width() || size.height() > room.height())
        size = size.scaled(room.size(), Qt::KeepAspectRatio);
    return QRect(QPoint(room.x() + (room.width() - size.width()) / 2, room.y()), size);
}

QSize CoverView::sizeHint() const
{
    return {kPaneWidth, kPaneWidth};
}

void CoverView::paintEvent(QPaintEvent*)
{
    const QRect target = PictureRect();
    if (target.isEmpty())
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(target, Picture);
}
