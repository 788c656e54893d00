#include "core/png_chunks.h"

#include <algorithm>
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

namespace {

std::uint32_t BigEndian(const QByteArray& bytes, qsizetype at) {
    std::uint32_t value = 0;
    for (int i = 0; i < 4; ++i) value = (value << 8) | std::uint8_t(bytes[at + i]);
    return value;
}

}  // namespace

QByteArray WithoutPngText(QByteArray bytes) {
    if (!bytes.startsWith("\x89PNG\r\n\x1a\n")) return bytes;
    // One pass that copies the chunks it keeps: removing each text chunk in place would move the rest of
    // the file once per chunk, and a million empty chunks fit in 12 MB.
    const auto isText = [&](qsizetype at) {
        const QByteArrayView kind = QByteArrayView(bytes).sliced(at + 4, 4);
        return kind == "tEXt" || kind == "zTXt" || kind == "iTXt";
    };
    QByteArray kept;
    qsizetype at = 8, copiedTo = 0;
    while (at + 8 <= bytes.size()) {
        const std::int64_t end = std::min<std::int64_t>(at + 8 + std::int64_t(BigEndian(bytes, at)) + 4, bytes.size());
        if (isText(at)) {
            if (kept.isNull()) kept.reserve(bytes.size());
            kept.append(QByteArrayView(bytes).sliced(copiedTo, at - copiedTo));
            copiedTo = at = qsizetype(end);
            continue;
        }
        if (end >= bytes.size() || QByteArrayView(bytes).sliced(at + 4, 4) == "IEND") break;
        at = qsizetype(end);
    }
    if (kept.isNull()) return bytes;
    kept.append(QByteArrayView(bytes).sliced(copiedTo));
    return kept;
}

QByteArray PngExif(const QByteArray& bytes) {
    if (!bytes.startsWith("\x89PNG\r\n\x1a\n")) return {};
    for (qsizetype at = 8; at + 8 <= bytes.size();) {
        const std::int64_t length = BigEndian(bytes, at);
        if (at + 8 + length > bytes.size()) break;
        const QByteArrayView kind = QByteArrayView(bytes).sliced(at + 4, 4);
        if (kind == "IEND") break;
        if (kind == "eXIf") {
            QByteArrayView block = QByteArrayView(bytes).sliced(at + 8, qsizetype(length));
            if (block.startsWith(QByteArrayView("Exif\0\0", 6))) block = block.sliced(6);
            return block.toByteArray();
        }
        at += qsizetype(length) + 12;
    }
    return {};
}

PngHeader ReadPngHeader(const QByteArray& bytes) {
    PngHeader header;
    if (bytes.size() < 33 || !bytes.startsWith("\x89PNG\r\n\x1a\n") || bytes.mid(12, 4) != "IHDR") return header;
    header.valid = true;
    header.width = BigEndian(bytes, 16);
    header.height = BigEndian(bytes, 20);
    header.bitDepth = std::uint8_t(bytes[24]);
    header.interlaced = bytes[28] != 0;
    return header;
}

}  // namespace core
