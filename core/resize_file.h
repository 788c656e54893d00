#pragma once
// The whole job on one file, as a batch runs it: load, fit into a box, shrink, encode, replace.

#include "core/encode_picture.h"
#include "core/result.h"
#include "core/safe_replace.h"

#include <QByteArray>
#include <QSize>

class QThreadPool;

namespace core {

struct ResizeRequest {
    QSize box;                    // the fit's box; never enlarged, one pixel a side at least
    int quality = 90;             // JPEG and lossy WebP quality 1..100
    bool keepMetadata = false;    // the Exif date, camera and lens fields (never GPS), Orientation 1
    QThreadPool* pool = nullptr;  // where the shrink's rows run; null: Qt's global pool
    OutputFormat format = OutputFormat::Jpeg;
    bool lossless = false;        // WebP only
};

struct Resized {
    QSize from;  // the picture's upright size
    QSize to;    // the result's
    qint64 bytes = 0;  // the result file's size
    QString note;  // what the result lacks that was asked for (metadata that could not be kept); often empty
};

// Writes outputName in the open folder, in the format asked, as input (a path's bytes) fitted into the box,
// through the safe writer with the given options. Errors are the loader's, the fit's, the shrink's, the
// encoder's and the writer's, with their messages; metadata that cannot be kept is left out, with a note,
// rather than failing the picture.
Result<Resized> ResizeFile(const QByteArray& input, int outputFolderFd, const QByteArray& outputName,
                           const ResizeRequest& request, ReplaceOptions replace);

}  // namespace core
