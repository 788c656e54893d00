#pragma once
// Reading the TIFF structure inside an Exif block: its byte order, its directories and their entries,
// every read checked against the block's end.

#include <QByteArrayView>
#include <cstdint>
#include <optional>
#include <vector>

namespace core {

struct TiffEntry {
    std::uint32_t tag = 0;
    std::uint32_t type = 0;
    std::uint32_t count = 0;
    QByteArrayView value;  // count values of the type, in the block's byte order
};

class TiffReader {
public:
    // Null when the block has no TIFF header.
    static std::optional<TiffReader> Open(QByteArrayView block);

    bool bigEndian() const { return bigEndian_; }
    std::uint32_t firstDirectory() const { return U32(4); }
    // The entries of the directory at offset whose values lie inside the block; none for a bad offset.
    std::vector<TiffEntry> Directory(std::uint32_t offset) const;

    // The first value of a SHORT or LONG entry; 0 for any other.
    std::uint32_t Number(const TiffEntry& entry) const;

    std::uint32_t U16(qsizetype at) const;
    std::uint32_t U32(qsizetype at) const;
    bool Has(qsizetype offset, qsizetype count) const {
        return offset >= 0 && count >= 0 && offset <= data_.size() && count <= data_.size() - offset;
    }

private:
    TiffReader(QByteArrayView data, bool bigEndian) : data_(data), bigEndian_(bigEndian) {}
    QByteArrayView data_;
    bool bigEndian_ = false;
};

// Bytes a value of this TIFF type takes; 0 for types this program does not know.
int TiffTypeSize(std::uint32_t type);

}  // namespace core
