// The control wrappers' operations that are more than one SendMessage: the owner-draw
// hook of CButton, reading a list box entry, and the tooltip control's tools.
#include "framework/Controls.h"

#include <vector>
#include "framework/WinApp.h"

// An owner-drawn button draws itself; everything else goes back to the parent.
BOOL CButton::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    if (message != WM_DRAWITEM)
        return CWnd::OnChildNotify(message, wParam, lParam, pResult);
    DrawItem(reinterpret_cast<LPDRAWITEMSTRUCT>(lParam));
    if (pResult)
        *pResult = TRUE;
    return TRUE;
}

// An index out of range gives "".
CString CListBox::GetText(int nIndex) const
{
    const int nLength = GetTextLen(nIndex);
    if (nLength == LB_ERR || nLength < 0)
        return CString();
    std::vector<char> buffer(size_t(nLength) + 1, '\0');
    const int nCopied =
        int(SendMessage(LB_GETTEXT, WPARAM(nIndex), reinterpret_cast<LPARAM>(buffer.data())));
    if (nCopied == LB_ERR || nCopied < 0)
        return CString();
    return CString(buffer.data(), nCopied < nLength ? nCopied : nLength);
}

namespace {

// The tool record identifying tool nIDTool of pWnd. The size of the version-5 record works
// with every version of the control.
TOOLINFOA MakeToolInfo(CWnd* pWnd, UINT_PTR nIDTool)
{
    TOOLINFOA ti{};
    ti.cbSize = TTTOOLINFOA_V2_SIZE;
    ti.hwnd = pWnd ? pWnd->GetSafeHwnd() : nullptr;
    ti.uId = nIDTool;
    return ti;
}

}  // namespace

// The tooltip window goes with the object.
CToolTipCtrl::~CToolTipCtrl()
{
    if (m_hWnd) {
        HWND hWnd = Detach();
        if (::IsWindow(hWnd))
            ::DestroyWindow(hWnd);
    }
}

// The tooltip window is owned by pParentWnd's window; FALSE when the object already holds one.
// The tooltip is only wrapped, not bound; its owner relays the mouse messages.
BOOL CToolTipCtrl::Create(CWnd* pParentWnd, DWORD dwStyle)
{
    if (IsWindow())
        return FALSE;
    HWND hWndOwner = pParentWnd ? pParentWnd->GetSafeHwnd() : nullptr;
    HWND hWnd = ::CreateWindowExA(0, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | dwStyle,
                                  CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                  hWndOwner, nullptr, AfxGetInstanceHandle(), nullptr);
    if (!hWnd)
        return FALSE;
    if (m_hWnd)
        Detach();  // a stale handle of a window destroyed elsewhere
    return Attach(hWnd);
}

// One rectangle of pWnd's client area as a tool. Without a rectangle the whole client area
// counts; without text the tooltip asks pWnd (TTN_GETDISPINFO).
BOOL CToolTipCtrl::AddTool(CWnd* pWnd, const char* pszText, const RECT* prcTool, UINT_PTR nIDTool)
{
    if (!IsWindow() || !pWnd || !pWnd->IsWindow())
        return FALSE;
    TOOLINFOA ti = MakeToolInfo(pWnd, nIDTool);
    if (prcTool)
        ti.rect = *prcTool;
    else
        ::GetClientRect(pWnd->GetSafeHwnd(), &ti.rect);
    ti.hinst = nullptr;
    ti.lpszText = pszText ? const_cast<char*>(pszText) : LPSTR_TEXTCALLBACKA;
    return BOOL(SendMessage(TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&ti)));
}

// The control keeps its own copy of the text.
void CToolTipCtrl::UpdateTipText(const char* pszText, CWnd* pWnd, UINT_PTR nIDTool)
{
    if (!IsWindow())
        return;
    TOOLINFOA ti = MakeToolInfo(pWnd, nIDTool);
    ti.lpszText = pszText ? const_cast<char*>(pszText) : LPSTR_TEXTCALLBACKA;
    SendMessage(TTM_UPDATETIPTEXTA, 0, reinterpret_cast<LPARAM>(&ti));
}

// "" when there is no such tool. Older controls take no buffer size, so the buffer has the
// documented maximum tip size (INFOTIPSIZE).
CString CToolTipCtrl::GetToolText(CWnd* pWnd, UINT_PTR nIDTool) const
{
    if (!IsWindow())
        return CString();
    std::vector<char> buffer(INFOTIPSIZE + 1, '\0');
    TOOLINFOA ti = MakeToolInfo(pWnd, nIDTool);
    ti.lpszText = buffer.data();
    SendMessage(TTM_GETTEXTA, WPARAM(INFOTIPSIZE), reinterpret_cast<LPARAM>(&ti));
    buffer[INFOTIPSIZE] = '\0';
    return CString(buffer.data());
}
