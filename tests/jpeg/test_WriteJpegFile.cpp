// The JPEG writer from buffer to file: what it writes, and how it treats a file already at the path.
#include "jpeg/mIntelJPEGLibrary.h"

#include "image/cDIBSection.h"
#include "platform/files.h"
#include "platform/ijl.h"
#include "platform/runtime.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPictures.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>
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

    // Files in the folder other than the ones named: a temporary left behind shows up here.
    QStringList Others(const QStringList& expected) const {
        QStringList found = testfiles::FilesIn(dir_.path());
        for (const QString& name : expected) found.removeAll(name);
        return found;
    }

    // Runs the writer and returns the error it raised (number 0 when none).
    static RuntimeError Failure(cDIBSection& dib, const QString& path, int quality = 90) {
        try {
            mIntelJPEGLibrary::WriteJpegFile(dib, path, quality);
        } catch (const RuntimeError& e) {
            return e;
        }
        return RuntimeError(0, {}, {});
    }
};

TEST_F(WriteJpegFileTest, SmoothPictureComesBackCloseAndUpright) {
    const QImage picture = testpics::Gradient(160, 120);
    cDIBSection dib;
    Fill(dib, picture);
    const QString path = Path("out.jpg");
    ASSERT_TRUE(mIntelJPEGLibrary::WriteJpegFile(dib, path, 95));
    const QImage back = testpics::DecodeJpeg(path);
    ASSERT_EQ(back.size(), picture.size());
    EXPECT_GT(testpics::Psnr(picture, back), 40.0);
    // Upside down would make the gradient's top row (green 0) come back bright.
    EXPECT_LT(qGreen(back.pixel(80, 0)), 16);
    EXPECT_GT(qGreen(back.pixel(80, 119)), 239);
    EXPECT_EQ(testpics::JpegSubsampling(path), 0 /* TJSAMP_444 */);
    EXPECT_TRUE(Others({"out.jpg"}).isEmpty());
}

TEST_F(WriteJpegFileTest, NarrowPicturesDescribeTheirPadBytes) {
    std::vector<platform::JPEG_CORE_PROPERTIES> seen;
    auto previous = platform::SetIjlWriteObserver([&](const auto& p) { seen.push_back(p); });
    const int pads[] = {1, 2, 3, 0};
    for (int width = 1; width <= 4; ++width) {
        const QImage picture = testpics::Gradient(width, 9);
        cDIBSection dib;
        Fill(dib, picture);
        const QString path = Path(QStringLiteral("w%1.jpg").arg(width));
        ASSERT_TRUE(mIntelJPEGLibrary::WriteJpegFile(dib, path, 100));
        const platform::JPEG_CORE_PROPERTIES& p = seen.back();
        EXPECT_EQ(p.DIBPadBytes, pads[width - 1]) << "width " << width;
        EXPECT_EQ(p.DIBWidth, width);
        EXPECT_EQ(p.DIBHeight, -9);
        EXPECT_EQ(p.JPGWidth, width);
        EXPECT_EQ(p.JPGHeight, 9);
        EXPECT_EQ(p.DIBBytes, dib.DIBSectionBitsPtr());
        EXPECT_EQ(p.jquality, 100);
        const QImage back = testpics::DecodeJpeg(path);
        ASSERT_EQ(back.size(), picture.size()) << "width " << width;
        EXPECT_LE(testpics::MaxChannelDifference(picture, back), 12) << "width " << width;
    }
    platform::SetIjlWriteObserver(previous);
}

TEST_F(WriteJpegFileTest, QualityOutsideTheRangeIsClamped) {
    cDIBSection dib;
    Fill(dib, testpics::Gradient(64, 48));
    ASSERT_TRUE(mIntelJPEGLibrary::WriteJpegFile(dib, Path("q0.jpg"), 0));
    ASSERT_TRUE(mIntelJPEGLibrary::WriteJpegFile(dib, Path("q1.jpg"), 1));
    ASSERT_TRUE(mIntelJPEGLibrary::WriteJpegFile(dib, Path("q150.jpg"), 150));
    ASSERT_TRUE(mIntelJPEGLibrary::WriteJpegFile(dib, Path("q100.jpg"), 100));
    EXPECT_EQ(testfiles::ReadBytes(Path("q0.jpg")), testfiles::ReadBytes(Path("q1.jpg")));
    EXPECT_EQ(testfiles::ReadBytes(Path("q150.jpg")), testfiles::ReadBytes(Path("q100.jpg")));
    EXPECT_EQ(testpics::JpegSubsampling(Path("q0.jpg")), 2 /* TJSAMP_420 */);
}

TEST_F(WriteJpegFileTest, TurkishLettersAndSpacesInThePath) {
    cDIBSection dib;
    Fill(dib, testpics::Gradient(20, 10));
    ASSERT_TRUE(QDir(dir_.path()).mkdir(QStringLiteral("Yeni Klasör ğüşıöç")));
    const QString path = Path(QStringLiteral("Yeni Klasör ğüşıöç/Küçük Resim İŞĞ.jpg"));
    ASSERT_TRUE(mIntelJPEGLibrary::WriteJpegFile(dib, path, 90));
    EXPECT_EQ(testpics::DecodeJpeg(path).size(), QSize(20, 10));
}

