#include "platform/gdi.h"

#include <cstdlib>
#include <cstring>
#include <limits>
#include <mutex>
#include <unordered_map>
#include <variant>

namespace platform {

namespace {

constexpr HBITMAP kStockBitmap = 1;  // the 1 x 1 bitmap every new memory DC starts with
constexpr HWND kDesktopWindow = 1;

struct DibPixels {
    std::uint8_t* bits = nullptr;  // calloc'd, so large sections cost nothing until touched
    int width = 0;
    int height = 0;  // signed: positive means bottom-up rows
    std::ptrdiff_t stride = 0;
    ~DibPixels() { std::free(bits); }
};

struct Bitmap {
    std::unique_ptr<DibPixels> dib;              // a DIB section
    QImage image;                                // a compatible bitmap or a picture's bitmap
    std::shared_ptr<const BitmapSource> source;  // a lazily decoded picture
    HDC selectedInto = 0;
    bool stock = false;

    QSize size() const {
        if (dib) return {dib->width, std::abs(dib->height)};
        if (source) return source->size();
        return image.size();
    }
};

struct Dc {
    HBITMAP selected = kStockBitmap;
    bool screen = false;
};

struct Table {
    std::mutex mutex;
    std::uint32_t next = 2;
    std::unordered_map<std::uint32_t, Bitmap> bitmaps;
    std::unordered_map<std::uint32_t, Dc> dcs;

    Table() {
        bitmaps[kStockBitmap].stock = true, bitmaps[kStockBitmap].image = QImage(1, 1, QImage::Format_Mono);
    }
    std::uint32_t Allocate() {
        // Skip values still in use after a wrap-around, however unlikely.
        while (next < 2 || bitmaps.count(next) || dcs.count(next)) ++next;
        return next++;
    }
};

Table& T() {
    static Table table;
    return table;
}

// A row-addressable view of a bitmap's pixels for the blitter.
struct View {
    std::uint8_t* base = nullptr;  // first byte of top row
    std::ptrdiff_t stride = 0;     // from one top-down row to the next
    int width = 0, height = 0;
    bool bgr24 = false;  // else 32-bit 0xAARRGGBB words
    QImage keep;         // keeps a source image alive while it is read

