#pragma once
// Embedded colour profiles: reassembling a JPEG's ICC profile and bringing pixels into sRGB.

#include <QByteArray>
#include <QByteArrayView>
#include <QColorSpace>
#include <QImage>

namespace core {

// The ICC profile carried in a JPEG's APP2 "ICC_PROFILE" chunks, joined in sequence order; empty when
// there is none or a chunk is missing or doubled.
QByteArray JpegIccProfile(QByteArrayView jpeg);
// The pixels converted from their colour space to sRGB; unchanged when the space is unknown, invalid
// or sRGB already. Saved JPEGs carry no profile, so anything else would show shifted colours.
QImage ToSrgb(QImage image, const QColorSpace& space);

}  // namespace core
