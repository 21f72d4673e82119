// CFlatButton: painting, hot tracking, default-button tracking, check-box mode and the
// drop-down menu of the flat push button.
#include "controls/FlatButton.h"

#include <shellapi.h>
#include <cstring>

namespace {

// The type bits of a button style (BS_PUSHBUTTON, BS_DEFPUSHBUTTON, BS_OWNERDRAW, ...).
const UINT kTypeMask = 0x1F;
// The style bit that puts the button into check-box mode.
const UINT kCheckBoxBit = 0x2;

// Between an image and the edge of the button.
const int kImageMargin = 3;

// R shrunk by n pixels on every side.
RECT Shrunk(const RECT& rc, int n)
{
    RECT r = rc;
    ::InflateRect(&r, -n, -n);
    return r;
}

int Width(const RECT& rc)
{
    return rc.right - rc.left;
}
int Height(const RECT& rc)
{
    return rc.bottom - rc.top;
}

}  // namespace

// Every field at its default, colours from the system; nothing needs a window yet.
CFlatButton::CFlatButton()
{
    SetPressedOffsetStyle(0, FALSE);
    ResetColors(FALSE);
    SetLinkTarget(nullptr);
}

// The icons go with their owners; the menu is destroyed here.
CFlatButton::~CFlatButton()
{
    if (m_menu.m_hMenu)
        m_menu.DestroyMenu();
}

// How far the caption moves while pressed: 0 one pixel right and down, 1 two pixels down;
// any other style is refused with ErrorInvalidStyle.
int CFlatButton::SetPressedOffsetStyle(BYTE nStyle, BOOL bRepaint)
{
    switch (nStyle) {
    case 0:
        m_ptPressedOffset = {1, 1};
        break;
    case 1:
        m_ptPressedOffset = {0, 2};
        break;
    default:
        return ErrorInvalidStyle;
    }
    RepaintIf(bRepaint);
    return 0;
}

// Also reached through BM_SETCHECK; ignored outside check-box mode.
int CFlatButton::SetCheckState(int nCheck, BOOL bRepaint)
{
    if (!m_bCheckBoxMode)
        return 0;
    m_bCheckState = nCheck != 0;
    RepaintIf(bRepaint);
    return 0;
}

// Back to the system's colours, also after they changed.
int CFlatButton::ResetColors(BOOL bRepaint)
{
    m_clrColors[BackHot] = ::GetSysColor(COLOR_BTNFACE);
    m_clrColors[ForeHot] = ::GetSysColor(COLOR_BTNTEXT);
    m_clrColors[BackNormal] = ::GetSysColor(COLOR_BTNFACE);
    m_clrColors[ForeNormal] = ::GetSysColor(COLOR_BTNTEXT);
    m_clrColors[BackFocus] = ::GetSysColor(COLOR_BTNFACE);
    m_clrColors[ForeFocus] = ::GetSysColor(COLOR_BTNTEXT);
    RepaintIf(bRepaint);
    return 0;
}

// A document or address to open on click. The buffer always keeps its terminating zero, so an
// over-long text is cut one byte short.
int CFlatButton::SetLinkTarget(const char* pszTarget)
{
    std::memset(m_szLinkTarget, 0, sizeof(m_szLinkTarget));
    if (pszTarget)
        ::lstrcpynA(m_szLinkTarget, pszTarget, int(sizeof(m_szLinkTarget)));
    return 0;
}

// bDestroy FALSE hands the icons back to the caller instead of destroying them.
void CFlatButton::ReleaseImages(BOOL bDestroy)
{
    for (IconSlot& slot : m_icons) {
        if (bDestroy)
            slot.icon.Reset();
        else
            slot.icon.Release();
        slot.dwWidth = slot.dwHeight = 0;
    }
}

// Does nothing without the button's window; once created, the tooltip stays.
void CFlatButton::EnsureToolTip()
{
    if (m_toolTip.IsWindow())
        return;
    if (!m_hWnd || !m_toolTip.Create(this, 0))
        return;
    m_toolTip.Activate(FALSE);
    m_toolTip.SetMaxTipWidth(400);
}

// Safe whenever the pointer may have left: leaves the hot state.
void CFlatButton::CancelHover()
{
    if (m_bFlat && m_bHover) {
        m_bHover = FALSE;
        if (m_hWnd)
            Invalidate(TRUE);
    }
}

