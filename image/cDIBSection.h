#pragma once
// A 24-bit device-independent bitmap selected into its own memory device context: three bytes a pixel
// (blue, green, red), rows padded to 4 bytes, bottom row first. Its pixel memory is read and written in
// place through DIBSectionBitsPtr(); pictures come in and go out by one bit-block transfer each.

#include "platform/gdi.h"
#include "platform/picture.h"

#include <cstdint>
#include <memory>

class cDIBSection {
public:
    using HDC = platform::HDC;
    using HBITMAP = platform::HBITMAP;

    cDIBSection() = default;
    ~cDIBSection();
    cDIBSection(const cDIBSection&) = delete;
    cDIBSection& operator=(const cDIBSection&) = delete;

    bool CreateDIB(HDC lhDC, std::int32_t lWidth, std::int32_t lHeight, HBITMAP& hDib);
    void CreateFromPicture(const platform::Picture& picThis);
    bool Create(std::int32_t lWidth, std::int32_t lHeight);

    std::int32_t BytesPerScanLine() const;
    std::int32_t Width() const { return m_tBI.biWidth; }
    std::int32_t Height() const { return m_tBI.biHeight; }

    void LoadPictureBlt(HDC lhDC, std::int32_t lSrcLeft = 0, std::int32_t lSrcTop = 0,
                        std::int32_t lSrcWidth = -1, std::int32_t lSrcHeight = -1,
                        std::uint32_t eRop = platform::SRCCOPY);
    void PaintPicture(HDC lhDC, std::int32_t lDestLeft = 0, std::int32_t lDestTop = 0,
                      std::int32_t lDestWidth = -1, std::int32_t lDestHeight = -1, std::int32_t lSrcLeft = 0,
                      std::int32_t lSrcTop = 0, std::uint32_t eRop = platform::SRCCOPY);

    HDC hdc() const { return m_hDC; }
    HBITMAP hDib() const { return m_hDib; }
    std::uint8_t* DIBSectionBitsPtr() const { return m_lPtr; }

    void ClearUp();

    // Bilinear resampling into a new buffer (height first); nullptr when it cannot be made.
    std::unique_ptr<cDIBSection> Resample(std::int32_t lNewHeight, std::int32_t lNewWidth) const;
    // Fills the pixels with grey (bGray) or green-red noise, reseeded from the time of day.
    void RandomiseBits(bool bGray = false);
    // Puts a copy on the clipboard as a screen-format bitmap; true only when the clipboard took it.
    bool CopyToClipboard(bool bAsDIB = true);

private:
    bool ResampleInto(cDIBSection& cTo) const;

    HBITMAP m_hDib = 0;
    HBITMAP m_hBmpOld = 0;
    HDC m_hDC = 0;
    std::uint8_t* m_lPtr = nullptr;
    platform::BITMAPINFOHEADER m_tBI{};
};
