// JPEG through libjpeg-turbo's scanline reading: DCT-scaled rows in the layout of Format_RGB32, either
// kept whole or shrunk as they arrive, with the decoder's own count of scans and its memory checked.

#include "core/exif_orientation.h"
#include "core/huge_page_image.h"
#include "core/jpeg_dc_decoder.h"
#include "core/icc_profile.h"
#include "core/lanczos_shrink.h"
#include "core/parallel.h"
#include "core/picture_decoder.h"

#include <QColorSpace>
#include <QThreadPool>
#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstdio>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

#include <jpeglib.h>
#include <jerror.h>

namespace core {

namespace {

enum class Failure { Damaged, Costly, TooLarge, NoMemory };

// One decompression, its failures carried out of libjpeg by a long jump back to Guarded.
struct Reader {
    jpeg_decompress_struct cinfo{};
    jpeg_error_mgr errors{};
    jpeg_progress_mgr progress{};
    std::jmp_buf jump{};
    Failure failure = Failure::Damaged;
    std::uint64_t pixels = 0;  // the stored picture's, for the scan check
    bool created = false;

    Reader() {
        cinfo.err = jpeg_std_error(&errors);
        errors.error_exit = [](j_common_ptr c) {
            Fail(c, c->err->msg_code == JERR_OUT_OF_MEMORY ? Failure::NoMemory : Failure::Damaged);
        };
        // A warning means corrupt data, which fails the picture at once rather than after a long decode.
        errors.emit_message = [](j_common_ptr c, int level) {
            if (level < 0) Fail(c, Failure::Damaged);
        };
        errors.output_message = [](j_common_ptr) {};
        progress.progress_monitor = &CheckScans;
        cinfo.client_data = this;
    }
    ~Reader() {
        if (created) jpeg_destroy_decompress(&cinfo);
    }
    Reader(const Reader&) = delete;
    Reader& operator=(const Reader&) = delete;

    [[noreturn]] static void Fail(j_common_ptr c, Failure failure) {
        auto* reader = static_cast<Reader*>(c->client_data);
        reader->failure = failure;
        std::longjmp(reader->jump, 1);
    }

    // Called as the input is read: each scan runs over the whole picture again, so the decoder's own count
    // of them is bounded, which no byte before a marker can hide.
    static void CheckScans(j_common_ptr c) {
        const auto* reader = static_cast<const Reader*>(c->client_data);
        const std::uint64_t scans = std::uint64_t(std::max(reader->cinfo.input_scan_number, 0));
        if (scans > std::uint64_t(kMaxJpegScans) ||
            (scans > 1 && scans * reader->pixels > std::uint64_t(kMaxJpegScanPixels)))
            Fail(c, Failure::Costly);
    }

    Error AsError() const {
        switch (failure) {
        case Failure::Costly:
            return {Cause::TooCostly,
                    QStringLiteral("%1 scans, too many for its size").arg(cinfo.input_scan_number)};
        case Failure::TooLarge:
            return {Cause::TooLarge,
                    QStringLiteral("needs more than %1 MB to decode").arg(kDecodeMemoryBudget >> 20)};
        case Failure::NoMemory:
            return NoMemory();
        case Failure::Damaged:
            break;
        }
        return NotAPicture();
    }
};

// Runs libjpeg calls; false when they failed. Only libjpeg calls and plain values belong in call: a failure
// jumps over its frames.
template <typename Call>
bool Guarded(Reader& reader, Call&& call) {
    if (setjmp(reader.jump) != 0) return false;
    call();
    return true;
}

// The whole-picture coefficient buffer that a progressive or multi-scan JPEG is decoded through.
std::uint64_t CoefficientBytes(j_decompress_ptr cinfo) {
    if (!jpeg_has_multiple_scans(cinfo)) return 0;
    std::uint64_t total = 0;
    for (int i = 0; i < cinfo->num_components; ++i) {
        const jpeg_component_info& c = cinfo->comp_info[i];
        const auto up = [](std::uint64_t n, std::uint64_t step) { return (n + step - 1) / step * step; };
        total += up(c.width_in_blocks, std::uint64_t(c.h_samp_factor)) *
                 up(c.height_in_blocks, std::uint64_t(c.v_samp_factor)) * sizeof(JBLOCK);
    }
    return total;
}

// Reads the header of bytes into reader; false on a failure.
bool ReadHeader(Reader& reader, QByteArrayView bytes) {
    return Guarded(reader, [&] {
        jpeg_create_decompress(&reader.cinfo);
        reader.created = true;
        reader.cinfo.progress = &reader.progress;
        // libjpeg's own ceiling for its large buffers, should one escape the check below.
        reader.cinfo.mem->max_memory_to_use = long(kDecodeMemoryBudget);
        jpeg_mem_src(&reader.cinfo, reinterpret_cast<const unsigned char*>(bytes.constData()),
                     static_cast<unsigned long>(bytes.size()));
        jpeg_read_header(&reader.cinfo, TRUE);
    });
}

// Only the power-of-two reductions: they have the decoder's fast paths.
constexpr std::array<int, 4> kScaleDenominators{8, 4, 2, 1};

class JpegDecoder final : public PictureDecoder {
public:
    JpegDecoder(QByteArray bytes, QSize stored, int orientation, QColorSpace space)
        : bytes_(std::move(bytes)),
          stored_(stored),
          orientation_(orientation),
          space_(std::move(space)),
          exif_(JpegExifBlock(bytes_).toByteArray()) {}

