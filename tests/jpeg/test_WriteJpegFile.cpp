// The JPEG writer from buffer to file: how it describes the buffer to the library, that the file comes
// back upright, and the numbers and texts its failures carry. How the file is put on disk is the safe
// writer's, tested with the engine.
#include "jpeg/mIntelJPEGLibrary.h"

#include "image/cDIBSection.h"
#include "platform/ijl.h"
#include "platform/runtime.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPictures.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using platform::Picture;
using platform::RuntimeError;

namespace {

class WriteJpegFileTest : public ::testing::Test {
protected:
    QTemporaryDir dir_;

    QString Path(const QString& name) const { return dir_.filePath(name); }

    static void Fill(cDIBSection& dib, const QImage& picture) {
        dib.CreateFromPicture(Picture::FromImage(picture));
        ASSERT_EQ(dib.Width(), picture.width());
    }

    // "<number> <description>" of the error the writer raised; empty when it saved.
    static std::string Failure(cDIBSection& dib, const QString& path) {
        try {
            mIntelJPEGLibrary::WriteJpegFile(dib, path, 90);
        } catch (const RuntimeError& e) {
            return std::to_string(e.number()) + ' ' + e.description().toStdString();
        }
        return {};
    }
};

TEST_F(WriteJpegFileTest, APictureComesBackUprightAtItsQuality) {
    const QImage picture = testpics::Gradient(160, 120);
    cDIBSection dib;
    Fill(dib, picture);
    ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("Yeni Klasör ğüşıöç")));
    const QString path = Path(QStringLiteral("Yeni Klasör ğüşıöç/Küçük Resim İŞĞ.jpg"));
    ASSERT_TRUE(mIntelJPEGLibrary::WriteJpegFile(dib, path, 95));
    const QImage back = testpics::DecodeJpeg(path);
    ASSERT_EQ(back.size(), picture.size());
    EXPECT_GT(testpics::Psnr(picture, back), 40.0);
    // Upside down would make the gradient's top row (green 0) come back bright.
    EXPECT_LT(qGreen(back.pixel(80, 0)), 16);
    EXPECT_GT(qGreen(back.pixel(80, 119)), 239);
    EXPECT_EQ(testpics::JpegSubsampling(path), 0 /* TJSAMP_444 */);

    // An existing file is replaced through the safe writer: its mode stays, nothing is left beside it.
    Fill(dib, testpics::Gradient(30, 20));
    ::chmod(QFile::encodeName(path).constData(), 0640);
    ASSERT_TRUE(mIntelJPEGLibrary::WriteJpegFile(dib, path, 90));
    EXPECT_EQ(testpics::DecodeJpeg(path).size(), QSize(30, 20));
    EXPECT_EQ(QFileInfo(path).permissions() & (QFile::ReadGroup | QFile::WriteGroup), QFile::ReadGroup);
    EXPECT_EQ(testfiles::FilesIn(QFileInfo(path).path()).size(), 1);
}

TEST_F(WriteJpegFileTest, NarrowPicturesDescribeTheirPadBytesAndTheQualityGoesAsGiven) {
    std::vector<platform::JPEG_CORE_PROPERTIES> seen;
    auto previous = platform::SetIjlWriteObserver([&](const auto& p) { seen.push_back(p); });
    const int pads[] = {1, 2, 3, 0};
    for (int width = 1; width <= 4; ++width) {
        const QImage picture = testpics::Gradient(width, 9);
        cDIBSection dib;
        Fill(dib, picture);
        const QString path = Path(QStringLiteral("w%1.jpg").arg(width));
        ASSERT_TRUE(mIntelJPEGLibrary::WriteJpegFile(dib, path, 150 - width * 50));
        const platform::JPEG_CORE_PROPERTIES& p = seen.back();
        EXPECT_EQ(p.DIBPadBytes, pads[width - 1]) << "width " << width;
        EXPECT_EQ(p.DIBWidth, width);
        EXPECT_EQ(p.DIBHeight, -9);
        EXPECT_EQ(p.JPGWidth, width);
        EXPECT_EQ(p.JPGHeight, 9);
        EXPECT_EQ(p.DIBBytes, dib.DIBSectionBitsPtr());
        EXPECT_EQ(p.jquality, 150 - width * 50);  // unchecked here; the library clamps it
        const QImage back = testpics::DecodeJpeg(path);
        ASSERT_EQ(back.size(), picture.size()) << "width " << width;
    }
    platform::SetIjlWriteObserver(previous);
}

// The library's refusals are error 26001 from the module, a refusal before writing the runtime's
// file-access error, a disk that fills up half-way the library's write failure, as they always were.
TEST_F(WriteJpegFileTest, FailuresCarryTheirNumbersAndTexts) {
    const QByteArray original = testfiles::WriteBytes(Path("keep.jpg"), "the user's own bytes");
    cDIBSection empty;
    EXPECT_EQ(Failure(empty, Path("keep.jpg")),
              "26001 " + QStringLiteral("Failed to save to JPG %1").arg(platform::IJL_INVALID_DIB_SIZE).toStdString());
    try {
        mIntelJPEGLibrary::WriteJpegFile(empty, Path("keep.jpg"), 90);
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.source(), platform::ExeName() + ".mIntelJPEGLibrary");
    }

    cDIBSection dib;
    Fill(dib, testpics::Noise(256, 256));
    ASSERT_TRUE(QDir(dir_.path()).mkdir("folder.jpg"));
    EXPECT_EQ(Failure(dib, Path("folder.jpg")), "75 Path/File access error");
    const testchild::Outcome full = testchild::RunInChild(
        [&](std::string& report) {
            report = Failure(dib, Path("keep.jpg"));
            return 0;
        },
        {.fileSizeLimit = 1000});
    EXPECT_EQ(full.report,
              "26001 " + QStringLiteral("Failed to save to JPG %1").arg(platform::IJL_FILE_WRITE_ERROR).toStdString());
    EXPECT_EQ(testfiles::ReadBytes(Path("keep.jpg")), original);
    EXPECT_EQ(testfiles::FilesIn(dir_.path()), QStringList{"keep.jpg"});
}

}  // namespace
