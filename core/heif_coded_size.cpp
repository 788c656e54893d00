#include "core/heif_coded_size.h"

#include <QByteArray>
#include <cstdint>
#include <optional>

namespace core {

namespace {

Error Damaged(const QString& what) { return {Cause::Damaged, QStringLiteral("damaged coded picture: %1").arg(what)}; }

// Reads bits most significant first; past the end it gives zeros and remembers that it ran out.
class BitReader {
public:
    explicit BitReader(QByteArrayView b) : b_(b) {}
    std::uint32_t Bits(int n) {
        std::uint32_t v = 0;
        for (int i = 0; i < n; ++i) v = v << 1 | Bit();
        return v;
    }
    std::uint32_t Bit() {
        if (at_ >= b_.size() * 8) {
            ok_ = false;
            return 0;
        }
        const std::uint32_t bit = (std::uint8_t(b_[at_ >> 3]) >> (7 - (at_ & 7))) & 1;
        ++at_;
        return bit;
    }
    void Skip(qsizetype n) {
        at_ += n;
        if (at_ > b_.size() * 8) ok_ = false;
    }
    // Exp-Golomb, as HEVC codes sizes; a value past 32 bits is a damaged stream.
    std::uint32_t Ue() {
        int zeros = 0;
        while (ok_ && Bit() == 0)
            if (++zeros > 31) {
                ok_ = false;
                return 0;
            }
        return std::uint32_t((std::uint64_t(1) << zeros) - 1 + Bits(zeros));
    }
    // AV1's variable-length code.
    std::uint32_t Uvlc() {
        int zeros = 0;
        while (ok_ && Bit() == 0) ++zeros;
        if (zeros >= 32) return 0xFFFFFFFFu;
        return std::uint32_t((std::uint64_t(1) << zeros) - 1 + Bits(zeros));
    }
    bool ok() const { return ok_; }

private:
    QByteArrayView b_;
    qsizetype at_ = 0;
    bool ok_ = true;
};

// Keeps the size every header names, and notices when one disagrees.
struct Sizes {
    std::optional<CodedSize> size;
    bool disagree = false;
    void Add(const CodedSize& s) {
        if (size && (size->coded != s.coded || size->shown != s.shown)) disagree = true;
        if (!size) size = s;
    }
};

// An SPS's payload without its emulation prevention bytes (00 00 03), which the bit syntax does not count.
QByteArray Unescaped(QByteArrayView nal) {
    QByteArray out;
    out.reserve(nal.size());
    int zeros = 0;
    for (const char c : nal) {
        if (zeros >= 2 && c == 3) {
            zeros = 0;
            continue;
        }
        zeros = c == 0 ? zeros + 1 : 0;
        out.append(c);
    }
    return out;
}

// The SPS's picture size and conformance window; nothing when it cannot be read.
std::optional<CodedSize> HevcSps(QByteArrayView nal) {
    // Only the fields up to the conformance window are read: a few dozen bytes at most.
    const QByteArray rbsp = Unescaped(nal.first(std::min<qsizetype>(nal.size(), 512)));
    BitReader r(rbsp);
    r.Skip(16);  // NAL unit header
    r.Skip(4);   // video parameter set id
    const int subLayers = int(r.Bits(3));
    r.Skip(1);
    r.Skip(96);  // general profile, tier and level
    bool profile[8] = {}, level[8] = {};
    for (int i = 0; i < subLayers; ++i) {
        profile[i] = r.Bit();
        level[i] = r.Bit();
    }
    if (subLayers > 0) r.Skip(2 * (8 - subLayers));
    for (int i = 0; i < subLayers; ++i) r.Skip((profile[i] ? 88 : 0) + (level[i] ? 8 : 0));
    r.Ue();  // its own id
    const std::uint32_t chroma = r.Ue();
    bool separate = false;
    if (chroma == 3) separate = r.Bit();
    const std::uint32_t width = r.Ue(), height = r.Ue();
    std::uint32_t left = 0, right = 0, top = 0, bottom = 0;
    if (r.Bit()) {
        left = r.Ue();
        right = r.Ue();
        top = r.Ue();
        bottom = r.Ue();
    }
    if (!r.ok() || chroma > 3 || width == 0 || height == 0 || width > (1u << 30) || height > (1u << 30))
        return std::nullopt;
    const std::uint64_t subWidth = (chroma == 1 || chroma == 2) && !separate ? 2 : 1;
    const std::uint64_t subHeight = chroma == 1 && !separate ? 2 : 1;
    const std::uint64_t cropX = subWidth * (std::uint64_t(left) + right), cropY = subHeight * (std::uint64_t(top) + bottom);
    if (cropX >= width || cropY >= height) return std::nullopt;
    CodedSize s;
    s.coded = QSize(int(width), int(height));
    s.shown = QSize(int(width - cropX), int(height - cropY));
    return s;
}

constexpr int kHevcSps = 33;

// The sequence header's largest frame size; nothing when it cannot be read.
std::optional<CodedSize> Av1SequenceHeader(QByteArrayView payload) {
    BitReader r(payload);
    r.Skip(3);  // profile
    r.Skip(1);  // still picture
    if (r.Bit()) {  // reduced still picture header
        r.Skip(5);
    } else {
        bool decoderModel = false;
        int delayBits = 0;
        if (r.Bit()) {  // timing info
            r.Skip(64);
            if (r.Bit()) r.Uvlc();
            decoderModel = r.Bit();
            if (decoderModel) {
                delayBits = int(r.Bits(5)) + 1;
                r.Skip(32 + 5 + 5);
            }
        }
        const bool initialDelay = r.Bit();
        const int points = int(r.Bits(5)) + 1;
        for (int i = 0; i < points && r.ok(); ++i) {
            r.Skip(12);
            if (r.Bits(5) > 7) r.Skip(1);
            if (decoderModel && r.Bit()) r.Skip(2 * delayBits + 1);
            if (initialDelay && r.Bit()) r.Skip(4);
        }
    }
    const int widthBits = int(r.Bits(4)) + 1, heightBits = int(r.Bits(4)) + 1;
    const std::uint64_t width = std::uint64_t(r.Bits(widthBits)) + 1, height = std::uint64_t(r.Bits(heightBits)) + 1;
    if (!r.ok()) return std::nullopt;
    CodedSize s;
    s.coded = s.shown = QSize(int(width), int(height));
    return s;
}

// Calls visit(type, payload) for each OBU in data; false when one's size runs past the end.
template <class Visit>
bool ForEachObu(QByteArrayView data, Visit visit) {
    qsizetype at = 0;
    while (at < data.size()) {
        const std::uint8_t header = std::uint8_t(data[at]);
        const int type = (header >> 3) & 15;
        qsizetype start = at + 1 + ((header & 4) ? 1 : 0);
        std::uint64_t size = 0;
        if (header & 2) {
            // leb128, at most eight bytes
            int i = 0;
            for (;; ++i) {
                if (i == 8 || start >= data.size()) return false;
                const std::uint8_t byte = std::uint8_t(data[start++]);
                size |= std::uint64_t(byte & 0x7F) << (7 * i);
                if (!(byte & 0x80)) break;
            }
        } else {
            if (start > data.size()) return false;
            size = std::uint64_t(data.size() - start);  // the rest
        }
        if (size > std::uint64_t(data.size() - start)) return false;
        visit(type, data.sliced(start, qsizetype(size)));
        at = start + qsizetype(size);
    }
    return true;
}

constexpr int kObuSequenceHeader = 1, kObuFrameHeader = 3, kObuFrame = 6;

Result<CodedSize> Finish(const Sizes& sizes, int pictures, int bits, const char* what) {
    if (sizes.disagree) return Damaged(QStringLiteral("its %1s name different sizes").arg(QLatin1String(what)));
    if (!sizes.size) return Damaged(QStringLiteral("no readable %1").arg(QLatin1String(what)));
    CodedSize s = *sizes.size;
    s.pictures = pictures;
    s.bits = bits;
    return s;
}

}  // namespace

Result<CodedSize> HevcCodedSize(QByteArrayView hvcC, QByteArrayView data) {
    if (hvcC.size() < 23) return Damaged(QStringLiteral("its HEVC configuration is cut short"));
    const int bits = 8 + std::max(std::uint8_t(hvcC[17]) & 7, std::uint8_t(hvcC[18]) & 7);
    const int lengthBytes = (std::uint8_t(hvcC[21]) & 3) + 1;
    Sizes sizes;
    // The configuration's arrays of parameter sets.
    const int arrays = std::uint8_t(hvcC[22]);
    qsizetype at = 23;
    for (int a = 0; a < arrays; ++a) {
        if (at + 3 > hvcC.size()) return Damaged(QStringLiteral("its HEVC configuration is cut short"));
        const int type = std::uint8_t(hvcC[at]) & 0x3F;
        const int count = (std::uint8_t(hvcC[at + 1]) << 8) | std::uint8_t(hvcC[at + 2]);
        at += 3;
        for (int n = 0; n < count; ++n) {
            if (at + 2 > hvcC.size()) return Damaged(QStringLiteral("its HEVC configuration is cut short"));
            const qsizetype length = (std::uint8_t(hvcC[at]) << 8) | std::uint8_t(hvcC[at + 1]);
            at += 2;
            if (length > hvcC.size() - at) return Damaged(QStringLiteral("its HEVC configuration is cut short"));
            if (type == kHevcSps) {
                const std::optional<CodedSize> sps = HevcSps(hvcC.sliced(at, length));
                if (!sps) return Damaged(QStringLiteral("an unreadable sequence parameter set"));
                sizes.Add(*sps);
            }
            at += length;
        }
    }
    // The item's own NAL units may carry parameter sets too, which the decoder then takes; and each coded
    // picture starts with a slice whose first bit says so.
    int pictures = 0;
    for (at = 0; at < data.size();) {
        if (at + lengthBytes > data.size()) return Damaged(QStringLiteral("a NAL unit's length is cut short"));
        std::uint64_t length = 0;
        for (int i = 0; i < lengthBytes; ++i) length = length << 8 | std::uint8_t(data[at + i]);
        at += lengthBytes;
        if (length > std::uint64_t(data.size() - at)) return Damaged(QStringLiteral("a NAL unit runs past its data"));
        const QByteArrayView nal = data.sliced(at, qsizetype(length));
        at += qsizetype(length);
        if (nal.size() < 3) continue;
        const int type = (std::uint8_t(nal[0]) >> 1) & 0x3F;
        if (type == kHevcSps) {
            const std::optional<CodedSize> sps = HevcSps(nal);
            if (!sps) return Damaged(QStringLiteral("an unreadable sequence parameter set"));
            sizes.Add(*sps);
        } else if (type < 32 && (std::uint8_t(nal[2]) & 0x80)) {
            ++pictures;
        }
    }
    return Finish(sizes, pictures, bits, "sequence parameter set");
}

Result<CodedSize> Av1CodedSize(QByteArrayView av1C, QByteArrayView data) {
    if (av1C.size() < 4) return Damaged(QStringLiteral("its AV1 configuration is cut short"));
    const int bits = (std::uint8_t(av1C[2]) & 0x40) ? ((std::uint8_t(av1C[2]) & 0x20) ? 12 : 10) : 8;
    Sizes sizes;
    bool readable = true;
    int pictures = 0;
    const auto visit = [&](int type, QByteArrayView payload) {
        if (type == kObuSequenceHeader) {
            const std::optional<CodedSize> header = Av1SequenceHeader(payload);
            if (header) sizes.Add(*header);
            else readable = false;
        } else if (type == kObuFrameHeader || type == kObuFrame) {
            ++pictures;
        }
    };
    // The configuration's OBUs first, then the item's.
    if (!ForEachObu(av1C.sliced(4), visit)) return Damaged(QStringLiteral("its AV1 configuration is cut short"));
    const int configured = pictures;
    if (!ForEachObu(data, visit)) return Damaged(QStringLiteral("an OBU runs past its data"));
    if (!readable) return Damaged(QStringLiteral("an unreadable sequence header"));
    return Finish(sizes, pictures - configured, bits, "sequence header");
}

}  // namespace core
