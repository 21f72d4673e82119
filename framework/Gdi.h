// Drawing: move-only owners of GDI objects (CPen, CBrush, CFont, CBitmap), the device
// context wrapper CDC with its owning forms (CPaintDC for WM_PAINT, CClientDC and
// CWindowDC for a window's DC, CMemDC for an off-screen context) and the scoped guards
// CSelectObject and CSaveDC, so that a paint routine always hands a DC back exactly as
// it got it.
#pragma once

#include <windows.h>
#include <utility>

// An owned GDI object of one kind; deleted with DeleteObject when the owner goes.
template <typename THandle>
class CGdiObjectT {
public:
    CGdiObjectT() = default;
    explicit CGdiObjectT(THandle h) : m_hObject(h) {}
    ~CGdiObjectT() { DeleteObject(); }
    CGdiObjectT(const CGdiObjectT&) = delete;
    CGdiObjectT& operator=(const CGdiObjectT&) = delete;
    CGdiObjectT(CGdiObjectT&& other) noexcept : m_hObject(other.Detach()) {}
    CGdiObjectT& operator=(CGdiObjectT&& other) noexcept
    {
        if (this != &other)
            Attach(other.Detach());
        return *this;
    }

    THandle GetSafeHandle() const { return m_hObject; }
    operator THandle() const { return m_hObject; }
    bool IsNull() const { return m_hObject == nullptr; }

    // Takes ownership of h, deleting what was held before.
    void Attach(THandle h)
    {
        DeleteObject();
        m_hObject = h;
    }
    THandle Detach()
    {
        THandle h = m_hObject;
        m_hObject = nullptr;
        return h;
    }
    BOOL DeleteObject()
    {
        if (!m_hObject)
            return FALSE;
        BOOL ok = ::DeleteObject(m_hObject);
        m_hObject = nullptr;
        return ok;
    }

protected:
    THandle m_hObject = nullptr;
};

class CPen : public CGdiObjectT<HPEN> {
public:
    CPen() = default;
    CPen(int nPenStyle, int nWidth, COLORREF clr) { CreatePen(nPenStyle, nWidth, clr); }
    BOOL CreatePen(int nPenStyle, int nWidth, COLORREF clr)
    {
        Attach(::CreatePen(nPenStyle, nWidth, clr));
        return !IsNull();
    }
};

class CBrush : public CGdiObjectT<HBRUSH> {
public:
    CBrush() = default;
    explicit CBrush(COLORREF clr) { CreateSolidBrush(clr); }
    BOOL CreateSolidBrush(COLORREF clr)
    {
        Attach(::CreateSolidBrush(clr));
        return !IsNull();
    }
};

class CFont : public CGdiObjectT<HFONT> {
public:
    BOOL CreateFontIndirect(const LOGFONTA* plf)
    {
        Attach(::CreateFontIndirectA(plf));
        return !IsNull();
    }
    // Reads the description of any font handle (owned or not) into *plf.
    static BOOL GetLogFont(HFONT hFont, LOGFONTA* plf)
    {
        return hFont && ::GetObjectA(hFont, sizeof(LOGFONTA), plf) == sizeof(LOGFONTA);
    }
};

class CBitmap : public CGdiObjectT<HBITMAP> {
public:
    BOOL CreateCompatibleBitmap(HDC hdc, int cx, int cy)
    {
        Attach(::CreateCompatibleBitmap(hdc, cx, cy));
        return !IsNull();
    }
    BOOL LoadBitmap(UINT nId);
    // A 32-bit top-down DIB section; *ppBits receives its pixels (0x00RRGGBB per pixel).
    BOOL CreateDIBSection32(int cx, int cy, void** ppBits);
};

// A device context that the holder does not own: a thin wrapper over HDC.
class CDC {
public:
    CDC() = default;
    explicit CDC(HDC hdc) : m_hDC(hdc) {}
    virtual ~CDC() = default;
    CDC(const CDC&) = delete;
    CDC& operator=(const CDC&) = delete;

    HDC GetSafeHdc() const { return m_hDC; }
    operator HDC() const { return m_hDC; }

    HGDIOBJ SelectObject(HGDIOBJ h) { return ::SelectObject(m_hDC, h); }
    HGDIOBJ SelectStockObject(int nIndex)
    {
        return ::SelectObject(m_hDC, ::GetStockObject(nIndex));
    }
    int SaveDC() { return ::SaveDC(m_hDC); }
    BOOL RestoreDC(int nSaved) { return ::RestoreDC(m_hDC, nSaved); }

    COLORREF SetTextColor(COLORREF clr) { return ::SetTextColor(m_hDC, clr); }
    COLORREF SetBkColor(COLORREF clr) { return ::SetBkColor(m_hDC, clr); }
    int SetBkMode(int nMode) { return ::SetBkMode(m_hDC, nMode); }

