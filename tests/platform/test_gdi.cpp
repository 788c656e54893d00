// Bit-block transfers between bitmaps (raster operations, clipping, formats) and the handle table.
#include "platform/gdi.h"

#include <gtest/gtest.h>
#include <QImage>
#include <climits>
#include <functional>
#include <memory>

using namespace platform;

namespace {

// A bitmap selected into its own memory DC; gives both back at the end.
struct Surface {
    HDC dc = 0;
    HBITMAP bitmap = 0;
    HGDIOBJ old = 0;
    explicit Surface(HBITMAP b) : dc(CreateCompatibleDC(0)), bitmap(b) { old = SelectObject(dc, bitmap); }
    ~Surface() {
        SelectObject(dc, old);
        DeleteObject(bitmap);
        DeleteDC(dc);
    }
    QImage pixels() const { return BitmapImage(bitmap); }
};

QImage Filled(int w, int h, QRgb rgb) {
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(rgb);
    return img;
}

// Pixel (x, y) of a w x h picture gets a value of its own, so any misplaced pixel shows.
QImage Numbered(int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.setPixel(x, y, qRgb(10 * x + 1, 10 * y + 1, 100));
    return img;
}

HBITMAP Dib(int w, int h) {
    BITMAPINFOHEADER header;
    header.biSize = sizeof header, header.biWidth = w, header.biHeight = h, header.biPlanes = 1;
    header.biBitCount = 24, header.biCompression = BI_RGB;
    void* bits = nullptr;
    return CreateDIBSection(0, header, DIB_RGB_COLORS, &bits, nullptr, 0);
}

// A DIB section holding the given picture (filled through a 32-bit bitmap and SRCCOPY).
HBITMAP DibOf(const QImage& picture) {
    const HBITMAP dib = Dib(picture.width(), picture.height());
    Surface src(CreateBitmapFromImage(picture));
    const HDC dc = CreateCompatibleDC(0);
    const HGDIOBJ old = SelectObject(dc, dib);
    EXPECT_TRUE(BitBlt(dc, 0, 0, picture.width(), picture.height(), src.dc, 0, 0, SRCCOPY));
    SelectObject(dc, old);
    DeleteDC(dc);
    return dib;
}

constexpr QRgb kS = 0x3355F0, kD = 0x0F0F33;

struct RopCase {
    const char* name;
    std::uint32_t rop;
    std::uint32_t expected;
};
const RopCase kRops[] = {
    {"SRCCOPY", SRCCOPY, kS},
    {"SRCPAINT", SRCPAINT, kS | kD},
    {"SRCAND", SRCAND, kS& kD},
    {"SRCINVERT", SRCINVERT, kS ^ kD},
    {"SRCERASE", SRCERASE, kS & ~kD & 0xFFFFFF},
    {"NOTSRCCOPY", NOTSRCCOPY, ~kS & 0xFFFFFF},
    {"NOTSRCERASE", NOTSRCERASE, ~(kS | kD) & 0xFFFFFF},
    {"MERGEPAINT", MERGEPAINT, (~kS | kD) & 0xFFFFFF},
    {"DSTINVERT", DSTINVERT, ~kD & 0xFFFFFF},
    {"BLACKNESS", BLACKNESS, 0},
    {"WHITENESS", WHITENESS, 0xFFFFFF},
};

// Every named operation, for each pairing of 24-bit and 32-bit source and destination.
TEST(GdiBitBlt, RasterOperationsOnEveryFormatPairing) {
    const std::function<HBITMAP(QRgb)> makers[] = {
        [](QRgb c) { return DibOf(Filled(3, 2, c)); },
        [](QRgb c) { return CreateBitmapFromImage(Filled(3, 2, c)); },
    };
    for (int d = 0; d < 2; ++d) {
        for (int s = 0; s < 2; ++s) {
            for (const RopCase& c : kRops) {
                Surface dst(makers[d](kD)), src(makers[s](kS));
                ASSERT_TRUE(BitBlt(dst.dc, 0, 0, 3, 2, src.dc, 0, 0, c.rop)) << c.name;
                const QImage out = dst.pixels();
                for (int y = 0; y < 2; ++y)
                    for (int x = 0; x < 3; ++x)
                        ASSERT_EQ(out.pixel(x, y) & 0xFFFFFF, c.expected)
                            << c.name << " dst " << (d ? 32 : 24) << " src " << (s ? 32 : 24);
            }
        }
    }
}

TEST(GdiBitBlt, UnknownOperationCopiesNothing) {
    Surface dst(DibOf(Filled(2, 2, kD))), src(DibOf(Filled(2, 2, kS)));
    EXPECT_FALSE(BitBlt(dst.dc, 0, 0, 2, 2, src.dc, 0, 0, 0x00123456));
    EXPECT_EQ(dst.pixels().pixel(1, 1) & 0xFFFFFF, kD);
}

TEST(GdiBitBlt, ClipsToBothBitmapsEdges) {
    const QImage numbered = Numbered(4, 4);
    struct Case {
        int x, y, cx, cy, x1, y1;
    };
    const Case cases[] = {
        {0, 0, 4, 4, 0, 0},  {-1, -2, 4, 4, 0, 0}, {2, 1, 10, 10, 0, 0},     {0, 0, 4, 4, -1, -3},
        {1, 1, 4, 4, 2, 3},  {0, 0, 4, 4, 4, 0},   {INT_MIN, 0, 4, 4, 0, 0}, {0, 0, INT_MAX, INT_MAX, 1, 1},
        {3, 3, -2, 1, 0, 0},
    };
    for (const Case& c : cases) {
        Surface dst(Dib(3, 3)), src(DibOf(numbered));
        ASSERT_TRUE(BitBlt(dst.dc, c.x, c.y, c.cx, c.cy, src.dc, c.x1, c.y1, SRCCOPY));
        const QImage out = dst.pixels();
        for (int y = 0; y < 3; ++y) {
            for (int x = 0; x < 3; ++x) {
                // Where the unclipped copy would take this pixel from, and whether that lies inside.
                const long long sx = (long long)x - c.x + c.x1, sy = (long long)y - c.y + c.y1;
                const bool inside = x - (long long)c.x >= 0 && x - (long long)c.x < c.cx &&
                                    y - (long long)c.y >= 0 && y - (long long)c.y < c.cy && sx >= 0 &&
                                    sx < 4 && sy >= 0 && sy < 4;
                const QRgb expected = inside ? numbered.pixel(int(sx), int(sy)) : 0xFF000000u;
                EXPECT_EQ(out.pixel(x, y), expected)
                    << "pixel " << x << "," << y << " case " << c.x << "," << c.y;
            }
        }
    }
}

TEST(GdiBitBlt, OverlappingCopyWithinOneBitmap) {
    const QImage numbered = Numbered(4, 4);
    for (auto [dx, dy] : {std::pair{1, 1}, std::pair{-1, -1}, std::pair{1, -1}, std::pair{-1, 1}}) {
        for (std::uint32_t rop : {SRCCOPY, SRCPAINT}) {
            Surface s(DibOf(numbered));
            ASSERT_TRUE(BitBlt(s.dc, dx, dy, 4, 4, s.dc, 0, 0, rop));
            const QImage out = s.pixels();
            for (int y = std::max(0, dy); y < std::min(4, 4 + dy); ++y) {
                for (int x = std::max(0, dx); x < std::min(4, 4 + dx); ++x) {
                    QRgb expected = numbered.pixel(x - dx, y - dy);
                    if (rop == SRCPAINT) expected |= numbered.pixel(x, y);
                    EXPECT_EQ(out.pixel(x, y), expected) << dx << "," << dy << " at " << x << "," << y;
                }
            }
        }
    }
}

TEST(GdiHandles, LifetimeAndSelection) {
    const std::size_t start = LiveObjectCount();
    {
        const HDC dc = CreateCompatibleDC(0);
        const HBITMAP bmp = Dib(2, 2);
        ASSERT_NE(dc, 0u);
        ASSERT_NE(bmp, 0u);
        EXPECT_EQ(LiveObjectCount(), start + 2);
        const HGDIOBJ stock = SelectObject(dc, bmp);
        EXPECT_NE(stock, 0u);
        EXPECT_FALSE(DeleteObject(bmp));  // still selected
        const HDC other = CreateCompatibleDC(dc);
        EXPECT_EQ(SelectObject(other, bmp), 0u);  // one DC at a time
        BITMAP info;
        ASSERT_EQ(GetObjectA(bmp, sizeof info, &info), int(sizeof info));
        EXPECT_EQ(info.bmWidth, 2);
        EXPECT_EQ(info.bmWidthBytes, 8);
        EXPECT_EQ(info.bmBitsPixel, 24);
        EXPECT_EQ(SelectObject(dc, stock), bmp);
        EXPECT_TRUE(DeleteObject(bmp));
        EXPECT_FALSE(DeleteObject(bmp));  // already gone
        EXPECT_EQ(GetObjectA(bmp, sizeof info, &info), 0);
        EXPECT_TRUE(DeleteDC(other));
        EXPECT_TRUE(DeleteDC(dc));
        EXPECT_FALSE(DeleteDC(dc));
    }
    {
        // Deleting the DC frees its bitmap for deletion.
        const HDC dc = CreateCompatibleDC(0);
        const HBITMAP bmp = CreateCompatibleBitmap(0, 5, 5);
        SelectObject(dc, bmp);
        EXPECT_TRUE(DeleteDC(dc));
        EXPECT_TRUE(DeleteObject(bmp));
    }
    EXPECT_EQ(Dib(0, 10), 0u);
    EXPECT_EQ(Dib(10, 0), 0u);
    const HDC screen = GetDC(GetDesktopWindow());
    EXPECT_NE(screen, 0u);
    EXPECT_EQ(ReleaseDC(GetDesktopWindow(), screen), 1);
    EXPECT_EQ(LiveObjectCount(), start);
}

}  // namespace