    QByteArray exif() const override { return exif_; }

    void DecodeOnce() override {
        std::lock_guard lock(bytesMutex_);
        once_ = true;
    }

    QSize size() const override {
        return OrientationSwapsAxes(orientation_) ? stored_.transposed() : stored_;
    }

    Result<QImage> Decode(QSize target) const override {
        if (OrientationSwapsAxes(orientation_)) target.transpose();
        Reader reader;
        QByteArray input = Input();
        const int denom = ScaleFor(target);
        if (denom == 8) {
            // Its parse runs on several threads; libjpeg's runs on one.
            const Result<std::optional<JpegDcScan>> scan = ReadJpegDcScan(input);
            if (!scan) return scan.error();
            if (*scan) {
                const Result<QImage> dc = DecodeJpegDc(**scan);
                if (!dc) return dc;
                if (!dc->isNull()) return ToSrgb(ApplyOrientation(*dc, orientation_), space_);
            }
        }
        if (!Start(reader, input, denom, denom > 1)) return reader.AsError();
        QImage image = HugePageImage(Output(reader), QImage::Format_RGB32);
        if (image.isNull()) return NoMemory();
        if (!ReadRows(reader, [&](int y, int) { return image.scanLine(y); })) return reader.AsError();
        input.clear();
        return ToSrgb(ApplyOrientation(image, orientation_), space_);
    }

    Result<QImage> Shrink(QSize size, QThreadPool* pool) const override {
        const QSize target = OrientationSwapsAxes(orientation_) ? size.transposed() : size;
        Reader reader;
        QByteArray input = Input();
        const int denom = ScaleFor(DecodeTarget(target, stored_));
        // Halved or more by the filter, the full-size rows hide plain chroma upsampling as well.
        const bool halved = stored_.width() >= 2 * target.width() && stored_.height() >= 2 * target.height();
        if (!Start(reader, input, denom, denom > 1 || halved)) return reader.AsError();
        const QSize decoded = Output(reader);
        if (!Covers(decoded, target)) return QImage();  // an enlargement: not for the stream
        QImage out = HugePageImage(target, QImage::Format_RGB32);
        if (out.isNull()) return NoMemory();
        if (decoded == target) {
            if (!ReadRows(reader, [&](int y, int) { return out.scanLine(y); })) return reader.AsError();
            return ApplyOrientation(ToSrgb(out, space_), orientation_);
        }
        const LanczosPlan plan(decoded, target);
        LanczosRows filter(plan, 0, target.height(), out.bits(), out.bytesPerLine(), false);
        if (!Stream(reader, input, filter, decoded.width(), pool, {})) return reader.AsError();
        return ApplyOrientation(out, orientation_);
    }

