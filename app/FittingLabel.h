#pragma once

#include <QLabel>
#include <QStringList>

// A one-line label as wide as the widest of a set of texts needs at the label's current font,
// and never narrower than a given width. It fits itself again whenever its font changes.
class FittingLabel : public QLabel {
    Q_OBJECT
public:
    explicit FittingLabel(const QString& text, QWidget* parent = nullptr);

    void FitTexts(const QStringList& texts, int minimumWidth);
    // Widens the label, when needed, so that `text` fits as well from now on.
    void FitAlso(const QString& text);

protected:
    void changeEvent(QEvent* event) override;

private:
    void Fit();

    QStringList Texts;
    int MinimumWidth = 0;
};
