#include "ElidedLabel.h"

#include <QFontMetrics>
#include <QResizeEvent>

ElidedLabel::ElidedLabel(QWidget* parent)
    : QLabel(parent)
{
    setTextFormat(Qt::PlainText);
    setWordWrap(false);
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
}

void ElidedLabel::SetFullText(const QString& text)
{
    Full = text;
    Refresh();
}

void ElidedLabel::Refresh()
{
    const int width = contentsRect().width();
    const QString shown = fontMetrics().elidedText(Full, Qt::ElideMiddle, qMax(0, width));
    if (shown != text())
        setText(shown);
    setToolTip(shown == Full ? QString() : Full);
}

QSize ElidedLabel::sizeHint() const
{
    const QMargins margins = contentsMargins();
    return {0, fontMetrics().height() + margins.top() + margins.bottom() + 2 * margin()};
}

QSize ElidedLabel::minimumSizeHint() const
{
    return sizeHint();
}

void ElidedLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    Refresh();
}
