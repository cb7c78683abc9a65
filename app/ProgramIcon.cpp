#include "ProgramIcon.h"

#include <QPainter>
#include <QPixmap>

// The resources live in a static library: register them before the first use.
static void InitVarnelResources()
{
    Q_INIT_RESOURCE(varnel);
}

QIcon ProgramIcon()
{
    static const bool registered = (InitVarnelResources(), true);
    (void)registered;
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/varnel-%1.png").arg(size), QSize(size, size));
    return icon;
}

QIcon PlayerIcon()
{
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48}) {
        QPixmap pixmap(size, size);
        pixmap.fill(Qt::transparent);
        QPainter painter(&pixmap);
        painter.setRenderHint(QPainter::Antialiasing);
        // Drawn on a 32-unit grid: the body, the screen, the wheel and its button.
        painter.scale(size / 32.0, size / 32.0);
        const QColor outline(0x2f, 0x37, 0x40);
        painter.setPen(QPen(outline, 1.6));
        painter.setBrush(QColor(0xe8, 0xec, 0xf0));
        painter.drawRoundedRect(QRectF(7, 1.5, 18, 29), 4, 4);
        painter.setPen(QPen(outline, 1.2));
        painter.setBrush(QColor(0x2f, 0x6f, 0xd0));
        painter.drawRoundedRect(QRectF(9.5, 4, 13, 10), 1.5, 1.5);
        painter.setBrush(QColor(0xfa, 0xfb, 0xfc));
        painter.drawEllipse(QPointF(16, 22.5), 5.5, 5.5);
        painter.setBrush(QColor(0x8a, 0x95, 0xa0));
        painter.drawEllipse(QPointF(16, 22.5), 2, 2);
        painter.end();
        icon.addPixmap(pixmap);
    }
    return icon;
}
