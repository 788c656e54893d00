#include "image/cDIBSection.h"

#include "platform/runtime.h"
#include "tests/support/TestPictures.h"

#include <gtest/gtest.h>

using platform::Picture;

TEST(cDIBSectionGeometry, StrideRoundsWidthTimesThreeUpToFour) {
    const std::pair<int, int> cases[] = {{1, 4}, {2, 8}, {3, 12}, {4, 12}, {5, 16}, {10, 32}};
    for (auto [width, stride] : cases) {
        cDIBSection dib;
        ASSERT_TRUE(dib.Create(width, 1));
        EXPECT_EQ(dib.BytesPerScanLine(), stride) << "width " << width;
    }
}

TEST(cDIBSectionState, NewObjectIsEmpty) {
    cDIBSection dib;
    EXPECT_EQ(dib.Width(), 0);
    EXPECT_EQ(dib.Height(), 0);
    EXPECT_EQ(dib.hdc(), 0u);
    EXPECT_EQ(dib.hDib(), 0u);
    EXPECT_EQ(dib.DIBSectionBitsPtr(), nullptr);
    EXPECT_EQ(dib.BytesPerScanLine(), 0);
}

TEST(cDIBSectionState, ClearUpKeepsTheSize) {
    cDIBSection dib;
    ASSERT_TRUE(dib.Create(5, 3));
    dib.ClearUp();
    EXPECT_EQ(dib.Width(), 5);
    EXPECT_EQ(dib.Height(), 3);
    EXPECT_EQ(dib.hdc(), 0u);
    EXPECT_EQ(dib.hDib(), 0u);
    EXPECT_EQ(dib.DIBSectionBitsPtr(), nullptr);
}

TEST(cDIBSectionState, RefusedCreateLeavesObjectEmptyWithRequestedSize) {
    const auto before = platform::LiveObjectCount();
    cDIBSection dib;
    EXPECT_FALSE(dib.Create(0, 10));
    EXPECT_EQ(dib.Width(), 0);
    EXPECT_EQ(dib.Height(), 10);
    EXPECT_EQ(dib.hdc(), 0u);
    EXPECT_EQ(dib.DIBSectionBitsPtr(), nullptr);
    EXPECT_EQ(platform::LiveObjectCount(), before);
}

TEST(cDIBSectionState, SecondCreateReleasesTheFirst) {
    const auto before = platform::LiveObjectCount();
    {
        cDIBSection dib;
        ASSERT_TRUE(dib.Create(4, 4));
        EXPECT_EQ(platform::LiveObjectCount(), before + 2);
        ASSERT_TRUE(dib.Create(8, 2));
        EXPECT_EQ(platform::LiveObjectCount(), before + 2);
        EXPECT_EQ(dib.Width(), 8);
    }
    EXPECT_EQ(platform::LiveObjectCount(), before);
}

TEST(cDIBSectionState, OverflowRaisesErrorSix) {
    cDIBSection dib;
    try {
        dib.Create(800000000, 1);
        FAIL() << "no error";
    } catch (const platform::RuntimeError& e) {
        EXPECT_EQ(e.number(), platform::err::Overflow);
    }
    EXPECT_EQ(dib.hdc(), 0u);
    try {
        dib.Create(40000, 40000);  // stride fits, image size does not
        FAIL() << "no error";
    } catch (const platform::RuntimeError& e) {
        EXPECT_EQ(e.number(), platform::err::Overflow);
    }
}

TEST(cDIBSectionPicture, FromThirtyTwoBitPictureGivesBgrBottomRowFirst) {
    const QImage img = testpics::Noise(641, 480, 7);  // rows of 1923 bytes, padded to 1924
    cDIBSection dib;
    dib.CreateFromPicture(Picture::FromImage(img));
    ASSERT_NE(dib.hDib(), 0u);
    EXPECT_EQ(dib.Width(), 641);
    EXPECT_EQ(dib.Height(), 480);
    EXPECT_EQ(dib.BytesPerScanLine(), 1924);
    const std::uint8_t* bits = dib.DIBSectionBitsPtr();
    for (int r : {0, 1, 239, 479}) {
        for (int c : {0, 1, 320, 640}) {
            const QRgb p = img.pixel(c, r);
            const std::uint8_t* q = bits + (479 - r) * 1924 + 3 * c;
            EXPECT_EQ(q[0], qBlue(p));
            EXPECT_EQ(q[1], qGreen(p));
            EXPECT_EQ(q[2], qRed(p));
        }
    }
    EXPECT_EQ(testpics::MaxChannelDifference(testpics::FromDib(dib), img), 0);
}

TEST(cDIBSectionPicture, EmptyPictureLeavesBufferEmpty) {
    cDIBSection dib;
    dib.CreateFromPicture(Picture());
    EXPECT_EQ(dib.hDib(), 0u);
    EXPECT_EQ(dib.Width(), 0);
    EXPECT_EQ(dib.Height(), 0);
}

TEST(cDIBSectionBlt, ZeroSizeCopiesNothingNegativeMeansWhole) {
    cDIBSection src, dst;
    src.CreateFromPicture(Picture::FromImage(testpics::Noise(6, 4, 3)));
    ASSERT_TRUE(dst.Create(6, 4));
    dst.LoadPictureBlt(src.hdc(), 0, 0, 0, 4);
    std::vector<std::uint8_t> before(dst.DIBSectionBitsPtr(), dst.DIBSectionBitsPtr() + 48);
    EXPECT_TRUE(std::all_of(before.begin(), before.end(), [](auto b) { return b == 0; }));
    dst.LoadPictureBlt(src.hdc());
    EXPECT_EQ(testpics::MaxChannelDifference(testpics::FromDib(dst), testpics::FromDib(src)), 0);
}
