#include "platform/controls/PictureControl.h"

#include <QMetaMethod>
#include <QMouseEvent>
#include <QPainter>
#include <vector>

namespace platform {

PictureControl::PictureControl(QWidget* parent) : QFrame(parent) { setFrameStyle(QFrame::NoFrame); }

void PictureControl::setPicture(const platform::Picture& picture) {
    picture_ = picture;
    cache_ = QPixmap();
    if (autoSize_) fitToPicture();
    update();
}

void PictureControl::setPictureSizeMode(int mode) {
    if (mode == sizeMode_) return;
    sizeMode_ = mode;
    cache_ = QPixmap();
    update();
}

void PictureControl::setAutoSize(bool on) {
    autoSize_ = on;
    if (autoSize_) fitToPicture();
}

void PictureControl::setRaisedEdge(bool on) {
    if (on) {
        setFrameStyle(QFrame::Panel | QFrame::Raised);
        setLineWidth(2);
    } else {
        setFrameStyle(QFrame::NoFrame);
    }
    cache_ = QPixmap();
}

void PictureControl::fitToPicture() {
    if (picture_.isEmpty()) return;
    const int edge = 2 * frameWidth();
    resize(picture_.pixelSize() + QSize(edge, edge));
}

bool PictureControl::PictureFits(const platform::Picture& picture) const {
    const QSize own = picture.pixelSize();
    const QSize area = contentsRect().size();
    return own.width() <= area.width() && own.height() <= area.height();
}

void PictureControl::fitPictureSizeMode() {
    setAutoSize(false);
    setPictureSizeMode(PictureFits(picture_) ? fmPictureSizeModeClip : fmPictureSizeModeZoom);
}

QSize PictureControl::shownSize() const {
    const QSize own = picture_.pixelSize();
    if (own.isEmpty()) return {};
    switch (sizeMode_) {
        case fmPictureSizeModeZoom:
            return own.scaled(contentsRect().size(), Qt::KeepAspectRatio).expandedTo(QSize(1, 1));
        case fmPictureSizeModeStretch:
            return contentsRect().size();
        default:
            return own;
    }
}

void PictureControl::setStatusText(const QString& text) {
    if (text == statusText_) return;
    statusText_ = text;
    update();
}

namespace {

// The largest version decoded so far when none covers shown, so that painting never decodes; an empty
// size when one covers it, or when nothing is decoded yet.
QSize InterimVersion(const platform::Picture& picture, QSize shown) {
    const std::vector<QSize> decoded = picture.core().decodedSizes();
    if (decoded.empty()) return {};
    const QSize need = shown.boundedTo(picture.pixelSize());
    for (const QSize size : decoded)
        if (size.width() >= need.width() && size.height() >= need.height()) return {};
    return decoded.back();
}

}  // namespace

void PictureControl::paintEvent(QPaintEvent* event) {
    QFrame::paintEvent(event);
    const QSize shown = shownSize();
    if (shown.isEmpty()) {
        if (!statusText_.isEmpty()) {
            QPainter painter(this);
            painter.setPen(palette().color(QPalette::WindowText));
            painter.drawText(contentsRect(), Qt::AlignCenter, statusText_);
        }
        return;
    }
    // Only where someone decodes the larger version elsewhere; else it is decoded here, as it is needed.
    const QSize interim = isSignalConnected(QMetaMethod::fromSignal(&PictureControl::ViewNeeded))
                              ? InterimVersion(picture_, shown)
                              : QSize();
    if (cache_.size() != shown || (cacheEnlarged_ && interim.isEmpty())) {
        QImage image = picture_.view(interim.isEmpty() ? shown : interim);
        if (image.isNull()) return;
        if (image.size() != shown)
            image = image.scaled(shown, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        cache_ = QPixmap::fromImage(image);
        cacheEnlarged_ = !interim.isEmpty();
        if (cacheEnlarged_) emit ViewNeeded(shown);
    }
    // Centred in the control; in clip mode whatever lies outside is cut off by the clip rectangle.
    const QRect area = contentsRect();
    const QPoint topLeft(area.x() + (area.width() - shown.width()) / 2,
                         area.y() + (area.height() - shown.height()) / 2);
    QPainter painter(this);
    painter.setClipRect(area);
    painter.drawPixmap(topLeft, cache_);
}

void PictureControl::mousePressEvent(QMouseEvent* event) {
    pressed_ = event->button() == Qt::LeftButton;
    QFrame::mousePressEvent(event);
    // A click on the control is the control's own; the window beneath does not see it as well.
    if (pressed_) event->accept();
}

void PictureControl::mouseReleaseEvent(QMouseEvent* event) {
    const bool click =
        pressed_ && event->button() == Qt::LeftButton && rect().contains(event->position().toPoint());
    pressed_ = false;
    QFrame::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton) event->accept();
    if (click) emit clicked();
}

}  // namespace platform
