// The icons and the emblem bitmap: their sizes and colour depths, and that the icons'
// backgrounds are transparent while their pictures fill the middle. Pixels are read
// back from a 32-bit DIB section, never from the screen.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

#include "res/resource.h"

namespace {

#pragma pack(push, 2)
struct GroupIconEntry {
    BYTE width, height, colorCount, reserved;
    WORD planes, bitCount;
    DWORD bytesInRes;
    WORD id;
};
#pragma pack(pop)

std::vector<GroupIconEntry> GroupEntries(UINT nId)
{
    HMODULE hMod = ::GetModuleHandleA(nullptr);
    HRSRC hRes =
        ::FindResourceA(hMod, MAKEINTRESOURCEA(nId), MAKEINTRESOURCEA(14) /* RT_GROUP_ICON */);
    if (!hRes)
        return {};
    const BYTE* p = static_cast<const BYTE*>(::LockResource(::LoadResource(hMod, hRes)));
    WORD count = 0;
    std::memcpy(&count, p + 4, sizeof(count));
    std::vector<GroupIconEntry> entries(count);
    if (::SizeofResource(hMod, hRes) < 6 + count * sizeof(GroupIconEntry))
        return {};
    std::memcpy(entries.data(), p + 6, count * sizeof(GroupIconEntry));
    return entries;
}

// A 32-bit top-down DIB section selected into a memory DC, filled with one colour.
class PixelCanvas {
public:
    PixelCanvas(int cx, int cy, COLORREF fill) : m_cx(cx)
    {
        BITMAPINFO bi{};
        bi.bmiHeader.biSize = sizeof(bi.bmiHeader);
        bi.bmiHeader.biWidth = cx;
        bi.bmiHeader.biHeight = -cy;
        bi.bmiHeader.biPlanes = 1;
        bi.bmiHeader.biBitCount = 32;
        m_hdc = ::CreateCompatibleDC(nullptr);
        m_hbm = ::CreateDIBSection(m_hdc, &bi, DIB_RGB_COLORS, reinterpret_cast<void**>(&m_bits),
                                   nullptr, 0);
        m_old = ::SelectObject(m_hdc, m_hbm);
        HBRUSH hbr = ::CreateSolidBrush(fill);
        RECT rc{0, 0, cx, cy};
        ::FillRect(m_hdc, &rc, hbr);
        ::DeleteObject(hbr);
    }
    ~PixelCanvas()
    {
        ::SelectObject(m_hdc, m_old);
        ::DeleteObject(m_hbm);
        ::DeleteDC(m_hdc);
    }
    PixelCanvas(const PixelCanvas&) = delete;
    PixelCanvas& operator=(const PixelCanvas&) = delete;

    HDC dc() const { return m_hdc; }
    COLORREF At(int x, int y) const
    {
        ::GdiFlush();
        const DWORD v = m_bits[y * m_cx + x];
        return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
    }

private:
    int m_cx;
    HDC m_hdc = nullptr;
    HBITMAP m_hbm = nullptr;
    HGDIOBJ m_old = nullptr;
    DWORD* m_bits = nullptr;
};

constexpr COLORREF kMagenta = RGB(255, 0, 255);

// Where an icon's picture lies when drawn at size px: the count of covered pixels and
// their bounding box.
struct Coverage {
    int covered = 0;
    RECT bounds{0, 0, 0, 0};
};

// Draws icon nId at size px on magenta and measures the picture; checks that the four
// corners stay transparent.
Coverage CoverageOf(UINT nId, int px)
{
    Coverage c;
    HICON hIcon = static_cast<HICON>(
        ::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(nId), IMAGE_ICON, px, px, 0));
    EXPECT_NE(hIcon, nullptr);
    if (!hIcon)
        return c;
    PixelCanvas canvas(px, px, kMagenta);
    ::DrawIconEx(canvas.dc(), 0, 0, hIcon, px, px, 0, nullptr, DI_NORMAL);
    ::DestroyIcon(hIcon);
    EXPECT_EQ(canvas.At(0, 0), kMagenta);
    EXPECT_EQ(canvas.At(px - 1, 0), kMagenta);
    EXPECT_EQ(canvas.At(0, px - 1), kMagenta);
    EXPECT_EQ(canvas.At(px - 1, px - 1), kMagenta);
    c.bounds = RECT{px, px, 0, 0};
    for (int y = 0; y < px; ++y) {
        for (int x = 0; x < px; ++x) {
            if (canvas.At(x, y) == kMagenta)
                continue;
            ++c.covered;
            c.bounds.left = std::min<LONG>(c.bounds.left, x);
            c.bounds.top = std::min<LONG>(c.bounds.top, y);
            c.bounds.right = std::max<LONG>(c.bounds.right, x + 1);
            c.bounds.bottom = std::max<LONG>(c.bounds.bottom, y + 1);
        }
    }
    return c;
}

