#include "core/jpeg_dc_decoder.h"

#include "core/huge_page_image.h"
#include "core/parallel.h"
#include "core/picture_decoder.h"

#include <QThreadPool>
#include <algorithm>
#include <cstring>
#include <memory>
#include <new>

namespace core {

namespace {

constexpr int kLookBits = 10;
// Enough zero bytes after the data that one block-group's parse, however wrong, never reads past them:
// at most ten blocks of 64 codes of 16 bits plus 15 value bits each.
constexpr std::size_t kPadding = 4096;
// Data below this is parsed by one thread: the parts' start-up would cost more than they save.
constexpr qsizetype kPartBytes = 256 * 1024;

// One Huffman table in the form libjpeg decodes with: a lookup of the first bits, then the longest code of
// each length.
struct Huffman {
    std::array<std::uint16_t, 1 << kLookBits> look{};  // (length << 8) | symbol; 0 for longer codes
    // For an AC coefficient whose value is not needed: the bits of its code and value together, and how far
    // it moves on in the block (kEnd for an end of block), as bits + (advance << 5); 0 for longer codes.
    std::array<std::uint16_t, 1 << kLookBits> skip{};
    static constexpr int kEnd = 0;

    // How far an AC symbol moves on in the block, as libjpeg counts: a value past its run of zeros, sixteen
    // zeros sixteen, anything else ends the block.
    static constexpr int Advance(int symbol) {
        const int run = symbol >> 4, size = symbol & 15;
        return size != 0 ? run + 1 : run == 15 ? 16 : kEnd;
    }
    std::array<std::int32_t, 18> maxCode{};
    std::array<std::int32_t, 18> offset{};
    std::array<std::uint8_t, 256> symbols{};

    // False for a table libjpeg refuses (too many codes, codes that do not fit their lengths, a code of
    // all ones, a DC size over 15).
    bool Build(const JpegDcScan::HuffmanTable& table, bool dc) {
        std::array<std::uint8_t, 257> lengths{};
        int count = 0;
        for (int l = 1; l <= 16; ++l) {
            if (count + table.counts[std::size_t(l)] > 256) return false;
            for (int i = 0; i < table.counts[std::size_t(l)]; ++i)
                lengths[std::size_t(count++)] = std::uint8_t(l);
        }
        std::array<std::int32_t, 256> codes{};
        std::int32_t code = 0;
        int p = 0;
        for (int l = 1; l <= 16; ++l) {
            while (p < count && lengths[std::size_t(p)] == l) codes[std::size_t(p++)] = code++;
            // The next code must still fit: the last one given may not be all ones, as libjpeg checks.
            if (code >= (std::int32_t(1) << l)) return false;
            code <<= 1;
        }
        p = 0;
        for (int l = 1; l <= 16; ++l) {
            const int n = table.counts[std::size_t(l)];
            if (n == 0) {
                maxCode[std::size_t(l)] = -1;
                continue;
            }
            offset[std::size_t(l)] = p - codes[std::size_t(p)];
            p += n;
            maxCode[std::size_t(l)] = codes[std::size_t(p - 1)];
        }
        maxCode[17] = 0x7FFFFFFF;
        for (int i = 0; i < count; ++i) {
            symbols[std::size_t(i)] = table.symbols[std::size_t(i)];
            if (dc && table.symbols[std::size_t(i)] > 15) return false;
            const int l = lengths[std::size_t(i)];
            if (l > kLookBits) continue;
            const int first = codes[std::size_t(i)] << (kLookBits - l);  // every entry this code begins
            const int symbol = table.symbols[std::size_t(i)], size = symbol & 15;
            const int advance = Advance(symbol);
            for (int j = 0; j < (1 << (kLookBits - l)); ++j) {
                look[std::size_t(first + j)] = std::uint16_t(l << 8 | symbol);
                skip[std::size_t(first + j)] = std::uint16_t(l + size + (advance << 5));
            }
        }
        return true;
    }

    // The symbol at the top of window and its code's length; -1 for no code of this table.
    int Decode(std::uint64_t window, int& length) const {
        if (const std::uint16_t e = look[std::size_t(window >> (64 - kLookBits))]) {
            length = e >> 8;
            return e & 0xFF;
        }
        for (int l = kLookBits + 1; l <= 16; ++l) {
            const auto code = std::int32_t(window >> (64 - l));
            if (code <= maxCode[std::size_t(l)]) {
                length = l;
                return symbols[std::size_t(code + offset[std::size_t(l)])];
            }
        }
        return -1;
    }
};

// Reads the data's bits through a 64-bit buffer, its first bit at the top, refilled a whole number of
// bytes at a time so that at least 56 bits are at hand.
struct BitReader {
    const std::uint8_t* base;
    const std::uint8_t* next;
    std::uint64_t buffer = 0;
    int count = 0;  // bits in buffer

