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

void FittingLabel::ShowText(const QString& text)
{
    setText(text);
    Fit();
}

void FittingLabel::FitAlso(const QString& text)
{
    Fit(text);
}

void FittingLabel::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        Fit();
}

void FittingLabel::Fit(const QString& extra)
{
    const QFontMetrics metrics = fontMetrics();
    int widest = std::max(metrics.horizontalAdvance(text()), metrics.horizontalAdvance(extra));
    for (const QString& fitted : Texts)
        widest = std::max(widest, metrics.horizontalAdvance(fitted));
    const QMargins margins = contentsMargins();
    const int around = margins.left() + margins.right() + 2 * margin() + std::max(0, indent());
    setFixedWidth(std::max(MinimumWidth, widest + around));
}
