#pragma once
// What of a photo's Exif block a shrunk copy may carry: when, with which camera and lens, and by whom
// (Artist, Copyright) it was taken; never where (no GPS), no maker notes, no thumbnail, no serial numbers.

#include "core/result.h"

#include <QByteArray>
#include <QByteArrayView>

namespace core {

// From a TIFF block (an Exif segment's payload after "Exif\0\0"), a new APP1 payload ("Exif\0\0" and a
// TIFF block in the same byte order) with only the date, camera, lens, exposure, artist and copyright
// fields, and Orientation 1, since the pixels it goes with are upright; empty when there is no block or
// it has none of them. Metadata unreadable when the block cannot be read or what it keeps is too large for
// one APP1 segment: the copy is then written without metadata.
Result<QByteArray> KeptExif(QByteArrayView tiff);

}  // namespace core
