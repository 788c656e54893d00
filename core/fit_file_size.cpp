#include "core/fit_file_size.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <utility>

namespace core {

namespace {

Error TooLarge(qint64 maxBytes, QSize size, qint64 bytes, const QString& how) {
    return Error{Cause::DoesNotFit, QStringLiteral("does not fit in %1 bytes: %2 × %3%4 takes %5 bytes")
                                        .arg(maxBytes)
                                        .arg(size.width())
                                        .arg(size.height())
                                        .arg(how)
                                        .arg(bytes)};
}

// The highest quality in [lowest, highest] whose encoding fits, or none; sizeAtLowest tells what the
// lowest took when none did.
Result<std::optional<FittedFile>> SearchQuality(const QImage& image, qint64 maxBytes, int lowest, int highest,
                                                const EncodeAtQuality& encode, int& encodes,
                                                qint64& sizeAtLowest) {
    std::optional<FittedFile> best;
    // fits stays the highest quality known to fit (lowest - 1: none yet), tooBig the lowest known not to.
    int fits = lowest - 1, tooBig = highest + 1;
    for (int quality = highest; tooBig - fits > 1; quality = fits + (tooBig - fits) / 2) {
        const Result<QByteArray> bytes = encode(image, quality);
        ++encodes;
        if (!bytes) return bytes.error();
        if (bytes->size() <= maxBytes) {
            fits = quality;
            best = FittedFile{*bytes, image.size(), quality, 0};
        } else {
            tooBig = quality;
            if (quality == lowest) sizeAtLowest = bytes->size();
        }
    }
    return best;
}

}  // namespace

Result<FittedFile> FitFileSize(QImage image, qint64 maxBytes, int highestQuality,
                               const EncodeAtQuality& encode, const ShrinkTo& shrink) {
    const int lowest = std::min(kLowestFittingQuality, highestQuality);
    int encodes = 0;
    QImage picture = std::move(image);
    QSize size = picture.size();
    // Once fewer pixels are needed, the lowest quality stays: each step is then one encoding.
    for (int highest = highestQuality;; highest = lowest) {
        qint64 atLowest = 0;
        const Result<std::optional<FittedFile>> found =
            SearchQuality(picture, maxBytes, lowest, highest, encode, encodes, atLowest);
        if (!found) return found.error();
        if (*found) {
            FittedFile fitted = **found;
            fitted.encodes = encodes;
            return fitted;
        }
        const double factor = std::min(0.9, 0.95 * std::sqrt(double(maxBytes) / double(atLowest)));
        // Steps go by the sizes asked for, so that they end whatever shrink gives.
        const QSize smaller(int(std::lround(size.width() * factor)),
                            int(std::lround(size.height() * factor)));
        if (smaller.width() < kSmallestFittingSide || smaller.height() < kSmallestFittingSide)
            return TooLarge(maxBytes, size, atLowest, QStringLiteral(" at quality %1").arg(lowest));
        picture = QImage();  // the step before is let go before the next is drawn
        Result<QImage> next = shrink(smaller);
        if (!next) return next.error();
        picture = std::move(*next);
        size = smaller;
    }
}

Result<FittedFile> FitFileSize(const QImage& image, qint64 maxBytes, const EncodeAsIs& encode) {
    const Result<QByteArray> bytes = encode(image);
    if (!bytes) return bytes.error();
    if (bytes->size() > maxBytes) return TooLarge(maxBytes, image.size(), bytes->size(), QString());
    return FittedFile{*bytes, image.size(), 0, 1};
}

}  // namespace core
