#pragma once

#include <QImage>
#include <QPoint>
#include <QRect>
#include <QScrollArea>

namespace records {

// A picture shown at a zoom factor in a scrolling frame. Dragging with the left button pans it;
// in selecting mode a press, a drag and a release draw a selection rectangle instead.
class PictureView : public QScrollArea {
    Q_OBJECT
public:
    explicit PictureView(QWidget* parent = nullptr);

    void setPicture(const QImage& picture);
    const QImage& picture() const { return picture_; }
    void setZoom(double zoom);
    double zoom() const { return zoom_; }

    void setSelecting(bool on);
    bool dragging() const { return dragging_; }
    // The selection in picture pixels.
    QRect selection() const;
    // The surface the picture is drawn on (mouse events go there).
    QWidget* canvas() const { return widget(); }

signals:
    void selectionMade();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void resizeCanvas();
    void paintCanvas();
    QPoint toPicture(const QPoint& canvasPoint) const;

    QImage picture_;
    double zoom_ = 1.0;
    bool selecting_ = false;
    bool dragging_ = false;
    bool panning_ = false;
    QPoint anchor_;
    QPoint end_;
    QPoint panFrom_;
};

} // namespace records
