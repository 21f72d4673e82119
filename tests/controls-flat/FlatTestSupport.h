// Helpers of the flat button and owner-drawn menu tests: a 32-bit DIB-section memory DC
// whose pixels can be read back, a draw-item request for it, and a message pump that
// offers each message to the bound windows first (as the dialogs' modal loop does).
#pragma once

#include <windows.h>
#include <cstdint>

// A memory DC holding a top-down 32-bit DIB section of cx by cy pixels.
class TestDib {
public:
    TestDib(int cx, int cy, COLORREF clrFill);
    ~TestDib();
    TestDib(const TestDib&) = delete;
    TestDib& operator=(const TestDib&) = delete;

    HDC dc() const { return m_hDC; }
    int width() const { return m_cx; }
    int height() const { return m_cy; }
    // The pixel at (x, y) as a COLORREF, read from the bits (no GDI involved).
    COLORREF Pixel(int x, int y) const;
    // How many pixels of the rectangle [x0, x1) x [y0, y1) have colour clr.
    int Count(int x0, int y0, int x1, int y1, COLORREF clr) const;
    void Fill(COLORREF clr);

private:
    int m_cx;
    int m_cy;
    HDC m_hDC = nullptr;
    HBITMAP m_hBitmap = nullptr;
    HGDIOBJ m_hOld = nullptr;
    uint32_t* m_pBits = nullptr;
};

#include <vector>

// Wine does not count a process's GDI objects (GetGuiResources answers 0). Instead, this
// fills the GDI handle table (about 65000 in Wine, 10000 a process on Windows) but for
// nFree entries while it lives: then kSqueezeRepeats paints that leak one object each
// leave the process unable to create any more.
class GdiTableSqueeze {
public:
    explicit GdiTableSqueeze(size_t nFree = 400);
    ~GdiTableSqueeze();
    GdiTableSqueeze(const GdiTableSqueeze&) = delete;
    GdiTableSqueeze& operator=(const GdiTableSqueeze&) = delete;
    size_t Filled() const { return m_fillers.size(); }

private:
    std::vector<HBRUSH> m_fillers;
};
const int kSqueezeRepeats = 1000;

// Whether the process can still create (and delete) a brush, a pen and a memory DC.
bool CanStillCreateGdiObjects();

// Pumps this thread's messages until the queue is empty, each through
// CWnd::PreTranslateTree(hWndStop, ...) first.
void PumpMessages(HWND hWndStop);
// The same for about nMilliseconds, for timers and posted work.
void PumpFor(HWND hWndStop, DWORD nMilliseconds);
