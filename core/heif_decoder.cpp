// HEIC/HEIF and AVIF through libheif: the primary image only, whatever else the file holds. libheif
// applies the container's rotation, mirroring and crop itself, and those are the picture's orientation:
// an Exif Orientation inside the file describes the coded pixels and is not applied again.

#include "core/heif_library.h"
#include "core/icc_profile.h"
#include "core/picture_decoder.h"

#include <QColorSpace>
#include <QPointF>
#include <cstring>
#include <memory>
#include <mutex>
#include <utility>

namespace core {

namespace {

// libheif once it is loaded: OpenHeifDecoder checks that before anything here is called.
const HeifLibrary& Heif() { return *LoadHeifLibrary().value(); }

struct ContextFree {
    void operator()(heif_context* c) const { Heif().heif_context_free(c); }
};
struct HandleRelease {
    void operator()(const heif_image_handle* h) const { Heif().heif_image_handle_release(h); }
};
struct ImageRelease {
    void operator()(const heif_image* i) const { Heif().heif_image_release(i); }
};
struct OptionsFree {
    void operator()(heif_decoding_options* o) const { Heif().heif_decoding_options_free(o); }
};
struct NclxFree {
    void operator()(heif_color_profile_nclx* n) const { Heif().heif_nclx_color_profile_free(n); }
};

// No side of a picture the loader takes comes near this; libheif refuses larger items (tiles included)
// while parsing, before anything is allocated for them.
constexpr int kMaxSide = 1 << 16;

struct Primary {
    std::unique_ptr<heif_context, ContextFree> context;
    std::unique_ptr<const heif_image_handle, HandleRelease> handle;
};

Error Refusal(const heif_error& e) {
    if (e.subcode == heif_suberror_Security_limit_exceeded) return TooLarge();
    if (e.code == heif_error_Memory_allocation_error) return NoMemory();
    return {Cause::Damaged,
            QStringLiteral("not a picture, or damaged (%1)").arg(QString::fromUtf8(e.message).trimmed())};
}

std::uint32_t Big32(QByteArrayView b, qsizetype at) {
    return (std::uint32_t(std::uint8_t(b[at])) << 24) | (std::uint32_t(std::uint8_t(b[at + 1])) << 16) |
           (std::uint32_t(std::uint8_t(b[at + 2])) << 8) | std::uint8_t(b[at + 3]);
}

// The box of this kind among the boxes in [from, to) of b: its payload's start and end; {-1, -1} if none.
std::pair<qsizetype, qsizetype> FindBox(QByteArrayView b, qsizetype from, qsizetype to, const char* kind) {
    while (from + 8 <= to) {
        std::uint64_t size = Big32(b, from);
        qsizetype header = 8;
        if (size == 1) {
            if (from + 16 > to) break;
            size = (std::uint64_t(Big32(b, from + 8)) << 32) | Big32(b, from + 12);
            header = 16;
        } else if (size == 0) {
            size = std::uint64_t(to - from);
        }
        if (size < std::uint64_t(header) || size > std::uint64_t(to - from)) break;
        if (b.sliced(from + 4, 4) == kind) return {from + header, from + qsizetype(size)};
        from += qsizetype(size);
    }
    return {-1, -1};
}

// The number of items the file's item list declares; 0 when it cannot be told.
std::uint32_t ItemCount(QByteArrayView b) {
    const auto [meta, metaEnd] = FindBox(b, 0, b.size(), "meta");
    if (meta < 0) return 0;
    const auto [iinf, iinfEnd] = FindBox(b, meta + 4, metaEnd, "iinf");  // meta is a full box
    if (iinf < 0 || iinf + 8 > iinfEnd) return 0;
    return b[iinf] == 0 ? (Big32(b, iinf + 4) >> 16) : Big32(b, iinf + 4);
}

// libheif's parsing takes time growing faster than the number of items: a quarter of a second for a
// thousand here. A camera's photo has a few dozen (a grid of tiles, thumbnails, Exif, depth).
constexpr std::uint32_t kMaxItems = 2000;

// Parses the boxes of bytes, which must outlive the result. Item data (the coded pixels) is not touched.
Result<Primary> ReadPrimary(const QByteArray& bytes) {
    if (ItemCount(bytes) > kMaxItems)
        return Error{Cause::TooCostly, QStringLiteral("more than %1 items in one file").arg(kMaxItems)};
    Primary p;
    p.context.reset(Heif().heif_context_alloc());
    if (!p.context) return NoMemory();
    Heif().heif_context_set_maximum_image_size_limit(p.context.get(), kMaxSide);
    heif_error e = Heif().heif_context_read_from_memory_without_copy(p.context.get(), bytes.constData(),
                                                                     std::size_t(bytes.size()), nullptr);
    if (e.code != heif_error_Ok) return Refusal(e);
    heif_image_handle* handle = nullptr;
    e = Heif().heif_context_get_primary_image_handle(p.context.get(), &handle);
    if (e.code != heif_error_Ok) return Refusal(e);
    p.handle.reset(handle);
    return p;
}

// What decoding holds at its peak: libheif's coded planes at their depth (all four channels in the worst
// case), its interleaved 8-bit copy, then ours as 32 bits once the planes are gone. libheif gives the
// picture only whole, never in rows, so that is the cost of any decode, however small the request.
std::int64_t DecodeBytes(std::int64_t pixels, int bits) {
    const std::int64_t planes = 4 * (bits > 8 ? 2 : 1);
    return pixels * (4 + std::max<std::int64_t>(planes, 4));
}

// The colour space an nclx box describes; invalid for sRGB, unknown or HDR transfers (no tone mapping here).
QColorSpace NclxSpace(const heif_image_handle* handle) {
    heif_color_profile_nclx* raw = nullptr;
    const heif_error e = Heif().heif_image_handle_get_nclx_color_profile(handle, &raw);
    // libheif may give a profile even when it fails (unknown primaries, say): it is ours to free either way.
    const std::unique_ptr<heif_color_profile_nclx, NclxFree> nclx(raw);
    if (e.code != heif_error_Ok || !nclx) return {};
    // 1 is BT.709 (sRGB's primaries), 2 unspecified.
    if (nclx->color_primaries == heif_color_primaries_ITU_R_BT_709_5 ||
        nclx->color_primaries == heif_color_primaries_unspecified)
        return {};
    QColorSpace::TransferFunction transfer = QColorSpace::TransferFunction::SRgb;
    float gamma = 0;
    switch (nclx->transfer_characteristics) {
        case heif_transfer_characteristic_linear:
            transfer = QColorSpace::TransferFunction::Linear;
            break;
        case heif_transfer_characteristic_ITU_R_BT_470_6_System_M:
            transfer = QColorSpace::TransferFunction::Gamma;
            gamma = 2.2f;
            break;
        case heif_transfer_characteristic_ITU_R_BT_470_6_System_B_G:
            transfer = QColorSpace::TransferFunction::Gamma;
            gamma = 2.8f;
            break;
        default:  // sRGB, the BT.709 family and anything else shown as sRGB would show it
            break;
    }
    return QColorSpace(QPointF(nclx->color_primary_white_x, nclx->color_primary_white_y),
                       QPointF(nclx->color_primary_red_x, nclx->color_primary_red_y),
                       QPointF(nclx->color_primary_green_x, nclx->color_primary_green_y),
                       QPointF(nclx->color_primary_blue_x, nclx->color_primary_blue_y), transfer, gamma);
}

QColorSpace ColourSpace(const heif_image_handle* handle) {
    const std::size_t size = Heif().heif_image_handle_get_raw_color_profile_size(handle);
    if (size > 0 && size < (std::size_t(64) << 20)) {
        QByteArray icc(qsizetype(size), Qt::Uninitialized);
        if (Heif().heif_image_handle_get_raw_color_profile(handle, icc.data()).code == heif_error_Ok) {
            const QColorSpace space = QColorSpace::fromIccProfile(icc);
            if (space.isValid()) return space;
        }
    }
    return NclxSpace(handle);
}

// The TIFF block of the primary image's Exif item: libheif gives it behind a 4-byte offset to the header.
QByteArray ExifBlock(const heif_image_handle* handle) {
    heif_item_id id = 0;
    if (Heif().heif_image_handle_get_list_of_metadata_block_IDs(handle, "Exif", &id, 1) < 1) return {};
    const std::size_t size = Heif().heif_image_handle_get_metadata_size(handle, id);
    if (size < 4 || size > (std::size_t(64) << 20)) return {};
    QByteArray data(qsizetype(size), Qt::Uninitialized);
    if (Heif().heif_image_handle_get_metadata(handle, id, data.data()).code != heif_error_Ok) return {};
    const std::uint32_t skip = Big32(data, 0);
    if (skip > std::uint32_t(data.size() - 4)) return {};
    return data.mid(4 + qsizetype(skip));
}

class HeifDecoder final : public PictureDecoder {
public:
    // primary was read from bytes, whose data it points into.
    HeifDecoder(QByteArray bytes, Primary primary, QSize size, QByteArray exif)
        : bytes_(std::move(bytes)), primary_(std::move(primary)), size_(size), exif_(std::move(exif)) {}

