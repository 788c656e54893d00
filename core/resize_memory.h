#pragma once
// How much memory the whole job on one file (ResizeFile) holds at most, known from the file's header before
// anything is decoded, so that a batch can admit pictures by memory rather than by count.

#include "core/size_rule.h"

#include <QSize>
#include <QByteArray>
#include <cstdint>

namespace core {

// The bytes ResizeFile holds for input at the rule's size: the file itself, what its decoder keeps (a JPEG's
// rows, its coefficients when progressive; any other format's whole picture), the result and its encoding. A
// file whose header cannot be read counts as needing kDecodeMemoryBudget, which makes a batch run it alone;
// ResizeFile itself then tells what is wrong. A file size search (maxBytes) holds no more: the result, one
// smaller version at a time, and encodings no larger than the one counted.
std::int64_t ResizeMemory(const QByteArray& input, const SizeRule& size);

}  // namespace core
