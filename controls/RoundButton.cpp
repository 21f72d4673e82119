// The rounded buttons: palette, off-screen painting of frame, caption and mark, and the
// mouse, keyboard and group behaviour of the check box and the radio button.
#include "controls/RoundButton.h"

#include <algorithm>
#include <initializer_list>

namespace {

// Button style bits that steer the drawing (the low four bits are the button type).
constexpr DWORD kStyleLeftText = BS_LEFTTEXT;  // 0x20
constexpr DWORD kStyleLeft = BS_LEFT;          // 0x100
constexpr DWORD kStyleRight = BS_RIGHT;        // 0x200
constexpr DWORD kStyleTop = BS_TOP;            // 0x400
constexpr DWORD kStyleBottom = BS_BOTTOM;      // 0x800
constexpr DWORD kStylePushLike = BS_PUSHLIKE;  // 0x1000
constexpr DWORD kStyleFlat = BS_FLAT;          // 0x8000

constexpr int kKindPush = 0;
constexpr int kKindCheck = 1;
constexpr int kKindRadio = 2;

// Mirrors a point of the radio bevel for the sunken look.
POINT Mirror(POINT pt, bool bMirror)
{
    return bMirror ? POINT{11 - pt.x, 11 - pt.y} : pt;
}

// The window colour with red, green and blue inverted.
COLORREF InverseWindowColor()
{
    const COLORREF clr = ::GetSysColor(COLOR_WINDOW);
    return RGB(255 - GetRValue(clr), 255 - GetGValue(clr), 255 - GetBValue(clr));
}

// A brush of 2 by 2 squares, clrA at the top-left and bottom-right pixel of each, clrB at the
// other two.
CBrush MakeCheckerBrush(COLORREF clrA, COLORREF clrB)
{
    struct {
        BITMAPINFOHEADER header;
        DWORD pixels[8 * 8];
    } pattern{};
    pattern.header.biSize = sizeof(BITMAPINFOHEADER);
    pattern.header.biWidth = 8;
    pattern.header.biHeight = -8;
    pattern.header.biPlanes = 1;
    pattern.header.biBitCount = 32;
    pattern.header.biCompression = BI_RGB;
    auto toPixel = [](COLORREF clr) {
        return DWORD(GetRValue(clr)) << 16 | DWORD(GetGValue(clr)) << 8 | GetBValue(clr);
    };
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x)
            pattern.pixels[y * 8 + x] = ((x + y) % 2 == 0) ? toPixel(clrA) : toPixel(clrB);
    CBrush brush;
    brush.Attach(::CreateDIBPatternBrushPt(&pattern, DIB_RGB_COLORS));
    return brush;
}

}  // namespace

// ---------------------------------------------------------------------------------------
// CRoundButton

CRoundButton::CRoundButton()
{
    DeriveColors();
    RebuildPens();
}

// Per component: c + amount, at most 255.
COLORREF CRoundButton::BrightenColor(COLORREF clr, int nAmount)
{
    auto up = [nAmount](int c) { return std::min(c + nAmount, 255); };
    return RGB(up(GetRValue(clr)), up(GetGValue(clr)), up(GetBValue(clr)));
}

// Per component: c - amount, at least 0.
COLORREF CRoundButton::DimColor(COLORREF clr, int nAmount)
{
    auto down = [nAmount](int c) { return std::max(c - nAmount, 0); };
    return RGB(down(GetRValue(clr)), down(GetGValue(clr)), down(GetBValue(clr)));
}

// The difference is halved with an arithmetic shift, which rounds toward minus infinity for
// darker targets.
COLORREF CRoundButton::HalfwayColor(COLORREF clrFrom, COLORREF clrTo)
{
    auto half = [](int from, int to) { return (from + ((to - from) >> 1)) & 0xFF; };
    return RGB(half(GetRValue(clrFrom), GetRValue(clrTo)),
               half(GetGValue(clrFrom), GetGValue(clrTo)),
               half(GetBValue(clrFrom), GetBValue(clrTo)));
}

// From the system colours; again on every system colour change.
void CRoundButton::DeriveColors()
{
    m_clrHighlight = ::GetSysColor(COLOR_BTNHIGHLIGHT);
    m_clrLight = ::GetSysColor(COLOR_3DLIGHT);
    m_clrFace = ::GetSysColor(COLOR_BTNFACE);
    m_clrShadow = ::GetSysColor(COLOR_BTNSHADOW);
    m_clrDarkShadow = ::GetSysColor(COLOR_3DDKSHADOW);
    m_clrHalfShadow = HalfwayColor(m_clrFace, m_clrShadow);
    m_clrHalfDarkShadow = HalfwayColor(m_clrShadow, m_clrDarkShadow);
}

// One solid pen per colour of the palette (each replaces and deletes the one before).
void CRoundButton::RebuildPens()
{
    m_penHighlight.CreatePen(PS_SOLID, 1, m_clrHighlight);
    m_penFace.CreatePen(PS_SOLID, 1, m_clrFace);
    m_penLight.CreatePen(PS_SOLID, 1, m_clrLight);
    m_penHalfShadow.CreatePen(PS_SOLID, 1, m_clrHalfShadow);
    m_penShadow.CreatePen(PS_SOLID, 1, m_clrShadow);
    m_penDarkShadow.CreatePen(PS_SOLID, 1, m_clrDarkShadow);
    m_penHalfDarkShadow.CreatePen(PS_SOLID, 1, m_clrHalfDarkShadow);
}

// From now on the parent asks us to draw the control.
void CRoundButton::PreSubclassWindow()
{
    CButton::PreSubclassWindow();
    ::SetWindowLongPtrA(m_hWnd, GWL_STYLE, LONG_PTR(GetStyle() | BS_OWNERDRAW));
}

