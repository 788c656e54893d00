#pragma once
// A picture file loaded for viewing and shrinking: its upright size is known from the header at once,
// its pixels are decoded on demand, at the smallest scale that covers what is asked, and kept for the
// next request. Copies share the decoded pixels, as do later loads of the same unchanged file.

#include "core/result.h"
#include "core/row_sink.h"

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>
#include <memory>
#include <vector>

class QThreadPool;

namespace core {

class PictureSource;

class Picture {
public:
    Picture() = default;  // no picture: size 0 x 0, no pixels

    bool isNull() const { return !source_; }
    // Upright size in pixels (EXIF orientation applied).
    QSize size() const;
    // The pixels in sRGB as Format_RGB32, or Format_ARGB32 where there is transparency. With atLeast
    // given, possibly a smaller version that still covers that size in both directions (never smaller
    // than asked, unless the picture itself is).
    Result<QImage> pixels(QSize atLeast = QSize()) const;
    // The same for showing the picture at shown pixels, which the view's own smooth scaling reaches from
    // any version that covers it.
    Result<QImage> view(QSize shown) const;
    // The versions decoded so far, smallest first.
    std::vector<QSize> decodedSizes() const;
    // The whole picture shrunk to size (no larger than the picture) as Format_RGB32, straight from the
    // file in little memory; a null image when pixels() would serve as well (see PictureSource::Shrink).
    Result<QImage> shrunkFromFile(QSize size, QThreadPool* pool = nullptr) const;
    // The same, its rows handed to sink as they are finished rather than kept: false, with none handed
    // over, when this picture cannot be shrunk so (see PictureDecoder::ShrinkInto).
    Result<bool> shrinkFromFileInto(QSize size, const RowSink& sink, QThreadPool* pool = nullptr) const;
    // The TIFF block of the file's Exif metadata (of a TIFF file, those of its own tags a copy may keep);
    // empty when there is none.
    QByteArray exif() const;
    // The frames of an animation, of which the picture is the first; 1 for a still picture.
    int frames() const;
    // True when both stand for one decode of one file.
    bool sharesPixelsWith(const Picture& other) const { return source_ && source_ == other.source_; }

    // A picture of pixels already in memory (converted to one of the formats above).
    static Picture FromImage(const QImage& image);
    static Picture FromSource(std::shared_ptr<const PictureSource> source);

private:
    std::shared_ptr<const PictureSource> source_;
};

// Loads a picture file (JPEG, BMP, GIF, PNG and whatever else Qt reads). Only a regular file of at most
// kMaxPictureFileBytes is read; its header is checked before the rest is read, and the whole file by one
// decode at a small scale. Errors: not found, not a readable regular file (by its cause), damaged for no
// picture, too costly or too large beyond the loader's limits. EXIF orientation is applied and colour
// profiles converted to sRGB. Loading a file again while an earlier picture of it is alive shares that
// picture's pixels, as long as the file is the same one, unchanged (device, inode, size, modification and
// change times). With HeaderOnly the checking decode is left out: for a job that decodes the whole file next
// anyway and reports its faults then (such a picture is not shared with later loads, and its file's bytes go
// as soon as that decode has read them: a second decode fails).
enum class LoadCheck { WholeFile, HeaderOnly };
// The path's bytes are the ones core/file_name.h keeps in it.
Result<Picture> LoadPicture(const QString& path, LoadCheck check = LoadCheck::WholeFile);
// The same for a name (or path, with AT_FDCWD) as bytes, looked up from an open folder.
// With fileBytes, the file's bytes as read go there too (shared, not copied; left empty when the picture is
// shared with an earlier load).
Result<Picture> LoadPictureAt(int folderFd, const QByteArray& name, LoadCheck check = LoadCheck::WholeFile,
                              QByteArray* fileBytes = nullptr);
// The same from bytes in memory, without sharing.
Result<Picture> DecodePicture(QByteArray bytes);

// A picture file larger than this is refused before it is read.
inline constexpr qint64 kMaxPictureFileBytes = qint64(1) << 30;

// Qt's image reader refuses decodes over 128 MB unless told otherwise, which a 40-megapixel photo
// exceeds; the loader checks its own limits first, so a program sets Qt's to the decode budget at start-up.
void AllowLargeImageReads();

}  // namespace core
