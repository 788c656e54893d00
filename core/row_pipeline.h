#pragma once
// A picture shrunk as its rows are decoded, never held whole: any decoder that gives rows top to bottom
// feeds a RowSource, and the pipeline overlaps its decoding with the Lanczos filter and with whoever takes
// the result's rows, on two of a pool's threads, holding a few bands of decoded rows at a time.

#include "core/result.h"
#include "core/row_sink.h"

#include <QColorSpace>
#include <QImage>
#include <QSize>
#include <cstdint>

class QThreadPool;

namespace core {

// A decoder's rows, top to bottom.
class RowSource {
public:
    virtual ~RowSource() = default;
    // The rows' width in pixels, and how many rows there are.
    virtual QSize size() const = 0;
    // Format_RGB32, or Format_ARGB32 for rows with transparency (the filter takes them premultiplied).
    virtual QImage::Format format() const { return QImage::Format_RGB32; }
    // What the rows' colours mean: they are brought into sRGB on their way to the filter.
    virtual QColorSpace colorSpace() const { return {}; }
    // True when every read must be made on the thread that runs the pipeline (a library keeping state of
    // its own per thread); otherwise reads come from whichever of the pool's threads is free, one at a time.
    virtual bool readsOnCallingThread() const { return false; }
    // Decodes the next rows, at most most of them (as many as suit the decoder: a band, or a single row),
    // the i-th into rows[i], size().width() pixels of 4 bytes; how many, at least one, or the error that ends
    // the decode. Not called again after an error or once every row is read.
    virtual Result<int> Read(std::uint8_t* const* rows, int most) = 0;
    // Called once after the last row: checks what follows the rows and may let go of the file's bytes.
    virtual Result<void> Finish() { return {}; }
};

// Every row of source read into image (of source's size and format, converted into sRGB) and finished.
Result<void> ReadAllRows(RowSource& source, QImage& image);

// source's rows shrunk to size, no larger than source.size() either way, as Format_RGB32, or
// Format_ARGB32_Premultiplied for a source with transparency. Decoding overlaps filtering on pool (null:
// Qt's global pool); a pool of one thread does all of it on the calling thread. Any part's failure, also
// an exception (std::bad_alloc: out of memory), fails the shrink once every part has stopped.
Result<QImage> ShrinkRows(RowSource& source, QSize size, QThreadPool* pool);

// The same shrink, its rows handed to sink (RowSink's contract) as they are finished and then let go
// of, so that the result is never held whole either. A sink's error stops the shrink and is returned.
Result<void> ShrinkRowsInto(RowSource& source, QSize size, QThreadPool* pool, const RowSink& sink);

}  // namespace core