// A push button has no state.
void CRoundButton::SetCheckState(int nCheckState)
{
    if (m_nKind == kKindPush)
        return;
    const int nOld = m_nCheckState;
    m_nCheckState = nCheckState;
    if (nOld != nCheckState)
        Refresh();
}

// An icon instead of the caption.
void CRoundButton::SetIconImage(HICON hIcon, int cx, int cy, int nFrame)
{
    m_hIconImage = hIcon;
    m_cxImage = cx;
    m_cyImage = cy;
    m_nImageFrame = nFrame;
}

// A bitmap instead of the caption.
void CRoundButton::SetBitmapImage(HBITMAP hBitmap, int cx, int cy, int nFrame)
{
    m_hBitmapImage = hBitmap;
    m_cxImage = cx;
    m_cyImage = cy;
    m_nImageFrame = nFrame;
}

// Where the 12 by 12 mark sits in the client area.
RECT CRoundButton::MarkRectFor(const RECT& rcClient, DWORD dwStyle, int nKind)
{
    RECT rc{};
    const bool bRadio = (nKind == kKindRadio);
    if (dwStyle & kStyleLeftText) {
        rc.left = rcClient.right - (bRadio ? 12 : 14);
        rc.right = rcClient.right;
    } else {
        rc.left = rcClient.left + (bRadio ? 1 : 0);
        rc.right = rcClient.left + (bRadio ? 13 : 14);
    }
    if (dwStyle & kStyleTop)
        rc.top = rcClient.top + 1;
    else if (dwStyle & kStyleBottom)
        rc.top = rcClient.bottom - 15;
    else
        rc.top = ((rcClient.bottom - rcClient.top - 12) >> 1) - 1;
    rc.bottom = rc.top + 12;
    return rc;
}

// Needed after every change of the pressed or check state.
void CRoundButton::Refresh()
{
    if (!m_hWnd || !::IsWindow(m_hWnd))
        return;
    const DWORD dwStyle = GetStyle();
    if (dwStyle & kStylePushLike) {
        RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        return;
    }
    RECT rcClient;
    GetClientRect(&rcClient);
    const RECT rcMark = MarkRectFor(rcClient, dwStyle, m_nKind);
    InvalidateRect(&rcMark, TRUE);
}

// hWndControl may be a neighbour of this button.
void CRoundButton::NotifyClicked(HWND hWndControl)
{
    ::SendMessageA(::GetParent(m_hWnd), WM_COMMAND,
                   MAKEWPARAM(::GetDlgCtrlID(hWndControl), BN_CLICKED),
                   reinterpret_cast<LPARAM>(hWndControl));
}

// Whether the message's point lies in the client area.
BOOL CRoundButton::PointInClient(LPARAM lParam) const
{
    RECT rc;
    GetClientRect(&rc);
    const POINT pt{short(LOWORD(lParam)), short(HIWORD(lParam))};
    return ::PtInRect(&rc, pt);
}

LRESULT CRoundButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SYSCOLORCHANGE:
        return OnSysColorChange();
    case WM_LBUTTONDBLCLK:
        return OnLButtonDblClk(wParam, lParam);
    default:
        return CButton::WindowProc(message, wParam, lParam);
    }
}

// The palette follows the system colours.
LRESULT CRoundButton::OnSysColorChange()
{
    const LRESULT result = Default();
    DeriveColors();
    RebuildPens();
    Invalidate();
    return result;
}

// A double click counts as a second press.
LRESULT CRoundButton::OnLButtonDblClk(WPARAM, LPARAM lParam)
{
    SendMessage(WM_LBUTTONDOWN, 0, lParam);
    return 0;
}

// Draws the whole control off screen and copies it to the target in one go.
void CRoundButton::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct)
{
    if (!lpDrawItemStruct)
        return;
    const RECT rc = lpDrawItemStruct->rcItem;
    const UINT nState = lpDrawItemStruct->itemState;
    const DWORD dwStyle = GetStyle();
    const int cx = rc.right - rc.left;
    const int cy = rc.bottom - rc.top;
    if (cx <= 0 || cy <= 0)
        return;

    CDC target(lpDrawItemStruct->hDC);
    CMemDC dc(target);
    if (!dc.GetSafeHdc())
        return;
    CBitmap bitmap;
    if (!bitmap.CreateCompatibleBitmap(target, cx, cy))
        return;
    CSelectObject selectBitmap(dc, bitmap);
    {
        CSaveDC saved(dc);
        // Drawing in item coordinates lands at the bitmap's origin.
        ::SetViewportOrgEx(dc, -rc.left, -rc.top, nullptr);
        dc.SelectStockObject(HOLLOW_BRUSH);
        dc.FillSolidRect(rc, m_clrFace);

        const bool bPushLike = (dwStyle & kStylePushLike) != 0;
        if (m_nKind == kKindPush)
            PaintPushFrame(dc, rc, nState, dwStyle);
        else if (bPushLike)
            PaintPushLikeFrame(dc, rc, nState, dwStyle);

        const CString strText = GetWindowText();
        const bool bImage = m_hIconImage || m_hBitmapImage;
        const RECT rcContent = bImage ? PaintImage(dc, rc, nState, dwStyle)
                                      : PaintLabel(dc, strText, rc, nState, dwStyle);

        if (nState & ODS_FOCUS) {
            if (m_nKind != kKindPush && !bPushLike) {
                RECT rcFocus{rcContent.left - 1, rcContent.top - 1, rcContent.right + 1,
                             rcContent.bottom + (bImage ? 1 : 2)};
                ::IntersectRect(&rcFocus, &rcFocus, &rc);
                dc.DrawFocusRect(rcFocus);
            } else {
                RECT rcFocus = rc;
                ::InflateRect(&rcFocus, -4, -4);
                dc.DrawFocusRect(rcFocus);
            }
        }

        if (!bPushLike) {
            const RECT rcMark = MarkRectFor(rc, dwStyle, m_nKind);
            if (m_nKind == kKindCheck)
                PaintCheckMark(dc, rcMark, nState, dwStyle);
            else if (m_nKind == kKindRadio)
                PaintRadioMark(dc, rcMark, nState, dwStyle);
        }

        target.BitBlt(rc.left, rc.top, cx, cy, dc, rc.left, rc.top, SRCCOPY);
    }
}

