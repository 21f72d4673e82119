// Helpers of the flat button and owner-drawn menu tests.
#include "FlatTestSupport.h"

#include "framework/Wnd.h"

TestDib::TestDib(int cx, int cy, COLORREF clrFill) : m_cx(cx), m_cy(cy)
{
    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
    bmi.bmiHeader.biWidth = cx;
    bmi.bmiHeader.biHeight = -cy;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* pBits = nullptr;
    m_hDC = ::CreateCompatibleDC(nullptr);
    m_hBitmap = ::CreateDIBSection(m_hDC, &bmi, DIB_RGB_COLORS, &pBits, nullptr, 0);
    m_pBits = static_cast<uint32_t*>(pBits);
    m_hOld = ::SelectObject(m_hDC, m_hBitmap);
    Fill(clrFill);
}

TestDib::~TestDib()
{
    ::SelectObject(m_hDC, m_hOld);
    ::DeleteObject(m_hBitmap);
    ::DeleteDC(m_hDC);
}

COLORREF TestDib::Pixel(int x, int y) const
{
    ::GdiFlush();
    const uint32_t v = m_pBits[size_t(y) * size_t(m_cx) + size_t(x)];
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

int TestDib::Count(int x0, int y0, int x1, int y1, COLORREF clr) const
{
    int n = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            if (Pixel(x, y) == clr)
                ++n;
    return n;
}

void TestDib::Fill(COLORREF clr)
{
    ::GdiFlush();
    const uint32_t v =
        (uint32_t(GetRValue(clr)) << 16) | (uint32_t(GetGValue(clr)) << 8) | GetBValue(clr);
    for (int i = 0; i < m_cx * m_cy; ++i)
        m_pBits[i] = v;
}

void PumpMessages(HWND hWndStop)
{
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (!CWnd::PreTranslateTree(hWndStop, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
}

void PumpFor(HWND hWndStop, DWORD nMilliseconds)
{
    const DWORD dwStart = ::GetTickCount();
    do {
        PumpMessages(hWndStop);
        ::Sleep(5);
    } while (::GetTickCount() - dwStart < nMilliseconds);
}

bool CanStillCreateGdiObjects()
{
    HBRUSH hBrush = ::CreateSolidBrush(RGB(1, 1, 1));
    HPEN hPen = ::CreatePen(PS_SOLID, 1, RGB(1, 1, 1));
    HDC hdc = ::CreateCompatibleDC(nullptr);
    const bool bOk = hBrush && hPen && hdc;
    if (hBrush)
        ::DeleteObject(hBrush);
    if (hPen)
        ::DeleteObject(hPen);
    if (hdc)
        ::DeleteDC(hdc);
    return bOk;
}

GdiTableSqueeze::GdiTableSqueeze(size_t nFree)
{
    m_fillers.reserve(70000);
    while (m_fillers.size() < 200000) {
        HBRUSH hBrush = ::CreateSolidBrush(RGB(m_fillers.size() & 0xFF, 0, 0));
        if (!hBrush)
            break;
        m_fillers.push_back(hBrush);
    }
    for (size_t i = 0; i < nFree && !m_fillers.empty(); ++i) {
        ::DeleteObject(m_fillers.back());
        m_fillers.pop_back();
    }
}

GdiTableSqueeze::~GdiTableSqueeze()
{
    for (HBRUSH hBrush : m_fillers)
        ::DeleteObject(hBrush);
}
