#pragma once
// An original that is already smaller than its result: its own bytes may be written instead, when they show
// the same picture in the same kind of file and carry nothing a result would leave out.

#include "core/encode_picture.h"

#include <QByteArray>

namespace core {

// The original's bytes as they may stand for a result in format (lossless: WebP's coding asked for): a JPEG,
// PNG or WebP of that format, the WebP of the same coding (lossy or lossless); empty otherwise. A result
// carries no location and no more than a few Exif fields, so a JPEG with Exif, XMP or IPTC segments, a PNG
// with an eXIf chunk and a WebP with EXIF or XMP chunks are not copied; a PNG's text chunks are left out.
// Whether its pixels are the result's size is the caller's to tell.
QByteArray OriginalAsResult(const QByteArray& original, OutputFormat format, bool lossless);

}  // namespace core
