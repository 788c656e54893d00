#pragma once
// The picture box: a surface holding one picture at its own size, with unit conversions from the
// picture's HIMETRIC size to pixels.

#include "platform/picture.h"

#include <QColor>
#include <QFrame>

namespace platform {

// Scale modes of ScaleX/ScaleY.
enum ScaleMode : int {
    vbTwips = 1,
    vbPoints = 2,
    vbPixels = 3,
    vbInches = 5,
    vbMillimeters = 6,
    vbCentimeters = 7,
    vbHimetric = 8,
};

class PictureBox : public QFrame {
    Q_OBJECT
public:
    explicit PictureBox(QWidget* parent = nullptr);

    // The runtime's property name; the type is spelled in full below it.
    platform::Picture Picture() const { return picture_; }
    void setPicture(const platform::Picture& picture);

    bool AutoSize() const { return autoSize_; }
    void setAutoSize(bool on);

    QColor BackColor() const { return backColor_; }
    void setBackColor(const QColor& color);

    bool BorderStyle() const { return frameStyle() != QFrame::NoFrame; }
    void setBorderStyle(bool on);

    // Converts a length between the scale modes above at 96 pixels per inch.
    float ScaleX(double value, int fromScale = vbHimetric, int toScale = vbPixels) const;
    float ScaleY(double value, int fromScale = vbHimetric, int toScale = vbPixels) const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void fitToPicture();

    platform::Picture picture_;
    bool autoSize_ = false;
    QColor backColor_;
};

}  // namespace platform
