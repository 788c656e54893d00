// LoadPicture: sizes and pixels of each format, refusals with their numbers (bad, giant and special
// files), reduced decodes and the sharing of decoded pixels between copies and loads of one file state.

#include "core/picture.h"
#include "core/picture_decoder.h"
#include "tests/support/CorePictures.h"
#include "tests/support/PeakMemory.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPictures.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

using testcore::Load;
using testcore::LoadError;
using testcore::Pixels;

namespace {

const QString kData = QStringLiteral(TORV_TEST_DATA);

class PictureLoading : public ::testing::Test {
protected:
    QTemporaryDir dir;
    QString Path(const QString& name) const { return dir.filePath(name); }
    QString Write(const QString& name, const QByteArray& bytes) const {
        testfiles::WriteBytes(Path(name), bytes);
        return Path(name);
    }
    // The refusal's cause, checked to come fast and without memory in proportion to any claim.
    std::optional<core::Cause> Refusal(const QString& path) const {
        const long before = testmem::PeakMemoryKiB();
        QElapsedTimer timer;
        timer.start();
        const std::optional<core::Cause> cause = LoadError(path);
        EXPECT_LT(timer.elapsed(), 1000) << path.toStdString();
        EXPECT_LT(testmem::PeakMemoryKiB() - before, 64 * 1024) << path.toStdString();
        return cause;
    }
};

}  // namespace

TEST_F(PictureLoading, ReadsEachFormatAtItsSizeWithItsPixels) {
    const QImage gradient = testpics::Gradient(300, 180);
    for (const char* suffix : {"bmp", "png", "jpg"}) {
        const core::Picture p = Load(testpics::Save(gradient, Path(QStringLiteral("g.%1").arg(suffix))));
        EXPECT_EQ(p.size(), QSize(300, 180)) << suffix;
        const int tolerance = QByteArray(suffix) == "jpg" ? 20 : 0;
        EXPECT_LE(testpics::MaxChannelDifference(gradient, Pixels(p)), tolerance) << suffix;
    }
    // A GIF, and the first frame of an animated one; a doubled slash in the path is taken as it is.
    for (const QString& gif : {kData + "/picture.gif", kData + "//animated.gif"})
        EXPECT_EQ(testpics::MaxChannelDifference(Pixels(Load(gif)), QImage(kData + "/upright.png")), 0);
}

TEST_F(PictureLoading, KeepsTransparencyAndReadsSixteenBitPng) {
    QImage translucent(20, 10, QImage::Format_ARGB32);
    translucent.fill(qRgba(200, 100, 50, 128));
    const QImage alpha = Pixels(Load(testpics::Save(translucent, Path("a.png"))));
    ASSERT_TRUE(alpha.hasAlphaChannel());
    EXPECT_EQ(alpha.pixel(5, 5), qRgba(200, 100, 50, 128));

    QImage deep(20, 10, QImage::Format_RGBX64);
    deep.fill(QColor::fromRgba64(0x8080, 0x4040, 0xC0C0));
    EXPECT_EQ(Pixels(Load(testpics::Save(deep, Path("deep.png")))).pixel(3, 3), qRgb(0x80, 0x40, 0xC0));
}

// Damaged and lying files are the hostile corpus's; here what only names can do.
TEST_F(PictureLoading, AMissingFileOrAFolderIsNoFile) {
    EXPECT_EQ(Refusal(Path("missing.jpg")), core::Cause::NotFound);
    EXPECT_EQ(Refusal(dir.path()), core::Cause::IsFolder);
    // A BMP short of only its last row's padding is still a picture.
    const QByteArray whole = testpics::Encode(testpics::Gradient(3, 10), "BMP");
    EXPECT_EQ(Load(Write("cut.bmp", whole.first(whole.size() - 3))).size(), QSize(3, 10));
}

// Nothing but a regular file is read, and a huge one not at all: a pipe would block, a device never
// end, a sparse file of gigabytes cost its size in memory.
TEST_F(PictureLoading, RefusesSpecialAndHugeFilesBeforeReadingThem) {
    ASSERT_EQ(::mkfifo(QFile::encodeName(Path("pipe.jpg")).constData(), 0600), 0);
    ASSERT_EQ(::symlink("/dev/zero", QFile::encodeName(Path("zero.jpg")).constData()), 0);
    QFile sparse(Path("sparse.jpg"));
    ASSERT_TRUE(sparse.open(QIODevice::WriteOnly));
    sparse.write(testpics::Encode(testpics::Gradient(8, 8), "JPG"));
    ASSERT_TRUE(sparse.resize(3LL << 30));
    sparse.close();

    EXPECT_EQ(Refusal(Path("pipe.jpg")), core::Cause::NotRegularFile);
    EXPECT_EQ(Refusal(Path("zero.jpg")), core::Cause::NotRegularFile);
    EXPECT_EQ(Refusal(Path("sparse.jpg")), core::Cause::FileTooLarge);
    // A file of zeros, far below the limit, ends at its header.
    ASSERT_TRUE(QFile(Path("zeros.jpg")).open(QIODevice::WriteOnly));
    ASSERT_EQ(::truncate(QFile::encodeName(Path("zeros.jpg")).constData(), 512LL << 20), 0);
    EXPECT_EQ(Refusal(Path("zeros.jpg")), core::Cause::Damaged);
}

