#pragma once
// What decoding a HEIF's primary image will really cost, told from its boxes and its codecs' own headers
// before libheif decodes anything: every image the decode reaches (the grid's tiles, an identity's or
// overlay's inputs, each one's alpha), checked against one another and against what they declare.

#include "core/result.h"

#include <QByteArrayView>
#include <QSize>
#include <cstdint>

namespace core {

// The most images one picture's decode may reach. libheif starts a decoder and a thread for each; a
// 48-megapixel photo of 512-pixel tiles has under 200.
inline constexpr int kMaxHeifDecodes = 1024;

struct HeifPlan {
    QSize size;                      // the primary image's declared size (before rotation)
    std::int64_t decodedPixels = 0;  // every coded picture and every canvas the decode fills
    std::int64_t largestTile = 0;    // the largest single coded picture, in pixels
    int decodes = 0;                 // coded pictures decoded
    int bits = 8;                    // the deepest samples among them
};

// Damaged when the boxes are cut short or disagree: a grid's or overlay's size against its declared one,
// a coded picture's size against its declared one (allowing the codec's rounding up to its block size),
// tiles that do not cover their grid or lie wholly outside it. Too costly when an image is reached twice
// (a tile referenced more than once, or data shared by two coded images), when more than kMaxHeifDecodes
// images are to be decoded, when the work goes far beyond the picture's size, or when the file holds more
// than kMaxHeifItems items. Too large when an image declares more than kMaxPicturePixels. Unsupported for
// an image of a kind libheif does not decode.
Result<HeifPlan> PlanHeifDecode(QByteArrayView file);

// The primary image's declared size (before rotation) when head holds the boxes that tell it, invalid
// otherwise: what the decoder makes of any file PlanHeifDecode does not refuse.
QSize HeifDeclaredSize(QByteArrayView head);

}  // namespace core