    QSize size() const override { return size_; }
    QByteArray exif() const override { return exif_; }

    // Always the whole picture: libheif decodes no reduced version and no rows.
    Result<QImage> Decode(QSize) const override {
        // One decode at a time: the boxes are read once, and libheif's context is not made to be shared.
        const std::lock_guard lock(mutex_);
        const heif_image_handle* handle = primary_.handle.get();
        const bool alpha = Heif().heif_image_handle_has_alpha_channel(handle);
        const std::unique_ptr<heif_decoding_options, OptionsFree> options(
            Heif().heif_decoding_options_alloc());
        if (!options) return NoMemory();
        // 10- and 12-bit pictures (AVIF mostly) come out at 8 bits.
        options->convert_hdr_to_8bit = 1;
        heif_image* raw = nullptr;
        const heif_error e = Heif().heif_decode_image(
            handle, &raw, heif_colorspace_RGB,
            alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB, options.get());
        const std::unique_ptr<const heif_image, ImageRelease> decoded(raw);
        if (e.code != heif_error_Ok) return Refusal(e);
        int stride = 0;
        const std::uint8_t* rows =
            Heif().heif_image_get_plane_readonly(raw, heif_channel_interleaved, &stride);
        const QSize got(Heif().heif_image_get_width(raw, heif_channel_interleaved),
                        Heif().heif_image_get_height(raw, heif_channel_interleaved));
        if (!rows || got != size_ ||
            Heif().heif_image_get_bits_per_pixel_range(raw, heif_channel_interleaved) != 8)
            return NotAPicture();
        QImage image(size_, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
        if (image.isNull()) return NoMemory();
        const int channels = alpha ? 4 : 3;
        for (int y = 0; y < size_.height(); ++y) {
            const std::uint8_t* in = rows + std::ptrdiff_t(y) * stride;
            auto* out = reinterpret_cast<QRgb*>(image.scanLine(y));
            for (int x = 0; x < size_.width(); ++x, in += channels)
                out[x] = qRgba(in[0], in[1], in[2], alpha ? in[3] : 255);
        }
        return ToSrgb(std::move(image), ColourSpace(handle));
    }

private:
    QByteArray bytes_;
    Primary primary_;
    QSize size_;
    QByteArray exif_;
    mutable std::mutex mutex_;
};

}  // namespace

bool IsHeif(QByteArrayView head) {
    // An ftyp box first, naming one of the still-picture brands as its major or a compatible brand.
    if (head.size() < 16 || head.sliced(4, 4) != "ftyp") return false;
    const qsizetype end = std::min<std::uint64_t>(std::uint64_t(head.size()), Big32(head, 0));
    static const char* const kBrands[] = {"heic", "heix", "heim", "heis", "hevc", "hevx", "mif1", "msf1", "avif", "avis"};
    for (qsizetype at = 8; at + 4 <= end; at += 4) {
        if (at == 12) continue;  // the minor version
        for (const char* brand : kBrands)
            if (head.sliced(at, 4) == brand) return true;
    }
    return false;
}

QSize HeifLargestSize(QByteArrayView head) {
    const auto [meta, metaEnd] = FindBox(head, 0, head.size(), "meta");
    if (meta < 0) return {};
    const auto [iprp, iprpEnd] = FindBox(head, meta + 4, metaEnd, "iprp");
    if (iprp < 0) return {};
    const auto [ipco, ipcoEnd] = FindBox(head, iprp, iprpEnd, "ipco");
    if (ipco < 0) return {};
    QSize largest;
    for (qsizetype at = ipco;;) {
        const auto [ispe, ispeEnd] = FindBox(head, at, ipcoEnd, "ispe");
        if (ispe < 0) break;
        if (ispe + 12 <= ispeEnd) {
            // Beyond a QSize's sides: larger than anything the loader takes anyway.
            const std::uint32_t w = std::min<std::uint32_t>(Big32(head, ispe + 4), 1u << 30);
            const std::uint32_t h = std::min<std::uint32_t>(Big32(head, ispe + 8), 1u << 30);
            if (std::int64_t(w) * h > std::int64_t(std::max(largest.width(), 0)) * std::max(largest.height(), 0))
                largest = QSize(int(w), int(h));
        }
        at = ispeEnd;
    }
    return largest;
}

Result<std::unique_ptr<PictureDecoder>> OpenHeifDecoder(QByteArray bytes) {
    if (const auto& library = LoadHeifLibrary(); !library) return library.error();
    Result<Primary> primary = ReadPrimary(bytes);
    if (!primary) return primary.error();
    const heif_image_handle* handle = primary->handle.get();
    const QSize size(Heif().heif_image_handle_get_width(handle), Heif().heif_image_handle_get_height(handle));
    if (size.isEmpty()) return NotAPicture();
    const std::int64_t pixels = std::int64_t(size.width()) * size.height();
    if (pixels > kMaxPicturePixels) return TooLarge();
    if (const Result<void> fits = FitsDecodeBudgetBytes(
            DecodeBytes(pixels, Heif().heif_image_handle_get_luma_bits_per_pixel(handle)));
        !fits)
        return fits.error();
    QByteArray exif = ExifBlock(handle);
    // Moving the array keeps its data where libheif's context points.
    return std::unique_ptr<PictureDecoder>(
        std::make_unique<HeifDecoder>(std::move(bytes), std::move(*primary), size, std::move(exif)));
}

}  // namespace core