// One straight line in hPen, end point not painted.
void CRoundButton::DrawLine(CDC& dc, HPEN hPen, int x1, int y1, int x2, int y2)
{
    CSelectObject selectPen(dc, hPen);
    dc.MoveTo(x1, y1);
    dc.LineTo(x2, y2);
}

// A line through nCount points in hPen.
void CRoundButton::DrawPolyline(CDC& dc, HPEN hPen, const POINT* pts, int nCount)
{
    if (nCount < 2)
        return;
    CSelectObject selectPen(dc, hPen);
    dc.MoveTo(pts[0].x, pts[0].y);
    for (int i = 1; i < nCount; ++i)
        dc.LineTo(pts[i].x, pts[i].y);
}

// Returns the rectangle the caption occupies.
RECT CRoundButton::PaintLabel(CDC& dc, const CString& strText, const RECT& rc, UINT nState,
                              DWORD dwStyle)
{
    HFONT hFont = GetFont();
    CFont fontBold;
    if (m_bBoldText) {
        LOGFONTA lf{};
        if (CFont::GetLogFont(
                hFont ? hFont : static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT)), &lf)) {
            lf.lfWeight = FW_BOLD;
            if (fontBold.CreateFontIndirect(&lf))
                hFont = fontBold;
        }
    }
    CSelectObject selectFont(dc, hFont);

    const SIZE size = dc.GetTextExtent(strText, strText.GetLength());
    const int w = size.cx;
    const int h = size.cy;
    const bool bPushLike = (dwStyle & kStylePushLike) != 0;
    const bool bLeftText = (dwStyle & kStyleLeftText) != 0;
    const bool bLeft = (dwStyle & kStyleLeft) != 0;
    const bool bRight = (dwStyle & kStyleRight) != 0;
    RECT rcText{};

    if (m_nKind != kKindPush && !bPushLike) {
        if (bLeft || !bRight)
            rcText.left = bLeftText ? 2 : 17;
        else
            rcText.left = rc.right - w - (bLeftText ? 22 : 5);
        rcText.right = rcText.left + w + (bLeftText ? 2 : 0);
        if (dwStyle & kStyleTop)
            rcText.top = rc.top;
        else if (dwStyle & kStyleBottom)
            rcText.top = rc.bottom - h - 3;
        else
            rcText.top = ((rc.bottom - rc.top - h) >> 1) - 1;
    } else {
        if (bLeft)
            rcText.left = rc.left + 5;
        else if (bRight)
            rcText.left = rc.right - w - 5;
        else
            rcText.left = (rc.right - rc.left - w) >> 1;
        rcText.right = rcText.left + w;
        if (dwStyle & kStyleTop)
            rcText.top = rc.top + (m_nKind == kKindRadio ? 4 : 5);
        else if (dwStyle & kStyleBottom)
            rcText.top = rc.bottom - h - 5;
        else
            rcText.top = (rc.bottom - rc.top - h) >> 1;
    }
    rcText.bottom = rcText.top + h;

    bool bColor = false;
    COLORREF clrText = 0;
    if (m_nKind == kKindPush && (nState & ODS_SELECTED)) {
        bColor = true;
        clrText = m_clrHighlight;
    }
    if (bPushLike && (m_bPressed || ((dwStyle & kStyleFlat) && m_nCheckState == 1))) {
        bColor = true;
        clrText = m_clrHighlight;
    }
    if (bPushLike && m_nKind == kKindCheck && m_nCheckState == 2) {
        bColor = true;
        clrText = m_clrShadow;
    }
    if (nState & ODS_DISABLED) {
        bColor = true;
        clrText = m_clrShadow;
    }
    const COLORREF clrOld = dc.SetTextColor(bColor ? clrText : ::GetTextColor(dc));
    const int nOldMode = dc.SetBkMode(TRANSPARENT);
    RECT rcDraw = rcText;
    dc.DrawText(strText, strText.GetLength(), &rcDraw, DT_CENTER);
    dc.SetBkMode(nOldMode);
    dc.SetTextColor(clrOld);
    return rcText;
}

