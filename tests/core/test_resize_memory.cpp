// The memory a job will need, from the header: a JPEG shrunk as it decodes needs little beyond its
// file, a progressive one its coefficients too, a PNG its rows unless interlaced, another format its whole
// picture; an unreadable file counts as the whole decode budget. The encoder's own memory counts too.

#include "core/picture_decoder.h"
#include "core/resize_memory.h"
#include "tests/support/TestPictures.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

namespace {

struct MemoryCase {
    const char* name;
    QByteArray (*bytes)();
    std::int64_t atLeast, atMost;  // beyond the file's own bytes
    core::EncodeChoice encoding{};
    QSize box{400, 400};
};

// A baseline JPEG's headers claiming width x height, without picture data: all the estimate reads.
QByteArray JpegHead(int width, int height) {
    QByteArray jpeg = testpics::TruncatedJpeg(16, 16);
    const qsizetype sof = jpeg.indexOf("\xFF\xC0");
    for (const auto& [at, side] : {std::pair{5, height}, std::pair{7, width}}) {
        jpeg[sof + at] = char(side >> 8);
        jpeg[sof + at + 1] = char(side);
    }
    return jpeg;
}

const QImage& Picture() {
    static const QImage picture = testpics::Gradient(3000, 2000);
    return picture;
}

class ResizeMemory : public ::testing::TestWithParam<MemoryCase> {};

}  // namespace

TEST_P(ResizeMemory, FollowsWhatTheDecoderHolds) {
    QTemporaryDir dir;
    const QByteArray bytes = GetParam().bytes();
    const QString path = testpics::WriteBytes(bytes, dir.filePath(QString::fromLatin1(GetParam().name)));
    const std::int64_t need =
        core::ResizeMemory(QFile::encodeName(path), GetParam().box, GetParam().encoding) - bytes.size();
    EXPECT_GE(need, GetParam().atLeast);
    EXPECT_LE(need, GetParam().atMost);
}

INSTANTIATE_TEST_SUITE_P(
    Formats, ResizeMemory,
    ::testing::Values(
        // 3000 x 2000: rows and the result; no picture held whole (24 MB).
        MemoryCase{"plain.jpg", [] { return testpics::Encode(Picture(), "JPG", 90); }, 2'000'000, 8'000'000},
        MemoryCase{"progressive.jpg",
                   [] {
                       QByteArray jpeg = testpics::Encode(Picture(), "JPG", 90);
                       // Marked progressive in the frame alone: the estimate reads no further.
                       const qsizetype sof = jpeg.indexOf("\xFF\xC0");
                       jpeg[sof + 1] = char(0xC2);
                       return jpeg;
                   },
                   36'000'000, 44'000'000},
        MemoryCase{"rows.png", [] { return testpics::Encode(Picture(), "PNG"); }, 2'000'000, 8'000'000},
        MemoryCase{"interlaced.png",
                   [] {
                       QByteArray png = testpics::Encode(Picture(), "PNG");
                       png[28] = 1;  // the header's interlace method: the estimate reads no further
                       return png;
                   },
                   48'000'000, 52'000'000},
        MemoryCase{"text.jpg", [] { return QByteArray("not a picture"); }, core::kDecodeMemoryBudget - 20,
                   core::kDecodeMemoryBudget},
        // The encoder's memory, as measured at the peak: a 24-megapixel photo as lossless WebP takes 765 MB
        // and may run alone; a 11585 x 11585 picture as lossy WebP took 1.79 GB and is refused.
        MemoryCase{"photoAsJpeg.jpg",
                   [] { return JpegHead(6000, 4000); },
                   200'000'000,
                   400'000'000,
                   {core::OutputFormat::Jpeg, 90, false},
                   QSize(6000, 6000)},
        MemoryCase{"photoAsLossless.jpg",
                   [] { return JpegHead(6000, 4000); },
                   765'000'000,
                   core::kMaxJobMemory,
                   {core::OutputFormat::Webp, 90, true},
                   QSize(6000, 6000)},
        MemoryCase{"hugeAsWebp.jpg",
                   [] { return JpegHead(11585, 11585); },
                   1'790'000'000,
                   std::int64_t(4) << 30,
                   {core::OutputFormat::Webp, 90, false},
                   QSize(11585, 11585)}),
    [](const ::testing::TestParamInfo<MemoryCase>& info) {
        return QFileInfo(QString::fromLatin1(info.param.name)).baseName().toStdString();
    });
