#include "core/png_chunks.h"

#include <cstdint>

namespace core {

QByteArray WithoutOverlongPngChunk(QByteArray bytes) {
    if (!bytes.startsWith("\x89PNG\r\n\x1a\n")) return bytes;
    qsizetype at = 8;
    while (at + 8 <= bytes.size()) {
        std::uint32_t length = 0;
        for (int i = 0; i < 4; ++i) length = (length << 8) | std::uint8_t(bytes[at + i]);
        const char kind = bytes[at + 4];
        const bool ancillary = (kind & 0x20) != 0;  // a lower-case first letter
        // Data and checksum; a critical chunk (the pixel data above all) is read in pieces and may be cut.
        const std::int64_t end = at + 8 + std::int64_t(length) + 4;
        if (end > bytes.size()) {
            if (ancillary) bytes.truncate(at);
            break;
        }
        if (bytes.mid(at + 4, 4) == "IEND") break;
        at = end;
    }
    return bytes;
}

}  // namespace core