    BitReader(const std::uint8_t* data, std::uint64_t pos) : base(data), next(data + (pos >> 3)) {
        Refill();
        Skip(int(pos & 7));
    }
    void Refill() {
        std::uint64_t word;
        std::memcpy(&word, next, sizeof word);
        buffer |= __builtin_bswap64(word) >> count;
        next += (63 - count) >> 3;
        count |= 56;
    }
    void Skip(int n) {
        buffer <<= n;
        count -= n;
    }
    // The next n bits (1 to 32) as a number.
    int Top(int n) const { return int(buffer >> (64 - n)); }
    std::uint64_t Position() const { return std::uint64_t(next - base) * 8 - std::uint64_t(count); }
};

// A DC difference or coefficient: size bits read as JPEG codes them, negative values offset.
inline int Extend(int value, int size) { return value < (1 << (size - 1)) ? value - (1 << size) + 1 : value; }

enum class Step { Done, DataEnd, BadCode };

// The coefficients libjpeg's 2 x 2 IDCT reads: rows and columns 0, 1, 3, 5 and 7 of the block, 25 of them
// kept in that order (the DC's place is left empty). A run past the 63rd coefficient lands on the 63rd,
// as in libjpeg, whose zigzag table has 16 more entries for it.
constexpr int kReducedValues = 25;
constexpr std::array<int, 80> ReducedSlots() {
    constexpr std::array<int, 64> natural{0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
                                          12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
                                          35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
                                          58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};
    constexpr std::array<int, 8> kept{0, 1, -1, 2, -1, 3, -1, 4};
    std::array<int, 80> result{};
    for (std::size_t k = 0; k < result.size(); ++k) {
        const int n = natural[std::min<std::size_t>(k, 63)];
        const int row = kept[std::size_t(n / 8)];
        const int column = kept[std::size_t(n % 8)];
        result[k] = (row < 0 || column < 0) ? -1 : row * 5 + column;
    }
    return result;
}
constexpr std::array<int, 80> kReducedSlot = ReducedSlots();
// What a reduced block's 2 x 2 IDCT takes from its AC coefficients, worked out while it is parsed: libjpeg's
// first pass adds the DC to the first column's sums as a multiple of its rounding step, so that the DC can
// join afterwards, when the DC predictions are known.
struct ReducedBlock {
    static constexpr std::int64_t kFlat = INT64_MIN;  // a row of the first pass without AC terms
    std::int32_t first[2];  // the first column's AC terms after the first pass, by output row
    std::int64_t odd[2];    // the second pass's odd part by output row, or kFlat
};

inline std::int64_t Descale(std::int64_t x, int n) { return (x + (std::int64_t(1) << (n - 1))) >> n; }
inline std::int64_t OddPart(std::int64_t c1, std::int64_t c3, std::int64_t c5, std::int64_t c7) {
    return c7 * -5906 + c5 * 6967 + c3 * -10426 + c1 * 29692;  // libjpeg's constants for 2 x 2, 13 bits
}

// The AC side of libjpeg's 2 x 2 IDCT (its slow-but-accurate integer one) of a block's kept coefficients
// (slot 0, the DC, unused) and their quantization steps.
ReducedBlock ReduceAc(const std::int16_t* coefficients, const std::int16_t* quant) {
    std::int64_t work[2][5];
    const auto at = [&](int r, int c) { return std::int64_t(coefficients[r * 5 + c]) * quant[r * 5 + c]; };
    for (int c = 0; c < 5; ++c) {
        const std::int64_t even = c == 0 ? 0 : at(0, c) << 15;
        if (coefficients[5 + c] == 0 && coefficients[10 + c] == 0 && coefficients[15 + c] == 0 &&
            coefficients[20 + c] == 0) {
            work[0][c] = work[1][c] = even >> 13;
            continue;
        }
        const std::int64_t sum = OddPart(at(1, c), at(2, c), at(3, c), at(4, c));
        work[0][c] = std::int32_t(Descale(even + sum, 13));
        work[1][c] = std::int32_t(Descale(even - sum, 13));
    }
    ReducedBlock block{};
    for (int r = 0; r < 2; ++r) {
        const std::int64_t* w = work[r];
        block.first[r] = std::int32_t(w[0]);
        block.odd[r] = w[1] == 0 && w[2] == 0 && w[3] == 0 && w[4] == 0 ? ReducedBlock::kFlat
                                                                        : OddPart(w[1], w[2], w[3], w[4]);
    }
    return block;
}

// The natural index of a kept coefficient's slot.
constexpr int ReducedNatural(int slot) {
    constexpr std::array<int, 5> line{0, 1, 3, 5, 7};
    return line[std::size_t(slot / 5)] * 8 + line[std::size_t(slot % 5)];
}

// The parse of whole MCUs (the smallest group of blocks the scan repeats: one block of a grey picture,
// each component's h x v blocks of a colour one).
struct Parser {
    const std::uint8_t* data = nullptr;      // unstuffed, followed by kPadding zero bytes
    std::uint64_t bits = 0;                  // how many of them are data
    std::vector<const Huffman*> dcOf, acOf;  // by block of the MCU
    std::vector<const std::int16_t*>
        reducedOf;  // by block: the kept slots' steps of a reduced one, else null

