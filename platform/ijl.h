#pragma once
// The JPEG library's interface as the writer knows it: a record describing the pixels and the output,
// ijlInit / ijlWrite / ijlFree, and negative error codes. Encoding is the engine's (libjpeg-turbo); the
// JPEG goes into memory that the library owns, and the caller puts it on disk.

#include <cstdint>
#include <functional>

namespace platform {

enum IJLERR : int {
    IJL_OK = 0,
    IJL_INVALID_POINTER = -1,      // no record
    IJL_NOT_INITIALISED = -2,      // ijlWrite or ijlFree before ijlInit
    IJL_ALREADY_INITIALISED = -3,  // ijlInit twice without ijlFree
    IJL_UNSUPPORTED_IOTYPE = -4,   // only IJL_JBUFF_WRITEWHOLEIMAGE is offered
    IJL_INVALID_DIB_SIZE = -5,     // a zero, negative or too large size, or DIB and JPG sizes differ
    IJL_NULL_DIB_POINTER = -6,     // DIBBytes is null
    IJL_INVALID_PAD_BYTES = -7,    // not 0..3
    IJL_UNSUPPORTED_COLOR = -8,    // DIB or JPG channels / colour not offered
    IJL_FILE_WRITE_ERROR = -11,    // the writer's: the JPEG could not be put on disk
    IJL_ENCODER_ERROR = -12,       // libjpeg-turbo refused the job
    IJL_MEMORY_ERROR = -13,        // out of memory in ijlInit
    IJL_UNSUPPORTED_SUBSAMPLING = -14,
};

enum IJLIOTYPE : int {
    // Encode the whole DIB into JPGBytes / JPGSizeBytes: memory the library keeps until ijlFree or the
    // next write.
    IJL_JBUFF_WRITEWHOLEIMAGE = 9,
};

enum IJL_COLOR : int {
    IJL_RGB = 1,
    IJL_BGR = 2,
    IJL_YCBCR = 3,
    IJL_G = 4,
    IJL_OTHER = 255,
};

enum IJL_JPGSUBSAMPLING : int {
    IJL_NONE = 0,        // 4:4:4
    IJL_411 = 1,         // chroma halved both ways (4:2:0)
    IJL_422 = 2,         // chroma halved across
    IJL_BY_QUALITY = 3,  // 4:4:4 at quality 90 and above, else 4:2:0 (the default)
};

enum IJL_DIBSUBSAMPLING : int {
    IJL_DIB_NONE = 0,  // one sample per channel per pixel
};

struct JPEG_CORE_PROPERTIES {
    std::uint32_t UseJPEGPROPERTIES = 0;

    // The pixels: DIBHeight < 0 means the first row in memory is the picture's bottom row.
    std::uint8_t* DIBBytes = nullptr;
    std::int32_t DIBWidth = 0;
    std::int32_t DIBHeight = 0;
    std::int32_t DIBPadBytes = 0;  // bytes after each row's pixels, 0..3
    std::int32_t DIBChannels = 0;
    IJL_COLOR DIBColor = IJL_OTHER;
    IJL_DIBSUBSAMPLING DIBSubsampling = IJL_DIB_NONE;

    // The output.
    const char* JPGFile = nullptr;  // zero-terminated 8-bit name (the file modes, which are not offered)
    std::uint8_t* JPGBytes = nullptr;
    std::int32_t JPGSizeBytes = 0;
    std::int32_t JPGWidth = 0;
    std::int32_t JPGHeight = 0;
    std::int32_t JPGChannels = 0;
    IJL_COLOR JPGColor = IJL_OTHER;
    IJL_JPGSUBSAMPLING JPGSubsampling = IJL_NONE;
    std::int32_t JPGThumbWidth = 0;
    std::int32_t JPGThumbHeight = 0;

    std::int32_t cconversion_reqd = 0;
    std::int32_t upsampling_reqd = 0;
    std::int32_t jquality = 0;  // 1..100; values outside are clamped

    // The library's own state between ijlInit and ijlFree, the output buffer among it.
    void* jprops = nullptr;
};

// Fills the defaults (3-channel BGR pixels, YCbCr output, subsampling by quality, quality 75).
int ijlInit(JPEG_CORE_PROPERTIES* props);
int ijlWrite(JPEG_CORE_PROPERTIES* props, int iotype);
int ijlFree(JPEG_CORE_PROPERTIES* props);

// Tests watch each ijlWrite's record through this; returns the previous observer.
using IjlWriteObserver = std::function<void(const JPEG_CORE_PROPERTIES&)>;
IjlWriteObserver SetIjlWriteObserver(IjlWriteObserver observer);

}  // namespace platform
