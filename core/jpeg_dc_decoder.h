#pragma once
// A baseline JPEG at an eighth of its size, each 8 x 8 block given by its DC coefficient: what
// libjpeg-turbo's eighth-scale decode makes of the luma, to the bit. At that scale nearly all of libjpeg's
// time goes into its entropy decoding, which runs on one thread; here the entropy-coded data is parsed in
// parts on several threads at once. Data with restart markers is split at them; otherwise each part after
// the first starts at a guess that the parse itself soon corrects (Huffman codes fall back into step by
// themselves), and the parts are joined where they agree.

#include "core/result.h"

#include <QByteArrayView>
#include <QImage>
#include <QSize>
#include <array>
#include <cstdint>
#include <optional>
#include <vector>

class QThreadPool;

namespace core {

struct JpegDcScan {
    struct HuffmanTable {
        std::array<std::uint8_t, 17> counts{};  // codes of each length 1 to 16 (index 0 unused)
        std::array<std::uint8_t, 256> symbols{};
    };
    struct Component {
        int h = 1, v = 1;                       // sampling factors
        std::array<std::uint16_t, 64> quant{};  // its quantization table, in natural order
        HuffmanTable dc, ac;
    };
    QSize size;                         // stored, in pixels
    std::vector<Component> components;  // in the scan's order: one (grey) or three (YCbCr), all in one scan
    int restartInterval = 0;            // MCUs from one restart marker to the next; 0 for none
    QByteArrayView data;                // from the first byte after the scan's header to the end of the file
};

// The picture at an eighth of its size (rounded up) as Format_RGB32, in its stored orientation and colour
// space, libjpeg's pixels to the bit: a colour plane sampled at half the luma's rate both ways is taken, as
// libjpeg takes it, through a 2 x 2 IDCT of each block (other samplings through that are left to libjpeg).
// A null image when the data is anything but plain (tables libjpeg refuses, a code no table has, bytes
// after the last block, no end marker, restart markers out of their order or place): libjpeg, which reads
// on past some faults and not others, then decides. Damaged when the data ends early, which libjpeg warns
// of; out of memory. parts: threads parsing at once (0: as many as the pool has, fewer for small files).
Result<QImage> DecodeJpegDc(const JpegDcScan& scan, int parts = 0, QThreadPool* pool = nullptr);

// The scan of a JPEG file when it is one DecodeJpegDc takes: a single baseline scan of 8-bit grey or
// YCbCr in the frame's order, its tables given. None otherwise; damaged when the header cannot be read.
// The scan's data points into file. (With the JPEG decoder, which reads headers.)
Result<std::optional<JpegDcScan>> ReadJpegDcScan(QByteArrayView file);

}  // namespace core