    std::size_t ReducedBlocks() const {
        return std::size_t(
            std::count_if(reducedOf.begin(), reducedOf.end(), [](auto* q) { return q != nullptr; }));
    }

    // One MCU, its blocks' DC differences into dc and the reduced blocks' AC side into reduced; the reader
    // is left after it, or at a bad code.
    Step Mcu(BitReader& in, std::int16_t* dc, ReducedBlock* reduced) const {
        int length = 0;
        for (std::size_t b = 0; b < dcOf.size(); ++b) {
            if (in.count < 32) in.Refill();
            const int size = dcOf[b]->Decode(in.buffer, length);
            if (size < 0) return in.Position() >= bits ? Step::DataEnd : Step::BadCode;
            in.Skip(length);
            dc[b] = 0;
            if (size > 0) {
                dc[b] = std::int16_t(Extend(in.Top(size), size));
                in.Skip(size);
            }
            const Huffman& ac = *acOf[b];
            // As libjpeg counts: a run past the 63rd coefficient ends the block, it is not an error.
            if (reducedOf[b]) {
                std::int16_t kept[kReducedValues] = {};
                for (int k = 1; k < 64; ++k) {
                    if (in.count < 32) in.Refill();
                    const int rs = ac.Decode(in.buffer, length);
                    if (rs < 0) return in.Position() >= bits ? Step::DataEnd : Step::BadCode;
                    in.Skip(length);
                    const int run = rs >> 4, size = rs & 15;
                    if (size != 0) {
                        k += run;
                        if (const int slot = kReducedSlot[std::size_t(k)]; slot >= 0)
                            kept[slot] = std::int16_t(Extend(in.Top(size), size));
                        in.Skip(size);
                    } else {
                        if (run != 15) break;
                        k += 15;
                    }
                }
                *reduced++ = ReduceAc(kept, reducedOf[b]);
            } else {
                for (int k = 1; k < 64;) {
                    if (in.count < 32) in.Refill();
                    int advance;
                    if (const std::uint16_t e = ac.skip[std::size_t(in.buffer >> (64 - kLookBits))]) {
                        in.Skip(e & 31);  // the value itself is not needed
                        advance = e >> 5;
                    } else {
                        const int rs = ac.Decode(in.buffer, length);
                        if (rs < 0) return in.Position() >= bits ? Step::DataEnd : Step::BadCode;
                        in.Skip(length + (rs & 15));
                        advance = Huffman::Advance(rs);
                    }
                    if (advance == Huffman::kEnd) break;
                    k += advance;
                }
            }
            if (in.Position() > bits) return Step::DataEnd;
        }
        return Step::Done;
    }
};

// MCUs parsed in a row: where each starts, its blocks' DC differences, its reduced blocks' coefficients.
// An array of plain values that grows without clearing what it gets, in huge pages when it is large.
template <typename T>
struct Buffer {
    HugePageBytes bytes;
    std::size_t capacity = 0;

    T* data() const { return reinterpret_cast<T*>(bytes.get()); }
    void Reserve(std::size_t n) {
        if (n <= capacity) return;
        HugePageBytes bigger = HugePageBuffer(n * sizeof(T));
        if (!bigger) throw std::bad_alloc();
        if (capacity > 0) std::memcpy(bigger.get(), bytes.get(), capacity * sizeof(T));
        bytes = std::move(bigger);
        capacity = n;
    }
};

struct Run {
    std::vector<std::uint64_t> starts;
    Buffer<std::int16_t> dcs;
    Buffer<ReducedBlock> reduced;
    std::uint64_t end = 0;  // after the last of them

