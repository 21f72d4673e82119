// Drawing helpers: pixels read back from a 32-bit DIB section selected into a memory DC,
// and the guards and helpers leaving the DC's pen, brush, font and colours as they were.
#include <gtest/gtest.h>

#include <windows.h>
#include <functional>
#include "framework/Gdi.h"

namespace {

// A memory DC with a white top-down 32-bit DIB section selected, and its pixels.
class PixelCanvas {
public:
    PixelCanvas(int cx, int cy) : m_dc(nullptr), m_cx(cx), m_cy(cy)
    {
        m_bitmap.CreateDIBSection32(cx, cy, reinterpret_cast<void**>(&m_pBits));
        m_hOld = m_dc.SelectObject(m_bitmap);
        for (int i = 0; i < cx * cy; ++i)
            m_pBits[i] = 0x00FFFFFF;
    }
    ~PixelCanvas() { m_dc.SelectObject(m_hOld); }

    CDC& dc() { return m_dc; }
    // The pixel as 0x00RRGGBB, after GDI has finished drawing.
    DWORD At(int x, int y)
    {
        ::GdiFlush();
        return m_pBits[y * m_cx + x];
    }
    int Width() const { return m_cx; }
    int Height() const { return m_cy; }

private:
    CMemDC m_dc;
    CBitmap m_bitmap;
    DWORD* m_pBits = nullptr;
    HGDIOBJ m_hOld = nullptr;
    int m_cx, m_cy;
};

// COLORREF (0x00BBGGRR) to the DIB's pixel layout (0x00RRGGBB).
DWORD Pixel(COLORREF clr)
{
    return (DWORD(GetRValue(clr)) << 16) | (DWORD(GetGValue(clr)) << 8) | GetBValue(clr);
}

const COLORREF kRed = RGB(255, 0, 0);
const COLORREF kBlue = RGB(0, 0, 255);
const COLORREF kGreen = RGB(0, 200, 0);
const DWORD kWhite = 0x00FFFFFF;

// Compares every pixel of the canvas with expected(x, y); reports the first few misses.
void ExpectPixels(PixelCanvas& canvas, const std::function<DWORD(int, int)>& expected)
{
    int nMisses = 0;
    for (int y = 0; y < canvas.Height(); ++y) {
        for (int x = 0; x < canvas.Width(); ++x) {
            const DWORD want = expected(x, y);
            const DWORD got = canvas.At(x, y);
            if (want != got && ++nMisses <= 5)
                ADD_FAILURE() << "pixel (" << x << "," << y << "): expected " << std::hex << want
                              << " got " << got;
        }
    }
    EXPECT_EQ(0, nMisses);
}

}  // namespace

TEST(CBitmapTest, DIBSectionIsTopDown32Bit)
{
    CBitmap bitmap;
    void* pBits = nullptr;
    ASSERT_TRUE(bitmap.CreateDIBSection32(7, 5, &pBits));
    ASSERT_NE(nullptr, pBits);
    DIBSECTION ds{};
    ASSERT_EQ(int(sizeof(ds)), ::GetObjectA(bitmap, sizeof(ds), &ds));
    EXPECT_EQ(7, ds.dsBm.bmWidth);
    EXPECT_EQ(5, ds.dsBm.bmHeight);
    EXPECT_EQ(32, ds.dsBm.bmBitsPixel);
    // Row 0 of the memory is the top row of the image.
    CMemDC dc(nullptr);
    HGDIOBJ hOld = dc.SelectObject(bitmap);
    dc.SetPixel(3, 0, kRed);
    dc.SetPixel(1, 4, kBlue);
    ::GdiFlush();
    EXPECT_EQ(Pixel(kRed), static_cast<DWORD*>(pBits)[3]);
    EXPECT_EQ(Pixel(kBlue), static_cast<DWORD*>(pBits)[4 * 7 + 1]);
    dc.SelectObject(hOld);

    CBitmap none;
    EXPECT_FALSE(none.CreateDIBSection32(0, 5, &pBits));
    EXPECT_EQ(nullptr, pBits);
}

