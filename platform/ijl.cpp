#include "platform/ijl.h"

#include "core/formats.h"
#include "core/jpeg_encoder.h"

#include <QByteArray>
#include <new>

namespace platform {

namespace {

// What the library keeps between ijlInit and ijlFree.
struct LibraryState {
    QByteArray output;
};

IjlWriteObserver& Observer() {
    static IjlWriteObserver observer;
    return observer;
}

int CheckRecord(const JPEG_CORE_PROPERTIES& p) {
    const std::int32_t most = core::FormatOf(core::OutputFormat::Jpeg).mostPixelsASide;
    const std::int64_t height = p.DIBHeight < 0 ? -std::int64_t(p.DIBHeight) : p.DIBHeight;
    if (p.DIBWidth <= 0 || p.DIBHeight == 0 || p.DIBWidth > most || height > most)
        return IJL_INVALID_DIB_SIZE;
    if (p.JPGWidth != p.DIBWidth || p.JPGHeight != height) return IJL_INVALID_DIB_SIZE;
    if (!p.DIBBytes) return IJL_NULL_DIB_POINTER;
    if (p.DIBPadBytes < 0 || p.DIBPadBytes > 3) return IJL_INVALID_PAD_BYTES;
    if (p.DIBChannels != 3 || (p.DIBColor != IJL_BGR && p.DIBColor != IJL_RGB) ||
        p.DIBSubsampling != IJL_DIB_NONE || p.JPGChannels != 3 || p.JPGColor != IJL_YCBCR)
        return IJL_UNSUPPORTED_COLOR;
    if (p.JPGSubsampling < IJL_NONE || p.JPGSubsampling > IJL_BY_QUALITY) return IJL_UNSUPPORTED_SUBSAMPLING;
    return IJL_OK;
}

// The DIB's own rows, handed to the encoder as they lie: a negative DIBHeight means bottom-up memory.
core::PixelRows RowsOf(const JPEG_CORE_PROPERTIES& p) {
    const std::ptrdiff_t stride = std::ptrdiff_t(p.DIBWidth) * 3 + p.DIBPadBytes;
    const std::ptrdiff_t height = p.JPGHeight;
    const bool bottomUp = p.DIBHeight < 0;
    return {bottomUp ? p.DIBBytes + (height - 1) * stride : p.DIBBytes, bottomUp ? -stride : stride, p.JPGWidth,
            p.JPGHeight, p.DIBColor == IJL_BGR ? core::PixelRows::Layout::Bgr : core::PixelRows::Layout::Rgb};
}

core::ChromaSampling SamplingOf(IJL_JPGSUBSAMPLING sampling) {
    switch (sampling) {
        case IJL_NONE:
            return core::ChromaSampling::Full;
        case IJL_411:
            return core::ChromaSampling::HalfBoth;
        case IJL_422:
            return core::ChromaSampling::HalfAcross;
        default:
            return core::ChromaSampling::ByQuality;
    }
}

}  // namespace

int ijlInit(JPEG_CORE_PROPERTIES* props) {
    if (!props) return IJL_INVALID_POINTER;
    if (props->jprops) return IJL_ALREADY_INITIALISED;
    auto* state = new (std::nothrow) LibraryState{};
    if (!state) return IJL_MEMORY_ERROR;
    *props = JPEG_CORE_PROPERTIES{};
    props->DIBChannels = 3;
    props->DIBColor = IJL_BGR;
    props->DIBSubsampling = IJL_DIB_NONE;
    props->JPGChannels = 3;
    props->JPGColor = IJL_YCBCR;
    props->JPGSubsampling = IJL_BY_QUALITY;
    props->cconversion_reqd = 1;
    props->jquality = 75;
    props->jprops = state;
    return IJL_OK;
}

int ijlWrite(JPEG_CORE_PROPERTIES* props, int iotype) {
    if (!props) return IJL_INVALID_POINTER;
    if (Observer()) Observer()(*props);
    auto* state = static_cast<LibraryState*>(props->jprops);
    if (!state) return IJL_NOT_INITIALISED;
    if (iotype != IJL_JBUFF_WRITEWHOLEIMAGE) return IJL_UNSUPPORTED_IOTYPE;
    if (const int fault = CheckRecord(*props); fault != IJL_OK) return fault;

    core::Result<QByteArray> jpeg =
        core::EncodeJpeg(RowsOf(*props), props->jquality, SamplingOf(props->JPGSubsampling));
    if (!jpeg) return jpeg.error().cause == core::Cause::OutOfMemory ? IJL_MEMORY_ERROR : IJL_ENCODER_ERROR;
    state->output = std::move(*jpeg);
    props->JPGBytes = reinterpret_cast<std::uint8_t*>(state->output.data());
    props->JPGSizeBytes = std::int32_t(state->output.size());
    return IJL_OK;
}

int ijlFree(JPEG_CORE_PROPERTIES* props) {
    if (!props) return IJL_INVALID_POINTER;
    auto* state = static_cast<LibraryState*>(props->jprops);
    if (!state) return IJL_NOT_INITIALISED;
    delete state;
    props->jprops = nullptr;
    props->JPGBytes = nullptr;
    props->JPGSizeBytes = 0;
    return IJL_OK;
}

IjlWriteObserver SetIjlWriteObserver(IjlWriteObserver observer) {
    IjlWriteObserver previous = std::move(Observer());
    Observer() = std::move(observer);
    return previous;
}

}  // namespace platform
