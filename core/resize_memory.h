#pragma once
// How much memory the whole job on one file (ResizeFile) holds at most, known from the file's header before
// anything is decoded, so that a batch can admit pictures by memory rather than by count.

#include "core/encode_picture.h"
#include "core/result.h"
#include "core/size_rule.h"

#include <QSize>
#include <QByteArray>
#include <cstdint>

namespace core {

// The bytes ResizeFile holds for input at the rule's size, encoded as asked: the file itself, what its
// decoder keeps (a JPEG's or PNG's rows, a JPEG's coefficients when progressive; any other format's whole
// picture, as an interlaced PNG's or one kept at its own size), the result and its encoder's own memory. A
// file whose header cannot be read counts as needing kDecodeMemoryBudget, which makes a batch run it alone;
// ResizeFile itself then tells what is wrong. A file size search (maxBytes) holds no more: the result, one
// smaller version at a time, and encodings no larger than the one counted.
std::int64_t ResizeMemory(const QByteArray& input, const SizeRule& size, const EncodeChoice& encoding);

// What the encoder holds beyond the result's pixels for a result of this many pixels: libwebp's lossless
// coder keeps several whole-picture tables, its lossy one a YUV copy, its tokens and the alpha plane's own
// lossless coding; a JPEG its coefficients, PNG little but its output.
std::int64_t EncoderMemory(std::int64_t pixels, const EncodeChoice& encoding);

// The most one picture's job may take; a batch refuses a job that alone needs more, rather than let the
// system run out of memory.
inline constexpr std::int64_t kMaxJobMemory = std::int64_t(1) << 30;

// Too costly when a job needing this many bytes is over kMaxJobMemory.
Result<void> FitsJobMemory(std::int64_t bytes);

}  // namespace core