// In place of the caption when an icon or bitmap is set.
RECT CRoundButton::PaintImage(CDC& dc, const RECT& rc, UINT nState, DWORD dwStyle)
{
    const int w = m_cxImage;
    const int h = m_cyImage;
    const bool bPushStyle = (m_nKind == kKindPush) || (dwStyle & kStylePushLike);
    const bool bLeftText = (dwStyle & kStyleLeftText) != 0;
    const bool bLeft = (dwStyle & kStyleLeft) != 0;
    const bool bRight = (dwStyle & kStyleRight) != 0;
    const bool bFrame = (m_nImageFrame == 1 || m_nImageFrame == 2);
    int x = 0;
    int y = 0;
    if (bPushStyle) {
        if (bLeft)
            x = rc.left + 5 + (bFrame ? 1 : 0);
        else if (bRight)
            x = rc.right - w - 5 - (bFrame ? 1 : 0);
        else
            x = (rc.right - rc.left - w) >> 1;
        if (dwStyle & kStyleTop)
            y = rc.top + 4 + (bFrame ? 1 : 0);
        else if (dwStyle & kStyleBottom)
            y = rc.bottom - h - 4 - (bFrame ? 1 : 0);
        else
            y = (rc.bottom - rc.top - h) >> 1;
    } else {
        if (bRight && !bLeft)
            x = rc.right - w - (bLeftText ? 19 : 2);
        else
            x = bLeftText ? 2 : 17;
        if (dwStyle & kStyleTop)
            y = rc.top + 1 + (bFrame ? 1 : 0);
        else if (dwStyle & kStyleBottom)
            y = rc.bottom - h - 1 - (bFrame ? 1 : 0);
        else
            y = (rc.bottom - rc.top - h) >> 1;
    }
    const UINT nDisabled = (nState & ODS_DISABLED) ? DSS_DISABLED : 0;
    if (m_hIconImage)
        ::DrawStateA(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(m_hIconImage), 0, x, y, w, h,
                     DST_ICON | nDisabled);
    else
        ::DrawStateA(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(m_hBitmapImage), 0, x, y, w, h,
                     DST_BITMAP | nDisabled);
    const RECT rcImage{x, y, x + w, y + h};
    if (bFrame) {
        RECT rcFrame = rcImage;
        ::InflateRect(&rcFrame, 1, 1);
        if (m_nImageFrame == 1)
            dc.Draw3dRect(rcFrame, m_clrHighlight, m_clrShadow);
        else
            dc.Draw3dRect(rcFrame, m_clrShadow, m_clrHighlight);
    }
    return rcImage;
}

// The rounded outline in the selected pen and brush, lit from the top left.
void CRoundButton::PaintRaisedBevel(CDC& dc, const RECT& rc)
{
    const int L = rc.left, T = rc.top, R = rc.right, B = rc.bottom;
    dc.RoundRect(rc, 6, 6);
    const POINT highlight[] = {{L + 2, B - 4}, {L + 2, T + 2}, {R - 3, T + 2}};
    DrawPolyline(dc, m_penHighlight, highlight, 3);
    dc.SetPixel(L + 3, T + 3, m_clrHighlight);
    const POINT halfShadow[] = {
        {L + 3, B - 3}, {R - 4, B - 3}, {R - 4, B - 4}, {R - 3, B - 4}, {R - 3, T + 2}};
    DrawPolyline(dc, m_penHalfShadow, halfShadow, 5);
    const POINT shadow[] = {
        {L + 3, B - 2}, {R - 3, B - 2}, {R - 3, B - 3}, {R - 2, B - 3}, {R - 2, T + 2}};
    DrawPolyline(dc, m_penShadow, shadow, 5);
    const POINT halfPixels[] = {{L + 1, T + 2}, {L + 2, T + 1}, {R - 3, T + 1},
                                {R - 2, T + 2}, {L + 2, B - 2}, {L + 1, B - 3}};
    for (const POINT& pt : halfPixels)
        dc.SetPixel(pt.x, pt.y, m_clrHalfShadow);
    const POINT corners[] = {{L, T + 2},     {L + 2, T},     {R - 3, T},     {R - 1, T + 2},
                             {R - 1, B - 3}, {R - 3, B - 1}, {L + 2, B - 1}, {L, B - 3}};
    for (const POINT& pt : corners)
        dc.SetPixel(pt.x, pt.y, m_clrHalfDarkShadow);
}

// The rounded outline in the selected pen and brush, pressed in.
void CRoundButton::PaintSunkenBevel(CDC& dc, const RECT& rc)
{
    const int L = rc.left, T = rc.top, R = rc.right, B = rc.bottom;
    HPEN hPenA, hPenB, hPenC, hPenD;
    COLORREF clrE;
    if (m_nKind == kKindPush || m_bPressed) {
        hPenA = m_penHalfDarkShadow;
        hPenB = m_penShadow;
        hPenC = m_penLight;
        hPenD = m_penFace;
        clrE = m_clrFace;
    } else {
        const bool bChecked = (m_nCheckState != 0);
        hPenA = m_penShadow;
        hPenB = m_penHalfShadow;
        hPenC = bChecked ? m_penHighlight : m_penLight;
        hPenD = bChecked ? m_penLight : m_penFace;
        clrE = m_clrLight;
    }
    dc.RoundRect(rc, 6, 6);
    const POINT a[] = {
        {L + 1, B - 4}, {L + 1, T + 2}, {L + 2, T + 2}, {L + 2, T + 1}, {R - 3, T + 1}};
    DrawPolyline(dc, hPenA, a, 5);
    const POINT b[] = {
        {L + 2, B - 4}, {L + 2, T + 3}, {L + 3, T + 3}, {L + 3, T + 2}, {R - 3, T + 2}};
    DrawPolyline(dc, hPenB, b, 5);
    const POINT c[] = {{L + 3, B - 2}, {R - 4, B - 2}, {R - 2, B - 4}, {R - 2, T + 2}};
    DrawPolyline(dc, hPenC, c, 4);
    const POINT d[] = {
        {L + 3, B - 3}, {R - 4, B - 3}, {R - 4, B - 4}, {R - 3, B - 4}, {R - 3, T + 2}};
    DrawPolyline(dc, hPenD, d, 5);
    dc.SetPixel(R - 2, T + 2, clrE);
    dc.SetPixel(L + 2, B - 2, clrE);
    dc.SetPixel(R - 3, T + 1, m_clrShadow);
    dc.SetPixel(L + 1, B - 3, m_clrShadow);
    const POINT corners[] = {{L, T + 2},     {L + 2, T},     {R - 3, T},     {R - 1, T + 2},
                             {R - 1, B - 3}, {R - 3, B - 1}, {L + 2, B - 1}, {L, B - 3}};
    for (const POINT& pt : corners)
        dc.SetPixel(pt.x, pt.y, m_clrHalfDarkShadow);
}

