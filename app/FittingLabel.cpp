#include "FittingLabel.h"

#include <QEvent>
#include <QFontMetrics>

#include <algorithm>

FittingLabel::FittingLabel(const QString& text, QWidget* parent)
    : QLabel(text, parent)
{
}

void FittingLabel::FitTexts(const QStringList& texts, int minimumWidth)
{
    Texts = texts;
    MinimumWidth = minimumWidth;
    Fit();
}

void FittingLabel::FitAlso(const QString& text)
{
    Texts << text;
    Fit();
}

void FittingLabel::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        Fit();
}

void FittingLabel::Fit()
{
    const QFontMetrics metrics = fontMetrics();
    int widest = 0;
    for (const QString& text : Texts)
        widest = std::max(widest, metrics.horizontalAdvance(text));
    const QMargins margins = contentsMargins();
    const int around = margins.left() + margins.right() + 2 * margin() + std::max(0, indent());
    setFixedWidth(std::max(MinimumWidth, widest + around));
}
