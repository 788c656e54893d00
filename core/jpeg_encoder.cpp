#include "core/jpeg_encoder.h"

// clang-format off
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>
// clang-format on
#include <algorithm>
#include <csetjmp>
#include <cstdlib>

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

// Only plain data lives in this frame across setjmp, so the jump is safe; the output buffer is libjpeg's
// own (malloc'ed) and handed back through out and size.
struct Options {
    int quality;
    ChromaSampling sampling;
    QByteArrayView exif;
};

int Encode(jpeg_compress_struct& c, ErrorManager& err, const PixelRows& rows, const Options& options,
           unsigned char** out, unsigned long* size) {
    if (setjmp(err.jump)) return err.pub.msg_code == JERR_OUT_OF_MEMORY ? errc::OutOfMemory : errc::InvalidArgument;
    jpeg_create_compress(&c);
    jpeg_mem_dest(&c, out, size);
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
    while (c.next_scanline < c.image_height) {
        const JDIMENSION first = c.next_scanline;
        const JDIMENSION n = std::min<JDIMENSION>(kBatch, c.image_height - first);
        for (JDIMENSION i = 0; i < n; ++i)
            batch[i] = const_cast<JSAMPROW>(rows.top + std::ptrdiff_t(first + i) * rows.stride);
        jpeg_write_scanlines(&c, batch, n);
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
    // An APP1 segment holds at most 65533 bytes.
    if (exif.size() > 65533) return Error{errc::InvalidArgument, QStringLiteral("Exif block too large")};

    jpeg_compress_struct c{};
    ErrorManager err{};
    c.err = jpeg_std_error(&err.pub);
    err.pub.error_exit = OnFatalError;
    err.pub.output_message = OnMessage;
    unsigned char* out = nullptr;
    unsigned long size = 0;
    const int failed = Encode(c, err, rows, {quality, sampling, exif}, &out, &size);
    jpeg_destroy_compress(&c);
    const QByteArray jpeg = failed ? QByteArray() : QByteArray(reinterpret_cast<const char*>(out), qsizetype(size));
    std::free(out);
    if (failed == errc::OutOfMemory) return Error{failed, QStringLiteral("out of memory")};
    if (failed) return Error{failed, QStringLiteral("the JPEG encoder refused the picture")};
    return jpeg;
}

}  // namespace core
