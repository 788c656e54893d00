#pragma once
// Shrinking a 32-bit picture with a three-lobed Lanczos filter, as sharp as the reference photo tools
// are; box averaging leaves a shrunk photo visibly softer. The filter takes its source rows one at a time,
// so a decoder can feed it as rows arrive and the source is never held whole.

#include "core/result.h"

#include <QImage>
#include <QSize>
#include <cstdint>
#include <deque>
#include <vector>

class QThreadPool;

namespace core {

// The taps of a shrink from one size to another, worked out once and shared by the bands that use them.
class LanczosPlan {
public:
    // to must be no larger than from in either direction, and not empty.
    LanczosPlan(QSize from, QSize to);

    QSize from() const { return from_; }
    QSize to() const { return to_; }
    // The source rows destination row y takes: [firstRow(y), endRow(y)).
    int firstRow(int y) const { return rows_[std::size_t(y)].first; }
    int endRow(int y) const { return rows_[std::size_t(y)].last + 1; }

    // Source indices and normalised weights of one destination pixel or row.
    struct Taps {
        std::vector<int> index;
        std::vector<float> weights;
        int first = 0, last = 0;  // the smallest and largest index
    };
    const Taps& row(int y) const { return rows_[std::size_t(y)]; }
    const Taps& column(int x) const { return columns_[std::size_t(x)]; }

private:
    QSize from_, to_;
    std::vector<Taps> rows_, columns_;
};

// Destination rows [firstY, endY) of a plan's shrink, written into the rows of out (stride bytes apart, the
// source's pixel format; threads share no other state) from the source rows the band needs, pushed in order from sourceBegin() on. Each
// source row is read once; only the destination rows it still adds to are kept.
class LanczosRows {
public:
    LanczosRows(const LanczosPlan& plan, int firstY, int endY, std::uint8_t* out, qsizetype stride, bool premultiplied);
    int sourceBegin() const { return sourceBegin_; }
    int sourceEnd() const { return sourceEnd_; }
    // The next source row: plan.from().width() pixels of 4 bytes.
    void Push(const std::uint8_t* row);

private:
    void Finish(std::vector<float>& line, int y);

    const LanczosPlan& plan_;
    std::uint8_t* out_;
    qsizetype stride_;
    bool premultiplied_;
    int endY_, sourceBegin_, sourceEnd_;
    int next_;           // the index of the next source row
    int open_, opened_;  // destination rows [open_, opened_) are being summed
    std::vector<float> row_;
    std::deque<std::vector<float>> lines_;  // one per open destination row
    std::vector<std::vector<float>> spare_;
};

// image (Format_RGB32 or Format_ARGB32_Premultiplied) shrunk to size, which must be no larger in either
// direction. Edges take only pixels inside the picture, mirrored, so a flat picture stays flat to the last
// row. Bands of rows are shared out over pool (null: Qt's global pool); the pixels do not depend on how.
Result<QImage> LanczosShrink(const QImage& image, QSize size, QThreadPool* pool = nullptr);

// How many bands a shrink into dest rows is worth on pool (null: Qt's global pool): one for a small source.
int ShrinkBands(QSize source, int destRows, QThreadPool* pool);

}  // namespace core
