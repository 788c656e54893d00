// ResizeFile: a large JPEG result, encoded as the filter finishes its rows, is the same file as the whole
// result shrunk and then encoded.

#include "core/encode_picture.h"
#include "core/picture.h"
#include "core/resize_file.h"
#include "core/shrink.h"
#include "core/unique_fd.h"
#include "tests/support/TestPictures.h"

#include <gtest/gtest.h>
#include <QFile>
#include <QTemporaryDir>
#include <fcntl.h>
#include <unistd.h>

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