TEST_F(WriteJpegFileTest, OverwriteKeepsModeAndTimes) {
    const QString path = Path("old.jpg");
    testfiles::WriteBytes(path, "not a picture");
    const QByteArray name = QFile::encodeName(path);
    ASSERT_TRUE(platform::SetFileMode(name, 0640));
    const timespec atime{1000000000, 123456789}, mtime{1200000000, 987654321};
    ASSERT_TRUE(platform::SetFileTimes(name, atime, mtime));

    cDIBSection dib;
    Fill(dib, testpics::Gradient(30, 20));
    ASSERT_TRUE(mIntelJPEGLibrary::WriteJpegFile(dib, path, 90));
    const platform::FileInfo now = platform::LookUpFile(name);  // before reading moves the access time
    EXPECT_EQ(testpics::DecodeJpeg(path).size(), QSize(30, 20));
    EXPECT_EQ(now.mode, 0640u);
    EXPECT_EQ(now.modified.tv_sec, mtime.tv_sec);
    EXPECT_EQ(now.modified.tv_nsec, mtime.tv_nsec);
    EXPECT_EQ(now.accessed.tv_sec, atime.tv_sec);
    EXPECT_TRUE(Others({"old.jpg"}).isEmpty());
}

TEST_F(WriteJpegFileTest, OverwriteKeepsOwnerAndGroup) {
    // The superuser saving over a user's picture must not take it from them; anyone else can at least
    // keep a group they belong to.
    std::uint32_t owner = ::geteuid(), group = ::getegid();
    if (::geteuid() == 0) {
        owner = group = 65534;
    } else {
        gid_t groups[64];
        const int n = ::getgroups(64, groups);
        for (int i = 0; i < n; ++i)
            if (groups[i] != ::getegid()) group = groups[i];
        if (group == ::getegid()) GTEST_SKIP() << "the user belongs to no second group";
    }
    const QString path = Path("theirs.jpg");
    testfiles::WriteBytes(path, "not a picture");
    const QByteArray name = QFile::encodeName(path);
    ASSERT_TRUE(platform::SetFileOwner(name, owner, group));
    ASSERT_TRUE(platform::SetFileMode(name, 0664));

    cDIBSection dib;
    Fill(dib, testpics::Gradient(30, 20));
    ASSERT_TRUE(mIntelJPEGLibrary::WriteJpegFile(dib, path, 90));
    const platform::FileInfo now = platform::LookUpFile(name);
    EXPECT_EQ(now.owner, owner);
    EXPECT_EQ(now.group, group);
    EXPECT_EQ(now.mode, 0664u);
}

TEST_F(WriteJpegFileTest, NewFileGetsTheUsualModeAndFreshTimes) {
    const QString path = Path("new.jpg");
    cDIBSection dib;
    Fill(dib, testpics::Gradient(8, 8));
    const std::time_t before = std::time(nullptr);
    ASSERT_TRUE(mIntelJPEGLibrary::WriteJpegFile(dib, path, 90));
    const platform::FileInfo info = platform::LookUpFile(QFile::encodeName(path));
    EXPECT_EQ(info.mode, platform::NewFileMode());  // not the temporary file's 0600
    EXPECT_GE(info.modified.tv_sec, before - 1);
}

TEST_F(WriteJpegFileTest, EmptyBufferFailsAndLeavesTheOldFileAlone) {
    const QString path = Path("keep.jpg");
    const QByteArray original = testfiles::WriteBytes(path, "the user's own bytes");
    cDIBSection empty;
    const RuntimeError e = Failure(empty, path);
    EXPECT_EQ(e.number(), 26001);
    EXPECT_EQ(e.source(), platform::ExeName() + ".mIntelJPEGLibrary");
    EXPECT_EQ(e.description(),
              QStringLiteral("Failed to save to JPG %1").arg(platform::IJL_INVALID_DIB_SIZE));
    EXPECT_EQ(testfiles::ReadBytes(path), original);
    EXPECT_TRUE(Others({"keep.jpg"}).isEmpty());
}

TEST_F(WriteJpegFileTest, ReadOnlyTargetIsRefusedUntouched) {
    const QString path = Path("locked.jpg");
    const QByteArray original = testfiles::WriteBytes(path, "read-only");
    ASSERT_TRUE(platform::SetFileMode(QFile::encodeName(path), 0444));
    cDIBSection dib;
    Fill(dib, testpics::Gradient(8, 8));
    EXPECT_EQ(Failure(dib, path).number(), platform::err::PathFileAccess);  // root included
    EXPECT_EQ(testfiles::ReadBytes(path), original);
    EXPECT_EQ(platform::LookUpFile(QFile::encodeName(path)).mode, 0444u);
    EXPECT_TRUE(Others({"locked.jpg"}).isEmpty());
}

TEST_F(WriteJpegFileTest, FolderOrMissingFolderIsRefused) {
    cDIBSection dib;
    Fill(dib, testpics::Gradient(8, 8));
    ASSERT_TRUE(QDir(dir_.path()).mkdir("sub"));
    EXPECT_EQ(Failure(dib, Path("sub")).number(), platform::err::PathFileAccess);
    EXPECT_TRUE(QFileInfo(Path("sub")).isDir());
    EXPECT_EQ(Failure(dib, Path("nowhere/x.jpg")).number(), platform::err::PathFileAccess);
}

TEST_F(WriteJpegFileTest, LinkedTargetIsReplacedBehindTheLink) {
    const QString real = Path("real.jpg"), link = Path("link.jpg");
    testfiles::WriteBytes(real, "old");
    ASSERT_TRUE(QFile::link(real, link));
    cDIBSection dib;
    Fill(dib, testpics::Gradient(8, 8));
    ASSERT_TRUE(mIntelJPEGLibrary::WriteJpegFile(dib, link, 90));
    EXPECT_TRUE(QFileInfo(link).isSymLink());
    EXPECT_EQ(testpics::DecodeJpeg(real).size(), QSize(8, 8));
}

}  // namespace