void CRoundButton::PaintPushFrame(CDC& dc, const RECT& rc, UINT nState, DWORD dwStyle)
{
    const bool bSelected = (nState & ODS_SELECTED) != 0;
    const bool bDisabled = (nState & ODS_DISABLED) != 0;
    if (dwStyle & kStyleFlat) {
        CBrush brush(bSelected ? InverseWindowColor() : ::GetSysColor(COLOR_WINDOW));
        COLORREF clrPen;
        if (bDisabled)
            clrPen = m_clrShadow;
        else if (m_nCheckState == 0 && !m_bPressed)
            clrPen = InverseWindowColor();
        else
            clrPen = ::GetSysColor(COLOR_WINDOW);
        CPen pen(PS_SOLID, 1, clrPen);
        CSelectObject selectBrush(dc, brush);
        CSelectObject selectPen(dc, pen);
        dc.RoundRect(rc, 6, 6);
        return;
    }
    CBrush brush(bSelected ? m_clrHalfShadow : m_clrFace);
    CPen penFrame(PS_SOLID, 1, ::GetSysColor(COLOR_WINDOWFRAME));
    CSelectObject selectBrush(dc, brush);
    CSelectObject selectPen(dc, bDisabled ? static_cast<HPEN>(m_penShadow)
                                          : static_cast<HPEN>(penFrame));
    if (bDisabled)
        dc.RoundRect(rc, 6, 6);
    else if (bSelected)
        PaintSunkenBevel(dc, rc);
    else
        PaintRaisedBevel(dc, rc);
}

// A check box or radio button with the push-like style.
void CRoundButton::PaintPushLikeFrame(CDC& dc, const RECT& rc, UINT nState, DWORD dwStyle)
{
    const bool bDisabled = (nState & ODS_DISABLED) != 0;
    const bool bChecked = (m_nCheckState != 0);
    if (dwStyle & kStyleFlat) {
        CBrush brush;
        if (m_bPressed)
            brush = MakeCheckerBrush(::GetSysColor(COLOR_WINDOW), InverseWindowColor());
        else
            brush.CreateSolidBrush(bChecked ? InverseWindowColor() : ::GetSysColor(COLOR_WINDOW));
        COLORREF clrPen;
        if (bDisabled)
            clrPen = m_clrHalfDarkShadow;
        else if (!bChecked && !m_bPressed)
            clrPen = InverseWindowColor();
        else
            clrPen = ::GetSysColor(COLOR_WINDOW);
        CPen pen(PS_SOLID, 1, clrPen);
        CSelectObject selectBrush(dc, brush);
        CSelectObject selectPen(dc, pen);
        dc.RoundRect(rc, 6, 6);
        return;
    }
    CBrush brush;
    if (m_bPressed)
        brush.CreateSolidBrush(m_clrHalfShadow);
    else if (bChecked)
        brush = MakeCheckerBrush(m_clrHighlight, m_clrFace);
    else
        brush.CreateSolidBrush(m_clrFace);
    CPen pen(PS_SOLID, 1, bDisabled ? m_clrShadow : ::GetSysColor(COLOR_WINDOWFRAME));
    CSelectObject selectBrush(dc, brush);
    CSelectObject selectPen(dc, pen);
    if (bDisabled)
        dc.RoundRect(rc, 6, 6);
    else if (m_bPressed || bChecked)
        PaintSunkenBevel(dc, rc);
    else
        PaintRaisedBevel(dc, rc);
}

