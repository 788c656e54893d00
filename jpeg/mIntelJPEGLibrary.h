#pragma once
// Writes an image buffer to a JPEG file through the JPEG library layer, or to a PNG or WebP file.

#include <QImage>
#include <QString>
#include <cstdint>

class cDIBSection;

namespace mIntelJPEGLibrary {

// Encodes the buffer's pixels in place and writes them to fileName at the given quality. Returns true when
// the file is written; every failure is raised as platform::RuntimeError (26001 for the library's own).
bool WriteJpegFile(cDIBSection& image, const QString& fileName, std::int32_t quality);

// As WriteJpegFile, in the format the name says (core::FormatOfName): PNG and WebP through the engine's
// encoder, whose failures are raised the same way; JPEG for any other name. A PNG or WebP is made from
// transparent when it is given, of the buffer's size: the same picture with the transparency that the
// buffer's 24 bits cannot hold.
bool WritePictureFile(cDIBSection& image, const QString& fileName, std::int32_t quality,
                      const QImage& transparent = QImage());

}  // namespace mIntelJPEGLibrary