    Result<bool> ShrinkInto(QSize size, QThreadPool* pool, const RowSink& sink) const override {
        // Rows come in the file's order: a picture to be turned needs its whole result first.
        if (orientation_ > 1) return false;
        const int denom = ScaleFor(DecodeTarget(size, stored_));
        const QSize decoded((stored_.width() + denom - 1) / denom, (stored_.height() + denom - 1) / denom);
        if (decoded == size || !Covers(decoded, size)) return false;
        Reader reader;
        QByteArray input = Input();
        const bool halved = stored_.width() >= 2 * size.width() && stored_.height() >= 2 * size.height();
        if (!Start(reader, input, denom, denom > 1 || halved)) return reader.AsError();
        // Room for the whole result, of which only the rows not yet handed over are backed by memory: the
        // pages behind them go back to the system.
        QImage out = HugePageImage(size, QImage::Format_RGB32);
        if (out.isNull()) return NoMemory();
        const LanczosPlan plan(decoded, size);
        LanczosRows filter(plan, 0, size.height(), out.bits(), out.bytesPerLine(), false);
        int handed = 0;
        const std::uint8_t* released = out.constBits();
        Result<void> taken;
        const auto handOver = [&](int done) {
            taken = sink(QImage(out.constScanLine(handed), size.width(), done - handed, out.bytesPerLine(),
                                QImage::Format_RGB32));
            if (!taken) return false;
            handed = done;
            released = ReleasePages(released, out.constScanLine(handed - 1) + out.bytesPerLine());
            return true;
        };
        const bool streamed = Stream(reader, input, filter, decoded.width(), pool, handOver);
        if (!taken) return taken.error();
        if (!streamed) return reader.AsError();
        return true;
    }

private:
    static constexpr int kRowsAtOnce = 16;
    // A chunk on its way to the filter holds as many bytes as sixteen full-width rows of a 24-megapixel
    // picture: a reduced decode's narrower rows come more at a time, so the threads hand over less often.
    static constexpr qsizetype kChunkBytes = 16 * 6000 * 4;
    static constexpr int kMostRowsAtOnce = 128;
    // Result rows go to handOver this many at a time (the last ones fewer): the encoder then runs in long
    // stretches rather than between every chunk's filtering, which cost a tenth more CPU.
    static constexpr int kRowsHandedAtOnce = 64;

    // The smallest power-of-two reduction that covers target (stored orientation).
    int ScaleFor(QSize target) const {
        for (const int denom : kScaleDenominators) {
            const QSize scaled((stored_.width() + denom - 1) / denom, (stored_.height() + denom - 1) / denom);
            if (Covers(scaled, target)) return denom;
        }
        return 1;
    }

    static QSize Output(const Reader& reader) {
        return {int(reader.cinfo.output_width), int(reader.cinfo.output_height)};
    }

    // Reads the header again, checks what the decode will cost, and starts it at 1/denom of the size.
    // plainChroma: the rows are shrunk further, which hides the plain chroma upsampling that saves time.
    bool Start(Reader& reader, const QByteArray& input, int denom, bool plainChroma) const {
        reader.pixels = std::uint64_t(stored_.width()) * std::uint64_t(stored_.height());
        if (!ReadHeader(reader, input)) return false;
        if (CoefficientBytes(&reader.cinfo) > std::uint64_t(kDecodeMemoryBudget)) {
            reader.failure = Failure::TooLarge;
            return false;
        }
        return Guarded(reader, [&] {
            reader.cinfo.scale_num = 1;
            reader.cinfo.scale_denom = unsigned(denom);
            reader.cinfo.out_color_space = JCS_EXT_BGRX;
            reader.cinfo.do_fancy_upsampling = plainChroma ? FALSE : TRUE;
            reader.cinfo.dct_method = JDCT_ISLOW;
            jpeg_start_decompress(&reader.cinfo);
        });
    }

    // Decoded rows on their way to the filter.
    struct Chunk {
        std::unique_ptr<std::uint8_t[]> bytes;  // not cleared first: every row is decoded into
        int count = 0;
    };