// The box and its tick, cross or bar.
void CRoundButton::PaintCheckMark(CDC& dc, RECT rcMark, UINT nState, DWORD dwStyle)
{
    const bool bDisabled = (nState & ODS_DISABLED) != 0;
    RECT M = rcMark;
    M.right -= 2;

    if (dwStyle & kStyleFlat) {
        const COLORREF clrWindow = ::GetSysColor(COLOR_WINDOW);
        CPen penFrame(PS_SOLID, 1, ::GetSysColor(COLOR_WINDOWFRAME));
        CBrush brushWindow(clrWindow);
        {
            CSelectObject selectPen(dc, penFrame);
            CSelectObject selectBrush(dc, brushWindow);
            dc.Rectangle(M);
            if (bDisabled) {
                for (int x = M.left + 1, y = M.top + 1; x < M.right; x += 2, y += 2) {
                    dc.SetPixel(x, M.top, clrWindow);
                    dc.SetPixel(x - 1, M.bottom - 1, clrWindow);
                    dc.SetPixel(M.left, y, clrWindow);
                    dc.SetPixel(M.right - 1, y - 1, clrWindow);
                }
            }
            ::InflateRect(&M, -1, -1);
            if (m_bPressed)
                dc.Rectangle(M);
        }
        const int x = M.left;
        const int y = M.top;
        CPen penInk(PS_SOLID, 1, m_clrDarkShadow);
        if (m_nCheckState == 1 && m_nMarkStyle == 0) {
            if (!bDisabled) {
                const POINT outer[] = {{x + 1, y + 4}, {x + 4, y + 7}, {x + 12, y - 1}};
                DrawPolyline(dc, penInk, outer, 3);
            }
            const POINT inner[] = {{x + 2, y + 4}, {x + 4, y + 6}, {x + 11, y - 1}};
            DrawPolyline(dc, penInk, inner, 3);
        } else if (m_nCheckState == 1) {
            DrawLine(dc, penInk, x, y, x + 10, y + 10);
            const int d = bDisabled ? 1 : 0;
            DrawLine(dc, penInk, x + d, y + 9 - d, x + 10 - d, y - 1 + d);
        } else if (m_nCheckState == 2) {
            DrawLine(dc, m_penDarkShadow, x + 2, y + 4, x + 8, y + 4);
            DrawLine(dc, m_penDarkShadow, x + 2, y + 5, x + 8, y + 5);
        }
        return;
    }

    {
        CBrush brushFrame(bDisabled ? m_clrShadow : ::GetSysColor(COLOR_WINDOWFRAME));
        dc.FrameRect(M, brushFrame);
    }
    ::InflateRect(&M, -1, -1);
    if (m_bPressed) {
        dc.FillSolidRect(M, m_clrHalfShadow);
        dc.Draw3dRect(M, m_clrShadow, m_clrLight);
    } else {
        dc.FillSolidRect(M, m_clrFace);
        if (!bDisabled)
            dc.Draw3dRect(M, m_clrHighlight, m_clrShadow);
    }
    dc.SetPixel(M.right - 1, M.top, m_clrFace);
    dc.SetPixel(M.left, M.bottom - 1, m_clrFace);

    const int x = M.left;
    const int y = M.top;
    HPEN hPenShade = bDisabled ? m_penHalfShadow : m_penShadow;
    HPEN hPenInk = bDisabled ? m_penShadow : m_penDarkShadow;
    const COLORREF clrShade = bDisabled ? m_clrHalfShadow : m_clrShadow;
    if (m_nCheckState == 1 && m_nMarkStyle == 0) {
        const POINT shade[] = {{x + 4, y + 8}, {x + 9, y + 3}, {x + 9, y + 5}};
        DrawPolyline(dc, hPenShade, shade, 3);
        DrawLine(dc, m_penHalfShadow, x + 2, y + 6, x + 4, y + 8);
        DrawLine(dc, m_penHalfShadow, x + 5, y + 8, x + 9, y + 4);
        dc.SetPixel(x + 11, y + 1, clrShade);
        dc.SetPixel(x + 12, y + 1, m_clrHalfShadow);
        dc.SetPixel(x + 11, y + 2, m_clrHalfShadow);
        const POINT outer[] = {{x + 1, y + 4}, {x + 4, y + 7}, {x + 12, y - 1}};
        DrawPolyline(dc, hPenInk, outer, 3);
        const POINT inner[] = {{x + 2, y + 4}, {x + 4, y + 6}, {x + 11, y - 1}};
        DrawPolyline(dc, hPenInk, inner, 3);
    } else if (m_nCheckState == 1) {
        DrawLine(dc, hPenShade, x + 3, y + 7, x + 9, y + 1);
        DrawLine(dc, m_penHalfShadow, x + 3, y + 8, x + 9, y + 2);
        dc.SetPixel(x + 8, y + 7, clrShade);
        dc.SetPixel(x + 8, y + 8, m_clrHalfShadow);
        DrawLine(dc, hPenInk, x + 2, y + 1, x + 8, y + 7);
        DrawLine(dc, hPenInk, x + 2, y + 2, x + 8, y + 8);
        DrawLine(dc, hPenInk, x + 2, y + 6, x + 8, y);
        DrawLine(dc, hPenInk, x + 2, y + 7, x + 8, y + 1);
    } else if (m_nCheckState == 2) {
        DrawLine(dc, m_penHalfShadow, x + 3, y + 6, x + 9, y + 6);
        dc.SetPixel(x + 8, y + 5, m_clrHalfShadow);
        DrawLine(dc, hPenInk, x + 2, y + 4, x + 8, y + 4);
        DrawLine(dc, hPenInk, x + 2, y + 5, x + 8, y + 5);
    }
}

