#pragma once

#include <QLabel>
#include <QString>

// A one-line label that shortens a text too long for it in the middle, so that both the start
// and the end of a path stay visible. The text is plain: an ampersand shows as itself. It never
// asks for more width than it has, so a long text cannot widen the window.
class ElidedLabel : public QLabel {
    Q_OBJECT
public:
    explicit ElidedLabel(QWidget* parent = nullptr);

    void SetFullText(const QString& text);
    const QString& FullText() const { return Full; }
    // Shortens the text again for the current width.
    void Refresh();

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QString Full;
};
