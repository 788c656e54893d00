#include "image/cDIBSection.h"

#include "tests/support/TestPictures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <thread>

using testpics::DibBytes;

namespace {

// A buffer with padding (width 5: 15 pixel bytes, stride 16) whose bytes all start at 0xAB.
struct Painted {
    cDIBSection dib;
    Painted(int width, int height) {
        EXPECT_TRUE(dib.Create(width, height));
        std::fill_n(dib.DIBSectionBitsPtr(), dib.BytesPerScanLine() * height, 0xAB);
    }
    const std::uint8_t* Pixel(int column, int memoryRow) const {
        return dib.DIBSectionBitsPtr() + memoryRow * dib.BytesPerScanLine() + 3 * column;
    }
    void ExpectPaddingUntouched() const {
        const int stride = dib.BytesPerScanLine();
        for (int r = 0; r < dib.Height(); ++r)
            for (int b = dib.Width() * 3; b < stride; ++b)
                EXPECT_EQ(dib.DIBSectionBitsPtr()[r * stride + b], 0xAB) << "row " << r << " byte " << b;
    }
};

}  // namespace

TEST(cDIBSectionRandomiseBits, GreyGivesEqualChannelsOverTheWholeRange) {
    Painted p(201, 100);
    p.dib.RandomiseBits(true);
    int lowest = 255, highest = 0;
    for (int r = 0; r < 100; ++r)
        for (int c = 0; c < 201; ++c) {
            const std::uint8_t* px = p.Pixel(c, r);
            ASSERT_EQ(px[0], px[1]);
            ASSERT_EQ(px[1], px[2]);
            lowest = std::min<int>(lowest, px[0]);
            highest = std::max<int>(highest, px[0]);
        }
    // Rounding r x 255 reaches both ends (each about once in 510 draws); truncation would miss 255.
    EXPECT_EQ(lowest, 0);
    EXPECT_EQ(highest, 255);
    p.ExpectPaddingUntouched();
}

TEST(cDIBSectionRandomiseBits, ColourLeavesBlueZeroAndPaddingAlone) {
    Painted p(5, 40);
    p.dib.RandomiseBits();
    int greenNotRed = 0;
    for (int r = 0; r < 40; ++r)
        for (int c = 0; c < 5; ++c) {
            EXPECT_EQ(p.Pixel(c, r)[0], 0);
            greenNotRed += p.Pixel(c, r)[1] != p.Pixel(c, r)[2];
        }
    EXPECT_GT(greenNotRed, 100);  // two draws a pixel, not one copied
    p.ExpectPaddingUntouched();
}

TEST(cDIBSectionRandomiseBits, CallsAtDifferentMomentsDiffer) {
    for (bool grey : {true, false}) {
        cDIBSection dib;
        ASSERT_TRUE(dib.Create(16, 16));
        dib.RandomiseBits(grey);
        const auto first = DibBytes(dib);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        dib.RandomiseBits(grey);
        EXPECT_NE(DibBytes(dib), first) << (grey ? "grey" : "colour");
    }
}

TEST(cDIBSectionRandomiseBits, EmptyOrReleasedBufferIsLeftAlone) {
    cDIBSection never;
    never.RandomiseBits();
    never.RandomiseBits(true);
    cDIBSection released;
    ASSERT_TRUE(released.Create(6, 6));
    released.ClearUp();
    released.RandomiseBits();  // old size, no memory: must not write anywhere
    released.RandomiseBits(true);
    EXPECT_EQ(released.Width(), 6);
    EXPECT_EQ(released.DIBSectionBitsPtr(), nullptr);
}
