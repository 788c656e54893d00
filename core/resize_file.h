#pragma once
// The whole job on one file, as a batch runs it: load, size, shrink, encode (within a file size if asked),
// replace.

#include "core/encode_picture.h"
#include "core/result.h"
#include "core/safe_replace.h"
#include "core/size_rule.h"

#include <QByteArray>
#include <QSize>
#include <functional>

class QThreadPool;

namespace core {

struct ResizeRequest {
    SizeRule size;                // the result's size; never enlarged, one pixel a side at least
    int quality = 90;             // JPEG and lossy WebP quality 1..100; with maxBytes, the highest tried
    bool keepMetadata = false;    // the Exif date, camera and lens fields (never GPS), Orientation 1
    QThreadPool* pool = nullptr;  // where the shrink's rows run; null: Qt's global pool
    qint64 maxBytes = 0;          // above 0: the file at most this big (core/fit_file_size.h)
    OutputFormat format = OutputFormat::Jpeg;
    bool lossless = false;        // WebP only
    // Called with the result's size once its bytes are made, before they are written and reach the disk: a
    // batch may start its next picture meanwhile, since waiting for the disk takes no core.
    std::function<void(qint64 bytes)> made;
};

struct Resized {
    QSize from;  // the picture's upright size
    QSize to;    // the result's
    qint64 bytes = 0;  // the result file's size
    QString note;      // what the result lacks that was asked for (metadata that could not be kept, a lower
                       // quality or size to fit maxBytes, an animation's other frames); often empty
    bool fitted = false;  // quality or size lowered to fit maxBytes
    int quality = 0;      // what it was encoded at; 0 for a format without a quality
    bool withoutMetadata = false;  // metadata asked to be kept could not be
    int frames = 1;                // an animation's, of which the first was used
    bool keptOriginal = false;     // the original's own bytes written, being smaller than the result
};

// Writes outputName in the open folder in the format asked, as input (a path's bytes) at the rule's size,
// through the safe writer with the given options. Errors are the loader's, the size rule's, the shrink's, the
// encoder's, the file size search's and the writer's, with their messages; metadata that cannot be kept is
// left out, with a note, rather than failing the picture. A result of the original's own size and format
// whose file would be larger than the original's is the original's bytes instead (core/original_copy.h), with
// a note.
Result<Resized> ResizeFile(const QByteArray& input, int outputFolderFd, const QByteArray& outputName,
                           const ResizeRequest& request, ReplaceOptions replace);

}  // namespace core
