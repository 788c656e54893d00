#include "platform/ijl.h"

// clang-format off
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>
// clang-format on
#include <algorithm>
#include <csetjmp>
#include <new>

namespace platform {

namespace {

// libjpeg reports fatal errors through error_exit, which must not return: jump back into ijlWrite.
struct ErrorManager {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

struct Encoder {
    jpeg_compress_struct cinfo;
    ErrorManager err;
};

void OnFatalError(j_common_ptr cinfo) { std::longjmp(reinterpret_cast<ErrorManager*>(cinfo->err)->jump, 1); }
void OnMessage(j_common_ptr) {}  // the library's warnings are not ours to print

IjlWriteObserver& Observer() {
    static IjlWriteObserver observer;
    return observer;
}

int CheckRecord(const JPEG_CORE_PROPERTIES& p) {
    const std::int64_t height = p.DIBHeight < 0 ? -std::int64_t(p.DIBHeight) : p.DIBHeight;
    if (p.DIBWidth <= 0 || p.DIBHeight == 0 || p.DIBWidth > JPEG_MAX_DIMENSION || height > JPEG_MAX_DIMENSION)
        return IJL_INVALID_DIB_SIZE;
    if (p.JPGWidth != p.DIBWidth || p.JPGHeight != height) return IJL_INVALID_DIB_SIZE;
    if (!p.DIBBytes) return IJL_NULL_DIB_POINTER;
    if (p.DIBPadBytes < 0 || p.DIBPadBytes > 3) return IJL_INVALID_PAD_BYTES;
    if (p.DIBChannels != 3 || (p.DIBColor != IJL_BGR && p.DIBColor != IJL_RGB) ||
        p.DIBSubsampling != IJL_DIB_NONE || p.JPGChannels != 3 || p.JPGColor != IJL_YCBCR)
        return IJL_UNSUPPORTED_COLOR;
    if (p.JPGSubsampling < IJL_NONE || p.JPGSubsampling > IJL_BY_QUALITY) return IJL_UNSUPPORTED_SUBSAMPLING;
    if (!p.JPGFile || !*p.JPGFile) return IJL_INVALID_FILE_NAME;
    return IJL_OK;
}

// Hands the DIB's own rows to libjpeg-turbo (its SIMD colour conversion reads BGR directly): no copy of
// the pixels and no per-pixel work here. Only plain data lives in this frame, so the jump is safe.
int Encode(Encoder& e, const JPEG_CORE_PROPERTIES& p, std::FILE* out) {
    jpeg_compress_struct& c = e.cinfo;
    if (setjmp(e.err.jump)) {
        const bool writeFailed = e.err.pub.msg_code == JERR_FILE_WRITE;
        jpeg_abort_compress(&c);
        return writeFailed ? IJL_FILE_WRITE_ERROR : IJL_ENCODER_ERROR;
    }
    jpeg_stdio_dest(&c, out);
    c.image_width = JDIMENSION(p.JPGWidth);
    c.image_height = JDIMENSION(p.JPGHeight);
    c.input_components = 3;
    c.in_color_space = p.DIBColor == IJL_BGR ? JCS_EXT_BGR : JCS_EXT_RGB;
    jpeg_set_defaults(&c);
    const int quality = std::clamp(p.jquality, 1, 100);  // as jpeg_quality_scaling does
    jpeg_set_quality(&c, quality, TRUE);

    IJL_JPGSUBSAMPLING sampling = p.JPGSubsampling;
    if (sampling == IJL_BY_QUALITY) sampling = quality >= 90 ? IJL_NONE : IJL_411;
    c.comp_info[0].h_samp_factor = sampling == IJL_NONE ? 1 : 2;
    c.comp_info[0].v_samp_factor = sampling == IJL_411 ? 2 : 1;
    c.optimize_coding = TRUE;

    jpeg_start_compress(&c, TRUE);
    const std::ptrdiff_t stride = std::ptrdiff_t(p.DIBWidth) * 3 + p.DIBPadBytes;
    const bool bottomUp = p.DIBHeight < 0;
    const std::ptrdiff_t last = std::ptrdiff_t(c.image_height) - 1;
    constexpr int kBatch = 32;
    JSAMPROW rows[kBatch];
    while (c.next_scanline < c.image_height) {
        const JDIMENSION first = c.next_scanline;
        const JDIMENSION n = std::min<JDIMENSION>(kBatch, c.image_height - first);
        for (JDIMENSION i = 0; i < n; ++i) {
            const std::ptrdiff_t row = std::ptrdiff_t(first + i);
            rows[i] = p.DIBBytes + (bottomUp ? last - row : row) * stride;
        }
        jpeg_write_scanlines(&c, rows, n);
    }
    jpeg_finish_compress(&c);
    return IJL_OK;
}

}  // namespace

int ijlInit(JPEG_CORE_PROPERTIES* props) {
    if (!props) return IJL_INVALID_POINTER;
    if (props->jprops) return IJL_ALREADY_INITIALISED;
    auto* e = new (std::nothrow) Encoder{};
    if (!e) return IJL_MEMORY_ERROR;
    e->cinfo.err = jpeg_std_error(&e->err.pub);
    e->err.pub.error_exit = OnFatalError;
    e->err.pub.output_message = OnMessage;
    if (setjmp(e->err.jump)) {
        delete e;
        return IJL_MEMORY_ERROR;
    }
    jpeg_create_compress(&e->cinfo);

    *props = JPEG_CORE_PROPERTIES{};
    props->DIBChannels = 3;
    props->DIBColor = IJL_BGR;
    props->DIBSubsampling = IJL_DIB_NONE;
    props->JPGChannels = 3;
    props->JPGColor = IJL_YCBCR;
    props->JPGSubsampling = IJL_BY_QUALITY;
    props->cconversion_reqd = 1;
    props->jquality = 75;
    props->jprops = e;
    return IJL_OK;
}

int ijlWrite(JPEG_CORE_PROPERTIES* props, int iotype) {
    if (!props) return IJL_INVALID_POINTER;
    if (Observer()) Observer()(*props);
    auto* e = static_cast<Encoder*>(props->jprops);
    if (!e) return IJL_NOT_INITIALISED;
    if (iotype != IJL_JFILE_WRITEWHOLEIMAGE) return IJL_UNSUPPORTED_IOTYPE;
    if (const int fault = CheckRecord(*props); fault != IJL_OK) return fault;

    std::FILE* out = std::fopen(props->JPGFile, "wbe");
    if (!out) return IJL_FILE_OPEN_ERROR;
    int result = Encode(*e, *props, out);
    if (std::fflush(out) != 0 || std::ferror(out)) result = result == IJL_OK ? IJL_FILE_WRITE_ERROR : result;
    if (std::fclose(out) != 0 && result == IJL_OK) result = IJL_FILE_WRITE_ERROR;
    return result;
}

int ijlFree(JPEG_CORE_PROPERTIES* props) {
    if (!props) return IJL_INVALID_POINTER;
    auto* e = static_cast<Encoder*>(props->jprops);
    if (!e) return IJL_NOT_INITIALISED;
    jpeg_destroy_compress(&e->cinfo);
    delete e;
    props->jprops = nullptr;
    return IJL_OK;
}

IjlWriteObserver SetIjlWriteObserver(IjlWriteObserver observer) {
    IjlWriteObserver previous = std::move(Observer());
    Observer() = std::move(observer);
    return previous;
}

}  // namespace platform