// Who hears just before the button's menu drops down.
void CFlatButton::SetMenuNotify(HWND hWndNotify, UINT nMessage, LPARAM lParam)
{
    m_menuNotify.hWnd = hWndNotify;
    m_menuNotify.nMessage = nMessage;
    m_menuNotify.lParam = lParam;
}

// FALSE gives the 3D (non-flat) look.
void CFlatButton::SetFlat(BOOL bFlat, BOOL bRepaint)
{
    m_bFlat = bFlat ? TRUE : FALSE;
    if (!m_bFlat)
        m_bHover = FALSE;
    RepaintIf(bRepaint);
}

// The button destroys the icons when it goes.
void CFlatButton::SetIcons(HICON hHot, HICON hNormal, BOOL bRepaint)
{
    ReleaseImages(TRUE);
    const HICON icons[2] = {hHot, hNormal};
    for (int i = 0; i < 2; ++i) {
        if (!icons[i])
            continue;
        ICONINFO info{};
        if (!::GetIconInfo(icons[i], &info))
            continue;
        const CBitmapHandle color(info.hbmColor);  // GetIconInfo's copies are the caller's
        const CBitmapHandle mask(info.hbmMask);
        BITMAP bm{};
        ::GetObjectA(color.IsValid() ? color.Get() : mask.Get(), sizeof(bm), &bm);
        m_icons[i].icon.Reset(icons[i]);
        m_icons[i].dwWidth = DWORD(bm.bmWidth);
        m_icons[i].dwHeight =
            DWORD(color.IsValid() ? bm.bmHeight : bm.bmHeight / 2);  // a mono icon stacks two masks
    }
    RepaintIf(bRepaint);
}

void CFlatButton::SetImageAlign(BYTE nAlign, BOOL bRepaint)
{
    m_nImageAlign = nAlign;
    RepaintIf(bRepaint);
}

// Repaints only when asked and when there is a window.
void CFlatButton::RepaintIf(BOOL bRepaint)
{
    if (bRepaint && m_hWnd && ::IsWindow(m_hWnd))
        Invalidate(TRUE);
}

// Adopts the template's default-button and check-box settings, then draws the button itself.
void CFlatButton::PreSubclassWindow()
{
    const UINT nStyle = UINT(GetStyle() & 0xFFFF);
    if (nStyle & kCheckBoxBit)
        m_bCheckBoxMode = TRUE;
    if ((nStyle & kTypeMask) == BS_DEFPUSHBUTTON)
        m_bIsDefault = TRUE;
    ModifyStyle(kTypeMask, BS_OWNERDRAW, SWP_FRAMECHANGED);
    CButton::PreSubclassWindow();
}

// Feeds the tooltip, and makes a double-click a second press.
BOOL CFlatButton::PreTranslateMessage(MSG* pMsg)
{
    EnsureToolTip();
    if (m_toolTip.IsWindow())
        m_toolTip.RelayEvent(pMsg);
    if (pMsg->message == WM_LBUTTONDBLCLK)
        pMsg->message = WM_LBUTTONDOWN;
    return CButton::PreTranslateMessage(pMsg);
}

BOOL CFlatButton::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    switch (message) {
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED)
            OnClicked();
        return FALSE;  // the parent still handles the click (OK, Cancel, Start)
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
        if (pResult)
            *pResult = reinterpret_cast<LRESULT>(::GetStockObject(NULL_BRUSH));
        return TRUE;
    default:
        return CButton::OnChildNotify(message, wParam, lParam, pResult);
    }
}

// Every message of the bound button; the rest goes to the button's own procedure.
LRESULT CFlatButton::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_KILLFOCUS:
        return OnKillFocus();
    case WM_MOUSEMOVE:
        return OnMouseMove(UINT(wParam), POINT{short(LOWORD(lParam)), short(HIWORD(lParam))});
    case WM_SYSCOLORCHANGE:
        return OnSysColorChange();
    case WM_ACTIVATE:
        return OnActivate(LOWORD(wParam));
    case WM_ENABLE:
        return OnEnable(BOOL(wParam));
    case WM_CANCELMODE:
        return OnCancelMode();
    case WM_GETDLGCODE:
        return OnGetDlgCode();
    case BM_SETSTYLE:
        return OnSetStyle(wParam, lParam);
    case WM_MOUSELEAVE:
        return OnMouseLeave();
    case BM_SETCHECK:
        return OnSetCheck(wParam);
    case BM_GETCHECK:
        return m_bCheckState;
    case WM_MENUCHAR:
        return OnMenuChar(wParam, lParam);
    case WM_MEASUREITEM:
        return OnMeasureItem(wParam, lParam);
    case WM_DRAWITEM:
        return OnDrawMenuItem(wParam, lParam);
    default:
        return CButton::WindowProc(message, wParam, lParam);
    }
}

