#pragma once

#include <QImage>
#include <QWidget>

// A picture scaled to the pane's width (never above its own size), kept in proportion and drawn
// at the top; nothing at all when there is none.
class CoverView : public QWidget {
    Q_OBJECT
public:
    explicit CoverView(QWidget* parent = nullptr);

    void SetImage(const QImage& image);
    const QImage& Image() const { return Picture; }
    // Where the picture is drawn now; empty when there is none.
    QRect PictureRect() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QImage Picture;
};
