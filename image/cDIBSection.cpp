#include "image/cDIBSection.h"

#include "platform/runtime.h"

using namespace platform;

cDIBSection::~cDIBSection() { ClearUp(); }

bool cDIBSection::CreateDIB(HDC lhDC, std::int32_t lWidth, std::int32_t lHeight, HBITMAP& hDib) {
    m_tBI.biWidth = lWidth;
    m_tBI.biSize = sizeof(BITMAPINFOHEADER);
    m_tBI.biHeight = lHeight;
    m_tBI.biPlanes = 1;
    m_tBI.biBitCount = 24;
    m_tBI.biCompression = BI_RGB;
    m_tBI.biSizeImage = std::uint32_t(CheckedMul(m_tBI.biHeight, BytesPerScanLine()));
    void* bits = nullptr;
    hDib = CreateDIBSection(lhDC, m_tBI, DIB_RGB_COLORS, &bits, nullptr, 0);
    m_lPtr = static_cast<std::uint8_t*>(bits);
    return hDib != 0;
}

bool cDIBSection::Create(std::int32_t lWidth, std::int32_t lHeight) {
    ClearUp();
    m_hDC = CreateCompatibleDC(0);
    if (m_hDC == 0) return false;
    bool created = false;
    try {
        created = CreateDIB(m_hDC, lWidth, lHeight, m_hDib);
    } catch (...) {
        // An overflowing size goes to the caller, but not with a DC left behind.
        DeleteDC(m_hDC);
        m_hDC = 0;
        throw;
    }
    if (created) {
        m_hBmpOld = SelectObject(m_hDC, m_hDib);
        return true;
    }
    DeleteDC(m_hDC);
    m_hDC = 0;
    m_lPtr = nullptr;
    return false;
}

void cDIBSection::CreateFromPicture(const Picture& picThis) {
    BITMAP tBM{};
    GetObjectA(picThis.Handle(), sizeof tBM, &tBM);
    if (!Create(tBM.bmWidth, tBM.bmHeight)) return;
    const HWND lhWnd = GetDesktopWindow();
    const HDC lhDC = GetDC(lhWnd);
    if (lhDC == 0) return;
    const HDC lhDCC = CreateCompatibleDC(lhDC);
    ReleaseDC(lhWnd, lhDC);
    if (lhDCC != 0) {
        const HGDIOBJ lhBmpOld = SelectObject(lhDCC, picThis.Handle());
        LoadPictureBlt(lhDCC);
        SelectObject(lhDCC, lhBmpOld);
        DeleteDC(lhDCC);
    }
}

std::int32_t cDIBSection::BytesPerScanLine() const {
    return CheckedAdd(CheckedMul(m_tBI.biWidth, 3), 3) & ~3;
}

void cDIBSection::LoadPictureBlt(HDC lhDC, std::int32_t lSrcLeft, std::int32_t lSrcTop,
                                 std::int32_t lSrcWidth, std::int32_t lSrcHeight, std::uint32_t eRop) {
    if (lSrcWidth < 0) lSrcWidth = m_tBI.biWidth;
    if (lSrcHeight < 0) lSrcHeight = m_tBI.biHeight;
    BitBlt(m_hDC, 0, 0, lSrcWidth, lSrcHeight, lhDC, lSrcLeft, lSrcTop, eRop);
}

void cDIBSection::PaintPicture(HDC lhDC, std::int32_t lDestLeft, std::int32_t lDestTop,
                               std::int32_t lDestWidth, std::int32_t lDestHeight, std::int32_t lSrcLeft,
                               std::int32_t lSrcTop, std::uint32_t eRop) {
    if (lDestWidth < 0) lDestWidth = m_tBI.biWidth;
    if (lDestHeight < 0) lDestHeight = m_tBI.biHeight;
    BitBlt(lhDC, lDestLeft, lDestTop, lDestWidth, lDestHeight, m_hDC, lSrcLeft, lSrcTop, eRop);
}

void cDIBSection::ClearUp() {
    if (m_hDC != 0) {
        if (m_hDib != 0) {
            SelectObject(m_hDC, m_hBmpOld);
            DeleteObject(m_hDib);
        }
        DeleteDC(m_hDC);
    }
    m_hDC = 0;
    m_hDib = 0;
    m_hBmpOld = 0;
    m_lPtr = nullptr;
}
