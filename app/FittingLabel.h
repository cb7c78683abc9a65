#pragma once

#include <QLabel>
#include <QStringList>

// A one-line label as wide as the widest of a set of texts needs at the label's current font,
// widened for the text it shows now when that one needs more, and never narrower than a given
// width. It fits itself again whenever its font or its text (through ShowText) changes.
class FittingLabel : public QLabel {
    Q_OBJECT
public:
    explicit FittingLabel(const QString& text, QWidget* parent = nullptr);

    void FitTexts(const QStringList& texts, int minimumWidth);
    // Shows `text`, as wide as it needs while it is shown.
    void ShowText(const QString& text);
    // Widens the label, when needed, so that `text` fits as well until the next ShowText.
    void FitAlso(const QString& text);

protected:
    void changeEvent(QEvent* event) override;

private:
    void Fit(const QString& extra = QString());

    QStringList Texts;
    int MinimumWidth = 0;
};
