// The memory a job will need, from the header: a JPEG shrunk as it decodes needs little beyond its
// file, a progressive one its coefficients too, a PNG its rows unless interlaced, another format its whole
// picture; an unreadable file counts as the whole decode budget. The encoder's own memory counts too, and a
// job over 1 GB is refused.

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
};

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
    const std::int64_t need = core::ResizeMemory(QFile::encodeName(path), QSize(400, 400), {}) - bytes.size();
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
                   core::kDecodeMemoryBudget}),
    [](const ::testing::TestParamInfo<MemoryCase>& info) {
        return QFileInfo(QString::fromLatin1(info.param.name)).baseName().toStdString();
    });

namespace {

// A baseline JPEG's headers claiming width x height, without picture data: all the estimate reads.
QByteArray JpegHead(int width, int height) {
    QByteArray jpeg = testpics::TruncatedJpeg(16, 16);
    const qsizetype sof = jpeg.indexOf("\xFF\xC0");
    jpeg[sof + 5] = char(height >> 8);
    jpeg[sof + 6] = char(height);
    jpeg[sof + 7] = char(width >> 8);
    jpeg[sof + 8] = char(width);
    return jpeg;
}

struct EncoderCase {
    const char* name;
    int width, height;
    core::EncodeChoice encoding;
    std::int64_t atLeast, atMost;  // the whole job's
};

class JobMemory : public ::testing::TestWithParam<EncoderCase> {};

}  // namespace

// The bounds are what such jobs were measured to take at their peak, and the 1 GB a job may take.
TEST_P(JobMemory, CountsTheEncoder) {
    const EncoderCase& c = GetParam();
    QTemporaryDir dir;
    const QString path = testpics::WriteBytes(JpegHead(c.width, c.height), dir.filePath("head.jpg"));
    const std::int64_t need = core::ResizeMemory(QFile::encodeName(path), QSize(20000, 20000), c.encoding);
    EXPECT_GE(need, c.atLeast);
    EXPECT_LE(need, c.atMost);
    const core::Result<void> fits = core::FitsJobMemory(need);
    EXPECT_EQ(fits.ok(), need <= core::kMaxJobMemory);
    if (!fits) {
        EXPECT_EQ(fits.error().cause, core::Cause::TooCostly);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Encoders, JobMemory,
    ::testing::Values(
        EncoderCase{
            "PhotoAsJpeg", 6000, 4000, {core::OutputFormat::Jpeg, 90, false}, 200'000'000, 400'000'000},
        EncoderCase{
            "PhotoAsLossyWebp", 6000, 4000, {core::OutputFormat::Webp, 90, false}, 300'000'000, 600'000'000},
        EncoderCase{"PhotoAsLosslessWebp",
                    6000,
                    4000,
                    {core::OutputFormat::Webp, 90, true},
                    765'000'000,
                    core::kMaxJobMemory},
        EncoderCase{"HugeAsWebp",
                    11585,
                    11585,
                    {core::OutputFormat::Webp, 90, false},
                    1'790'000'000,
                    std::int64_t(4) << 30}),
    [](const auto& info) { return std::string(info.param.name); });
