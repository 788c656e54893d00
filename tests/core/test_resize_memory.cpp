// The memory a job will need, from the header: a JPEG shrunk as it decodes needs little beyond its
// file, a progressive one its coefficients too, another format its whole picture; an unreadable file
// counts as the whole decode budget.

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
    const std::int64_t need = core::ResizeMemory(QFile::encodeName(path), QSize(400, 400)) - bytes.size();
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
        MemoryCase{"whole.png", [] { return testpics::Encode(Picture(), "PNG"); }, 48'000'000, 52'000'000},
        MemoryCase{"text.jpg", [] { return QByteArray("not a picture"); }, core::kDecodeMemoryBudget - 20,
                   core::kDecodeMemoryBudget}),
    [](const ::testing::TestParamInfo<MemoryCase>& info) {
        return QFileInfo(QString::fromLatin1(info.param.name)).baseName().toStdString();
    });