// A picture whose decoding swaps the destination's bitmap for another and deletes it, as another thread
// could while the table is unlocked.
class SwappingSource final : public BitmapSource {
public:
    SwappingSource(HDC dc, HBITMAP replacement) : dc_(dc), replacement_(replacement) {}
    QSize size() const override { return {8, 8}; }
    QImage image() const override {
        DeleteObject(SelectObject(dc_, replacement_));
        return Filled(8, 8, qRgb(0, 200, 0));
    }

private:
    HDC dc_;
    HBITMAP replacement_;
};

TEST(GdiBitBlt, DecodingASourceCannotPullTheDestinationAway) {
    const HBITMAP replacement = CreateCompatibleBitmap(0, 8, 8);
    const HDC dc = CreateCompatibleDC(0);
    const HGDIOBJ stock = SelectObject(dc, CreateCompatibleBitmap(0, 8, 8));
    Surface source(CreateBitmapFromSource(std::make_shared<SwappingSource>(dc, replacement)));

    ASSERT_TRUE(BitBlt(dc, 0, 0, 8, 8, source.dc, 0, 0, SRCCOPY));
    // Written into the bitmap the DC holds now, not into the freed one.
    EXPECT_EQ(BitmapImage(replacement).pixel(3, 3), qRgb(0, 200, 0));
    SelectObject(dc, stock);
    DeleteObject(replacement);
    DeleteDC(dc);
}
