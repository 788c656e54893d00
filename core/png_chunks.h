#pragma once
// PNG chunks looked at without decoding: the header, a damaged file's chunk lengths before the reader
// trusts them, and text that only costs.

#include <QByteArray>
#include <cstdint>

namespace core {

// The bytes up to the first ancillary chunk (text, profile, ...) that claims more bytes than the file has
// left; all of them when there is none or they are no PNG. The reader reserves, and touches, a chunk's
// whole claimed length before it finds the file too short, so a 300-byte file could cost gigabytes;
// without those bytes it stops where it would have stopped anyway, at the end of the file.
QByteArray WithoutOverlongPngChunk(QByteArray bytes);

// The bytes without their text chunks (tEXt, zTXt, iTXt), which are never shown: a few hundred
// kilobytes of compressed text would otherwise inflate to gigabytes in the reader. Other chunks, and
// anything that is no PNG, stay as they are.
QByteArray WithoutPngText(QByteArray bytes);

// The TIFF block of a PNG's eXIf chunk (some writers put the JPEG segment's "Exif\0\0" before it); empty
// when there is none or the bytes are no PNG.
QByteArray PngExif(const QByteArray& bytes);

// What a PNG's header says; valid false when the bytes do not start with one.
struct PngHeader {
    bool valid = false;
    std::uint32_t width = 0, height = 0;
    int bitDepth = 0;
    bool interlaced = false;
};
PngHeader ReadPngHeader(const QByteArray& bytes);

}  // namespace core
