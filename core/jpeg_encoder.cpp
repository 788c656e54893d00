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
#include <optional>

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

}  // namespace

struct JpegWriter::State {
    jpeg_compress_struct c{};
    ErrorManager err{};
    Output out;
    std::optional<Error> failed;  // the first failure: nothing is written after it
    bool created = false;

    ~State() {
        if (created) jpeg_destroy_compress(&c);
    }

    // Runs libjpeg calls; a fatal error jumps back here and is kept. Only libjpeg calls and plain values
    // belong in call: a failure jumps over its frames.
    template <typename Call>
    void Guarded(Call&& call) {
        if (failed) return;
        if (setjmp(err.jump)) {
            if (err.pub.msg_code == JERR_OUT_OF_MEMORY)
                Refuse(Cause::OutOfMemory, QStringLiteral("out of memory"));
            else
                Refuse(Cause::EncoderFailed, QStringLiteral("the JPEG encoder refused the picture"));
            return;
        }
        call();
    }

    void Refuse(Cause cause, const QString& detail) {
        if (!failed) failed = Error{cause, detail};
    }
};

JpegWriter::JpegWriter(int width, int height, PixelRows::Layout layout, int quality, ChromaSampling sampling,
                       QByteArrayView exif)
    : state_(std::make_unique<State>()) {
    State& s = *state_;
    if (width <= 0 || height <= 0 || width > JPEG_MAX_DIMENSION || height > JPEG_MAX_DIMENSION)
        s.Refuse(width <= 0 || height <= 0 ? Cause::InvalidSize : Cause::TooLargeForFormat,
                 QStringLiteral("a JPEG must be 1 to %1 pixels a side").arg(JPEG_MAX_DIMENSION));
    else if (exif.size() > kMaxApp1Payload)
        s.Refuse(Cause::MetadataUnreadable, QStringLiteral("Exif block too large"));
    if (s.failed) return;
    s.c.err = jpeg_std_error(&s.err.pub);
    s.err.pub.error_exit = OnFatalError;
    s.err.pub.output_message = OnMessage;
    jpeg_compress_struct& c = s.c;
    s.Guarded([&] {
        s.created = true;  // destroying a partly created compressor is safe
        jpeg_create_compress(&c);
        c.dest = &s.out.pub;
        c.image_width = JDIMENSION(width);
        c.image_height = JDIMENSION(height);
        c.input_components = layout == PixelRows::Layout::Bgrx ? 4 : 3;
        c.in_color_space = ColourSpaceOf(layout);
        jpeg_set_defaults(&c);
        const int clamped = std::clamp(quality, 1, 100);
        jpeg_set_quality(&c, clamped, TRUE);
        ChromaSampling chosen = sampling;
        if (chosen == ChromaSampling::ByQuality)
            chosen = clamped >= 90 ? ChromaSampling::Full : ChromaSampling::HalfBoth;
        c.comp_info[0].h_samp_factor = chosen == ChromaSampling::Full ? 1 : 2;
        c.comp_info[0].v_samp_factor = chosen == ChromaSampling::HalfBoth ? 2 : 1;
        c.optimize_coding = TRUE;
        jpeg_start_compress(&c, TRUE);
        if (!exif.isEmpty())
            jpeg_write_marker(&c, JPEG_APP0 + 1, reinterpret_cast<const JOCTET*>(exif.constData()),
                              unsigned(exif.size()));
    });
}

JpegWriter::~JpegWriter() = default;

Result<void> JpegWriter::Write(const PixelRows& rows) {
    State& s = *state_;
    jpeg_compress_struct& c = s.c;
    const JDIMENSION end = std::min<JDIMENSION>(c.image_height, c.next_scanline + JDIMENSION(std::max(rows.height, 0)));
    s.Guarded([&] {
        constexpr int kBatch = 32;
        JSAMPROW batch[kBatch];
        const std::uint8_t* released = rows.top;
        const JDIMENSION from = c.next_scanline;
        while (c.next_scanline < end) {
            const JDIMENSION first = c.next_scanline;
            const JDIMENSION n = std::min<JDIMENSION>(kBatch, end - first);
            for (JDIMENSION i = 0; i < n; ++i)
                batch[i] = const_cast<JSAMPROW>(rows.top + std::ptrdiff_t(first - from + i) * rows.stride);
            jpeg_write_scanlines(&c, batch, n);
            // libjpeg has converted these rows into its own buffers by now.
            if (rows.consumed && rows.stride > 0) released = ReleasePages(released, batch[n - 1] + rows.stride);
        }
    });
    if (s.failed) return *s.failed;
    return {};
}

Result<QByteArray> JpegWriter::Finish() {
    State& s = *state_;
    s.Guarded([&] { jpeg_finish_compress(&s.c); });
    if (s.failed) return *s.failed;
    return std::move(s.out.bytes);
}

PixelRows PixelRows::Of(const QImage& rgb32) {
    return {rgb32.constBits(), std::ptrdiff_t(rgb32.bytesPerLine()), rgb32.width(), rgb32.height(), Layout::Bgrx};
}

Result<QByteArray> EncodeJpeg(const PixelRows& rows, int quality, ChromaSampling sampling, QByteArrayView exif) {
    if (!rows.top && rows.width > 0 && rows.height > 0)
        return Error{Cause::InvalidSize, QStringLiteral("no pixels")};
    JpegWriter writer(rows.width, rows.height, rows.layout, quality, sampling, exif);
    if (const Result<void> written = writer.Write(rows); !written) return written.error();
    return writer.Finish();
}

}  // namespace core
