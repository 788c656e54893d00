#include "platform/controls/PictureBox.h"

#include "platform/runtime.h"

#include <QPainter>

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
    if (autoSize_) fitToPicture();
    update();
}

void PictureBox::setAutoSize(bool on) {
    autoSize_ = on;
    if (autoSize_) fitToPicture();
}

void PictureBox::setBackColor(const QColor& color) {
    backColor_ = color;
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

void PictureBox::paintEvent(QPaintEvent* event) {
    {
        QPainter painter(this);
        painter.fillRect(contentsRect(), backColor_);
        if (!picture_.isEmpty()) {
            painter.setClipRect(contentsRect());
            painter.drawImage(contentsRect().topLeft(), picture_.pixels());
        }
    }
    QFrame::paintEvent(event);
}

}  // namespace platform
