// The picture object over the engine's picture: sizes in HIMETRIC, a bitmap handle made on request and
// shared by copies, and the loader's failures as the runtime's numbered errors.

#include "core/picture_decoder.h"
#include "platform/picture.h"
#include "platform/runtime.h"
#include "tests/support/TestFiles.h"
#include "tests/support/TestPictures.h"

#include <gtest/gtest.h>
#include <QTemporaryDir>

using namespace platform;

TEST(PictureHimetric, RoundsUpSoThatTheWayBackNeverFallsShort) {
    EXPECT_NEAR(HimetricToPixels(PixelsToHimetric(800)), 800.0126f, 1e-3);
    EXPECT_EQ(PixelsToHimetric(640), 16934);
    for (int px = 1; px <= 5000; ++px) ASSERT_GE(HimetricToPixels(PixelsToHimetric(px)), float(px)) << px;
    // The widest picture the loader admits, far past what 32 bits hold.
    EXPECT_EQ(PixelsToHimetric(std::int32_t(core::kMaxPicturePixels)), 7'102'354'774);
}

TEST(PictureObject, EmptyPathGivesTheEmptyPicture) {
    const Picture p = LoadPicture();
    EXPECT_TRUE(p.isEmpty());
    EXPECT_EQ(p.Handle(), 0u);
    EXPECT_EQ(p.Width(), 0);
    EXPECT_EQ(p.pixelSize(), QSize(0, 0));
    EXPECT_TRUE(p.pixels().isNull());
}

TEST(PictureObject, ALoadedPictureHasItsSizeAndOneHandleForAllCopies) {
    QTemporaryDir dir;
    const Picture p = LoadPicture(testpics::Save(testpics::Gradient(300, 180), dir.filePath("g.png")));
    EXPECT_EQ(p.pixelSize(), QSize(300, 180));
    EXPECT_EQ(p.Width(), PixelsToHimetric(300));
    EXPECT_EQ(p.Height(), PixelsToHimetric(180));
    const std::size_t before = LiveObjectCount();
    const Picture copy = p;
    EXPECT_NE(p.Handle(), 0u);
    EXPECT_EQ(copy.Handle(), p.Handle());
    EXPECT_EQ(BitmapSize(p.Handle()), QSize(300, 180));
    EXPECT_EQ(testpics::MaxChannelDifference(BitmapImage(p.Handle()), testpics::Gradient(300, 180)), 0);
    EXPECT_EQ(LiveObjectCount(), before + 1);
}

TEST(PictureObject, LoadFailuresAreTheRuntimesNumberedErrors) {
    QTemporaryDir dir;
    testfiles::WriteBytes(dir.filePath("text.jpg"), "Bu bir resim değil.\n");
    const std::pair<QString, int> cases[] = {
        {dir.filePath("missing.jpg"), err::FileNotFound},
        {dir.filePath("text.jpg"), err::InvalidPicture},
    };
    for (const auto& [path, number] : cases) {
        try {
            LoadPicture(path);
            ADD_FAILURE() << path.toStdString() << " loaded";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), number);
            EXPECT_FALSE(e.description().isEmpty());
        }
        EXPECT_TRUE(LoadPictureOrNone(path).isEmpty());
    }
}