// The focus went elsewhere: no hot state without the pointer's attention.
LRESULT CFlatButton::OnKillFocus()
{
    const LRESULT result = Default();
    CancelHover();
    return result;
}

// Hot tracking: a flat button turns hot while the pointer is over it and asks to hear
// when the pointer leaves. A move with the left button held that comes from elsewhere
// (a drag) does not make it hot.
LRESULT CFlatButton::OnMouseMove(UINT nFlags, POINT pt)
{
    const LRESULT result = Default();
    POINT ptScreen = pt;
    ClientToScreen(&ptScreen);
    HWND hWndUnder = ::WindowFromPoint(ptScreen);
    if ((nFlags & MK_LBUTTON) && !m_bHover)
        return result;
    if (!m_bFlat)
        return result;
    if (hWndUnder == m_hWnd) {
        if (m_bHover)
            return result;
        m_bHover = TRUE;
        Invalidate(TRUE);
        TRACKMOUSEEVENT tme{};
        tme.cbSize = sizeof(tme);
        tme.dwFlags = TME_LEAVE;
        tme.hwndTrack = m_hWnd;
        ::_TrackMouseEvent(&tme);
    } else {
        CancelHover();
    }
    return result;
}

// The user changed the system colours: the cached colours are stale.
LRESULT CFlatButton::OnSysColorChange()
{
    const LRESULT result = Default();
    ResetColors(TRUE);
    return result;
}

// The window was (de)activated: an inactive button is not hot.
LRESULT CFlatButton::OnActivate(UINT nState)
{
    const LRESULT result = Default();
    if (nState == WA_INACTIVE)
        CancelHover();
    return result;
}

// A disabled button cannot keep the focus: it moves to the next tab stop after the
// button, or to the parent when there is none.
LRESULT CFlatButton::OnEnable(BOOL bEnable)
{
    const LRESULT result = Default();
    if (!bEnable) {
        HWND hParent = GetParent();
        if (hParent) {
            HWND hNext = ::GetNextDlgTabItem(hParent, m_hWnd, FALSE);
            if (!hNext || hNext == m_hWnd)
                hNext = hParent;
            ::SetFocus(hNext);
        }
        CancelHover();
    }
    return result;
}

// Capture and modes are cancelled (a dialog or menu opens): drop the hot state.
LRESULT CFlatButton::OnCancelMode()
{
    const LRESULT result = Default();
    CancelHover();
    return result;
}

// The dialog manager asks which kind of push button this is when moving the default.
LRESULT CFlatButton::OnGetDlgCode()
{
    const LRESULT result = Default();
    return result | (m_bIsDefault ? DLGC_DEFPUSHBUTTON : DLGC_UNDEFPUSHBUTTON);
}

// The dialog manager moves the default state with BM_SETSTYLE; remember it, but stay
// owner-drawn whatever type is asked for.
LRESULT CFlatButton::OnSetStyle(WPARAM wParam, LPARAM)
{
    const UINT nType = UINT(wParam) & kTypeMask;
    if (nType == BS_DEFPUSHBUTTON)
        m_bIsDefault = TRUE;
    else if (nType == BS_PUSHBUTTON)
        m_bIsDefault = FALSE;
    if (m_pCurrentMessage)
        m_pCurrentMessage->wParam = (wParam & ~WPARAM(kTypeMask)) | BS_OWNERDRAW;
    return Default();
}

// The pointer left the button (requested with _TrackMouseEvent).
LRESULT CFlatButton::OnMouseLeave()
{
    CancelHover();
    return 0;
}

// 1 (checked) and 2 (indeterminate) both count as checked.
LRESULT CFlatButton::OnSetCheck(WPARAM nCheck)
{
    SetCheckState((nCheck == BST_CHECKED || nCheck == BST_INDETERMINATE) ? 1 : 0, TRUE);
    return 0;
}

// A key typed while the drop-down menu is open: our menus answer by their item texts.
LRESULT CFlatButton::OnMenuChar(WPARAM wParam, LPARAM lParam)
{
    HMENU hMenu = reinterpret_cast<HMENU>(lParam);
    if (!COwnerMenu::IsOwnedMenu(hMenu))
        return Default();
    return COwnerMenu::FindMenuShortcut(LOWORD(wParam), HIWORD(wParam),
                                        COwnerMenu::FromOwnedHandle(hMenu));
}