    BOOL MoveTo(int x, int y) { return ::MoveToEx(m_hDC, x, y, nullptr); }
    BOOL LineTo(int x, int y) { return ::LineTo(m_hDC, x, y); }
    COLORREF SetPixel(int x, int y, COLORREF clr) { return ::SetPixel(m_hDC, x, y, clr); }
    COLORREF GetPixel(int x, int y) const { return ::GetPixel(m_hDC, x, y); }
    BOOL Rectangle(const RECT& rc)
    {
        return ::Rectangle(m_hDC, rc.left, rc.top, rc.right, rc.bottom);
    }
    BOOL RoundRect(const RECT& rc, int cxEllipse, int cyEllipse)
    {
        return ::RoundRect(m_hDC, rc.left, rc.top, rc.right, rc.bottom, cxEllipse, cyEllipse);
    }
    void FillSolidRect(const RECT& rc, COLORREF clr);
    void FillRect(const RECT& rc, HBRUSH hBrush) { ::FillRect(m_hDC, &rc, hBrush); }
    void FrameRect(const RECT& rc, HBRUSH hBrush) { ::FrameRect(m_hDC, &rc, hBrush); }
    // Two-colour rectangle edge: top and left in clrTopLeft, bottom and right in clrBottomRight.
    void Draw3dRect(const RECT& rc, COLORREF clrTopLeft, COLORREF clrBottomRight);
    void DrawFocusRect(const RECT& rc) { ::DrawFocusRect(m_hDC, &rc); }
    int DrawText(const char* psz, int nCount, RECT* prc, UINT nFormat)
    {
        return ::DrawTextA(m_hDC, psz, nCount, prc, nFormat);
    }
    SIZE GetTextExtent(const char* psz, int nCount) const;
    BOOL BitBlt(int x, int y, int cx, int cy, HDC hdcSrc, int xSrc, int ySrc, DWORD rop)
    {
        return ::BitBlt(m_hDC, x, y, cx, cy, hdcSrc, xSrc, ySrc, rop);
    }

protected:
    HDC m_hDC = nullptr;
};

// The DC of BeginPaint/EndPaint, for a WM_PAINT handler.
class CPaintDC : public CDC {
public:
    explicit CPaintDC(HWND hWnd) : m_hWnd(hWnd) { m_hDC = ::BeginPaint(hWnd, &m_ps); }
    ~CPaintDC() override { ::EndPaint(m_hWnd, &m_ps); }
    const PAINTSTRUCT& GetPaintStruct() const { return m_ps; }

private:
    HWND m_hWnd;
    PAINTSTRUCT m_ps{};
};

// A window's client-area DC (GetDC/ReleaseDC).
class CClientDC : public CDC {
public:
    explicit CClientDC(HWND hWnd) : m_hWnd(hWnd) { m_hDC = ::GetDC(hWnd); }
    ~CClientDC() override
    {
        if (m_hDC)
            ::ReleaseDC(m_hWnd, m_hDC);
    }

private:
    HWND m_hWnd;
};

// A window's whole-window DC (GetWindowDC/ReleaseDC).
class CWindowDC : public CDC {
public:
    explicit CWindowDC(HWND hWnd) : m_hWnd(hWnd) { m_hDC = ::GetWindowDC(hWnd); }
    ~CWindowDC() override
    {
        if (m_hDC)
            ::ReleaseDC(m_hWnd, m_hDC);
    }

private:
    HWND m_hWnd;
};

// An owned memory DC compatible with another (CreateCompatibleDC/DeleteDC).
class CMemDC : public CDC {
public:
    explicit CMemDC(HDC hdcCompatible) { m_hDC = ::CreateCompatibleDC(hdcCompatible); }
    ~CMemDC() override
    {
        if (m_hDC)
            ::DeleteDC(m_hDC);
    }
};

// Selects a GDI object into a DC for the guard's scope and puts the previous one back.
class CSelectObject {
public:
    CSelectObject(HDC hdc, HGDIOBJ hObject)
        : m_hDC(hdc), m_hOld(hObject ? ::SelectObject(hdc, hObject) : nullptr)
    {}
    ~CSelectObject()
    {
        if (m_hOld)
            ::SelectObject(m_hDC, m_hOld);
    }
    CSelectObject(const CSelectObject&) = delete;
    CSelectObject& operator=(const CSelectObject&) = delete;

private:
    HDC m_hDC;
    HGDIOBJ m_hOld;
};

// Saves a DC's state for the guard's scope (SaveDC/RestoreDC).
class CSaveDC {
public:
    explicit CSaveDC(HDC hdc) : m_hDC(hdc), m_nSaved(::SaveDC(hdc)) {}
    ~CSaveDC()
    {
        if (m_nSaved)
            ::RestoreDC(m_hDC, m_nSaved);
    }
    CSaveDC(const CSaveDC&) = delete;
    CSaveDC& operator=(const CSaveDC&) = delete;

private:
    HDC m_hDC;
    int m_nSaved;
};
