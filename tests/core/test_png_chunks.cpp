// WithoutOverlongPngChunk: a damaged PNG whose text chunk claims gigabytes is refused as before, without
// the reader reserving what it claims; whole files and files cut inside their pixel data are left alone.

#include "core/png_chunks.h"
#include "tests/support/CorePictures.h"
#include "tests/support/PeakMemory.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPictures.h"

#include <gtest/gtest.h>
#include <QTemporaryDir>
#include <QtEndian>

using core::WithoutOverlongPngChunk;

namespace {

QByteArray Png(int width, int height) { return testpics::Encode(testpics::Gradient(width, height), "PNG"); }

// A chunk's header claiming length bytes, followed by only a few of them.
QByteArray ChunkClaiming(const char* kind, std::uint32_t length) {
    QByteArray chunk(4, '\0');
    qToBigEndian(length, chunk.data());
    return chunk + kind + QByteArray("Comment\0a few bytes", 19);
}

qsizetype EndOfImageChunk(const QByteArray& png) { return png.lastIndexOf("IEND") - 4; }

}  // namespace

TEST(PngChunks, AnOverlongTextChunkIsCutOffWithWhatFollows) {
    const QByteArray png = Png(40, 30);
    const qsizetype end = EndOfImageChunk(png);
    const QByteArray damaged = png.first(end) + ChunkClaiming("tEXt", 0x30000025) + png.mid(end);
    EXPECT_EQ(WithoutOverlongPngChunk(damaged), png.first(end));
    const QByteArray profile = png.first(33) + ChunkClaiming("iCCP", 0x7FFFFFFF) + png.mid(33);
    EXPECT_EQ(WithoutOverlongPngChunk(profile), png.first(33));
}

TEST(PngChunks, WholeFilesAndCutPixelDataAreLeftAlone) {
    const QByteArray png = Png(200, 150);
    EXPECT_EQ(WithoutOverlongPngChunk(png), png);
    // Anything after the end chunk is never read.
    const QByteArray trailing = png + ChunkClaiming("tEXt", 0x30000025);
    EXPECT_EQ(WithoutOverlongPngChunk(trailing), trailing);
    // A file cut in its pixel data keeps what it has: the reader takes that chunk in pieces.
    const qsizetype data = png.indexOf("IDAT");
    ASSERT_GT(data, 0);
    const QByteArray cut = png.first(data + 100);
    EXPECT_EQ(WithoutOverlongPngChunk(cut), cut);
    EXPECT_EQ(WithoutOverlongPngChunk(QByteArray("BM\0\0\0\0", 6)), QByteArray("BM\0\0\0\0", 6));
}

TEST(PngChunks, LoadingSuchAFileFailsCleanlyWithoutTheMemoryItClaims) {
    const QByteArray png = Png(40, 30);
    const qsizetype end = EndOfImageChunk(png);
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("claims.png"));
    ASSERT_FALSE(testfiles::WriteBytes(path, png.first(end) + ChunkClaiming("tEXt", 0x30000025)).isNull());
    const long before = testmem::PeakMemoryKiB();
    EXPECT_EQ(testcore::LoadError(path), core::Cause::Damaged);
    EXPECT_LT(testmem::PeakMemoryKiB() - before, 100 * 1024);
}

TEST(PngChunks, TextChunksGoAndEverythingElseStays) {
    const QByteArray png = Png(40, 30);
    const qsizetype afterHeader = 33;
    QByteArray withText = png.first(afterHeader);
    for (const char* kind : {"tEXt", "zTXt", "iTXt"}) {
        QByteArray chunk(4, '\0');
        qToBigEndian(std::uint32_t(9), chunk.data());
        withText += chunk + kind + QByteArray("Comment\0x", 9) + QByteArray(4, '\0');
    }
    withText += png.mid(afterHeader);
    EXPECT_EQ(core::WithoutPngText(withText), png);
    EXPECT_EQ(core::WithoutPngText(png), png);
    const core::PngHeader header = core::ReadPngHeader(png);
    EXPECT_TRUE(header.valid && header.width == 40 && header.height == 30 && header.bitDepth == 8 && !header.interlaced);
}
