#pragma once
// HEIC files made through libheif's encoder, for what its command-line tool does not write: a picture
// turned by the container's own rotation while its Exif says an orientation too.

#include <QByteArray>
#include <QImage>

namespace testpics {

// The stored pixels coded as HEVC, with the container told to show them in Exif orientation `orientation`
// (1..8) and, when exifTiff is not empty, that TIFF block as the picture's Exif item. Empty on a failure.
QByteArray EncodeHeic(const QImage& stored, int orientation, const QByteArray& exifTiff);

}  // namespace testpics