// The ring, its bevel and the dot.
void CRoundButton::PaintRadioMark(CDC& dc, const RECT& rcMark, UINT nState, DWORD dwStyle)
{
    const bool bFlat = (dwStyle & kStyleFlat) != 0;
    const bool bDisabled = (nState & ODS_DISABLED) != 0;
    const bool bChecked = (m_nCheckState != 0);
    const RECT& M = rcMark;
    const int x0 = M.left;
    const int y0 = M.top;

    // A pressed shaded button paints from a copy of the palette dimmed by 40; the palette itself
    // stays as it is.
    const bool bDimmed = !bFlat && m_bPressed;
    auto ink = [bDimmed](COLORREF clr) { return bDimmed ? DimColor(clr, 40) : clr; };
    const COLORREF clrFace = ink(m_clrFace);
    const COLORREF clrShadow = ink(m_clrShadow);
    const COLORREF clrHighlight = ink(m_clrHighlight);
    const COLORREF clrHalfShadow = ink(m_clrHalfShadow);
    const COLORREF clrLight = ink(m_clrLight);
    CPen penLight(PS_SOLID, 1, clrLight);
    CPen penHighlight(PS_SOLID, 1, clrHighlight);
    CPen penHalfShadow(PS_SOLID, 1, clrHalfShadow);
    CPen penShadow(PS_SOLID, 1, clrShadow);

    {
        COLORREF clrPen;
        COLORREF clrFill;
        if (bFlat) {
            clrPen = ::GetSysColor(COLOR_WINDOWFRAME);
            clrFill = ::GetSysColor(COLOR_WINDOW);
        } else {
            clrPen = bDisabled ? clrShadow : ::GetSysColor(COLOR_WINDOWFRAME);
            clrFill = clrFace;
        }
        CPen pen(PS_SOLID, 1, clrPen);
        CBrush brush(clrFill);
        CSelectObject selectPen(dc, pen);
        CSelectObject selectBrush(dc, brush);
        dc.RoundRect(M, 10, 10);
        if (bFlat && m_bPressed) {
            RECT rcInner = M;
            ::InflateRect(&rcInner, -1, -1);
            dc.RoundRect(rcInner, 8, 8);
        }
    }

    if (!bFlat && !bDisabled) {
        auto line = [&](HPEN hPen, std::initializer_list<POINT> offsets, bool bMirror) {
            POINT pts[8];
            int n = 0;
            for (const POINT& off : offsets) {
                const POINT p = Mirror(off, bMirror);
                pts[n++] = POINT{x0 + p.x, y0 + p.y};
            }
            DrawPolyline(dc, hPen, pts, n);
        };
        auto pixel = [&](POINT off, COLORREF clr, bool bMirror) {
            const POINT p = Mirror(off, bMirror);
            dc.SetPixel(x0 + p.x, y0 + p.y, clr);
        };
        line(m_penHalfDarkShadow, {{0, 4}, {5, -1}}, false);
        line(m_penHalfDarkShadow, {{7, 0}, {12, 5}}, false);
        line(m_penHalfDarkShadow, {{11, 7}, {6, 12}}, false);
        line(m_penHalfDarkShadow, {{4, 11}, {-1, 6}}, false);
        const bool bSunken = bChecked || m_bPressed;
        line(penLight, {{1, 6}, {1, 4}, {4, 1}, {7, 1}}, bSunken);
        line(penLight, {{2, 8}, {9, 1}}, bSunken);
        line(penLight, {{3, 8}, {9, 2}}, bSunken);
        line(penLight, {{4, 8}, {9, 3}}, bSunken);
        line(penHighlight, {{2, 7}, {2, 4}, {6, 4}}, bSunken);
        line(penHighlight, {{4, 5}, {4, 2}, {8, 2}}, bSunken);
        line(penHalfShadow, {{6, 9}, {10, 5}}, bSunken);
        line(penHalfShadow, {{7, 9}, {10, 6}}, bSunken);
        line(penShadow, {{4, 10}, {7, 10}, {10, 7}, {10, 3}}, bSunken);
        pixel({3, 5}, clrHighlight, bSunken);
        pixel({5, 3}, clrHighlight, bSunken);
        pixel({2, 2}, clrFace, bSunken);
        pixel({3, 3}, clrLight, bSunken);
        pixel({3, 6}, clrLight, bSunken);
        pixel({6, 3}, clrLight, bSunken);
    }

    if (!bFlat) {
        const COLORREF clrEdge = bDisabled ? clrHalfShadow : clrShadow;
        const POINT edges[] = {{0, 3}, {3, 0}, {8, 0}, {11, 3}, {11, 8}, {8, 11}, {3, 11}, {0, 8}};
        for (const POINT& off : edges)
            dc.SetPixel(x0 + off.x, y0 + off.y, clrEdge);
    }

    if (bChecked) {
        const COLORREF clrDot = (!bFlat && bDisabled) ? clrShadow : m_clrDarkShadow;
        CPen pen(PS_SOLID, 1, clrDot);
        CBrush brush(clrDot);
        CSelectObject selectPen(dc, pen);
        CSelectObject selectBrush(dc, brush);
        RECT rcDot = M;
        ::InflateRect(&rcDot, -3, -3);
        dc.RoundRect(rcDot, 2, 2);
    }
}

// A check box or radio button shows pressed until the release.
LRESULT CRoundButton::OnPressStart()
{
    m_bPressed = TRUE;
    SetFocus();
    ::SetCapture(m_hWnd);
    Refresh();
    return 0;
}

// During a press the control shows pressed only while the mouse is over it.
bool CRoundButton::TrackPress(LPARAM lParam)
{
    if (::GetCapture() != m_hWnd)
        return false;
    const BOOL bInside = PointInClient(lParam);
    if (bInside != m_bPressed) {
        m_bPressed = bInside;
        Refresh();
    }
    return true;
}

// Space shows a check box or radio button pressed.
LRESULT CRoundButton::OnSpaceDown(WPARAM wParam)
{
    if (wParam == VK_SPACE && !m_bPressed) {
        m_bPressed = TRUE;
        Refresh();
    }
    return 0;
}

// ---------------------------------------------------------------------------------------
// CRoundCheckBox

CRoundCheckBox::CRoundCheckBox()
{
    m_nKind = kKindCheck;
    m_nMarkStyle = 0;
}

LRESULT CRoundCheckBox::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_LBUTTONDOWN:
        return OnPressStart();
    case WM_LBUTTONUP:
        return OnLButtonUp(lParam);
    case WM_KEYUP:
        return OnKeyUp(wParam);
    case WM_MOUSEMOVE:
        TrackPress(lParam);
        return 0;
    case WM_KEYDOWN:
        return OnSpaceDown(wParam);
    default:
        return CRoundButton::WindowProc(message, wParam, lParam);
    }
}

// Also on the release of space. An indeterminate box becomes unchecked.
void CRoundCheckBox::ToggleCheck()
{
    m_nCheckState = (m_nCheckState == 0) ? 1 : 0;
}

// A release over the box toggles it.
LRESULT CRoundCheckBox::OnLButtonUp(LPARAM lParam)
{
    ::ReleaseCapture();
    if (PointInClient(lParam)) {
        ToggleCheck();
        NotifyClicked();
    }
    m_bPressed = FALSE;
    Refresh();
    return 0;
}