TEST(CBitmapTest, MissingResourceGivesNoBitmap)
{
    CBitmap bitmap;
    EXPECT_FALSE(bitmap.LoadBitmap(4999));
    EXPECT_TRUE(bitmap.IsNull());
}

TEST(CDCTest, FillSolidRectFillsExactlyTheRectangle)
{
    PixelCanvas canvas(16, 12);
    const RECT rc{3, 2, 9, 7};
    canvas.dc().FillSolidRect(rc, kGreen);
    ExpectPixels(canvas, [&](int x, int y) {
        const POINT pt{x, y};
        return ::PtInRect(&rc, pt) ? Pixel(kGreen) : kWhite;
    });
}

TEST(CDCTest, FillSolidRectRestoresTheBackgroundColour)
{
    PixelCanvas canvas(4, 4);
    canvas.dc().SetBkColor(RGB(1, 2, 3));
    canvas.dc().FillSolidRect(RECT{0, 0, 4, 4}, kRed);
    EXPECT_EQ(RGB(1, 2, 3), ::GetBkColor(canvas.dc()));
    EXPECT_EQ(Pixel(kRed), canvas.At(3, 3));
}

TEST(CDCTest, Draw3dRectPaintsOnePixelEdgesInTwoColours)
{
    PixelCanvas canvas(20, 16);
    const RECT rc{2, 3, 12, 10};  // 10 x 7
    canvas.dc().Draw3dRect(rc, kRed, kBlue);
    ExpectPixels(canvas, [&](int x, int y) {
        const int l = rc.left, t = rc.top, r = rc.right - 1, b = rc.bottom - 1;
        if (x < l || x > r || y < t || y > b)
            return kWhite;
        // Right column and bottom row belong to the second colour, corners included.
        if (x == r || y == b)
            return Pixel(kBlue);
        if (x == l || y == t)
            return Pixel(kRed);
        return kWhite;
    });
    // The corners that the two colours share, spelled out.
    EXPECT_EQ(Pixel(kRed), canvas.At(2, 3));
    EXPECT_EQ(Pixel(kBlue), canvas.At(11, 3));
    EXPECT_EQ(Pixel(kBlue), canvas.At(2, 9));
    EXPECT_EQ(Pixel(kBlue), canvas.At(11, 9));
}

TEST(CDCTest, Draw3dRectOfEmptyRectangleDrawsNothing)
{
    PixelCanvas canvas(8, 8);
    canvas.dc().Draw3dRect(RECT{4, 4, 4, 6}, kRed, kBlue);
    canvas.dc().Draw3dRect(RECT{5, 5, 2, 2}, kRed, kBlue);
    ExpectPixels(canvas, [](int, int) { return kWhite; });
}

TEST(CDCTest, GetTextExtentMeasuresTheGivenCharacters)
{
    CMemDC dc(nullptr);
    CSelectObject font(dc, ::GetStockObject(SYSTEM_FONT));
    const SIZE one = dc.GetTextExtent("WWWW", 1);
    const SIZE four = dc.GetTextExtent("WWWW", 4);
    const SIZE all = dc.GetTextExtent("WWWW", -1);
    EXPECT_GT(one.cx, 0);
    EXPECT_GT(one.cy, 0);
    EXPECT_EQ(4 * one.cx, four.cx);
    EXPECT_EQ(four.cx, all.cx);
    const SIZE none = dc.GetTextExtent(nullptr, 3);
    EXPECT_EQ(0, none.cx);
}

