#pragma once
// The size a HEVC or AV1 decoder will really make of a HEIF item, read from the codec's own headers
// rather than from the container's claim: the sequence parameter set (in hvcC or among the item's NAL
// units) or the sequence header (in av1C or among the item's OBUs).

#include "core/result.h"

#include <QByteArrayView>
#include <QSize>

namespace core {

struct CodedSize {
    QSize coded;     // what the decoder allocates: HEVC's whole coded picture, AV1's largest frame
    QSize shown;     // HEVC's conformance window within it; AV1's frame size again
    int pictures = 0;  // coded pictures (HEVC) or frame headers (AV1) in the item's data
    int bits = 8;      // the deepest samples the configuration names
};

// From an hvcC box's payload and the item's data (length-prefixed NAL units). Damaged when there is no
// sequence parameter set, when two disagree, or when they cannot be read.
Result<CodedSize> HevcCodedSize(QByteArrayView hvcC, QByteArrayView data);
// From an av1C box's payload and the item's data (OBUs). Damaged when there is no sequence header, when
// two disagree, or when they cannot be read.
Result<CodedSize> Av1CodedSize(QByteArrayView av1C, QByteArrayView data);

}  // namespace core