    // Decodes every row into filter, brought into sRGB on the way. Two parts share the work: whichever is
    // free decodes the next chunk of rows while there is room, or filters the oldest decoded one, so one
    // part alone does it all (when the pool has no thread to spare) and two overlap decoding with
    // filtering. A few chunks at most are held. input, the file's bytes, is let go once its last row is read.
    // handOver, when given, is a third part of the work: it takes the result's rows finished before the row
    // it is given, a band of kRowsHandedAtOnce at a time and one call at a time, ahead of more filtering (so
    // that few wait in memory); false from it stops the stream.
    bool Stream(Reader& reader, QByteArray& input, LanczosRows& filter, int width, QThreadPool* pool,
                const std::function<bool(int)>& handOver) const {
        constexpr std::size_t kChunks = 4;
        const qsizetype stride = qsizetype(width) * 4;
        const int rowsAtOnce = int(std::clamp<qsizetype>(kChunkBytes / stride, kRowsAtOnce, kMostRowsAtOnce));
        std::vector<Chunk> chunks(kChunks);
        std::vector<Chunk*> spare;
        for (Chunk& chunk : chunks) {
            chunk.bytes =
                std::make_unique_for_overwrite<std::uint8_t[]>(std::size_t(stride) * std::size_t(rowsAtOnce));
            spare.push_back(&chunk);
        }
        std::deque<Chunk*> ready;
        std::mutex mutex;
        std::condition_variable changed;
        bool decoding = false, filtering = false, handing = false, finished = false, failed = false;
        int filtered = 0, handed = 0;  // result rows finished by the filter, and handed over
        const auto steps = [&] {
            std::unique_lock lock(mutex);
            while (!failed) {
                if (!decoding && !finished && !spare.empty()) {
                    Chunk* chunk = spare.back();
                    spare.pop_back();
                    decoding = true;
                    lock.unlock();
                    chunk->count = ReadSome(reader, rowsAtOnce,
                                            [&](int, int i) { return chunk->bytes.get() + stride * i; });
                    const bool last = chunk->count >= 0 && reader.cinfo.output_scanline >= reader.cinfo.output_height &&
                                      Guarded(reader, [&] { jpeg_finish_decompress(&reader.cinfo); });
                    if (last) input.clear();
                    lock.lock();
                    decoding = false;
                    // Or'ed: the other part may have failed meanwhile, in handing rows over.
                    failed = failed || chunk->count < 0 ||
                             (reader.cinfo.output_scanline >= reader.cinfo.output_height && !last);
                    finished = last;
                    ready.push_back(chunk);
                } else if (handOver && !handing && handed < filtered &&
                           (filtered - handed >= kRowsHandedAtOnce || (finished && ready.empty() && !filtering))) {
                    const int upTo = filtered;
                    handing = true;
                    lock.unlock();
                    const bool goOn = handOver(upTo);
                    lock.lock();
                    handing = false;
                    handed = upTo;
                    failed = failed || !goOn;
                } else if (!filtering && !ready.empty()) {
                    Chunk* chunk = ready.front();
                    ready.pop_front();
                    filtering = true;
                    lock.unlock();
                    const QImage rows = ToSrgb(QImage(chunk->bytes.get(), width, std::max(chunk->count, 1),
                                                      stride, QImage::Format_RGB32),
                                               space_);
                    for (int i = 0; i < chunk->count; ++i) filter.Push(rows.constScanLine(i));
                    lock.lock();
                    filtering = false;
                    filtered = filter.finished();
                    spare.push_back(chunk);
                } else if (finished && ready.empty()) {
                    break;
                } else {
                    changed.wait(lock);
                    continue;
                }
                changed.notify_all();
            }
            changed.notify_all();
        };
        // A part that runs out of memory mid-step would leave the other waiting for that step to end.
        const auto work = [&](int) {
            try {
                steps();
            } catch (...) {
                {
                    const std::lock_guard hold(mutex);
                    failed = true;
                }
                changed.notify_all();
                throw;
            }
        };
        const bool overlap = (pool ? pool : QThreadPool::globalInstance())->maxThreadCount() > 1;
        // A part that ran out of memory left the rows unfinished: the picture fails for that reason.
        if (!ParallelFor(pool, overlap ? 2 : 1, work)) {
            reader.failure = Failure::NoMemory;
            return false;
        }
        return !failed;
    }

    // Reads the next rows, up to most of them (kMostRowsAtOnce at most), the i-th of them into rowAt(y, i);
    // how many, or -1 on a fault.
    static int ReadSome(Reader& reader, int most, const std::function<std::uint8_t*(int, int)>& rowAt) {
        std::array<JSAMPROW, kMostRowsAtOnce> rows{};
        const int first = int(reader.cinfo.output_scanline);
        const int count =
            std::min<int>(std::min(most, kMostRowsAtOnce), int(reader.cinfo.output_height) - first);
        for (int i = 0; i < count; ++i) rows[std::size_t(i)] = rowAt(first + i, i);
        JDIMENSION read = 0;
        if (!Guarded(reader, [&] { read = jpeg_read_scanlines(&reader.cinfo, rows.data(), JDIMENSION(count)); }))
            return -1;
        return read == 0 ? -1 : int(read);
    }

    // Reads every row, row y into rowAt(y, i), then finishes the file: a fault anywhere fails it whole.
    static bool ReadRows(Reader& reader, const std::function<std::uint8_t*(int, int)>& rowAt) {
        while (reader.cinfo.output_scanline < reader.cinfo.output_height) {
            if (ReadSome(reader, kRowsAtOnce, rowAt) < 0) return false;
        }
        return Guarded(reader, [&] { jpeg_finish_decompress(&reader.cinfo); });
    }

