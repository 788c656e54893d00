#pragma once
// EXIF orientation: reading the tag from a JPEG's Exif block and turning pixels upright by it.

#include <QByteArrayView>
#include <QImage>

namespace core {

// The orientation tag (1..8) of a TIFF-structured Exif block; 1 when absent, out of range or unreadable.
int ExifOrientation(QByteArrayView tiff);
// The TIFF block of a JPEG stream's APP1 "Exif" segment; empty when there is none.
QByteArrayView JpegExifBlock(QByteArrayView jpeg);
// The orientation of a JPEG stream from its APP1 "Exif" segment; 1 when there is none.
int JpegExifOrientation(QByteArrayView jpeg);
// True for the orientations that turn the picture a quarter, swapping width and height.
bool OrientationSwapsAxes(int orientation);
// The stored pixels turned so that they show upright.
QImage ApplyOrientation(const QImage& stored, int orientation);

}  // namespace core
