// The CBitmap and CDC operations that are more than one call. Every helper here leaves
// the DC as it found it: no object stays selected and the background colour is put back.
#include "framework/Gdi.h"

#include <cstring>
#include "framework/WinApp.h"

// A bitmap resource of the program (the exe's module).
BOOL CBitmap::LoadBitmap(UINT nId)
{
    Attach(::LoadBitmapA(AfxGetResourceHandle(), MAKEINTRESOURCEA(nId)));
    return !IsNull();
}

// Pixels that can be read directly: a top-down 32-bit DIB section, so that row 0 is the top
// and a pixel is one DWORD 0x00RRGGBB.
BOOL CBitmap::CreateDIBSection32(int cx, int cy, void** ppBits)
{
    if (ppBits)
        *ppBits = nullptr;
    if (cx <= 0 || cy <= 0) {
        DeleteObject();
        return FALSE;
    }
    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = cx;
    bmi.bmiHeader.biHeight = -cy;  // negative: top-down rows
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* pBits = nullptr;
    Attach(::CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &pBits, nullptr, 0));
    if (IsNull())
        return FALSE;
    if (ppBits)
        *ppBits = pBits;
    return TRUE;
}

// Paints without creating a brush: an opaque text output of no text fills exactly rc. The DC's
// background colour is restored.
void CDC::FillSolidRect(const RECT& rc, COLORREF clr)
{
    COLORREF clrOld = ::SetBkColor(m_hDC, clr);
    ::ExtTextOutA(m_hDC, 0, 0, ETO_OPAQUE, &rc, nullptr, 0, nullptr);
    if (clrOld != CLR_INVALID)
        ::SetBkColor(m_hDC, clrOld);
}

// One-pixel raised or sunken edges: top and left in clrTopLeft, right and bottom in
// clrBottomRight. The top and left strokes stop one pixel short, so the top-right and
// bottom-left corner pixels belong to the right and bottom edges. An empty rectangle draws
// nothing.
void CDC::Draw3dRect(const RECT& rc, COLORREF clrTopLeft, COLORREF clrBottomRight)
{
    const int x = rc.left, y = rc.top;
    const int cx = rc.right - rc.left, cy = rc.bottom - rc.top;
    if (cx <= 0 || cy <= 0)
        return;
    const RECT top{x, y, x + cx - 1, y + 1};
    const RECT left{x, y, x + 1, y + cy - 1};
    const RECT right{x + cx - 1, y, x + cx, y + cy};
    const RECT bottom{x, y + cy - 1, x + cx, y + cy};
    FillSolidRect(top, clrTopLeft);
    FillSolidRect(left, clrTopLeft);
    FillSolidRect(right, clrBottomRight);
    FillSolidRect(bottom, clrBottomRight);
}

// In the DC's current font; nCount -1 measures up to the zero.
SIZE CDC::GetTextExtent(const char* psz, int nCount) const
{
    SIZE size{0, 0};
    if (!psz)
        return size;
    if (nCount < 0)
        nCount = int(std::strlen(psz));
    if (!::GetTextExtentPoint32A(m_hDC, psz, nCount, &size))
        size = SIZE{0, 0};
    return size;
}
