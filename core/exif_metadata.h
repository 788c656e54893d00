#pragma once
// What of a photo's Exif block a shrunk copy may carry: when, and with which camera and lens, it was
// taken; never where (no GPS), no maker notes, no thumbnail, no serial numbers.

#include <QByteArray>
#include <QByteArrayView>

namespace core {

// From a TIFF block (an Exif segment's payload after "Exif\0\0"), a new APP1 payload ("Exif\0\0" and a
// TIFF block in the same byte order) with only the date, camera, lens and exposure fields, and
// Orientation 1, since the pixels it goes with are upright; empty when the block has none of them.
QByteArray KeptExif(QByteArrayView tiff);

}  // namespace core
