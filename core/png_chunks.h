#pragma once
// PNG chunks looked at without decoding: a damaged file's chunk lengths, before the reader trusts them.

#include <QByteArray>

namespace core {

// The bytes up to the first ancillary chunk (text, profile, ...) that claims more bytes than the file has
// left; all of them when there is none or they are no PNG. The reader reserves, and touches, a chunk's
// whole claimed length before it finds the file too short, so a 300-byte file could cost gigabytes;
// without those bytes it stops where it would have stopped anyway, at the end of the file.
QByteArray WithoutOverlongPngChunk(QByteArray bytes);

}  // namespace core