    std::size_t size() const { return starts.size(); }
    std::uint64_t EndOf(std::size_t i) const { return i + 1 < starts.size() ? starts[i + 1] : end; }
    void Clear() { starts.clear(); }
};

// Parses MCUs from pos into run until one would start at or after stopAt, most are parsed, or the data
// stops them; pos is left after the last whole one.
Step ParseMcus(const Parser& parser, std::uint64_t& pos, std::uint64_t stopAt, std::size_t most, Run& run) {
    const std::size_t blocks = parser.dcOf.size();
    const std::size_t reduced = parser.ReducedBlocks();
    BitReader in(parser.data, pos);
    while (run.size() < most && pos < stopAt) {
        // Room for one more, grown by doubling: the arrays may hold more than the MCUs parsed.
        const std::size_t n = run.size();
        if (run.dcs.capacity < (n + 1) * blocks)
            run.dcs.Reserve(std::max((n + 1) * blocks, 2 * run.dcs.capacity));
        if (run.reduced.capacity < (n + 1) * reduced)
            run.reduced.Reserve(std::max((n + 1) * reduced, 2 * run.reduced.capacity));
        const Step step = parser.Mcu(in, run.dcs.data() + n * blocks, run.reduced.data() + n * reduced);
        if (step != Step::Done) {
            if (step == Step::BadCode) pos = in.Position();
            run.end = pos;
            return step;
        }
        run.starts.push_back(pos);
        pos = in.Position();
        run.end = pos;
    }
    return Step::Done;
}

// libjpeg's limit after its one-point IDCT: the value plus 128, clamped, its index taken modulo 1024.
inline std::uint8_t RangeLimit(int value) {
    const int i = value & 1023;
    if (i < 128) return std::uint8_t(128 + i);
    if (i < 512) return 255;
    if (i < 896) return 0;
    return std::uint8_t(i - 896);
}

// The 2 x 2 pixels of a reduced block once its DC (dequantized) is known, into out[row][column].
void FinishReduced(const ReducedBlock& block, std::int64_t dc, std::uint8_t out[2][2]) {
    for (int r = 0; r < 2; ++r) {
        const std::int64_t first = std::int32_t(dc * 4 + block.first[r]);
        if (block.odd[r] == ReducedBlock::kFlat) {
            out[r][0] = out[r][1] = RangeLimit(int(Descale(first, 5)));
            continue;
        }
        out[r][0] = RangeLimit(int(Descale((first << 15) + block.odd[r], 20)));
        out[r][1] = RangeLimit(int(Descale((first << 15) - block.odd[r], 20)));
    }
}

// Unstuffed entropy-coded data, split where the parts begin.
struct Unstuffed {
    HugePageBytes bytes;
    std::vector<qsizetype> starts;     // each part's first byte, and the end
    qsizetype marker = -1;             // where in the file's data the marker that ends it is
    std::vector<qsizetype> intervals;  // where each restart interval after the first begins
    bool irregular = false;            // restart markers out of their order
};

// Removes the zero byte after each 0xFF, and with restarts each restart marker (noting where its interval
// begins), up to the first other marker, in parts on the pool. False when memory runs out.
bool Unstuff(QByteArrayView raw, int parts, bool restarts, QThreadPool* pool, Unstuffed& out) {
    const auto* in = reinterpret_cast<const std::uint8_t*>(raw.data());
    const qsizetype size = raw.size();
    out.bytes = HugePageBuffer(std::size_t(size) + kPadding);
    if (!out.bytes) return false;
    const auto n = std::size_t(parts);
    std::vector<qsizetype> from(n + 1), length(n), marker(n, -1);
    std::vector<std::vector<std::pair<qsizetype, int>>> found(n);  // restart markers: where, and number
    for (int k = 0; k <= parts; ++k) {
        qsizetype at = size * k / parts;
        while (k < parts && at > 0 && at < size && in[at - 1] == 0xFF)
            ++at;  // never between 0xFF and its pair
        from[std::size_t(k)] = std::max(at, k > 0 ? from[std::size_t(k) - 1] : qsizetype(0));
    }
    const Result<void> done = ParallelFor(pool, parts, [&](int k) {
        qsizetype i = from[std::size_t(k)];
        const qsizetype end = from[std::size_t(k) + 1];
        std::uint8_t* put = out.bytes.get() + i;
        while (i < end) {
            const auto* ff =
                static_cast<const std::uint8_t*>(std::memchr(in + i, 0xFF, std::size_t(end - i)));
            const qsizetype stop = ff ? ff - in : end;
            std::memcpy(put, in + i, std::size_t(stop - i));
            put += stop - i;
            i = stop;
            if (!ff) break;
            if (i + 1 < size && in[i + 1] == 0x00) {
                *put++ = 0xFF;
                i += 2;
            } else if (restarts && i + 1 < size && (in[i + 1] & 0xF8) == 0xD0) {
                found[std::size_t(k)].emplace_back(put - (out.bytes.get() + from[std::size_t(k)]),
                                                   in[i + 1] & 7);
                i += 2;
            } else {
                marker[std::size_t(k)] = i;
                break;
            }
        }
        length[std::size_t(k)] = put - (out.bytes.get() + from[std::size_t(k)]);
    });
    if (!done) return false;
    // The parts' bytes together, up to the first marker.
    qsizetype at = 0;
    out.starts.clear();
    for (int k = 0; k < parts; ++k) {
        out.starts.push_back(at);
        std::memmove(out.bytes.get() + at, out.bytes.get() + from[std::size_t(k)],
                     std::size_t(length[std::size_t(k)]));
        for (const auto& [offset, number] : found[std::size_t(k)]) {
            if (number != int(out.intervals.size() % 8)) out.irregular = true;
            out.intervals.push_back(at + offset);
        }
        at += length[std::size_t(k)];
        if (marker[std::size_t(k)] >= 0) {
            out.marker = marker[std::size_t(k)];
            break;
        }
    }
    out.starts.push_back(at);
    std::memset(out.bytes.get() + at, 0, kPadding);
    return true;
}

// True when the marker at raw[at] is the end of the picture, after any fill bytes.
bool EndsThere(QByteArrayView raw, qsizetype at) {
    while (at < raw.size() && std::uint8_t(raw[at]) == 0xFF) ++at;
    return at < raw.size() && std::uint8_t(raw[at]) == 0xD9;
}

// The decode, failing with std::bad_alloc when memory runs out.
Result<QImage> Decode(const JpegDcScan& scan, int parts, QThreadPool* pool) {
    const std::size_t comps = scan.components.size();
    if ((comps != 1 && comps != 3) || scan.size.isEmpty()) return QImage();
    int maxH = 1, maxV = 1;
    for (const auto& c : scan.components) {
        if (c.h < 1 || c.h > 4 || c.v < 1 || c.v > 4) return QImage();
        maxH = std::max(maxH, c.h);
        maxV = std::max(maxV, c.v);
    }
    // libjpeg's scale of each component's IDCT at an eighth of the size: doubled while the component still
    // needs upsampling by two both ways, so that it is upsampled less.
    std::vector<int> scales;
    for (const auto& c : scan.components) {
        if (maxH % c.h != 0 || maxV % c.v != 0) return QImage();
        int scale = 1;
        while (scale < 8 && maxH % (c.h * scale * 2) == 0 && maxV % (c.v * scale * 2) == 0) scale *= 2;
        if (scale > 2) return QImage();
        scales.push_back(comps == 1 ? 1 : scale);
    }

    std::vector<Huffman> tables(2 * comps);
    // Each component's quantization steps of the kept slots; libjpeg multiplies in 16 bits.
    std::vector<std::array<std::int16_t, kReducedValues>> steps(comps);
    for (std::size_t c = 0; c < comps; ++c) {
        for (int slot = 0; slot < kReducedValues; ++slot)
            steps[c][std::size_t(slot)] =
                std::int16_t(scan.components[c].quant[std::size_t(ReducedNatural(slot))]);
    }
    Parser parser;
    // The MCU's blocks and where each lies: a lone component's scan takes its blocks one by one, an
    // interleaved one each component's h x v of them in turn.
    struct Block {
        int component, dx, dy;
    };
    std::vector<Block> blocks;
    for (std::size_t c = 0; c < comps; ++c) {
        if (!tables[2 * c].Build(scan.components[c].dc, true) ||
            !tables[2 * c + 1].Build(scan.components[c].ac, false))
            return QImage();
        const int h = comps == 1 ? 1 : scan.components[c].h, v = comps == 1 ? 1 : scan.components[c].v;
        for (int y = 0; y < v; ++y) {
            for (int x = 0; x < h; ++x) {
                blocks.push_back({int(c), x, y});
                parser.dcOf.push_back(&tables[2 * c]);
                parser.acOf.push_back(&tables[2 * c + 1]);
                parser.reducedOf.push_back(scales[c] == 2 ? steps[c].data() : nullptr);
            }
        }
    }
    if (blocks.size() > 10) return QImage();  // more than a scan may hold; libjpeg refuses it
    const int width = scan.size.width(), height = scan.size.height();
    const int unitW = comps == 1 ? 8 : 8 * maxH, unitH = comps == 1 ? 8 : 8 * maxV;
    const std::int64_t perRow = (width + unitW - 1) / unitW, rows = (height + unitH - 1) / unitH;
    const auto total = std::size_t(perRow * rows);

    if (parts <= 0) {
        parts = (pool ? pool : QThreadPool::globalInstance())->maxThreadCount();
        parts = int(std::clamp<qsizetype>(scan.data.size() / kPartBytes, 1, std::clamp(parts, 1, 16)));
    }
    parts = std::clamp(parts, 1, 16);

    const bool restarts = scan.restartInterval > 0;
    Unstuffed data;
    if (!Unstuff(scan.data, parts, restarts, pool, data)) return NoMemory();
    if (data.marker < 0 || !EndsThere(scan.data, data.marker)) return QImage();
    parser.data = data.bytes.get();
    parser.bits = std::uint64_t(data.starts.back()) * 8;
    parts = int(data.starts.size()) - 1;

    const auto n = std::size_t(parts);
    std::vector<Run> runs(n), bridges(n);
    Run tail;
    struct Segment {
        Run* run;
        std::size_t from, to;
    };
    std::vector<Segment> segments;
    if (restarts) {
        // Each interval starts afresh at a known byte: the parts take whole intervals, no guessing.
        const auto interval = std::size_t(scan.restartInterval);
        const std::size_t intervals = (total + interval - 1) / interval;
        // Markers out of order, too few or after the last interval: libjpeg judges.
        if (data.irregular || data.intervals.size() + 1 != intervals) return QImage();
        std::vector<std::uint64_t> bounds{0};  // each interval's first bit, and the end
        for (const qsizetype at : data.intervals) bounds.push_back(std::uint64_t(at) * 8);
        bounds.push_back(parser.bits);
        parts = int(std::min<std::size_t>(n, intervals));
        std::vector<std::uint8_t> plain(std::size_t(parts), 1);
        const Result<void> parsed = ParallelFor(pool, parts, [&](int k) {
            const std::size_t first = intervals * std::size_t(k) / std::size_t(parts),
                              last = intervals * (std::size_t(k) + 1) / std::size_t(parts);
            Run& run = runs[std::size_t(k)];
            // As many as the header says, or as its bits can hold at two a block.
            const std::size_t mcus =
                std::min<std::size_t>(std::min(total, last * interval) - first * interval,
                                      (bounds[last] - bounds[first]) / (2 * blocks.size()) + 16);
            run.starts.reserve(mcus);
            run.dcs.Reserve(mcus * blocks.size());
            run.reduced.Reserve(mcus * parser.ReducedBlocks());
            for (std::size_t i = first; i < last; ++i) {
                std::uint64_t at = bounds[i];
                const std::size_t want = run.size() + std::min(interval, total - i * interval);
                // MCUs that run past the interval's end, end short of it or leave whole bytes before the
                // marker are damage libjpeg resynchronises over, with a warning: left to it.
                if (ParseMcus(parser, at, bounds[i + 1], want, run) != Step::Done || run.size() != want ||
                    at > bounds[i + 1] || bounds[i + 1] - at >= 8) {
                    plain[std::size_t(k)] = 0;
                    return;
                }
            }
        });
        if (!parsed) return NoMemory();
        if (std::find(plain.begin(), plain.end(), 0) != plain.end()) return QImage();
        for (int k = 0; k < parts; ++k)
            segments.push_back({&runs[std::size_t(k)], 0, runs[std::size_t(k)].size()});
    } else {
        // Every part parses its share; the first from the true start, the others from the first bit of theirs
        // as if an MCU began there, over again after any code that no table has.
        std::vector<Step> ends(n, Step::Done);
        const Result<void> parsed = ParallelFor(pool, parts, [&](int k) {
            Run& run = runs[std::size_t(k)];
            // Each MCU takes two bits a block at the least.
            const std::uint64_t bitsHere =
                std::uint64_t(data.starts[std::size_t(k) + 1] - data.starts[std::size_t(k)]) * 8;
            const auto share = std::size_t(
                std::min<std::uint64_t>(total / std::size_t(parts), bitsHere / (2 * blocks.size())) + 16);
            run.starts.reserve(share);
            run.dcs.Reserve(share * blocks.size());
            run.reduced.Reserve(share * parser.ReducedBlocks());
            std::uint64_t pos = std::uint64_t(data.starts[std::size_t(k)]) * 8;
            const std::uint64_t stopAt =
                k + 1 < parts ? std::uint64_t(data.starts[std::size_t(k) + 1]) * 8 : parser.bits;
            for (;;) {
                const Step step = ParseMcus(parser, pos, stopAt, total, run);
                if (step == Step::BadCode && k > 0) {
                    run.Clear();
                    ++pos;  // a wrong guess: from the next bit on
                    continue;
                }
                ends[std::size_t(k)] = step;
                break;
            }
        });
        if (!parsed) return NoMemory();
        // A code no table has: libjpeg reads on past most such codes (as a zero) and warns of the rest; it
        // judges.
        if (ends[0] == Step::BadCode) return QImage();

        // The true parse goes on from the first part's end until it meets an MCU start of a later part, whose
        // parse from there on is then the true one; a part it passes without meeting one is parsed again.
        segments.push_back({&runs[0], 0, runs[0].size()});
        std::size_t count = runs[0].size();
        std::uint64_t pos = runs[0].end;
        bool dataEnded = ends[0] == Step::DataEnd;
        for (int q = 1; q < parts && count < total && !dataEnded; ++q) {
            Run& run = runs[std::size_t(q)];
            Run& bridge = bridges[std::size_t(q)];
            std::size_t j = 0;
            bool met = false;
            while (count < total) {
                while (j < run.size() && run.starts[j] < pos) ++j;
                if (j < run.size() && run.starts[j] == pos) {
                    met = true;
                    break;
                }
                if (j == run.size()) break;  // nothing of this part lies ahead: the next part's may
                const Step step = ParseMcus(parser, pos, parser.bits, bridge.size() + 1, bridge);
                if (step == Step::BadCode) return QImage();
                if (step == Step::DataEnd) {
                    dataEnded = true;
                    break;
                }
                ++count;
            }
            if (!bridge.starts.empty()) segments.push_back({&bridge, 0, bridge.size()});
            if (!met) continue;
            const std::size_t take = std::min(run.size() - j, total - count);
            segments.push_back({&run, j, j + take});
            count += take;
            pos = run.EndOf(j + take - 1);
            if (j + take < run.size())
                return QImage();  // whole MCUs after the last: libjpeg judges such data
            dataEnded = ends[std::size_t(q)] == Step::DataEnd;
        }
        // The last stretch, when no later part was met.
        if (count < total && !dataEnded) {
            if (ParseMcus(parser, pos, parser.bits, total - count, tail) == Step::BadCode) return QImage();
            count += tail.size();
            if (!tail.starts.empty()) segments.push_back({&tail, 0, tail.size()});
        }
        if (count < total) return NotAPicture();      // the data ends early
        if (parser.bits - pos >= 8) return QImage();  // bytes after the last block
    }

    // Each component's plane: one byte a block, or two by two of them for a reduced block.
    struct Plane {
        std::vector<std::uint8_t> values;
        std::int64_t stride;
    };
    std::vector<Plane> planes(comps);
    for (std::size_t c = 0; c < comps; ++c) {
        const int s = scales[c];
        const std::int64_t w = (comps == 1 ? perRow : perRow * scan.components[c].h) * s;
        const std::int64_t h = (comps == 1 ? rows : rows * scan.components[c].v) * s;
        planes[c].values.resize(std::size_t(w * h));
        planes[c].stride = w;
    }
    const std::size_t reducedPerMcu = parser.ReducedBlocks(), perMcu = blocks.size();
    // The DC predictions, in order: each difference becomes its block's DC, of which libjpeg keeps 16 bits.
    std::array<std::int32_t, 3> predicted{};
    std::vector<std::size_t> firstMcu;  // each segment's first MCU in the picture
    std::size_t mcus = 0;
    for (const Segment& segment : segments) {
        firstMcu.push_back(mcus);
        std::int16_t* dc = segment.run->dcs.data() + segment.from * perMcu;
        for (std::size_t i = segment.from; i < segment.to; ++i, ++mcus) {
            if (restarts && mcus % std::size_t(scan.restartInterval) == 0) predicted = {};
            for (std::size_t b = 0; b < perMcu; ++b, ++dc) {
                auto& p = predicted[std::size_t(blocks[b].component)];
                p = std::int32_t(std::uint32_t(p) + std::uint32_t(*dc));
                *dc = std::int16_t(p);
            }
        }
    }
    // The blocks into the planes, in bands of MCUs on the pool.
    const Result<void> placed = ParallelFor(pool, parts, [&](int part) {
        const std::size_t from = total * std::size_t(part) / std::size_t(parts);
        const std::size_t to = total * (std::size_t(part) + 1) / std::size_t(parts);
        std::size_t k =
            std::size_t(std::upper_bound(firstMcu.begin(), firstMcu.end(), from) - firstMcu.begin()) - 1;
        for (std::size_t mcu = from; mcu < to; ++mcu) {
            while (mcu >= firstMcu[k] + segments[k].to - segments[k].from) ++k;
            const Segment& segment = segments[k];
            const std::size_t i = segment.from + (mcu - firstMcu[k]);
            const std::int64_t mx = std::int64_t(mcu) % perRow, my = std::int64_t(mcu) / perRow;
            const std::int16_t* dcs = segment.run->dcs.data() + i * perMcu;
            const ReducedBlock* reduced = segment.run->reduced.data() + i * reducedPerMcu;
            for (std::size_t b = 0; b < perMcu; ++b) {
                const Block& block = blocks[b];
                const auto c = std::size_t(block.component);
                Plane& plane = planes[c];
                const int h = comps == 1 ? 1 : scan.components[c].h,
                          v = comps == 1 ? 1 : scan.components[c].v;
                const int dc = dcs[b] * steps[c][0];
                const std::int64_t x = mx * h + block.dx, y = my * v + block.dy;
                if (!parser.reducedOf[b]) {
                    plane.values[std::size_t(y * plane.stride + x)] = RangeLimit((dc + 4) >> 3);
                    continue;
                }
                std::uint8_t out[2][2];
                FinishReduced(*reduced++, dc, out);
                std::uint8_t* at = plane.values.data() + 2 * y * plane.stride + 2 * x;
                at[0] = out[0][0], at[1] = out[0][1];
                at[plane.stride] = out[1][0], at[plane.stride + 1] = out[1][1];
            }
        }
    });
    if (!placed) return NoMemory();

    const int outW = (width + 7) / 8, outH = (height + 7) / 8;
    QImage image(outW, outH, QImage::Format_RGB32);
    if (image.isNull()) return NoMemory();
    const Result<void> converted = ParallelFor(pool, parts, [&](int part) {
        for (int y = outH * part / parts; y < outH * (part + 1) / parts; ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            const std::uint8_t* luma =
                planes[0].values.data() +
                std::int64_t(y * scan.components[0].v * scales[0] / maxV) * planes[0].stride;
            if (comps == 1) {
                for (int x = 0; x < outW; ++x) line[x] = qRgb(luma[x], luma[x], luma[x]);
                continue;
            }
            const std::uint8_t* cb =
                planes[1].values.data() +
                std::int64_t(y * scan.components[1].v * scales[1] / maxV) * planes[1].stride;
            const std::uint8_t* cr =
                planes[2].values.data() +
                std::int64_t(y * scan.components[2].v * scales[2] / maxV) * planes[2].stride;
            const int hy = scan.components[0].h * scales[0], hb = scan.components[1].h * scales[1],
                      hr = scan.components[2].h * scales[2];
            for (int x = 0; x < outW; ++x) {
                // libjpeg's YCbCr to RGB, in its 16-bit fixed point.
                const int yv = luma[x * hy / maxH], b = cb[x * hb / maxH] - 128, r = cr[x * hr / maxH] - 128;
                constexpr int kHalf = 1 << 15;
                const int red = yv + ((91881 * r + kHalf) >> 16);
                const int green = yv + ((-22554 * b + kHalf - 46802 * r) >> 16);
                const int blue = yv + ((116130 * b + kHalf) >> 16);
                line[x] = qRgb(std::clamp(red, 0, 255), std::clamp(green, 0, 255), std::clamp(blue, 0, 255));
            }
        }
    });
    if (!converted) return NoMemory();
    return image;
}

}  // namespace

Result<QImage> DecodeJpegDc(const JpegDcScan& scan, int parts, QThreadPool* pool) {
    try {
        return Decode(scan, parts, pool);
    } catch (const std::bad_alloc&) {
        return NoMemory();
    }
}

}  // namespace core
