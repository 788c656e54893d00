#include "core/tiff.h"

namespace core {

int TiffTypeSize(std::uint32_t type) {
    switch (type) {
        case 1:  // BYTE
        case 2:  // ASCII
        case 6:  // SBYTE
        case 7:  // UNDEFINED
            return 1;
        case 3:  // SHORT
        case 8:  // SSHORT
            return 2;
        case 4:  // LONG
        case 9:  // SLONG
            return 4;
        case 5:   // RATIONAL
        case 10:  // SRATIONAL
            return 8;
        default:
            return 0;
    }
}

std::optional<TiffReader> TiffReader::Open(QByteArrayView block) {
    if (block.size() < 8) return std::nullopt;
    bool big = false;
    if (block[0] == 'M' && block[1] == 'M')
        big = true;
    else if (!(block[0] == 'I' && block[1] == 'I'))
        return std::nullopt;
    const TiffReader reader(block, big);
    if (reader.U16(2) != 42) return std::nullopt;
    return reader;
}

std::uint32_t TiffReader::U16(qsizetype at) const {
    if (!Has(at, 2)) return 0;
    const auto b0 = std::uint8_t(data_[at]), b1 = std::uint8_t(data_[at + 1]);
    return bigEndian_ ? (b0 << 8 | b1) : (b1 << 8 | b0);
}

std::uint32_t TiffReader::U32(qsizetype at) const {
    if (!Has(at, 4)) return 0;
    const std::uint32_t hi = U16(at), lo = U16(at + 2);
    return bigEndian_ ? (hi << 16 | lo) : (lo << 16 | hi);
}

std::uint32_t TiffReader::Number(const TiffEntry& entry) const {
    const qsizetype at = entry.value.data() - data_.data();
    if (entry.type == 3 && entry.value.size() >= 2) return U16(at);
    if (entry.type == 4 && entry.value.size() >= 4) return U32(at);
    return 0;
}

std::vector<TiffEntry> TiffReader::Directory(std::uint32_t offset) const {
    std::vector<TiffEntry> entries;
    if (!Has(offset, 2)) return entries;
    const qsizetype count = U16(offset);
    for (qsizetype i = 0; i < count; ++i) {
        const qsizetype at = qsizetype(offset) + 2 + 12 * i;
        if (!Has(at, 12)) break;
        TiffEntry entry{U16(at), U16(at + 2), U32(at + 4), {}};
        const qint64 size = qint64(TiffTypeSize(entry.type)) * entry.count;
        // Up to four bytes sit in the entry itself; more lie at the offset it gives.
        const qsizetype where = size <= 4 ? at + 8 : qsizetype(U32(at + 8));
        if (size > 0 && Has(where, size)) entry.value = data_.sliced(where, size);
        entries.push_back(entry);
    }
    return entries;
}

}  // namespace core
