#include "records/PictureView.h"

#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

namespace records {

PictureView::PictureView(QWidget* parent) : QScrollArea(parent) {
    auto* canvas = new QWidget;
    canvas->setObjectName(QStringLiteral("canvas"));
    canvas->installEventFilter(this);
    setWidget(canvas);
    setWidgetResizable(false);
    setAlignment(Qt::AlignLeft | Qt::AlignTop);
    setBackgroundRole(QPalette::Dark);
    resizeCanvas();
}

void PictureView::setPicture(const QImage& picture) {
    picture_ = picture;
    anchor_ = end_ = QPoint();
    resizeCanvas();
}

void PictureView::setZoom(double zoom) {
    zoom_ = zoom;
    resizeCanvas();
}

void PictureView::setSelecting(bool on) {
    selecting_ = on;
    dragging_ = false;
    anchor_ = end_ = QPoint();
    canvas()->update();
}

QRect PictureView::selection() const {
    const QPoint from(std::min(anchor_.x(), end_.x()), std::min(anchor_.y(), end_.y()));
    const QPoint to(std::max(anchor_.x(), end_.x()), std::max(anchor_.y(), end_.y()));
    return QRect(from, QSize(to.x() - from.x(), to.y() - from.y()));
}

void PictureView::resizeCanvas() {
    const QSize size = picture_.isNull() ? QSize(0, 0) : (QSizeF(picture_.size()) * zoom_).toSize();
    canvas()->resize(size.expandedTo(QSize(1, 1)));
    canvas()->update();
}

QPoint PictureView::toPicture(const QPoint& p) const {
    const QPoint at(int(p.x() / zoom_), int(p.y() / zoom_));
    return QPoint(std::clamp(at.x(), 0, picture_.width()), std::clamp(at.y(), 0, picture_.height()));
}

void PictureView::paintCanvas() {
    QPainter painter(canvas());
    if (picture_.isNull())
        return;
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    painter.drawImage(canvas()->rect(), picture_);
    if (selecting_ && anchor_ != end_) {
        painter.setPen(QPen(Qt::red, 1, Qt::DashLine));
        const QRectF r = selection();
        painter.drawRect(QRectF(r.topLeft() * zoom_, r.size() * zoom_));
    }
}

bool PictureView::eventFilter(QObject* watched, QEvent* event) {
    if (watched != canvas())
        return QScrollArea::eventFilter(watched, event);
    switch (event->type()) {
    case QEvent::Paint:
        paintCanvas();
        return true;
    case QEvent::MouseButtonPress: {
        const auto* e = static_cast<QMouseEvent*>(event);
        if (selecting_) {
            anchor_ = end_ = toPicture(e->position().toPoint());
            dragging_ = true;
            canvas()->update();
        } else if (e->button() == Qt::LeftButton) {
            panning_ = true;
            panFrom_ = e->globalPosition().toPoint();
            canvas()->setCursor(Qt::ClosedHandCursor);
        }
        return true;
    }
    case QEvent::MouseMove: {
        const auto* e = static_cast<QMouseEvent*>(event);
        if (selecting_ && dragging_) {
            end_ = toPicture(e->position().toPoint());
            canvas()->setCursor(Qt::CrossCursor);
            canvas()->update();
        } else if (panning_) {
            const QPoint now = e->globalPosition().toPoint();
            const QPoint moved = now - panFrom_;
            panFrom_ = now;
            horizontalScrollBar()->setValue(horizontalScrollBar()->value() - moved.x());
            verticalScrollBar()->setValue(verticalScrollBar()->value() - moved.y());
        }
        return true;
    }
    case QEvent::MouseButtonRelease: {
        const auto* e = static_cast<QMouseEvent*>(event);
        if (selecting_ && dragging_) {
            end_ = toPicture(e->position().toPoint());
            dragging_ = false;
            canvas()->unsetCursor();
            canvas()->update();
            emit selectionMade();
        } else if (panning_) {
            panning_ = false;
            canvas()->unsetCursor();
        }
        return true;
    }
    default:
        break;
    }
    return QScrollArea::eventFilter(watched, event);
}

} // namespace records