// Releasing space toggles the box.
LRESULT CRoundCheckBox::OnKeyUp(WPARAM wParam)
{
    if (wParam == VK_SPACE) {
        m_bPressed = FALSE;
        ToggleCheck();
        NotifyClicked();
        Refresh();
    }
    return 0;
}

// ---------------------------------------------------------------------------------------
// CRoundRadioButton

CRoundRadioButton::CRoundRadioButton()
{
    m_nKind = kKindRadio;
}

// hWnd's object when it is a rounded radio button, else null.
CRoundRadioButton* CRoundRadioButton::FromRadioHandle(HWND hWnd)
{
    auto* pRadio = dynamic_cast<CRoundRadioButton*>(CWnd::FromHandlePermanent(hWnd));
    if (!pRadio || pRadio->m_nKind != kKindRadio)
        return nullptr;
    const DWORD dwStyle = DWORD(::GetWindowLongPtrA(hWnd, GWL_STYLE));
    return (dwStyle & (0x1 | 0x8)) ? pRadio : nullptr;
}

LRESULT CRoundRadioButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_LBUTTONUP:
        return OnLButtonUp(lParam);
    case WM_LBUTTONDOWN:
        return OnPressStart();
    case WM_MOUSEMOVE:
        return OnMouseMove(lParam);
    case WM_SYSCOLORCHANGE:
        return OnSysColorChange();
    case WM_KEYDOWN:
        return OnSpaceDown(wParam);
    case WM_KEYUP:
        return OnKeyUp(wParam);
    case WM_SETFOCUS:
        return OnSetFocus();
    default:
        return CRoundButton::WindowProc(message, wParam, lParam);
    }
}

// During a press the button shows pressed only while the mouse is over it.
LRESULT CRoundRadioButton::OnMouseMove(LPARAM lParam)
{
    if (!TrackPress(lParam))
        return 0;
    return Default();
}

// A release over the button checks it and notifies, also when it was checked already.
LRESULT CRoundRadioButton::OnLButtonUp(LPARAM lParam)
{
    ::ReleaseCapture();
    if (PointInClient(lParam)) {
        if (m_nCheckState == 0)
            m_nCheckState = 1;
        UncheckGroupSiblings();
        NotifyClicked();
    }
    m_bPressed = FALSE;
    Refresh();
    return 0;
}

// Releasing space checks the button.
LRESULT CRoundRadioButton::OnKeyUp(WPARAM wParam)
{
    if (wParam == VK_SPACE) {
        m_nCheckState = 1;
        NotifyClicked();
        UncheckGroupSiblings();
        m_bPressed = FALSE;
        Refresh();
    }
    return 0;
}

// Tabbing into the group moves on to its checked button.
LRESULT CRoundRadioButton::OnSetFocus()
{
    const LRESULT result = Default();
    if (m_nCheckState != 0 || m_bPressed)
        return result;
    HWND hParent = GetParent();
    HWND hFirst = nullptr;
    for (HWND hWnd = ::GetNextDlgGroupItem(hParent, m_hWnd, FALSE);
         hWnd && hWnd != m_hWnd && hWnd != hFirst;
         hWnd = ::GetNextDlgGroupItem(hParent, hWnd, FALSE)) {
        if (!hFirst)
            hFirst = hWnd;
        CRoundRadioButton* pRadio = FromRadioHandle(hWnd);
        if (!pRadio)
            break;
        if (pRadio->GetCheckState() != 0) {
            ::SetFocus(hWnd);
            break;
        }
    }
    return result;
}

LRESULT CRoundRadioButton::OnSysColorChange()
{
    const LRESULT result = CRoundButton::OnSysColorChange();
    DeriveColors();
    RebuildPens();
    return result;
}

// The other rounded radio buttons of this one's group lose their check. The walk stops when it
// comes round, also if this button itself is not part of the walk (hidden or disabled).
void CRoundRadioButton::UncheckGroupSiblings()
{
    HWND hParent = GetParent();
    HWND hFirst = nullptr;
    for (HWND hWnd = ::GetNextDlgGroupItem(hParent, m_hWnd, FALSE);
         hWnd && hWnd != m_hWnd && hWnd != hFirst;
         hWnd = ::GetNextDlgGroupItem(hParent, hWnd, FALSE)) {
        if (!hFirst)
            hFirst = hWnd;
        if (CRoundRadioButton* pRadio = FromRadioHandle(hWnd))
            pRadio->SetCheckState(0);
    }
}

// The arrow keys move the check to the neighbour in the group; the dialog then moves the
// focus.
BOOL CRoundRadioButton::PreTranslateMessage(MSG* pMsg)
{
    if (!pMsg || pMsg->message != WM_KEYDOWN || pMsg->hwnd != m_hWnd)
        return FALSE;
    const WPARAM key = pMsg->wParam;
    if (key != VK_LEFT && key != VK_UP && key != VK_RIGHT && key != VK_DOWN)
        return FALSE;
    HWND hNeighbour = ::GetNextDlgGroupItem(GetParent(), m_hWnd, key == VK_LEFT || key == VK_UP);
    // A button alone in its group keeps its check.
    if (hNeighbour == m_hWnd)
        return FALSE;
    // At the edge of the radio buttons (the neighbour is some other control of the
    // group) the check and the focus stay where they are: a group must never be left
    // with no button checked while the dialog still acts on the old choice.
    CRoundRadioButton* pNeighbour = FromRadioHandle(hNeighbour);
    if (!pNeighbour)
        return TRUE;
    UncheckGroupSiblings();
    pNeighbour->SetCheckState(1);
    NotifyClicked(hNeighbour);
    SetCheckState(0);
    return FALSE;
}
