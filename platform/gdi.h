#pragma once
// A small graphics device interface: handles for memory device contexts and bitmaps, DIB sections whose
// pixel memory callers address directly, and bit-block transfers between them.
//
// Handles are small non-zero integers; 0 means "none" or failure, as the callers expect.

#include <QImage>
#include <QSize>
#include <cstdint>
#include <memory>

namespace platform {

using HGDIOBJ = std::uint32_t;
using HBITMAP = std::uint32_t;
using HDC = std::uint32_t;
using HWND = std::uint32_t;

struct BITMAPINFOHEADER {
    std::uint32_t biSize = 0;
    std::int32_t biWidth = 0;
    std::int32_t biHeight = 0;
    std::uint16_t biPlanes = 0;
    std::uint16_t biBitCount = 0;
    std::uint32_t biCompression = 0;
    std::uint32_t biSizeImage = 0;
    std::int32_t biXPelsPerMeter = 0;
    std::int32_t biYPelsPerMeter = 0;
    std::uint32_t biClrUsed = 0;
    std::uint32_t biClrImportant = 0;
};
static_assert(sizeof(BITMAPINFOHEADER) == 40);

struct BITMAP {
    std::int32_t bmType = 0;
    std::int32_t bmWidth = 0;
    std::int32_t bmHeight = 0;
    std::int32_t bmWidthBytes = 0;
    std::uint16_t bmPlanes = 0;
    std::uint16_t bmBitsPixel = 0;
    void* bmBits = nullptr;
};

constexpr std::uint32_t DIB_RGB_COLORS = 0;
constexpr std::uint32_t BI_RGB = 0;

// Raster operations (source S, destination D).
constexpr std::uint32_t SRCCOPY = 0x00CC0020;      // S
constexpr std::uint32_t SRCPAINT = 0x00EE0086;     // S | D
constexpr std::uint32_t SRCAND = 0x008800C6;       // S & D
constexpr std::uint32_t SRCINVERT = 0x00660046;    // S ^ D
constexpr std::uint32_t SRCERASE = 0x00440328;     // S & ~D
constexpr std::uint32_t NOTSRCCOPY = 0x00330008;   // ~S
constexpr std::uint32_t NOTSRCERASE = 0x001100A6;  // ~(S | D)
constexpr std::uint32_t MERGEPAINT = 0x00BB0226;   // ~S | D
constexpr std::uint32_t DSTINVERT = 0x00550009;    // ~D
constexpr std::uint32_t BLACKNESS = 0x00000042;    // 0
constexpr std::uint32_t WHITENESS = 0x00FF0062;    // 1

// Pixels of a bitmap supplied on demand: lets a bitmap stand for a picture that is decoded only when
// someone reads its pixels. The size must be known without decoding.
class BitmapSource {
public:
    virtual ~BitmapSource() = default;
    virtual QSize size() const = 0;
    // The full-size pixels, any 32-bit QImage format; a null image when they cannot be had.
    virtual QImage image() const = 0;
};

HDC CreateCompatibleDC(HDC hdc);
// A 24-bit BI_RGB DIB section; rows bottom-up for a positive height. Zero-filled memory owned by the
// bitmap; *ppvBits receives its address (nullptr on failure). Zero sizes are refused with 0.
HBITMAP CreateDIBSection(HDC hdc, const BITMAPINFOHEADER& header, std::uint32_t usage, void** ppvBits,
                         void* hSection, std::uint32_t offset);
// A bitmap in the screen's own format (32-bit), black.
HBITMAP CreateCompatibleBitmap(HDC hdc, std::int32_t width, std::int32_t height);
HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object);
bool DeleteObject(HGDIOBJ object);
bool DeleteDC(HDC hdc);
// Fills a BITMAP record for a bitmap handle; returns the bytes written, 0 for anything else.
int GetObjectA(HGDIOBJ object, int cbBuffer, void* lpvObject);

HWND GetDesktopWindow();
HDC GetDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC hdc);

// Copies a rectangle, clipped to both bitmaps, converting pixel formats. Unknown raster operations
// copy nothing and return false.
bool BitBlt(HDC hdcDest, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, std::uint32_t rop);

// Bridges to Qt for the picture object, the clipboard and tests.
HBITMAP CreateBitmapFromImage(const QImage& image);
HBITMAP CreateBitmapFromSource(std::shared_ptr<const BitmapSource> source);
QSize BitmapSize(HBITMAP bitmap);    // empty for a non-bitmap
QImage BitmapImage(HBITMAP bitmap);  // the pixels as a top-down RGB32 image; null for a non-bitmap
std::size_t LiveObjectCount();  // DCs and bitmaps not yet deleted (leak checks in tests)

}  // namespace platform
