// The eighth-scale decode from DC coefficients gives libjpeg's eighth-scale pixels and libjpeg's verdict on
// damaged data, in however many parts its parse is split.

#include "core/jpeg_dc_decoder.h"
#include "core/jpeg_encoder.h"
#include "core/picture_decoder.h"
#include "tests/support/TestPictures.h"

#include <gtest/gtest.h>
#include <jpeglib.h>
#include <turbojpeg.h>
#include <cstdlib>
#include <optional>
#include <variant>

using namespace core;

namespace {

// libjpeg's own eighth-scale decode as the picture decoder sets it up (plain chroma upsampling), any
// warning counted as a failure.
std::optional<QImage> LibjpegEighth(const QByteArray& file) {
    tjhandle handle = tjInitDecompress();
    int width = 0, height = 0, sampling = 0, space = 0;
    auto* bytes = reinterpret_cast<unsigned char*>(const_cast<char*>(file.constData()));
    std::optional<QImage> image;
    if (tjDecompressHeader3(handle, bytes, file.size(), &width, &height, &sampling, &space) == 0) {
        QImage out((width + 7) / 8, (height + 7) / 8, QImage::Format_RGB32);
        if (tjDecompress2(handle, bytes, file.size(), out.bits(), out.width(), int(out.bytesPerLine()),
                          out.height(), TJPF_BGRX, TJFLAG_FASTUPSAMPLE | TJFLAG_STOPONWARNING) == 0)
            image = out;
    }
    tjDestroy(handle);
    return image;
}

// Ours through the scan reader, or its error's cause (none for the null image that leaves it to libjpeg).
std::variant<QImage, std::optional<Cause>> Ours(const QByteArray& file, int parts) {
    const Result<std::optional<JpegDcScan>> scan = ReadJpegDcScan(file);
    if (!scan) return scan.error().cause;
    if (!*scan) return std::nullopt;
    const Result<QImage> image = DecodeJpegDc(**scan, parts);
    if (!image) return image.error().cause;
    if (image->isNull()) return std::nullopt;
    return *image;
}

QImage Grey(const QImage& image) {
    return image.convertToFormat(QImage::Format_Grayscale8).convertToFormat(QImage::Format_RGB32);
}

QByteArray Jpeg(const QImage& image, ChromaSampling sampling, int quality = 92) {
    return *EncodeJpeg(PixelRows::Of(image), quality, sampling);
}

// Written by libjpeg with a restart marker every interval MCUs; luma sampled h x v (grey when 0).
QByteArray WithRestarts(const QImage& picture, int interval, int h, int v) {
    jpeg_compress_struct c{};
    jpeg_error_mgr error{};
    c.err = jpeg_std_error(&error);
    jpeg_create_compress(&c);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&c, &out, &size);
    const bool grey = h == 0;
    const QImage rows = picture.convertToFormat(grey ? QImage::Format_Grayscale8 : QImage::Format_RGB888);
    c.image_width = JDIMENSION(rows.width());
    c.image_height = JDIMENSION(rows.height());
    c.input_components = grey ? 1 : 3;
    c.in_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&c);
    jpeg_set_quality(&c, 90, TRUE);
    c.restart_interval = unsigned(interval);
    if (!grey) {
        c.comp_info[0].h_samp_factor = h;
        c.comp_info[0].v_samp_factor = v;
    }
    jpeg_start_compress(&c, TRUE);
    while (c.next_scanline < c.image_height) {
        auto* row = const_cast<JSAMPLE*>(rows.constScanLine(int(c.next_scanline)));
        jpeg_write_scanlines(&c, &row, 1);
    }
    jpeg_finish_compress(&c);
    jpeg_destroy_compress(&c);
    const QByteArray file(reinterpret_cast<const char*>(out), qsizetype(size));
    std::free(out);
    return file;
}

struct Picture {
    const char* name;
    QByteArray file;
    bool exact;  // chroma not halved both ways, or none: libjpeg's pixels to the bit
};

std::vector<Picture> Pictures() {
    return {
        {"noise 4:4:4, optimised tables", Jpeg(testpics::Noise(640, 480), ChromaSampling::Full), true},
        {"noise 4:2:2, odd size", Jpeg(testpics::Noise(333, 250, 2), ChromaSampling::HalfAcross), true},
        {"grey noise 4:2:0", Jpeg(Grey(testpics::Noise(641, 479, 3)), ChromaSampling::HalfBoth), true},
        {"colour noise 4:2:0", Jpeg(testpics::Noise(400, 300, 4), ChromaSampling::HalfBoth), true},
        {"gradient, Qt's standard tables", testpics::Encode(testpics::Gradient(500, 300), "JPG", 75), true},
        {"one component",
         testpics::Encode(testpics::Noise(257, 129, 5).convertToFormat(QImage::Format_Grayscale8), "JPG", 90),
         true},
        {"1 x 1", Jpeg(testpics::Noise(1, 1, 6), ChromaSampling::HalfBoth), true},
        {"9 x 7", Jpeg(testpics::Noise(9, 7, 7), ChromaSampling::Full), true},
        {"4:2:0, a restart every MCU", WithRestarts(testpics::Noise(400, 300, 9), 1, 2, 2), true},
        {"4:2:0, every 7 MCUs, odd size", WithRestarts(testpics::Noise(401, 299, 10), 7, 2, 2), true},
        {"4:2:0, every MCU row", WithRestarts(testpics::Noise(400, 300, 11), 25, 2, 2), true},
        {"4:2:2, every 3 MCUs", WithRestarts(testpics::Noise(333, 250, 12), 3, 2, 1), true},
        {"4:4:4, every 5 MCUs", WithRestarts(testpics::Noise(333, 250, 13), 5, 1, 1), true},
        {"grey, every 4 blocks", WithRestarts(testpics::Noise(257, 129, 14), 4, 0, 0), true},
        {"one interval longer than the picture", WithRestarts(testpics::Noise(64, 48, 15), 1000, 2, 2), true},
    };
}