    // The file's bytes for the next decode: the reader's copy once they are to be read only once.
    QByteArray Input() const {
        std::lock_guard lock(bytesMutex_);
        return once_ ? std::exchange(bytes_, QByteArray()) : bytes_;
    }

    mutable std::mutex bytesMutex_;
    mutable QByteArray bytes_;
    bool once_ = false;
    QSize stored_;
    int orientation_;
    QColorSpace space_;
    QByteArray exif_;
};

}  // namespace

Result<std::optional<JpegDcScan>> ReadJpegDcScan(QByteArrayView file) {
    Reader reader;
    if (!ReadHeader(reader, file)) return reader.AsError();
    const jpeg_decompress_struct& c = reader.cinfo;
    const bool colour = c.num_components == 3 && c.jpeg_color_space == JCS_YCbCr;
    const bool grey = c.num_components == 1 && c.jpeg_color_space == JCS_GRAYSCALE;
    if (c.progressive_mode || c.arith_code || c.data_precision != 8 || !(colour || grey) ||
        c.comps_in_scan != c.num_components || c.Ss != 0 || c.Se != 63 || c.Ah != 0 || c.Al != 0)
        return std::optional<JpegDcScan>();
    JpegDcScan scan;
    scan.size = QSize(int(c.image_width), int(c.image_height));
    scan.restartInterval = int(c.restart_interval);
    const auto copy = [](const JHUFF_TBL& from, JpegDcScan::HuffmanTable& to) {
        std::copy(std::begin(from.bits), std::end(from.bits), to.counts.begin());
        std::copy(std::begin(from.huffval), std::end(from.huffval), to.symbols.begin());
    };
    for (int i = 0; i < c.num_components; ++i) {
        const jpeg_component_info* info = c.cur_comp_info[i];
        // The header's table numbers are only checked when libjpeg starts decoding.
        const auto within = [](int number, int count) { return number >= 0 && number < count; };
        if (!within(info->dc_tbl_no, NUM_HUFF_TBLS) || !within(info->ac_tbl_no, NUM_HUFF_TBLS) ||
            !within(info->quant_tbl_no, NUM_QUANT_TBLS))
            return std::optional<JpegDcScan>();
        const JHUFF_TBL* dc = c.dc_huff_tbl_ptrs[info->dc_tbl_no];
        const JHUFF_TBL* ac = c.ac_huff_tbl_ptrs[info->ac_tbl_no];
        const JQUANT_TBL* quant = c.quant_tbl_ptrs[info->quant_tbl_no];
        // In the frame's order, so that the first is the luma; tables missing are libjpeg's to default or refuse.
        if (info != &c.comp_info[i] || !dc || !ac || !quant) return std::optional<JpegDcScan>();
        JpegDcScan::Component component;
        component.h = info->h_samp_factor;
        component.v = info->v_samp_factor;
        std::copy(std::begin(quant->quantval), std::end(quant->quantval), component.quant.begin());
        copy(*dc, component.dc);
        copy(*ac, component.ac);
        scan.components.push_back(component);
    }
    const auto* data = reinterpret_cast<const char*>(c.src->next_input_byte);
    scan.data = QByteArrayView(data, file.data() + file.size() - data);
    return std::optional<JpegDcScan>(std::move(scan));
}

Result<std::unique_ptr<PictureDecoder>> OpenJpegDecoder(QByteArray bytes) {
    Reader reader;
    if (!ReadHeader(reader, bytes)) return reader.AsError();
    const int width = int(reader.cinfo.image_width), height = int(reader.cinfo.image_height);
    if (width <= 0 || height <= 0) return NotAPicture();
    if (std::int64_t(width) * height > kMaxPicturePixels) return TooLarge();
    if (reader.cinfo.jpeg_color_space == JCS_CMYK || reader.cinfo.jpeg_color_space == JCS_YCCK)
        return std::unique_ptr<PictureDecoder>();
    const int orientation = JpegExifOrientation(bytes);
    QColorSpace space;
    if (const QByteArray icc = JpegIccProfile(bytes); !icc.isEmpty())
        space = QColorSpace::fromIccProfile(icc);
    return std::unique_ptr<PictureDecoder>(
        std::make_unique<JpegDecoder>(std::move(bytes), QSize(width, height), orientation, std::move(space)));
}

}  // namespace core
