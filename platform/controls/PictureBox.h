#pragma once
// The picture box: a surface holding one picture at its own size, with unit conversions from the
// picture's HIMETRIC size to pixels, and a persistent drawing surface that PaintPicture stretches
// pictures onto. Coordinates of the drawing area are pixels inside the border.

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

    // Outer size in twips, border included.
    int Width() const;
    int Height() const;
    void setWidth(int twips);
    void setHeight(int twips);

    // The inner drawing area in pixels.
    int ScaleLeft() const { return 0; }
    int ScaleTop() const { return 0; }
    int ScaleWidth() const { return contentsRect().width(); }
    int ScaleHeight() const { return contentsRect().height(); }

    // With AutoRedraw on, drawing goes into the persistent image, which starts as the background with the
    // picture on it. With it off, drawing would reach only the screen, which this box does not keep, so
    // PaintPicture then draws nothing.
    bool AutoRedraw() const { return autoRedraw_; }
    void setAutoRedraw(bool on);

    // Stretches the source rectangle of a picture over the destination rectangle (a plain copy). Shrinking
    // averages every source pixel a target pixel covers; an unscaled rectangle is copied pixel for pixel;
    // transparent parts show the background colour. Raises 481 for an empty or unreadable picture, 5 for
    // negative sizes, 7 when memory runs out.
    void PaintPicture(const platform::Picture& picture, int x1, int y1, int width1, int height1, int x2,
                      int y2, int width2, int height2);

    // The persistent image as a bitmap picture of the drawing area's size.
    platform::Picture Image();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void fitToPicture();
    void ensureCanvas();

    platform::Picture picture_;
    bool autoSize_ = false;
    bool autoRedraw_ = false;
    QColor backColor_;
    QImage canvas_;  // the persistent image; null until drawing needs it
};

}  // namespace platform
