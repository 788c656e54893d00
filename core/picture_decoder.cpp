#include "core/picture_decoder.h"

#include "core/formats.h"
#include "core/jpeg_segments.h"
#include "core/png_chunks.h"

#include <algorithm>
#include <cmath>
#include <optional>

namespace core {

QSize DecodeTarget(QSize atLeast, QSize full, int margin) {
    if (!atLeast.isValid() || atLeast.isEmpty()) return full;
    const auto widen = [margin](int asked, int limit) {
        return int(std::min<std::int64_t>(std::int64_t(asked) * margin, limit));
    };
    return {widen(atLeast.width(), full.width()), widen(atLeast.height(), full.height())};
}

bool Covers(QSize have, QSize need) { return have.width() >= need.width() && have.height() >= need.height(); }

ReducedDecode ReducedDecodeSize(QSize full, QSize target, Reduction reduction) {
    if (!target.isValid() || target.isEmpty()) return {full};
    if (reduction.powersOfTwo) {
        for (int denominator = reduction.mostDenominator; denominator > 1; denominator /= 2) {
            const QSize scaled((full.width() + denominator - 1) / denominator,
                               (full.height() + denominator - 1) / denominator);
            if (Covers(scaled, target)) return {scaled, denominator};
        }
        return {full};
    }
    if (Covers(target, full)) return {full};
    const double least = reduction.mostDenominator > 0 ? 1.0 / reduction.mostDenominator : 0.0;
    const double f =
        std::max({double(target.width()) / full.width(), double(target.height()) / full.height(), least});
    const auto side = [f](int whole) { return std::clamp(int(std::ceil(whole * f)), 1, whole); };
    return {{side(full.width()), side(full.height())}};
}

Error NotAPicture() { return {Cause::Damaged, QStringLiteral("not a picture, or damaged")}; }

Error TooLarge() {
    return {Cause::TooLarge, QStringLiteral("larger than %1 megapixels").arg(kMaxPicturePixels / 1'000'000)};
}

Result<void> FitsDecodeBudget(std::int64_t pixels, QImage::Format format) {
    const bool wide = format == QImage::Format_RGB32 || format == QImage::Format_ARGB32;
    // An unknown format may be anything up to 32 bits and then still need To32Bit's copy.
    const int depth = format == QImage::Format_Invalid ? 4 : QImage::toPixelFormat(format).bitsPerPixel() / 8;
    return FitsDecodeBudgetBytes(pixels * (std::max(depth, 1) + (wide ? 0 : 4)));
}

Result<void> FitsDecodeBudgetBytes(std::int64_t bytes) {
    if (bytes <= kDecodeMemoryBudget) return {};
    return Error{Cause::TooLarge,
                 QStringLiteral("decoding would take %1 MB, over the %2 MB a picture may use")
                     .arg(bytes >> 20)
                     .arg(kDecodeMemoryBudget >> 20)};
}

Error NoMemory() { return {Cause::OutOfMemory, QStringLiteral("out of memory")}; }

namespace {

// Unsigned 64 bits hold any product of two 32-bit sides.
std::uint64_t Pixels(std::uint64_t width, std::uint64_t height) { return width * height; }

// Each repeated scan of a progressive JPEG runs over the whole picture. The JPEG decoder counts scans as
// it reads them; only a JPEG that Qt decodes instead needs this walk of the whole file first.
std::optional<Error> TooManyScans(const QByteArray& jpeg) {
    const JpegLayout layout = ReadJpegLayout(jpeg);
    if (layout.scans > kMaxJpegScans)
        return Error{Cause::TooCostly, QStringLiteral("more than %1 scans").arg(kMaxJpegScans)};
    if (layout.scans > 1 &&
        std::uint64_t(layout.scans) * Pixels(layout.width, layout.height) > std::uint64_t(kMaxJpegScanPixels))
        return Error{Cause::TooCostly, QStringLiteral("%1 scans, too many for its size").arg(layout.scans)};
    return std::nullopt;
}

}  // namespace

// Pictures that are cheap to send and costly to decode: arithmetic coding bounds nothing by its bytes, and
// 16-bit or interlaced PNGs are decoded whole at their full depth.
std::optional<Error> CostlyToDecode(const QByteArray& bytes) {
    if (bytes.startsWith("\xFF\xD8")) {
        const JpegLayout jpeg = ReadJpegLayout(bytes, false);
        if (jpeg.arithmetic() && Pixels(jpeg.width, jpeg.height) > std::uint64_t(kMaxArithmeticPixels))
            return Error{Cause::TooCostly, QStringLiteral("arithmetic coding above %1 megapixels")
                                               .arg(kMaxArithmeticPixels / 1'000'000)};
    }
    const PngHeader png = ReadPngHeader(bytes);
    if (png.valid && (png.bitDepth == 16 || png.interlaced) &&
        Pixels(png.width, png.height) > std::uint64_t(kMaxDeepPngPixels))
        return Error{Cause::TooCostly, QStringLiteral("a 16-bit or interlaced PNG above %1 megapixels")
                                           .arg(kMaxDeepPngPixels / 1'000'000)};
    return std::nullopt;
}

Result<std::unique_ptr<PictureDecoder>> OpenPictureDecoder(QByteArray bytes) {
    if (bytes.isEmpty()) return NotAPicture();
    bytes = WithoutPngText(WithoutOverlongPngChunk(std::move(bytes)));
    if (const std::optional<Error> costly = CostlyToDecode(bytes)) return *costly;
    const bool jpeg = bytes.size() >= 3 && std::uint8_t(bytes[0]) == 0xFF && std::uint8_t(bytes[1]) == 0xD8 &&
                      std::uint8_t(bytes[2]) == 0xFF;
    const Format* known = RecognisedFormat(bytes);
    if (known && known->checksItself) return known->open(std::move(bytes));
    Result<std::unique_ptr<PictureDecoder>> decoder = std::unique_ptr<PictureDecoder>();
    if (jpeg) decoder = OpenJpegDecoder(bytes);
    if (decoder.ok() && !*decoder) {
        if (const std::optional<Error> costly =
                bytes.startsWith("\xFF\xD8") ? TooManyScans(bytes) : std::nullopt)
            return *costly;
        // A JPEG its decoder declines (CMYK) is Qt's reader's, as is a format without a decoder of its own.
        decoder = known && !IsJpeg(bytes) ? known->open(bytes) : OpenQtImageDecoder(bytes);
    }
    if (!decoder) return decoder;
    // After the size limit, so that a giant claim is told as one (too large); decoders fill in missing data.
    if (!PixelDataCanFit(bytes)) return NotAPicture();
    return decoder;
}

Result<QImage> To32Bit(const QImage& image) {
    const QImage::Format format = image.hasAlphaChannel() ? QImage::Format_ARGB32 : QImage::Format_RGB32;
    if (image.isNull() || image.format() == format) return image;
    QImage converted = image.convertToFormat(format);
    if (converted.isNull()) return NoMemory();
    return converted;
}

}  // namespace core
