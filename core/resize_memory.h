#pragma once
// How much memory the whole job on one file (ResizeFile) holds at most, known from the file's header before
// anything is decoded, so that a batch can admit pictures by memory rather than by count.

#include <QSize>
#include <QByteArray>
#include <cstdint>

namespace core {

// The bytes ResizeFile holds for input fitted into box: the file itself, what its decoder keeps (a JPEG's
// rows, its coefficients when progressive; any other format's whole picture), the result and its encoding. A file whose header cannot be read counts as needing
// kDecodeMemoryBudget, which makes a batch run it alone; ResizeFile itself then tells what is wrong.
std::int64_t ResizeMemory(const QByteArray& input, QSize box);

}  // namespace core