// The drop-down menu asks for the size of one of its items (the button is its owner).
LRESULT CFlatButton::OnMeasureItem(WPARAM, LPARAM lParam)
{
    auto* pMeasure = reinterpret_cast<LPMEASUREITEMSTRUCT>(lParam);
    if (pMeasure && pMeasure->CtlType == ODT_MENU &&
        IsMenuItemOfOurs(pMeasure->itemID, pMeasure->itemData)) {
        m_menu.MeasureItem(pMeasure);
        return TRUE;
    }
    return Default();
}

// The drop-down menu asks us to paint one of its items.
LRESULT CFlatButton::OnDrawMenuItem(WPARAM, LPARAM lParam)
{
    auto* pDraw = reinterpret_cast<LPDRAWITEMSTRUCT>(lParam);
    if (pDraw && pDraw->CtlType == ODT_MENU && m_menu.FindRecord(pDraw->itemData)) {
        m_menu.DrawItem(pDraw);
        return TRUE;
    }
    return Default();
}

// An item of the drop-down belongs to us when its identifier is one of our popups, or
// when its item data is one of our records (plain command items).
bool CFlatButton::IsMenuItemOfOurs(UINT nItemID, ULONG_PTR itemData) const
{
    HMENU hItemMenu = reinterpret_cast<HMENU>(UINT_PTR(nItemID));
    if (::IsMenu(hItemMenu) && COwnerMenu::IsOwnedMenu(hItemMenu))
        return true;
    return m_menu.FindRecord(itemData) != nullptr;
}

// Reflected BN_CLICKED: focus, then the check toggle, the drop-down menu or the link,
// whichever applies first.
void CFlatButton::OnClicked()
{
    SetFocus();
    if (m_bCheckBoxMode) {
        m_bCheckState = !m_bCheckState;
        Invalidate(TRUE);
        return;
    }
    if (m_menu.m_hMenu) {
        DropDownMenu();
        return;
    }
    if (m_szLinkTarget[0]) {
        SHELLEXECUTEINFOA sei{};
        sei.cbSize = sizeof(sei);
        sei.fMask = SEE_MASK_FLAG_NO_UI;
        sei.hwnd = m_hWnd;
        sei.lpVerb = "open";
        sei.lpFile = m_szLinkTarget;
        sei.nShow = SW_SHOWMAXIMIZED;
        ::ShellExecuteExA(&sei);
    }
}

// Drops sub-menu 0 of the menu down under the button, drawn pressed meanwhile, and
// posts the chosen command to the menu's owner window.
void CFlatButton::DropDownMenu()
{
    RECT rc{};
    GetWindowRect(&rc);
    m_bMenuShown = TRUE;
    Invalidate(TRUE);
    HMENU hSubMenu = ::GetSubMenu(m_menu.m_hMenu, 0);
    if (m_menuNotify.hWnd)
        ::SendMessageA(m_menuNotify.hWnd, m_menuNotify.nMessage, reinterpret_cast<WPARAM>(hSubMenu),
                       m_menuNotify.lParam);
    const UINT nFlags = TPM_LEFTALIGN | TPM_RIGHTBUTTON | TPM_NONOTIFY | TPM_RETURNCMD;
    const UINT nCommand =
        UINT(::TrackPopupMenu(hSubMenu, nFlags, rc.left, rc.bottom, 0, m_hWnd, nullptr));
    m_bMenuShown = FALSE;
    Invalidate(TRUE);
    // Without an owner window the command has nowhere to go (a null window would post
    // it to the thread's queue instead).
    if (nCommand && m_hMenuOwner && ::IsWindow(m_hMenuOwner))
        ::PostMessageA(m_hMenuOwner, WM_COMMAND, MAKEWPARAM(LOWORD(nCommand), 0), 0);
}