    std::uint32_t Read(int x, int y) const {
        const std::uint8_t* p = base + y * stride;
        if (bgr24) {
            p += 3 * x;
            return p[0] | (p[1] << 8) | (std::uint32_t(p[2]) << 16);
        }
        return reinterpret_cast<const std::uint32_t*>(p)[x] & 0xFFFFFFu;
    }
    void Write(int x, int y, std::uint32_t rgb) const {
        std::uint8_t* p = base + y * stride;
        if (bgr24) {
            p += 3 * x;
            p[0] = rgb & 0xFF, p[1] = (rgb >> 8) & 0xFF, p[2] = (rgb >> 16) & 0xFF;
        } else {
            reinterpret_cast<std::uint32_t*>(p)[x] = 0xFF000000u | rgb;
        }
    }
};

View DibView(const DibPixels& d) {
    View v;
    v.width = d.width;
    v.height = std::abs(d.height);
    v.bgr24 = true;
    if (d.height > 0) {
        v.base = d.bits + (v.height - 1) * d.stride;
        v.stride = -d.stride;
    } else {
        v.base = d.bits;
        v.stride = d.stride;
    }
    return v;
}

QImage As32Bit(QImage image) {
    switch (image.format()) {
        case QImage::Format_RGB32:
        case QImage::Format_ARGB32:
            return image;
        default:
            return image.convertToFormat(QImage::Format_RGB32);
    }
}

bool ImageView(const QImage& image, View& v) {
    QImage img = As32Bit(image);
    if (img.isNull()) return false;
    v.keep = img;
    v.base = const_cast<std::uint8_t*>(v.keep.constBits());
    v.stride = v.keep.bytesPerLine();
    v.width = v.keep.width();
    v.height = v.keep.height();
    return true;
}

// A DIB section's or a plain bitmap's pixels; a lazily decoded picture is read by the caller, unlocked.
bool ReadView(Bitmap& b, View& v) {
    if (b.dib) {
        v = DibView(*b.dib);
        return true;
    }
    return ImageView(b.image, v);
}

bool WriteView(Bitmap& b, View& v) {
    if (b.dib) {
        v = DibView(*b.dib);
        return true;
    }
    if (b.source || b.stock || b.image.isNull()) return false;  // pictures are read-only
    if (b.image.format() != QImage::Format_RGB32 && b.image.format() != QImage::Format_ARGB32)
        b.image = b.image.convertToFormat(QImage::Format_RGB32);
    v.base = b.image.bits();  // detaches from any shared copy
    v.stride = b.image.bytesPerLine();
    v.width = b.image.width();
    v.height = b.image.height();
    return true;
}

// The rop's middle byte is its truth table over (pattern, source, destination); the named operations
// here use no pattern, so bits 0..3 (pattern 0) decide.
bool RopUsesSource(std::uint32_t rop) {
    const std::uint32_t t = (rop >> 16) & 0xFF;
    return ((t >> 2) & 0x33) != (t & 0x33);
}

bool KnownRop(std::uint32_t rop) {
    switch (rop) {
        case SRCCOPY:
        case SRCPAINT:
        case SRCAND:
        case SRCINVERT:
        case SRCERASE:
        case NOTSRCCOPY:
        case NOTSRCERASE:
        case MERGEPAINT:
        case DSTINVERT:
        case BLACKNESS:
        case WHITENESS:
            return true;
        default:
            return false;
    }
}

std::uint32_t ApplyRop(std::uint32_t table, std::uint32_t s, std::uint32_t d) {
    std::uint32_t r = 0;
    if (table & 1) r |= ~s & ~d;
    if (table & 2) r |= ~s & d;
    if (table & 4) r |= s & ~d;
    if (table & 8) r |= s & d;
    return r & 0xFFFFFFu;
}

}  // namespace

HDC CreateCompatibleDC(HDC hdc) {
    Table& t = T();
    std::lock_guard lock(t.mutex);
    if (hdc != 0 && !t.dcs.count(hdc)) return 0;
    const HDC h = t.Allocate();
    t.dcs[h] = Dc{};
    return h;
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFOHEADER& header, std::uint32_t usage, void** ppvBits, void*,
                         std::uint32_t) {
    if (ppvBits) *ppvBits = nullptr;
    if (usage != DIB_RGB_COLORS || header.biBitCount != 24 || header.biCompression != BI_RGB) return 0;
    if (header.biWidth <= 0 || header.biHeight == 0 || header.biHeight == std::numeric_limits<int32_t>::min())
        return 0;
    const std::int64_t stride = ((std::int64_t(header.biWidth) * 3 + 3) / 4) * 4;
    const std::int64_t bytes = stride * std::abs(std::int64_t(header.biHeight));
    if (bytes > std::numeric_limits<std::int32_t>::max()) return 0;
    auto dib = std::make_unique<DibPixels>();
    dib->bits = static_cast<std::uint8_t*>(std::calloc(std::size_t(bytes), 1));
    if (!dib->bits) return 0;
    dib->width = header.biWidth;
    dib->height = header.biHeight;
    dib->stride = stride;
    void* bits = dib->bits;

    Table& t = T();
    std::lock_guard lock(t.mutex);
    const HBITMAP h = t.Allocate();
    t.bitmaps[h].dib = std::move(dib);
    if (ppvBits) *ppvBits = bits;
    return h;
}

HBITMAP CreateCompatibleBitmap(HDC, std::int32_t width, std::int32_t height) {
    if (width <= 0 || height <= 0) return 0;
    QImage image(width, height, QImage::Format_RGB32);
    if (image.isNull()) return 0;
    image.fill(0xFF000000u);
    return CreateBitmapFromImage(image);
}

HBITMAP CreateBitmapFromImage(const QImage& image) {
    if (image.isNull()) return 0;
    Table& t = T();
    std::lock_guard lock(t.mutex);
    const HBITMAP h = t.Allocate();
    t.bitmaps[h].image = image;
    return h;
}

HBITMAP CreateBitmapFromSource(std::shared_ptr<const BitmapSource> source) {
    if (!source || source->size().isEmpty()) return 0;
    Table& t = T();
    std::lock_guard lock(t.mutex);
    const HBITMAP h = t.Allocate();
    t.bitmaps[h].source = std::move(source);
    return h;
}

HGDIOBJ SelectObject(HDC hdc, HGDIOBJ object) {
    Table& t = T();
    std::lock_guard lock(t.mutex);
    auto dc = t.dcs.find(hdc);
    auto bmp = t.bitmaps.find(object);
    if (dc == t.dcs.end() || bmp == t.bitmaps.end() || dc->second.screen) return 0;
    // A bitmap can be selected into one DC at a time (the stock bitmap into any number).
    if (!bmp->second.stock && bmp->second.selectedInto != 0 && bmp->second.selectedInto != hdc) return 0;
    const HBITMAP previous = dc->second.selected;
    if (auto old = t.bitmaps.find(previous); old != t.bitmaps.end() && !old->second.stock)
        old->second.selectedInto = 0;
    dc->second.selected = object;
    if (!bmp->second.stock) bmp->second.selectedInto = hdc;
    return previous;
}

bool DeleteObject(HGDIOBJ object) {
    Table& t = T();
    std::lock_guard lock(t.mutex);
    auto bmp = t.bitmaps.find(object);
    if (bmp == t.bitmaps.end() || bmp->second.selectedInto != 0) return false;
    if (bmp->second.stock) return true;
    t.bitmaps.erase(bmp);
    return true;
}

bool DeleteDC(HDC hdc) {
    Table& t = T();
    std::lock_guard lock(t.mutex);
    auto dc = t.dcs.find(hdc);
    if (dc == t.dcs.end()) return false;
    if (auto bmp = t.bitmaps.find(dc->second.selected); bmp != t.bitmaps.end() && !bmp->second.stock)
        bmp->second.selectedInto = 0;
    t.dcs.erase(dc);
    return true;
}

int GetObjectA(HGDIOBJ object, int cbBuffer, void* lpvObject) {
    Table& t = T();
    std::lock_guard lock(t.mutex);
    auto bmp = t.bitmaps.find(object);
    if (bmp == t.bitmaps.end() || !lpvObject || cbBuffer < int(sizeof(BITMAP))) return 0;
    BITMAP record;
    const QSize size = bmp->second.size();
    record.bmWidth = size.width();
    record.bmHeight = size.height();
    record.bmPlanes = 1;
    if (bmp->second.dib) {
        record.bmBitsPixel = 24;
        record.bmWidthBytes = std::int32_t(bmp->second.dib->stride);
        record.bmBits = bmp->second.dib->bits;
    } else if (bmp->second.stock) {
        record.bmBitsPixel = 1;
        record.bmWidthBytes = 2;
    } else {
        record.bmBitsPixel = 32;
        record.bmWidthBytes = size.width() * 4;
    }
    std::memcpy(lpvObject, &record, sizeof record);
    return int(sizeof record);
}

HWND GetDesktopWindow() { return kDesktopWindow; }

HDC GetDC(HWND hwnd) {
    if (hwnd != kDesktopWindow) return 0;
    Table& t = T();
    std::lock_guard lock(t.mutex);
    const HDC h = t.Allocate();
    t.dcs[h] = Dc{0, true};
    return h;
}

int ReleaseDC(HWND, HDC hdc) {
    Table& t = T();
    std::lock_guard lock(t.mutex);
    auto dc = t.dcs.find(hdc);
    if (dc == t.dcs.end() || !dc->second.screen) return 0;
    t.dcs.erase(dc);
    return 1;
}

namespace {

// The lazily decoded picture selected into dc, if that is what it holds.
std::shared_ptr<const BitmapSource> SelectedSource(Table& t, HDC dc) {
    std::lock_guard lock(t.mutex);
    auto d = t.dcs.find(dc);
    if (d == t.dcs.end()) return nullptr;
    auto bmp = t.bitmaps.find(d->second.selected);
    return bmp == t.bitmaps.end() ? nullptr : bmp->second.source;
}

}  // namespace

bool BitBlt(HDC hdcDest, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, std::uint32_t rop) {
    if (!KnownRop(rop)) return false;
    const bool usesSource = RopUsesSource(rop);
    Table& t = T();
    // A lazily decoded source may take a while: decoded outside the table's lock, so that other handles
    // stay usable meanwhile; its own cache guards against decoding twice.
    const std::shared_ptr<const BitmapSource> lazy = usesSource ? SelectedSource(t, hdcSrc) : nullptr;
    const QImage decoded = lazy ? lazy->image() : QImage();
    if (lazy && decoded.isNull()) return false;

    // The rest under the lock, the handles looked up again: while the picture decoded, the bitmaps may have
    // been swapped or deleted, and none may go while its pixels are written.
    std::lock_guard lock(t.mutex);
    View dst, src;
    auto ddc = t.dcs.find(hdcDest);
    if (ddc == t.dcs.end()) return false;
    auto dbmp = t.bitmaps.find(ddc->second.selected);
    if (dbmp == t.bitmaps.end() || !WriteView(dbmp->second, dst)) return false;
    if (usesSource) {
        auto sdc = t.dcs.find(hdcSrc);
        if (sdc == t.dcs.end()) return false;
        auto sbmp = t.bitmaps.find(sdc->second.selected);
        if (sbmp == t.bitmaps.end() || sbmp->second.stock || sbmp->second.source != lazy) return false;
        if (!(lazy ? ImageView(decoded, src) : ReadView(sbmp->second, src))) return false;
    }
    // Clip to the destination, then to the source, moving both origins together. Done in 64 bits so
    // that far-off origins and huge extents cannot overflow.
    auto clip = [](int& d0, int& s0, int& n0, int dLimit, int sLimit, bool withSource) {
        long long d = d0, s = s0, n = n0;
        if (d < 0) s -= d, n += d, d = 0;
        if (withSource && s < 0) d -= s, n += s, s = 0;
        n = std::min<long long>(n, dLimit - d);
        if (withSource) n = std::min<long long>(n, sLimit - s);
        if (n <= 0) return false;
        d0 = int(d), s0 = int(s), n0 = int(n);
        return true;
    };
    if (!clip(x, x1, cx, dst.width, src.width, usesSource) ||
        !clip(y, y1, cy, dst.height, src.height, usesSource))
        return true;

    // Within one bitmap, walk away from the overlap so that no pixel is overwritten before it is read.
    const bool sameBitmap = usesSource && dst.base == src.base;
    const bool rowsBackwards = sameBitmap && y > y1;
    const bool pixelsBackwards = sameBitmap && y == y1 && x > x1;

    const std::uint32_t table = (rop >> 16) & 0xFF;
    for (int step = 0; step < cy; ++step) {
        const int row = rowsBackwards ? cy - 1 - step : step;
        if (rop == SRCCOPY && dst.bgr24 && !src.bgr24) {
            // The common case: a 32-bit picture into a DIB section.
            const auto* s = reinterpret_cast<const std::uint32_t*>(src.base + (y1 + row) * src.stride) + x1;
            std::uint8_t* d = dst.base + (y + row) * dst.stride + 3 * x;
            for (int i = 0; i < cx; ++i, d += 3) {
                const std::uint32_t p = s[i];
                d[0] = p & 0xFF, d[1] = (p >> 8) & 0xFF, d[2] = (p >> 16) & 0xFF;
            }
            continue;
        }
        if (rop == SRCCOPY && dst.bgr24 == src.bgr24) {
            const int bpp = dst.bgr24 ? 3 : 4;
            std::memmove(dst.base + (y + row) * dst.stride + bpp * x,
                         src.base + (y1 + row) * src.stride + bpp * x1, std::size_t(cx) * bpp);
            continue;
        }
        for (int k = 0; k < cx; ++k) {
            const int i = pixelsBackwards ? cx - 1 - k : k;
            const std::uint32_t s = usesSource ? src.Read(x1 + i, y1 + row) : 0;
            dst.Write(x + i, y + row, ApplyRop(table, s, dst.Read(x + i, y + row)));
        }
    }
    return true;
}

QSize BitmapSize(HBITMAP bitmap) {
    Table& t = T();
    std::lock_guard lock(t.mutex);
    auto bmp = t.bitmaps.find(bitmap);
    return bmp == t.bitmaps.end() ? QSize() : bmp->second.size();
}

QImage BitmapImage(HBITMAP bitmap) {
    Table& t = T();
    std::unique_lock lock(t.mutex);
    auto bmp = t.bitmaps.find(bitmap);
    if (bmp == t.bitmaps.end() || bmp->second.stock) return {};
    if (!bmp->second.dib) {
        QImage img = bmp->second.image;
        const std::shared_ptr<const BitmapSource> lazy = bmp->second.source;
        lock.unlock();  // a copy of the image, or the picture, keeps the pixels alive from here
        if (lazy) img = lazy->image();
        return img.isNull() ? img : img.convertToFormat(QImage::Format_RGB32);
    }
    // A section's pixels go with its handle: copied while the lock keeps it.
    const View v = DibView(*bmp->second.dib);
    QImage out(v.width, v.height, QImage::Format_RGB32);
    if (out.isNull()) return out;
    for (int yy = 0; yy < v.height; ++yy) {
        auto* line = reinterpret_cast<std::uint32_t*>(out.scanLine(yy));
        for (int xx = 0; xx < v.width; ++xx) line[xx] = 0xFF000000u | v.Read(xx, yy);
    }
    return out;
}

std::size_t LiveObjectCount() {
    Table& t = T();
    std::lock_guard lock(t.mutex);
    return t.bitmaps.size() - 1 + t.dcs.size();
}

}  // namespace platform