TEST(GdiGuards, SelectObjectAndSaveDCPutTheOriginalObjectsBack)
{
    PixelCanvas canvas(10, 10);
    HDC hdc = canvas.dc();
    const HGDIOBJ hPen0 = ::GetCurrentObject(hdc, OBJ_PEN);
    const HGDIOBJ hBrush0 = ::GetCurrentObject(hdc, OBJ_BRUSH);
    const HGDIOBJ hFont0 = ::GetCurrentObject(hdc, OBJ_FONT);
    const HGDIOBJ hBitmap0 = ::GetCurrentObject(hdc, OBJ_BITMAP);

    CPen pen(PS_SOLID, 1, kRed);
    CBrush brush(kBlue);
    LOGFONTA lf{};
    lf.lfHeight = -12;
    lstrcpyA(lf.lfFaceName, "Arial");
    CFont font;
    ASSERT_TRUE(font.CreateFontIndirect(&lf));
    {
        CSelectObject selPen(hdc, pen);
        CSelectObject selBrush(hdc, brush);
        CSelectObject selFont(hdc, font);
        EXPECT_EQ(pen.GetSafeHandle(), ::GetCurrentObject(hdc, OBJ_PEN));
        EXPECT_EQ(brush.GetSafeHandle(), ::GetCurrentObject(hdc, OBJ_BRUSH));
        EXPECT_EQ(font.GetSafeHandle(), ::GetCurrentObject(hdc, OBJ_FONT));
        canvas.dc().Rectangle(RECT{1, 1, 8, 8});
    }
    EXPECT_EQ(hPen0, ::GetCurrentObject(hdc, OBJ_PEN));
    EXPECT_EQ(hBrush0, ::GetCurrentObject(hdc, OBJ_BRUSH));
    EXPECT_EQ(hFont0, ::GetCurrentObject(hdc, OBJ_FONT));
    // The rectangle was drawn with the selected pen and brush.
    EXPECT_EQ(Pixel(kRed), canvas.At(1, 1));
    EXPECT_EQ(Pixel(kBlue), canvas.At(4, 4));

    {
        CSaveDC save(hdc);
        canvas.dc().SelectObject(pen);
        canvas.dc().SelectObject(brush);
        canvas.dc().SelectObject(font);
        canvas.dc().SetTextColor(kGreen);
        canvas.dc().SetBkMode(TRANSPARENT);
    }
    EXPECT_EQ(hPen0, ::GetCurrentObject(hdc, OBJ_PEN));
    EXPECT_EQ(hBrush0, ::GetCurrentObject(hdc, OBJ_BRUSH));
    EXPECT_EQ(hFont0, ::GetCurrentObject(hdc, OBJ_FONT));
    EXPECT_EQ(hBitmap0, ::GetCurrentObject(hdc, OBJ_BITMAP));
    EXPECT_NE(kGreen, ::GetTextColor(hdc));
    EXPECT_EQ(OPAQUE, ::GetBkMode(hdc));
}

TEST(GdiGuards, DrawingHelpersLeaveTheDCAsTheyFoundIt)
{
    PixelCanvas canvas(10, 10);
    HDC hdc = canvas.dc();
    const HGDIOBJ hPen0 = ::GetCurrentObject(hdc, OBJ_PEN);
    const HGDIOBJ hBrush0 = ::GetCurrentObject(hdc, OBJ_BRUSH);
    const HGDIOBJ hFont0 = ::GetCurrentObject(hdc, OBJ_FONT);
    canvas.dc().SetBkColor(RGB(10, 20, 30));
    canvas.dc().FillSolidRect(RECT{0, 0, 5, 5}, kRed);
    canvas.dc().Draw3dRect(RECT{0, 0, 10, 10}, kGreen, kBlue);
    canvas.dc().GetTextExtent("abc", 3);
    EXPECT_EQ(hPen0, ::GetCurrentObject(hdc, OBJ_PEN));
    EXPECT_EQ(hBrush0, ::GetCurrentObject(hdc, OBJ_BRUSH));
    EXPECT_EQ(hFont0, ::GetCurrentObject(hdc, OBJ_FONT));
    EXPECT_EQ(RGB(10, 20, 30), ::GetBkColor(hdc));
}

TEST(GdiObjects, OwnersDeleteAndMoveTheirHandles)
{
    CBrush a(kRed);
    HBRUSH h = a;
    ASSERT_NE(nullptr, h);
    CBrush b(std::move(a));
    EXPECT_TRUE(a.IsNull());
    EXPECT_EQ(h, b.GetSafeHandle());
    EXPECT_EQ(OBJ_BRUSH, DWORD(::GetObjectType(h)));
    b.DeleteObject();
    EXPECT_EQ(0u, DWORD(::GetObjectType(h)));  // gone
}