// Paints the whole button. The DC goes back to the caller as it came (pens, brushes, colours,
// modes).
void CFlatButton::DrawItem(LPDRAWITEMSTRUCT lpDrawItemStruct)
{
    if (!lpDrawItemStruct)
        return;
    CDC dc(lpDrawItemStruct->hDC);
    CSaveDC saved(dc);
    const UINT nState = lpDrawItemStruct->itemState;
    if (m_bCheckBoxMode)
        m_bPressed = (nState & ODS_SELECTED) || m_bCheckState;
    else
        m_bPressed = (nState & ODS_SELECTED) || (m_menu.m_hMenu && m_bMenuShown);
    m_bFocused = (nState & ODS_FOCUS) ? TRUE : FALSE;
    m_bDisabled = (nState & ODS_DISABLED) ? TRUE : FALSE;

    const RECT rcItem = lpDrawItemStruct->rcItem;
    RECT rc = rcItem;
    dc.SetBkMode(TRANSPARENT);

    if (!m_bFlat && (m_bFocused || m_bIsDefault)) {
        CBrush black(RGB(0, 0, 0));
        dc.FrameRect(rc, black);
        rc = Shrunk(rc, 1);
    }

    DrawBackground(&dc, &rc);

    if (m_bPressed) {
        if (m_bFlat) {
            DrawFrame(&dc, &rc);
        } else {
            CBrush shadow(::GetSysColor(COLOR_BTNSHADOW));
            dc.FrameRect(rc, shadow);
        }
    } else if (m_bFlat) {
        if (m_bHover)
            DrawFrame(&dc, &rc);
    } else {
        CPen highlight(PS_SOLID, 1, ::GetSysColor(COLOR_BTNHIGHLIGHT));
        CPen light(PS_SOLID, 1, ::GetSysColor(COLOR_3DLIGHT));
        CPen darkShadow(PS_SOLID, 1, ::GetSysColor(COLOR_3DDKSHADOW));
        CPen shadow(PS_SOLID, 1, ::GetSysColor(COLOR_BTNSHADOW));
        HGDIOBJ hOldPen = dc.SelectObject(highlight);
        dc.MoveTo(rc.left, rc.bottom - 1);
        dc.LineTo(rc.left, rc.top);
        dc.LineTo(rc.right, rc.top);
        dc.SelectObject(light);
        dc.MoveTo(rc.left + 1, rc.bottom - 1);
        dc.LineTo(rc.left + 1, rc.top + 1);
        dc.LineTo(rc.right, rc.top + 1);
        dc.SelectObject(darkShadow);
        dc.MoveTo(rc.left, rc.bottom - 1);
        dc.LineTo(rc.right - 1, rc.bottom - 1);
        dc.LineTo(rc.right - 1, rc.top - 1);
        dc.SelectObject(shadow);
        dc.MoveTo(rc.left + 1, rc.bottom - 2);
        dc.LineTo(rc.right - 2, rc.bottom - 2);
        dc.LineTo(rc.right - 2, rc.top);
        dc.SelectObject(hOldPen);
    }

    const CString strCaption = m_hWnd ? GetWindowText() : CString();
    RECT rcCaption = rcItem;
    const BOOL bHasText = !strCaption.IsEmpty();
    if (m_icons[0].icon.IsValid())
        DrawIconImage(&dc, bHasText, &rcItem, &rcCaption, m_bPressed, m_bDisabled);
    if (bHasText)
        DrawCaption(&dc, strCaption, &rcItem, &rcCaption, m_bPressed, m_bDisabled);

    if (m_bFocused) {
        const RECT rcFocus = Shrunk(rc, 3);
        dc.DrawFocusRect(rcFocus);
    }
}

// Fills the face in the colour of the button's state, with a thin raised edge.
void CFlatButton::DrawBackground(CDC* pDC, RECT* prc)
{
    COLORREF clr;
    if (m_bHover || m_bPressed)
        clr = m_clrColors[BackHot];
    else if (m_bFocused)
        clr = m_clrColors[BackFocus];
    else
        clr = m_clrColors[BackNormal];
    CBrush brush(clr);
    pDC->FillRect(*prc, brush);
    pDC->Draw3dRect(*prc, ::GetSysColor(COLOR_BTNHIGHLIGHT), ::GetSysColor(COLOR_BTNSHADOW));
}

// The edge of a flat button that is hot (raised) or pressed (sunken).
void CFlatButton::DrawFrame(CDC* pDC, RECT* prc)
{
    if (m_bPressed)
        pDC->Draw3dRect(*prc, ::GetSysColor(COLOR_BTNSHADOW), ::GetSysColor(COLOR_BTNHIGHLIGHT));
    else
        pDC->Draw3dRect(*prc, ::GetSysColor(COLOR_BTNHIGHLIGHT), ::GetSysColor(COLOR_BTNSHADOW));
}

