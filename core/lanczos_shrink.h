#pragma once
// Shrinking a 32-bit picture with a three-lobed Lanczos filter, as sharp as the reference photo tools
// are; box averaging leaves a shrunk photo visibly softer. The filter takes its source rows one at a time,
// so a decoder can feed it as rows arrive and the source is never held whole. Sums are fixed-point
// (14-bit weights) in vector registers; each source row is filtered across once into 16-bit rows of the
// destination's width, and the rows down are summed from the few of those the taps still need.

#include "core/result.h"

#include <QImage>
#include <QSize>
#include <cstdint>
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

    // The taps of one direction: destination i takes count(i) source pixels or rows from first(i) on, with
    // weights that sum to exactly kOne (taps mirrored at an edge are folded onto the pixel they mirror).
    class Axis {
    public:
        Axis(int from, int to);
        int first(int i) const { return first_[std::size_t(i)]; }
        int count(int i) const { return start_[std::size_t(i) + 1] - start_[std::size_t(i)]; }
        const std::int16_t* weights(int i) const { return weights_.data() + start_[std::size_t(i)]; }
        int widest() const { return widest_; }

    private:
        std::vector<int> first_, start_;
        std::vector<std::int16_t> weights_;
        int widest_ = 0;
    };
    static constexpr int kOneBits = 14;
    const Axis& rows() const { return rows_; }
    const Axis& columns() const { return columns_; }

private:
    QSize from_, to_;
    Axis rows_, columns_;
};

// Destination rows [firstY, endY) of a plan's shrink, written into the rows of out (stride bytes apart, the
// source's pixel format; threads share no other state) from the source rows the band needs, pushed in
// order from sourceBegin() on. Each source row is filtered across once; only the filtered rows that
// destination rows still take are kept.
class LanczosRows {
public:
    LanczosRows(const LanczosPlan& plan, int firstY, int endY, std::uint8_t* out, qsizetype stride,
                bool premultiplied);
    int sourceBegin() const { return sourceBegin_; }
    int sourceEnd() const { return sourceEnd_; }
    // The next source row: plan.from().width() pixels of 4 bytes.
    void Push(const std::uint8_t* row);
    // The destination rows finished so far end here: those from firstY on are written.
    int finished() const { return open_; }

private:
    void Finish(int y);

    const LanczosPlan& plan_;
    std::uint8_t* out_;
    qsizetype stride_;
    bool premultiplied_;
    int endY_, sourceBegin_, sourceEnd_;
    int next_;  // the index of the next source row
    int open_;  // the next destination row to finish
    // Source row j filtered across lives at ring_[j % ringRows_], rowWidth_ 16-bit values apart.
    int ringRows_;
    std::size_t rowWidth_;
    std::vector<std::int16_t> ring_;
    std::vector<const std::int16_t*> taken_;
};

// image (Format_RGB32 or Format_ARGB32_Premultiplied) shrunk to size, which must be no larger in either
// direction. Edges take only pixels inside the picture, mirrored, so a flat picture stays flat to the last
// row. Bands of rows are shared out over pool (null: Qt's global pool); the pixels do not depend on how.
Result<QImage> LanczosShrink(const QImage& image, QSize size, QThreadPool* pool = nullptr);

// How many bands a shrink into dest rows is worth on pool (null: Qt's global pool): one for a small source.
int ShrinkBands(QSize source, int destRows, QThreadPool* pool);

}  // namespace core