TEST(JpegDcDecoder, GivesLibjpegsEighthScaleInAnyNumberOfParts) {
    for (const Picture& picture : Pictures()) {
        const std::optional<QImage> reference = LibjpegEighth(picture.file);
        ASSERT_TRUE(reference) << picture.name;
        QImage first;
        for (const int parts : {1, 2, 3, 8, 16}) {
            const auto ours = Ours(picture.file, parts);
            ASSERT_TRUE(std::holds_alternative<QImage>(ours)) << picture.name << ", parts " << parts;
            const QImage& image = std::get<QImage>(ours);
            if (first.isNull()) first = image;
            EXPECT_EQ(image, first) << picture.name << ", parts " << parts;
        }
        if (picture.exact)
            EXPECT_EQ(first, *reference) << picture.name;
        else  // chroma from DC alone
            EXPECT_GT(testpics::Psnr(first, *reference), 30) << picture.name;
    }
}

TEST(JpegDcDecoder, JudgesDamagedDataAsLibjpegDoes) {
    const QByteArray whole = Jpeg(testpics::Noise(640, 480, 8), ChromaSampling::Full);
    const qsizetype data =
        whole.indexOf(QByteArray("\xFF\xDA", 2)) + 14;  // after a three-component scan header
    struct Damage {
        const char* name;
        QByteArray file;
    };
    std::vector<Damage> damages;
    // With restart markers: the third one's number, place and neighbours.
    const QByteArray restarts = WithRestarts(testpics::Noise(640, 480, 16), 4, 2, 2);
    const qsizetype third = restarts.indexOf(QByteArray("\xFF\xD2", 2));
    QByteArray edited = restarts;
    edited[third + 1] = char(0xD5);
    damages.push_back({"restart marker out of order", edited});
    damages.push_back({"restart marker missing", QByteArray(restarts).remove(third, 2)});
    damages.push_back(
        {"restart marker twice", QByteArray(restarts).insert(third, QByteArray("\xFF\xD2", 2))});
    damages.push_back({"a byte before a restart marker", QByteArray(restarts).insert(third, char(0x37))});
    damages.push_back({"restart marker after the last interval",
                       QByteArray(restarts).insert(restarts.size() - 2, QByteArray("\xFF\xD0", 2))});
    damages.push_back({"restarts cut short", restarts.first(third + 40) + QByteArray("\xFF\xD9", 2)});
    edited = restarts;
    edited[third - 20] = char(edited[third - 20] ^ 0x5A);
    damages.push_back({"restarts with a flipped byte", edited});
    for (const double at : {0.1, 0.5, 0.97}) {
        const auto cut = data + qsizetype(at * double(whole.size() - data));
        damages.push_back({"cut", whole.first(cut) + QByteArray("\xFF\xD9", 2)});
        QByteArray flipped = whole;
        flipped[cut] = char(flipped[cut] ^ 0x5A);
        damages.push_back({"flipped", flipped});
        QByteArray marker = whole;
        marker.insert(cut, QByteArray("\xFF\xD0", 2));  // a restart marker where none belongs
        damages.push_back({"marker", marker});
    }
    damages.push_back(
        {"bytes after the last block", whole.first(whole.size() - 2) + QByteArray("\x12\x34\xFF\xD9", 4)});
    damages.push_back({"no end marker", whole.first(whole.size() - 2)});
    for (const Damage& damage : damages) {
        const std::optional<QImage> reference = LibjpegEighth(damage.file);
        for (const int parts : {1, 4}) {
            const auto ours = Ours(damage.file, parts);
            if (const auto* error = std::get_if<std::optional<Cause>>(&ours); error && *error) {
                EXPECT_EQ(**error, Cause::Damaged) << damage.name;
                EXPECT_FALSE(reference) << damage.name << ": libjpeg reads it";
            } else if (!error) {
                ASSERT_TRUE(reference) << damage.name << ": libjpeg refuses it";
                EXPECT_EQ(std::get<QImage>(ours), *reference) << damage.name;
            }
        }
        // Through the picture decoder, whichever of the two reads it.
        const Result<std::unique_ptr<PictureDecoder>> decoder = OpenJpegDecoder(damage.file);
        ASSERT_TRUE(decoder && *decoder) << damage.name;
        const Result<QImage> small = (*decoder)->Decode(QSize(80, 60));
        EXPECT_EQ(bool(small), bool(reference)) << damage.name;
        if (small && reference) {
            EXPECT_EQ(*small, *reference) << damage.name;
        }
    }
}

}  // namespace