TEST_F(PictureLoading, DecodesReducedVersionsThatCoverTheRequest) {
    const QImage gradient = testpics::Gradient(3200, 2400);
    const core::Picture p = Load(testpics::Save(gradient, Path("big.jpg")));
    ASSERT_EQ(p.size(), QSize(3200, 2400));
    // The checking decode at loading is reduced, and serves a view or a small shrink.
    ASSERT_EQ(p.decodedSizes().size(), 1u);
    EXPECT_LT(p.decodedSizes().front().width(), 3200);
    EXPECT_EQ(p.view(core::kFirstView)->size(), p.decodedSizes().front());

    for (const QSize asked : {QSize(100, 100), QSize(553, 337), QSize(400, 266), QSize(1000, 10)}) {
        const QImage reduced = Pixels(p, asked);
        EXPECT_TRUE(core::Covers(reduced.size(), core::DecodeTarget(asked, p.size())))
            << asked.width() << "x" << asked.height();
    }
    const QImage reduced = Pixels(p, QSize(200, 150));
    const QImage full = Pixels(p);
    EXPECT_EQ(full.size(), QSize(3200, 2400));
    EXPECT_GT(
        testpics::Psnr(full.scaled(reduced.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation), reduced),
        35);
}

TEST_F(PictureLoading, CopiesRequestsAndLoadsOfOneFileShareOneDecode) {
    const QString path = testpics::Save(testpics::Gradient(1600, 1200), Path("big.jpg"));
    const core::Picture p = Load(path);
    const core::Picture copy = p;
    const core::Picture again = Load(path);
    EXPECT_TRUE(again.sharesPixelsWith(p));
    const QImage a = Pixels(p, QSize(300, 200));
    EXPECT_EQ(Pixels(copy, QSize(300, 200)).cacheKey(), a.cacheKey());
    EXPECT_EQ(Pixels(again, QSize(250, 150)).cacheKey(), a.cacheKey());  // a smaller request, same version
    const QImage whole = Pixels(p);
    EXPECT_EQ(Pixels(copy, QSize(2000, 2000)).cacheKey(), whole.cacheKey());  // more than there is
    // A file deleted after loading still gives its pixels.
    ASSERT_TRUE(QFile::remove(path));
    EXPECT_EQ(Pixels(p).size(), QSize(1600, 1200));
}

// A job's picture is read once: its file's bytes go with that decode, and a second one fails cleanly.
TEST_F(PictureLoading, AHeaderOnlyJpegIsDecodedOnce) {
    const QString path = testpics::Save(testpics::Gradient(1600, 1200), Path("job.jpg"));
    const core::Result<core::Picture> p = core::LoadPicture(path, core::LoadCheck::HeaderOnly);
    ASSERT_TRUE(p.ok());
    const core::Result<QImage> first = p->shrunkFromFile(QSize(400, 300));
    ASSERT_TRUE(first.ok());
    EXPECT_EQ(first->size(), QSize(400, 300));
    const core::Result<QImage> second = p->shrunkFromFile(QSize(400, 300));
    ASSERT_FALSE(second.ok());
    EXPECT_EQ(second.error().cause, core::Cause::Damaged);
}

// A file rewritten in place with its old size and modification time (cp -p, rsync -t) is read anew; the
// picture loaded before keeps its own pixels.
TEST_F(PictureLoading, AFileChangedInPlaceIsReadAnew) {
    const QString path = testpics::Save(testpics::Gradient(800, 600), Path("p.bmp"));
    struct stat old {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &old), 0);
    const core::Picture before = Load(path);
    const QImage oldPixels = Pixels(before);

    QThread::msleep(20);  // past the file system's clock step, so that the change time moves
    const QByteArray noise = testpics::Encode(testpics::Noise(800, 600), "BMP");
    ASSERT_EQ(noise.size(), old.st_size);
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::ReadWrite));  // the same file, not a new one
    f.write(noise);
    f.close();
    const timespec times[2] = {old.st_atim, old.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);

    const core::Picture after = Load(path);
    EXPECT_FALSE(after.sharesPixelsWith(before));
    EXPECT_EQ(testpics::MaxChannelDifference(Pixels(after), testpics::Noise(800, 600)), 0);
    EXPECT_EQ(testpics::MaxChannelDifference(Pixels(before), oldPixels), 0);
}
