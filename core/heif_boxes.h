#pragma once
// A HEIF file's boxes as they are, not as their counts claim: the items whose entries are really there,
// their data's place, properties and references. Every read is bounded by the buffer, and nothing is
// allocated in proportion to a count the file declares, only to boxes and entries actually present.

#include "core/result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <array>
#include <cstdint>
#include <vector>

namespace core {

// More items than any camera writes (a grid of tiles, thumbnails, Exif, depth: a few dozen to a few
// hundred); libheif's parsing takes time growing faster than their number.
inline constexpr int kMaxHeifItems = 2000;

std::uint32_t Big16(QByteArrayView b, qsizetype at);
std::uint32_t Big32(QByteArrayView b, qsizetype at);

// A box within a buffer: where its header starts, its payload and its end; found() false for none.
struct Box {
    qsizetype start = -1, payload = -1, end = -1;
    bool found() const { return start >= 0; }
};

// The boxes in [from, to) of b one after another, as far as their sizes stay within it.
class BoxWalker {
public:
    BoxWalker(QByteArrayView b, qsizetype from, qsizetype to) : b_(b), at_(from), to_(to) {}
    // The next box, or not found() at the end or at a box whose size does not fit.
    Box Next();
    // The kind of a box Next() gave.
    QByteArrayView Kind(const Box& box) const { return b_.sliced(box.start + 4, 4); }

private:
    QByteArrayView b_;
    qsizetype at_, to_;
};

// The first box of this kind among the boxes in [from, to) of b.
Box FindBox(QByteArrayView b, qsizetype from, qsizetype to, const char* kind);

using FourCC = std::array<char, 4>;

struct HeifItem {
    std::uint32_t id = 0;
    FourCC type{};
    bool hidden = false;
    // From its iloc entry, if it has one: 0 data at file offsets, 1 in the idat box.
    bool located = false;
    int construction = 0;
    std::uint64_t base = 0;
    std::uint32_t firstExtent = 0, extents = 0;  // into HeifLayout::extents
    std::vector<std::uint16_t> properties;          // ipco indices, from 1
};

struct HeifExtent {
    std::uint64_t offset = 0, length = 0;
};

// One reference box of iref: from one item to count others, whose ids are read from the buffer.
struct HeifReferences {
    FourCC type{};
    std::uint32_t from = 0;
    qsizetype ids = 0;  // where the ids start
    std::uint32_t count = 0;
    int idBytes = 2;
};

struct HeifLayout {
    QByteArrayView file;
    std::uint32_t primary = 0;
    std::vector<HeifItem> items;  // in order of id
    std::vector<HeifExtent> extents;
    std::vector<Box> properties;  // ipco's boxes, property n at n - 1
    std::vector<HeifReferences> references;
    Box idat;

    const HeifItem* Item(std::uint32_t id) const;
    // The property box of this kind associated with item; not found() when none.
    Box Property(const HeifItem& item, const char* kind) const;
    std::uint32_t ReferenceId(const HeifReferences& r, std::uint32_t i) const;
    // The item's data (all its extents); damaged when they do not lie within the file or idat. Copies
    // only when there is more than one extent; otherwise it shares file's bytes.
    Result<QByteArray> Data(const HeifItem& item) const;
    // The total length of the item's extents as they are declared.
    std::uint64_t DataLength(const HeifItem& item) const;
};

// Reads file's meta box: damaged when it is missing or cut short, too costly when it holds more than
// kMaxHeifItems item entries or locations.
Result<HeifLayout> ReadHeifLayout(QByteArrayView file);

}  // namespace core
