#pragma once
// A result's file kept under a number of bytes ("under 200 KB" for a form or a mail): the highest quality
// whose encoding fits, and when even the lowest quality allowed does not, fewer pixels.

#include "core/result.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <functional>

namespace core {

// A format with a quality (JPEG, lossy WebP), and one without (PNG, lossless WebP).
using EncodeAtQuality = std::function<Result<QByteArray>(const QImage&, int quality)>;
using EncodeAsIs = std::function<Result<QByteArray>(const QImage&)>;
// The picture drawn anew at a smaller size.
using ShrinkTo = std::function<Result<QImage>(QSize)>;

// Below this quality a smaller picture looks better than a blockier one.
inline constexpr int kLowestFittingQuality = 30;
// A side the pixel steps never go under.
inline constexpr int kSmallestFittingSide = 16;

struct FittedFile {
    QByteArray bytes;
    QSize size;       // the picture's: the one given, or a smaller one when no quality fitted it
    int quality = 0;  // what it was encoded at; 0 for an encoding without a quality
    int encodes = 0;  // how many encodings the search made
};

// The encoding of image at the highest quality in [30, highestQuality] (highestQuality alone when under
// 30) that takes at most maxBytes, found by bisection: one encoding at highestQuality, then at most
// ceil(log2(highestQuality - 29)) more (7 in all at 90). JPEG sizes grow with quality, so the quality one
// above the answer does not fit. When quality 30 does not fit either, the picture is drawn anew by shrink
// with both sides scaled by 0.95 * sqrt(maxBytes / bytes at quality 30), at least 10% smaller, and encoded at
// quality 30 again (one encoding a step), until it fits. Errors: encode's and shrink's; 5 when a side would
// fall under 16 pixels first.
Result<FittedFile> FitFileSize(QImage image, qint64 maxBytes, int highestQuality,
                               const EncodeAtQuality& encode, const ShrinkTo& shrink);

// The one encoding, if it takes at most maxBytes. Errors: encode's; 5 when it does not fit.
Result<FittedFile> FitFileSize(const QImage& image, qint64 maxBytes, const EncodeAsIs& encode);

}  // namespace core
