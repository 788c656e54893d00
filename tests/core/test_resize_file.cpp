// ResizeFile: a large JPEG result, encoded as the filter finishes its rows, is the same file as the whole
// result shrunk and then encoded; an original already smaller than its result is written as it is, unless it
// is of another size, format or coding, or carries what a result never does.

#include "core/encode_picture.h"
#include "core/formats.h"
#include "core/picture.h"
#include "core/resize_file.h"
#include "core/shrink.h"
#include "core/unique_fd.h"
#include "tests/support/TestPictures.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <QFile>
#include <QTemporaryDir>

TEST(ResizeFile, ALargeJpegIsTheWholeResultEncoded) {
    QTemporaryDir dir;
    // 4.5 megapixels out: the streamed path.
    const QString path = testpics::Save(testpics::Gradient(4000, 2000), dir.filePath("big.jpg"));
    const core::UniqueFd folder(
        ::open(QFile::encodeName(dir.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    ASSERT_TRUE(folder.valid());
    const core::Result<core::Resized> done = core::ResizeFile(
        QFile::encodeName(path), folder.get(), "out.jpg", {QSize(3000, 3000), 85, false, nullptr}, {});
    ASSERT_TRUE(done.ok()) << done.error().detail.toStdString();
    ASSERT_EQ(done->to, QSize(3000, 1500));

    const core::Result<core::Picture> picture = core::LoadPicture(path);
    ASSERT_TRUE(picture.ok());
    const core::Result<QImage> whole = core::ShrinkPicture(*picture, QSize(3000, 1500));
    ASSERT_TRUE(whole.ok());
    const core::Result<QByteArray> expected = core::EncodePicture(*whole, {core::OutputFormat::Jpeg, 85, false});
    ASSERT_TRUE(expected.ok());
    QFile written(dir.filePath("out.jpg"));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), *expected);
}

namespace {

const QImage kNoise = testpics::Noise(160, 120);

QByteArray Jpeg() { return *core::EncodePicture(kNoise, {core::OutputFormat::Jpeg, 40, false}); }
QByteArray Webp() { return *core::EncodePicture(kNoise, {core::OutputFormat::Webp, 30, false}); }
// An APP1 segment with an Exif block right after the start of image.
QByteArray JpegWithExif() {
    return Jpeg().insert(2, QByteArray("\xFF\xE1\0\x16"
                                       "Exif\0\0II*\0\x08\0\0\0\0\0\0\0\0\0",
                                       24));
}
// A PNG at zlib's best compression, with a text chunk (its checksum left out) before its end.
QByteArray PngWithText() {
    QByteArray png = testpics::Encode(testpics::Gradient(160, 120), "PNG", 0);
    return png.insert(png.size() - 12, QByteArray("\0\0\0\x0CtEXtTitle\0a logo\0\0\0\0", 24));
}

struct OriginalCase {
    const char* name;
    QByteArray (*original)();
    const char* resultName;
    int box;
    bool lossless;
    qint64 maxBytes;
    bool kept;
};

const OriginalCase kOriginalCases[] = {
    {"JpegInsideTheBox", Jpeg, "r.jpg", 400, false, 0, true},
    {"JpegShrunk", Jpeg, "r.jpg", 100, false, 0, false},
    {"JpegAsPng", Jpeg, "r.png", 400, false, 0, false},
    {"JpegWithExif", JpegWithExif, "r.jpg", 400, false, 0, false},
    {"JpegFittingTheSizeAsked", Jpeg, "r.jpg", 400, false, 1 << 20, true},
    {"JpegOverTheSizeAsked", Jpeg, "r.jpg", 400, false, 4000, false},
    {"PngWithText", PngWithText, "r.png", 400, false, 0, true},
    {"LossyWebp", Webp, "r.webp", 400, false, 0, true},
    {"LossyWebpAskedLossless", Webp, "r.webp", 400, true, 0, false},
};

class OriginalKept : public ::testing::TestWithParam<OriginalCase> {};

}  // namespace

TEST_P(OriginalKept, OnlyWhenItMayStandForTheResult) {
    const OriginalCase& c = GetParam();
    QTemporaryDir dir;
    const QByteArray original = c.original();
    const QString path = testpics::WriteBytes(original, dir.filePath("original"));
    const int folder = ::open(QFile::encodeName(dir.path()).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(folder, 0);
    const core::OutputFormat format = core::FormatOfName(QString::fromLatin1(c.resultName));
    const core::Result<core::Resized> done =
        core::ResizeFile(QFile::encodeName(path), folder, c.resultName,
                         {QSize(c.box, c.box), 95, false, nullptr, c.maxBytes, format, c.lossless}, {});
    ::close(folder);
    ASSERT_TRUE(done.ok()) << done.error().detail.toStdString();
    EXPECT_EQ(done->keptOriginal, c.kept) << done->bytes << " bytes from " << original.size();
    QFile written(dir.filePath(QString::fromLatin1(c.resultName)));
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray result = written.readAll();
    if (c.kept) {
        EXPECT_TRUE(result.size() <= original.size() && !result.contains("tEXt")) << "a PNG's text goes";
    } else {
        EXPECT_NE(result, original);
    }
    EXPECT_EQ(done->note.contains(QStringLiteral("the original is smaller")), c.kept);
}

INSTANTIATE_TEST_SUITE_P(Cases, OriginalKept, ::testing::ValuesIn(kOriginalCases),
                         [](const auto& info) { return std::string(info.param.name); });
