// JPEG through libjpeg-turbo's scanline reading: DCT-scaled rows in the layout of Format_RGB32, either
// kept whole or shrunk as they arrive by the row pipeline, with the decoder's own count of scans and its
// memory checked.

#include "core/exif_orientation.h"
#include "core/huge_page_image.h"
#include "core/jpeg_dc_decoder.h"
#include "core/icc_profile.h"
#include "core/picture_decoder.h"
#include "core/row_pipeline.h"

#include <QColorSpace>
#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstdio>
#include <mutex>
#include <memory>
#include <optional>
#include <utility>

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

QSize Output(const Reader& reader) { return {int(reader.cinfo.output_width), int(reader.cinfo.output_height)}; }

// A started decode's rows, in the layout of Format_RGB32, for the row pipeline. input, the file's bytes, is
// let go once the last row is read.
class JpegRows final : public RowSource {
public:
    JpegRows(Reader& reader, QByteArray& input, const QColorSpace& space)
        : reader_(reader), input_(input), space_(space) {}

    QSize size() const override { return Output(reader_); }
    QColorSpace colorSpace() const override { return space_; }

    Result<int> Read(std::uint8_t* const* rows, int most) override {
        JDIMENSION read = 0;
        if (!Guarded(reader_, [&] {
                read = jpeg_read_scanlines(&reader_.cinfo, const_cast<JSAMPARRAY>(rows), JDIMENSION(most));
            }))
            return reader_.AsError();
        if (read == 0) return NotAPicture();
        return int(read);
    }

    // A fault anywhere, also after the last row, fails the picture whole.
    Result<void> Finish() override {
        if (!Guarded(reader_, [&] { jpeg_finish_decompress(&reader_.cinfo); })) return reader_.AsError();
        input_.clear();
        return {};
    }

private:
    Reader& reader_;
    QByteArray& input_;
    const QColorSpace& space_;
};

// Only the power-of-two reductions: they have the decoder's fast paths.
constexpr Reduction kDctScaling{true, 8};

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
        JpegRows rows(reader, input, space_);
        if (const Result<void> read = ReadAllRows(rows, image); !read) return read.error();
        return ApplyOrientation(image, orientation_);
    }

    Result<QImage> Shrink(QSize size, QThreadPool* pool) const override {
        const QSize target = OrientationSwapsAxes(orientation_) ? size.transposed() : size;
        Reader reader;
        QByteArray input = Input();
        const int denom = ScaleFor(DecodeTarget(target, stored_));
        // Halved or more by the filter, the full-size rows hide plain chroma upsampling as well.
        const bool halved = stored_.width() >= 2 * target.width() && stored_.height() >= 2 * target.height();
        if (!Start(reader, input, denom, denom > 1 || halved)) return reader.AsError();
        if (!Covers(Output(reader), target)) return QImage();  // an enlargement: not for the stream
        JpegRows rows(reader, input, space_);
        const Result<QImage> out = ShrinkRows(rows, target, pool);
        if (!out) return out;
        return ApplyOrientation(*out, orientation_);
    }

    Result<bool> ShrinkInto(QSize size, QThreadPool* pool, const RowSink& sink) const override {
        // Rows come in the file's order: a picture to be turned needs its whole result first.
        if (orientation_ > 1) return false;
        const auto [decoded, denom] = ReducedDecodeSize(stored_, DecodeTarget(size, stored_), kDctScaling);
        if (decoded == size || !Covers(decoded, size)) return false;
        Reader reader;
        QByteArray input = Input();
        const bool halved = stored_.width() >= 2 * size.width() && stored_.height() >= 2 * size.height();
        if (!Start(reader, input, denom, denom > 1 || halved)) return reader.AsError();
        JpegRows rows(reader, input, space_);
        if (const Result<void> done = ShrinkRowsInto(rows, size, pool, sink); !done) return done.error();
        return true;
    }

private:
    // The smallest power-of-two reduction that covers target (stored orientation).
    int ScaleFor(QSize target) const { return ReducedDecodeSize(stored_, target, kDctScaling).denominator; }

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
