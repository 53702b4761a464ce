#pragma once

#include <QImage>
#include <QPainter>
#include <QWheelEvent>
#include <QWidget>

#include <functional>

namespace print {

// Picture3: the page picture inside the viewport; a click on it toggles the zoom.
class PagePicture : public QWidget {
public:
    explicit PagePicture(QWidget* parent = nullptr) : QWidget(parent) {}

    std::function<void()> onClick;
    std::function<void(QWheelEvent*)> onWheel;

    void setImage(QImage image) {
        image_ = std::move(image);
        resize(image_.size());
        update();
    }
    const QImage& image() const { return image_; }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.drawImage(0, 0, image_);
    }
    void mousePressEvent(QMouseEvent*) override {
        if (onClick)
            onClick();
    }
    void wheelEvent(QWheelEvent* event) override {
        if (onWheel)
            onWheel(event);
    }

private:
    QImage image_;
};

// Picture2: the viewport the page picture moves in; the wheel scrolls the page there too.
class PageViewport : public QWidget {
public:
    explicit PageViewport(QWidget* parent = nullptr) : QWidget(parent) {}

    std::function<void(QWheelEvent*)> onWheel;

protected:
    void wheelEvent(QWheelEvent* event) override {
        if (onWheel)
            onWheel(event);
    }
};

} // namespace print