TEST(Icons, ApplicationIconHasThreeTrueColourSizes)
{
    const std::vector<GroupIconEntry> entries = GroupEntries(IDR_MAINFRAME);
    ASSERT_EQ(entries.size(), 3u);
    const int sizes[] = {16, 32, 48};
    for (size_t i = 0; i < entries.size(); ++i) {
        EXPECT_EQ(entries[i].width, sizes[i]);
        EXPECT_EQ(entries[i].height, sizes[i]);
        EXPECT_EQ(entries[i].bitCount, 24);
    }
    for (int px : sizes) {
        SCOPED_TRACE(px);
        const int covered = CoverageOf(IDR_MAINFRAME, px).covered;
        EXPECT_GT(covered, px * px / 3);
        EXPECT_LT(covered, px * px);
    }
}

TEST(Icons, FolderAndFindAreSingle16Colour32PixelImagesWithTheirPictureInTheMiddle)
{
    for (UINT nId : {UINT(IDI_FOLDER), UINT(IDI_FIND)}) {
        SCOPED_TRACE(nId);
        const std::vector<GroupIconEntry> entries = GroupEntries(nId);
        ASSERT_EQ(entries.size(), 1u);
        EXPECT_EQ(entries[0].width, 32);
        EXPECT_EQ(entries[0].height, 32);
        EXPECT_EQ(entries[0].colorCount, 16);
        EXPECT_EQ(entries[0].bitCount, 4);
        // The picture keeps to the middle 16 x 16 pixels, so that the small buttons of
        // the main dialog (about 21 by 20 pixels), which show the middle of the icon,
        // show it whole.
        const Coverage c = CoverageOf(nId, 32);
        EXPECT_GT(c.covered, 16 * 16 / 3);
        EXPECT_GE(c.bounds.left, 8);
        EXPECT_GE(c.bounds.top, 8);
        EXPECT_LE(c.bounds.right, 24);
        EXPECT_LE(c.bounds.bottom, 24);
    }
}

// The open folder is yellow; the magnifying glass has a light lens in its upper left.
TEST(Icons, PicturesHaveTheirColours)
{
    auto drawn = [](UINT nId, int x, int y) {
        HICON hIcon = static_cast<HICON>(::LoadImageA(
            ::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(nId), IMAGE_ICON, 32, 32, 0));
        PixelCanvas canvas(32, 32, kMagenta);
        ::DrawIconEx(canvas.dc(), 0, 0, hIcon, 32, 32, 0, nullptr, DI_NORMAL);
        ::DestroyIcon(hIcon);
        return canvas.At(x, y);
    };
    EXPECT_EQ(drawn(IDI_FOLDER, 16, 19), RGB(255, 255, 0));
    EXPECT_EQ(drawn(IDI_FIND, 14, 14), RGB(0, 255, 255));
}

TEST(Emblem, Is16By16TrueColourOnLightGrey)
{
    HBITMAP hbm =
        static_cast<HBITMAP>(::LoadImageA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_EMBLEM),
                                          IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(hbm, nullptr);
    DIBSECTION ds{};
    ASSERT_EQ(::GetObjectA(hbm, sizeof(ds), &ds), int(sizeof(ds)));
    EXPECT_EQ(ds.dsBm.bmWidth, 16);
    EXPECT_EQ(ds.dsBm.bmHeight, 16);
    EXPECT_EQ(ds.dsBmih.biBitCount, 24);

    PixelCanvas canvas(16, 16, kMagenta);
    HDC hdcSrc = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(hdcSrc, hbm);
    ::BitBlt(canvas.dc(), 0, 0, 16, 16, hdcSrc, 0, 0, SRCCOPY);
    ::SelectObject(hdcSrc, old);
    ::DeleteDC(hdcSrc);
    ::DeleteObject(hbm);

    const COLORREF grey = RGB(212, 212, 212);
    EXPECT_EQ(canvas.At(0, 0), grey);
    EXPECT_EQ(canvas.At(15, 0), grey);
    EXPECT_EQ(canvas.At(0, 15), grey);
    // The cylinder's body and the grid's lines and cells.
    EXPECT_EQ(canvas.At(5, 8), RGB(60, 110, 190));
    EXPECT_EQ(canvas.At(7, 12), RGB(40, 40, 40));
    EXPECT_EQ(canvas.At(9, 11), RGB(255, 255, 255));
}

}  // namespace
