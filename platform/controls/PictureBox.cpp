#include "platform/controls/PictureBox.h"

#include "core/shrink.h"
#include "platform/runtime.h"

#include <QPainter>
#include <QResizeEvent>
#include <algorithm>
#include <cmath>

namespace platform {

namespace {

// Length of one unit of each scale mode, in inches.
double InchesPerUnit(int scale) {
    switch (scale) {
        case vbTwips:
            return 1.0 / 1440.0;
        case vbPoints:
            return 1.0 / 72.0;
        case vbPixels:
            return 1.0 / 96.0;
        case vbInches:
            return 1.0;
        case vbMillimeters:
            return 1.0 / 25.4;
        case vbCentimeters:
            return 1.0 / 2.54;
        case vbHimetric:
            return 1.0 / 2540.0;
        default:
            Raise(err::InvalidArgument);
    }
}

float Convert(double value, int fromScale, int toScale) {
    // The common case goes through the one shared conversion so that every caller gets the same fraction.
    if (fromScale == vbHimetric && toScale == vbPixels) return HimetricToPixels(value);
    return float(value * InchesPerUnit(fromScale) / InchesPerUnit(toScale));
}

}  // namespace

PictureBox::PictureBox(QWidget* parent) : QFrame(parent), backColor_(palette().color(QPalette::Window)) {
    setBorderStyle(true);
}

void PictureBox::setPicture(const platform::Picture& picture) {
    picture_ = picture;
    canvas_ = QImage();  // the persistent image starts again from the new picture
    if (autoSize_) fitToPicture();
    update();
}

void PictureBox::setAutoSize(bool on) {
    autoSize_ = on;
    if (autoSize_) fitToPicture();
}

void PictureBox::setBackColor(const QColor& color) {
    backColor_ = color;
    canvas_ = QImage();
    update();
}

void PictureBox::setBorderStyle(bool on) {
    if (on) {
        setFrameStyle(QFrame::Panel | QFrame::Sunken);
        setLineWidth(2);
    } else {
        setFrameStyle(QFrame::NoFrame);
    }
    if (autoSize_) fitToPicture();
}

void PictureBox::fitToPicture() {
    if (picture_.isEmpty()) return;
    const int edge = 2 * frameWidth();
    resize(picture_.pixelSize() + QSize(edge, edge));
}

float PictureBox::ScaleX(double value, int fromScale, int toScale) const {
    return Convert(value, fromScale, toScale);
}

float PictureBox::ScaleY(double value, int fromScale, int toScale) const {
    return Convert(value, fromScale, toScale);
}

int PictureBox::Width() const { return CheckedMul(width(), Screen.TwipsPerPixelX); }

int PictureBox::Height() const { return CheckedMul(height(), Screen.TwipsPerPixelY); }

void PictureBox::setWidth(int twips) { resize(int(Round(double(twips) / Screen.TwipsPerPixelX)), height()); }

void PictureBox::setHeight(int twips) { resize(width(), int(Round(double(twips) / Screen.TwipsPerPixelY))); }

void PictureBox::setAutoRedraw(bool on) { autoRedraw_ = on; }

void PictureBox::ensureCanvas() {
    const QSize size = contentsRect().size();
    if (!canvas_.isNull() && canvas_.size() == size) return;
    QImage canvas(size, QImage::Format_RGB32);
    if (canvas.isNull() && !size.isEmpty()) Raise(err::OutOfMemory);
    canvas.fill(backColor_);
    QPainter painter(&canvas);
    if (!canvas_.isNull()) {
        painter.drawImage(0, 0, canvas_);  // a resized surface keeps what was drawn on it
    } else if (!picture_.isEmpty()) {
        painter.drawImage(0, 0, picture_.pixels());
    }
    painter.end();
    canvas_ = std::move(canvas);
}

void PictureBox::PaintPicture(const platform::Picture& picture, int x1, int y1, int width1, int height1,
                              int x2, int y2, int width2, int height2) {
    if (picture.isEmpty()) Raise(err::InvalidPicture);
    if (width1 < 0 || height1 < 0 || width2 < 0 || height2 < 0) Raise(err::InvalidArgument);
    if (!autoRedraw_) return;
    const QRect source = QRect(x2, y2, width2, height2) & QRect(QPoint(0, 0), picture.pixelSize());
    if (source.isEmpty() || width1 == 0 || height1 == 0) return;

    const core::Result<QImage> part =
        core::ShrinkPicture(picture.core(), QSize(width1, height1), {.background = backColor_, .source = source});
    if (!part) Raise(RuntimeErrorNumber(part.error().cause));

    ensureCanvas();
    QPainter painter(&canvas_);
    painter.setCompositionMode(QPainter::CompositionMode_Source);
    painter.drawImage(x1, y1, *part);
    painter.end();
    update();
}

platform::Picture PictureBox::Image() {
    ensureCanvas();
    return platform::Picture::FromImage(canvas_);
}

void PictureBox::resizeEvent(QResizeEvent* event) {
    QFrame::resizeEvent(event);
    if (!canvas_.isNull()) ensureCanvas();
}

void PictureBox::paintEvent(QPaintEvent* event) {
    {
        QPainter painter(this);
        painter.fillRect(contentsRect(), backColor_);
        if (!canvas_.isNull()) {
            painter.drawImage(contentsRect().topLeft(), canvas_);
        } else if (!picture_.isEmpty()) {
            painter.setClipRect(contentsRect());
            painter.drawImage(contentsRect().topLeft(), picture_.pixels());
        }
    }
    QFrame::paintEvent(event);
}

}  // namespace platform
