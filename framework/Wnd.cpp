// Binding windows to objects, and the message dispatch shared by controls and dialogs.
#include "framework/Wnd.h"

#include "framework/Barrier.h"

#include <commctrl.h>

namespace {

// The window property that points from a bound window to its object. A property on the
// window itself rather than a process-wide map: nothing to lock, and it goes with the window.
const char kObjectProperty[] = "Quillmark.CWnd";
// Our id among the comctl32 subclasses of one window.
const UINT_PTR kSubclassId = 0x514D;

// The control that sent a parent notification, or null when the message is no
// notification of a child control (menus and accelerators included).
HWND NotificationSource(HWND hParent, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        return reinterpret_cast<HWND>(lParam);
    case WM_NOTIFY:
        return lParam ? reinterpret_cast<const NMHDR*>(lParam)->hwndFrom : nullptr;
    case WM_DRAWITEM: {
        const auto* pDraw = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        return (pDraw && pDraw->CtlType != ODT_MENU) ? pDraw->hwndItem : nullptr;
    }
    case WM_MEASUREITEM: {
        const auto* pMeasure = reinterpret_cast<const MEASUREITEMSTRUCT*>(lParam);
        return (pMeasure && pMeasure->CtlType != ODT_MENU)
                   ? ::GetDlgItem(hParent, int(pMeasure->CtlID))
                   : nullptr;
    }
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
        return reinterpret_cast<HWND>(lParam);
    default:
        return nullptr;
    }
}

}  // namespace

CWnd::~CWnd()
{
    if (m_bSubclassed && m_hWnd && ::IsWindow(m_hWnd))
        UnsubclassWindow();
}

CWnd* CWnd::FromHandlePermanent(HWND hWnd)
{
    return hWnd ? static_cast<CWnd*>(::GetPropA(hWnd, kObjectProperty)) : nullptr;
}

BOOL CWnd::Attach(HWND hWnd)
{
    if (!hWnd || m_hWnd)
        return FALSE;
    m_hWnd = hWnd;
    return TRUE;
}

HWND CWnd::Detach()
{
    HWND hWnd = m_hWnd;
    m_hWnd = nullptr;
    return hWnd;
}

void CWnd::Bind(HWND hWnd)
{
    m_hWnd = hWnd;
    ::SetPropA(hWnd, kObjectProperty, this);
}

void CWnd::Unbind()
{
    if (m_hWnd && FromHandlePermanent(m_hWnd) == this)
        ::RemovePropA(m_hWnd, kObjectProperty);
    m_hWnd = nullptr;
    m_bSubclassed = false;
}

BOOL CWnd::SubclassWindow(HWND hWnd)
{
    if (!hWnd || m_hWnd || FromHandlePermanent(hWnd))
        return FALSE;
    // The control's own set-up runs with the handle known but before its messages come here.
    m_hWnd = hWnd;
    PreSubclassWindow();
    if (!::SetWindowSubclass(hWnd, SubclassProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this))) {
        m_hWnd = nullptr;
        return FALSE;
    }
    Bind(hWnd);
    m_bSubclassed = true;
    return TRUE;
}

BOOL CWnd::SubclassDlgItem(UINT nID, CWnd* pParent)
{
    if (!pParent || !pParent->m_hWnd)
        return FALSE;
    return SubclassWindow(::GetDlgItem(pParent->m_hWnd, int(nID)));
}

HWND CWnd::UnsubclassWindow()
{
    HWND hWnd = m_hWnd;
    if (!hWnd || !m_bSubclassed)
        return nullptr;
    ::RemoveWindowSubclass(hWnd, SubclassProc, kSubclassId);
    Unbind();
    return hWnd;
}

BOOL CWnd::DestroyWindow()
{
    return m_hWnd ? ::DestroyWindow(m_hWnd) : FALSE;
}

BOOL CWnd::PreTranslateTree(HWND hWndStop, MSG* pMsg)
{
    for (HWND hWnd = pMsg->hwnd; hWnd; hWnd = ::GetParent(hWnd)) {
        CWnd* pWnd = FromHandlePermanent(hWnd);
        if (pWnd && pWnd->PreTranslateMessage(pMsg))
            return TRUE;
        if (hWnd == hWndStop)
            break;
    }
    return FALSE;
}

CString CWnd::GetWindowText() const
{
    CString text;
    int nLength = ::GetWindowTextLengthA(m_hWnd);
    if (nLength > 0) {
        char* pBuffer = text.GetBuffer(nLength);
        ::GetWindowTextA(m_hWnd, pBuffer, nLength + 1);
        text.ReleaseBuffer();
    }
    return text;
}

