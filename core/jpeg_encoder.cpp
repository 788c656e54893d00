#include "core/jpeg_encoder.h"

#include "core/huge_page_image.h"

// clang-format off
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>
// clang-format on
#include <algorithm>
#include <csetjmp>
#include <new>

namespace core {

namespace {

// libjpeg reports fatal errors through error_exit, which must not return: jump back into the encoder.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

void OnFatalError(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1); }
void OnMessage(j_common_ptr) {}  // the library's warnings are not ours to print

J_COLOR_SPACE ColourSpaceOf(PixelRows::Layout layout) {
    switch (layout) {
        case PixelRows::Layout::Bgr:
            return JCS_EXT_BGR;
        case PixelRows::Layout::Rgb:
            return JCS_EXT_RGB;
        case PixelRows::Layout::Bgrx:
            return JCS_EXT_BGRX;
    }
    return JCS_EXT_BGRX;
}

// The output grows in a byte array the caller owns. libjpeg's own memory destination frees its first
// buffer when it grows but tells the caller the new one only at the end, so an error in between left
// the caller freeing that first buffer a second time.
struct Output {
    jpeg_destination_mgr pub{};
    QByteArray bytes;
    int growths = 0;

    Output() {
        pub.init_destination = [](j_compress_ptr c) { Of(c).Reset(0); };
        pub.empty_output_buffer = [](j_compress_ptr c) -> boolean {
            Output& out = Of(c);
            const int limit = jpegOutputGrowthsBeforeFailure;
            // The whole buffer is full here, whatever free_in_buffer says.
            const qsizetype full = out.bytes.size();
            if ((limit >= 0 && out.growths++ >= limit) || !out.Reset(full)) ERREXIT1(c, JERR_OUT_OF_MEMORY, 10);
            return TRUE;
        };
        pub.term_destination = [](j_compress_ptr c) {
            Output& out = Of(c);
            out.bytes.truncate(out.bytes.size() - qsizetype(out.pub.free_in_buffer));
        };
    }
    static Output& Of(j_compress_ptr c) { return *reinterpret_cast<Output*>(c->dest); }
    // Room after the first used bytes: doubled, or 64 KB to start with; false when memory runs out.
    bool Reset(qsizetype used) {
        try {
            bytes.resize(std::max<qsizetype>(used * 2, 64 * 1024));
        } catch (const std::bad_alloc&) {
            return false;
        }
        pub.next_output_byte = reinterpret_cast<JOCTET*>(bytes.data()) + used;
        pub.free_in_buffer = std::size_t(bytes.size() - used);
        return true;
    }
};

// Only plain data lives in this frame across setjmp, so the jump is safe.
struct Options {
    int quality;
    ChromaSampling sampling;
    QByteArrayView exif;
};

int Encode(jpeg_compress_struct& c, ErrorManager& err, const PixelRows& rows, const Options& options, Output& out) {
    if (setjmp(err.jump)) return err.pub.msg_code == JERR_OUT_OF_MEMORY ? errc::OutOfMemory : errc::InvalidArgument;
    jpeg_create_compress(&c);
    c.dest = &out.pub;
    c.image_width = JDIMENSION(rows.width);
    c.image_height = JDIMENSION(rows.height);
    c.input_components = rows.layout == PixelRows::Layout::Bgrx ? 4 : 3;
    c.in_color_space = ColourSpaceOf(rows.layout);
    jpeg_set_defaults(&c);
    const int quality = std::clamp(options.quality, 1, 100);
    jpeg_set_quality(&c, quality, TRUE);

    ChromaSampling sampling = options.sampling;
    if (sampling == ChromaSampling::ByQuality)
        sampling = quality >= 90 ? ChromaSampling::Full : ChromaSampling::HalfBoth;
    c.comp_info[0].h_samp_factor = sampling == ChromaSampling::Full ? 1 : 2;
    c.comp_info[0].v_samp_factor = sampling == ChromaSampling::HalfBoth ? 2 : 1;
    c.optimize_coding = TRUE;

    jpeg_start_compress(&c, TRUE);
    if (!options.exif.isEmpty())
        jpeg_write_marker(&c, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(options.exif.constData()),
                          unsigned(options.exif.size()));
    constexpr int kBatch = 32;
    JSAMPROW batch[kBatch];
    const std::uint8_t* released = rows.top;
    while (c.next_scanline < c.image_height) {
        const JDIMENSION first = c.next_scanline;
        const JDIMENSION n = std::min<JDIMENSION>(kBatch, c.image_height - first);
        for (JDIMENSION i = 0; i < n; ++i)
            batch[i] = const_cast<JSAMPROW>(rows.top + std::ptrdiff_t(first + i) * rows.stride);
        jpeg_write_scanlines(&c, batch, n);
        // libjpeg has converted these rows into its own buffers by now.
        if (rows.consumed && rows.stride > 0) released = ReleasePages(released, batch[n - 1] + rows.stride);
    }
    jpeg_finish_compress(&c);
    return 0;
}

}  // namespace

PixelRows PixelRows::Of(const QImage& rgb32) {
    return {rgb32.constBits(), std::ptrdiff_t(rgb32.bytesPerLine()), rgb32.width(), rgb32.height(), Layout::Bgrx};
}

Result<QByteArray> EncodeJpeg(const PixelRows& rows, int quality, ChromaSampling sampling, QByteArrayView exif) {
    if (rows.width <= 0 || rows.height <= 0 || rows.width > JPEG_MAX_DIMENSION || rows.height > JPEG_MAX_DIMENSION)
        return Error{errc::InvalidArgument, QStringLiteral("a JPEG must be 1 to %1 pixels a side").arg(JPEG_MAX_DIMENSION)};
    if (!rows.top) return Error{errc::InvalidArgument, QStringLiteral("no pixels")};
    if (exif.size() > kMaxApp1Payload) return Error{errc::InvalidArgument, QStringLiteral("Exif block too large")};

    jpeg_compress_struct c{};
    ErrorManager err{};
    c.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = OnFatalError;
    err.pub.output_message = OnMessage;
    Output out;
    const int failed = Encode(c, err, rows, {quality, sampling, exif}, out);
    jpeg_destroy_compress(&c);
    if (failed == errc::OutOfMemory) return Error{failed, QStringLiteral("out of memory")};
    if (failed) return Error{failed, QStringLiteral("the JPEG encoder refused the picture")};
    return std::move(out.bytes);
}

}  // namespace core