// The caption, word-wrapped and centred in the caption rectangle; embossed when disabled.
void CFlatButton::DrawCaption(CDC* pDC, const char* pszText, const RECT*, RECT* prcCaption,
                              BOOL bPressed, BOOL bDisabled)
{
    RECT& rc = *prcCaption;
    if (bPressed && !m_bCheckBoxMode)
        ::OffsetRect(&rc, m_ptPressedOffset.x, m_ptPressedOffset.y);
    const RECT rcKeep = rc;
    pDC->DrawText(pszText, -1, &rc, DT_WORDBREAK | DT_CENTER | DT_CALCRECT);
    ::OffsetRect(&rc, (Width(rcKeep) - Width(rc)) / 2, (Height(rcKeep) - Height(rc)) / 2);
    pDC->SetBkMode(TRANSPARENT);
    if (bDisabled) {
        ::OffsetRect(&rc, 1, 1);
        pDC->SetTextColor(::GetSysColor(COLOR_BTNHIGHLIGHT));
        pDC->DrawText(pszText, -1, &rc, DT_WORDBREAK | DT_CENTER);
        ::OffsetRect(&rc, -1, -1);
        pDC->SetTextColor(::GetSysColor(COLOR_BTNSHADOW));
        pDC->DrawText(pszText, -1, &rc, DT_WORDBREAK | DT_CENTER);
    } else {
        if (m_bHover || bPressed) {
            pDC->SetTextColor(m_clrColors[ForeHot]);
            pDC->SetBkColor(m_clrColors[BackHot]);
        } else {
            pDC->SetTextColor(m_clrColors[ForeNormal]);
            pDC->SetBkColor(m_clrColors[BackNormal]);
        }
        pDC->DrawText(pszText, -1, &rc, DT_WORDBREAK | DT_CENTER);
    }
}

// Which of the two images fits the state.
int CFlatButton::ChooseImageSlot(bool bSlot1Filled) const
{
    if (m_bPressed || (m_bHover && !m_bCheckBoxMode))
        return 0;
    return bSlot1Filled ? 1 : 0;
}

// Where an image of cx by cy goes, by the alignment setting; makes room for it in the
// caption rectangle.
RECT CFlatButton::PlaceImage(BOOL bHasText, const RECT* prcItem, RECT* prcCaption, BOOL bPressed,
                             DWORD cx, DWORD cy) const
{
    RECT rcImage = *prcItem;
    const int nWidth = int(cx);
    const int nHeight = int(cy);
    switch (m_nImageAlign) {
    case ImageLeft:
        if (bHasText) {
            rcImage.left += kImageMargin;
            prcCaption->left += nWidth + kImageMargin;
        } else {
            rcImage.left += (Width(rcImage) - nWidth) / 2;
        }
        rcImage.top += (Height(rcImage) - nHeight) / 2;
        break;
    case ImageAbove:
        rcImage.left += (Width(rcImage) - nWidth) / 2;
        if (bHasText) {
            rcImage.top = kImageMargin;
            prcCaption->top += nHeight;
        } else {
            rcImage.top += (Height(rcImage) - nHeight) / 2;
        }
        break;
    case ImageRight:
        if (bHasText) {
            RECT rcClient{};
            if (m_hWnd)
                ::GetClientRect(m_hWnd, &rcClient);
            else
                rcClient = *prcItem;
            prcCaption->right -= prcCaption->left + kImageMargin + nWidth;
            prcCaption->left = kImageMargin;
            rcImage.left = Width(rcClient) - kImageMargin - nWidth;
            rcImage.top += (Height(rcImage) - nHeight) / 2;
        } else {
            rcImage.left += (Width(rcImage) - nWidth) / 2;
        }
        break;
    default:
        break;
    }
    if (bPressed && !m_bCheckBoxMode)
        ::OffsetRect(&rcImage, m_ptPressedOffset.x, m_ptPressedOffset.y);
    return rcImage;
}

// Draws the icon for the state beside (or above) the caption.
void CFlatButton::DrawIconImage(CDC* pDC, BOOL bHasText, const RECT* prcItem, RECT* prcCaption,
                                BOOL bPressed, BOOL bDisabled)
{
    const IconSlot& slot = m_icons[ChooseImageSlot(m_icons[1].icon.IsValid())];
    const RECT rcImage =
        PlaceImage(bHasText, prcItem, prcCaption, bPressed, slot.dwWidth, slot.dwHeight);
    ::DrawStateA(*pDC, nullptr, nullptr, reinterpret_cast<LPARAM>(slot.icon.Get()), 0, rcImage.left,
                 rcImage.top, Width(rcImage), Height(rcImage),
                 DST_ICON | (bDisabled ? DSS_DISABLED : 0));
}