CString CWnd::GetDlgItemText(int nID) const
{
    HWND hItem = ::GetDlgItem(m_hWnd, nID);
    if (!hItem)
        return CString();
    CWnd item;
    item.Attach(hItem);
    CString text = item.GetWindowText();
    item.Detach();
    return text;
}

void CWnd::ClientToScreen(RECT* prc) const
{
    ::MapWindowPoints(m_hWnd, HWND_DESKTOP, reinterpret_cast<POINT*>(prc), 2);
}

void CWnd::ScreenToClient(RECT* prc) const
{
    ::MapWindowPoints(HWND_DESKTOP, m_hWnd, reinterpret_cast<POINT*>(prc), 2);
}

BOOL CWnd::ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags)
{
    DWORD dwStyle = GetStyle();
    DWORD dwNewStyle = (dwStyle & ~dwRemove) | dwAdd;
    if (dwStyle == dwNewStyle)
        return FALSE;
    ::SetWindowLongPtrA(m_hWnd, GWL_STYLE, LONG_PTR(dwNewStyle));
    if (nFlags)
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | nFlags);
    return TRUE;
}

LRESULT CWnd::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    return Default();
}

LRESULT CWnd::Default()
{
    CurrentMessage* pCurrent = m_pCurrentMessage;
    if (!pCurrent || !m_hWnd)
        return 0;
    if (m_bSubclassed)
        return ::DefSubclassProc(m_hWnd, pCurrent->message, pCurrent->wParam, pCurrent->lParam);
    // A dialog: the dialog manager does the default handling once the dialog
    // procedure has answered "not handled".
    pCurrent->bDefaultRequested = true;
    return 0;
}

LRESULT CWnd::Dispatch(UINT message, WPARAM wParam, LPARAM lParam)
{
    HWND hSource = NotificationSource(m_hWnd, message, wParam, lParam);
    if (hSource && hSource != m_hWnd) {
        CWnd* pChild = FromHandlePermanent(hSource);
        LRESULT result = 0;
        if (pChild && pChild->OnChildNotify(message, wParam, lParam, &result))
            return result;
    }
    return WindowProc(message, wParam, lParam);
}

LRESULT CWnd::DispatchFromProcedure(UINT message, WPARAM wParam, LPARAM lParam, bool* pbUnhandled)
{
    CurrentMessage current{message, wParam, lParam, false};
    CurrentMessage* pPrevious = m_pCurrentMessage;
    m_pCurrentMessage = &current;
    LRESULT result = 0;
    try {
        result = Dispatch(message, wParam, lParam);
    } catch (...) {
        // No exception may unwind through the system's frames: recorded, then the message
        // gets the default processing.
        CString strWhere;
        strWhere.Format("window procedure, message 0x%04X", message);
        RecordCaughtException(strWhere);
        current.bDefaultRequested = true;
        result = 0;
    }
    m_pCurrentMessage = pPrevious;
    *pbUnhandled = current.bDefaultRequested;
    return result;
}

// Every message of a subclassed control.
LRESULT CALLBACK CWnd::SubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                    DWORD_PTR dwRefData)
{
    CWnd* pWnd = reinterpret_cast<CWnd*>(dwRefData);
    if (message == WM_NCDESTROY) {
        LRESULT result = ::DefSubclassProc(hWnd, message, wParam, lParam);
        ::RemoveWindowSubclass(hWnd, SubclassProc, kSubclassId);
        pWnd->Unbind();
        pWnd->PostNcDestroy();
        return result;
    }
    bool bUnhandled = false;
    LRESULT result = pWnd->DispatchFromProcedure(message, wParam, lParam, &bUnhandled);
    if (bUnhandled)
        result = ::DefSubclassProc(hWnd, message, wParam, lParam);
    return result;
}

std::wstring CWnd::GetWindowTextWide() const
{
    const int nLength = ::GetWindowTextLengthW(m_hWnd);
    std::wstring strText(size_t(nLength) + 1, L'\0');
    const int nCopied = ::GetWindowTextW(m_hWnd, &strText[0], nLength + 1);
    strText.resize(size_t(nCopied > 0 ? nCopied : 0));
    return strText;
}

// For a field that must hold any character (the output path): setting the window procedure
// through the wide entry point is what marks a window as Unicode.
void CWnd::UseWideText(HWND hWnd)
{
    if (hWnd != nullptr && !::IsWindowUnicode(hWnd))
        ::SetWindowLongPtrW(hWnd, GWLP_WNDPROC, ::GetWindowLongPtrW(hWnd, GWLP_WNDPROC));
}
