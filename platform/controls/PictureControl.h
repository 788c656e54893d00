#pragma once
// The image control: shows a picture clipped at its own size or zoomed to fit, and reports clicks.
// It asks the picture for pixels at the size it shows and keeps only the pixmap it paints; it never decodes
// a larger version of a picture than it has when it can ask for one (ViewNeeded).

#include "platform/picture.h"

#include <QFrame>
#include <QPixmap>

namespace platform {

class PictureControl : public QFrame {
    Q_OBJECT
public:
    enum SizeMode { fmPictureSizeModeClip = 0, fmPictureSizeModeStretch = 1, fmPictureSizeModeZoom = 3 };

    explicit PictureControl(QWidget* parent = nullptr);

    // The runtime's property name; the type is spelled in full below it.
    platform::Picture Picture() const { return picture_; }
    void setPicture(const platform::Picture& picture);

    int PictureSizeMode() const { return sizeMode_; }
    void setPictureSizeMode(int mode);

    bool AutoSize() const { return autoSize_; }
    void setAutoSize(bool on);

    // The raised 3-D edge of the preview.
    void setRaisedEdge(bool on);

    // Whether a picture fits inside the control at its own size: its pixels, no more than the area
    // inside the edge in both directions. An empty picture fits.
    bool PictureFits(const platform::Picture& picture) const;
    // Automatic sizing off, then the picture at its own size when it fits, zoomed to fit when not.
    void fitPictureSizeMode();

    // The size the picture is drawn at now, in pixels (empty with no picture).
    QSize shownSize() const;

    // A line shown in the middle while there is no picture (one still loading); empty: none.
    QString statusText() const { return statusText_; }
    void setStatusText(const QString& text);

signals:
    void clicked();
    // The picture is shown larger than any of its versions decoded so far: while this signal is connected,
    // it is drawn enlarged from the largest meanwhile, since decoding here would hold the window. Decode a
    // version covering shown elsewhere, then update().
    void ViewNeeded(QSize shown);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void fitToPicture();

    platform::Picture picture_;
    int sizeMode_ = fmPictureSizeModeClip;
    bool autoSize_ = false;
    bool pressed_ = false;
    QPixmap cache_;  // the picture at shownSize(), made again only when that size or the picture changes
    bool cacheEnlarged_ = false;  // cache_ was drawn from a smaller version
    QString statusText_;
};

}  // namespace platform
