// CHyperLink: set-up when bound, hover tracking, painting hooks, and opening the address
// through the shell or the browser registered for ".htm" pages.
#include "controls/HyperLink.h"

#include <climits>
#include <cstring>
#include <shellapi.h>
#include <string>

namespace {

const char kOpenErrorHead[] = "Unable to open hyperlink:\n\n";
const UINT_PTR kToolId = 1;
const UINT kHoverPollMs = 100;

// Whether psz begins with pszPrefix, ignoring case.
bool StartsWithNoCase(const char* psz, const char* pszPrefix)
{
    const size_t n = std::strlen(pszPrefix);
    return psz && std::strlen(psz) >= n && ::_strnicmp(psz, pszPrefix, n) == 0;
}

}  // namespace

// The set-up waits for the binding, which brings the control.
CHyperLink::CHyperLink() = default;

CHyperLink::~CHyperLink() = default;

// The link takes its address, size, fonts, cursor and tooltip from the control as the template
// made it.
void CHyperLink::PreSubclassWindow()
{
    ModifyStyle(0, SS_NOTIFY);

    if (m_strAddress.IsEmpty()) {
        m_strAddress = GetWindowText();
        if (StartsWithNoCase(m_strAddress, "www."))
            m_strAddress = CString("http://") + m_strAddress;
    }

    HFONT hFont = GetFont();
    if (!hFont)
        hFont = static_cast<HFONT>(::GetStockObject(DEFAULT_GUI_FONT));
    if (!hFont)
        hFont = static_cast<HFONT>(::GetStockObject(ANSI_VAR_FONT));
    LOGFONTA lf{};
    if (CFont::GetLogFont(hFont, &lf)) {
        m_fontPlain.CreateFontIndirect(&lf);
        lf.lfUnderline = TRUE;
        m_fontUnderline.CreateFontIndirect(&lf);
    }

    FitToText();
    LoadHandCursor();
    SetUnderlineMode(UnderlineOnHover);
    BuildTipText(m_strAddress);

    if (m_tip.Create(this, 0)) {
        RECT rc;
        GetClientRect(&rc);
        m_tip.AddTool(this, m_strTip, &rc, kToolId);
    }

    CStatic::PreSubclassWindow();
}

// The control shrinks to its text, keeping the edge (or centre) that its alignment style names.
void CHyperLink::FitToText()
{
    if (!IsWindow() || !m_bFitToText)
        return;
    RECT rcWnd;
    RECT rcClient;
    GetWindowRect(&rcWnd);
    GetClientRect(&rcClient);
    ClientToScreen(&rcClient);
    if (HWND hParent = GetParent()) {
        ::MapWindowPoints(HWND_DESKTOP, hParent, reinterpret_cast<POINT*>(&rcWnd), 2);
        ::MapWindowPoints(HWND_DESKTOP, hParent, reinterpret_cast<POINT*>(&rcClient), 2);
    }

    const CString strText = GetWindowText();
    SIZE extent{0, 0};
    {
        CClientDC dc(m_hWnd);
        CSelectObject selectFont(dc, m_fontUnderline.GetSafeHandle());
        extent = dc.GetTextExtent(strText, strText.GetLength());
    }
    const int cxWnd = rcWnd.right - rcWnd.left;
    const int cyWnd = rcWnd.bottom - rcWnd.top;
    extent.cx += cxWnd - (rcClient.right - rcClient.left);
    extent.cy += cyWnd - (rcClient.bottom - rcClient.top);

    const DWORD dwStyle = GetStyle();
    if (dwStyle & SS_CENTERIMAGE) {
        const int d = (cyWnd - extent.cy) / 2;
        rcWnd.top += d;
        rcWnd.bottom -= d;
    } else {
        rcWnd.bottom = rcWnd.top + extent.cy;
    }
    if (dwStyle & SS_CENTER) {
        const int d = (cxWnd - extent.cx) / 2;
        rcWnd.left += d;
        rcWnd.right -= d;
    } else if (dwStyle & SS_RIGHT) {
        rcWnd.left = rcWnd.right - extent.cx;
    } else {
        rcWnd.right = rcWnd.left + extent.cx;
    }
    SetWindowPos(nullptr, rcWnd.left, rcWnd.top, rcWnd.right - rcWnd.left, rcWnd.bottom - rcWnd.top,
                 SWP_NOZORDER);
}

// The help program's hand cursor, or the system's hand where the help program has none. The
// copy is ours to destroy.
void CHyperLink::LoadHandCursor()
{
    if (m_handCursor.IsValid())
        return;
    char szWindows[MAX_PATH + 1] = "";
    const UINT nLength = ::GetWindowsDirectoryA(szWindows, MAX_PATH);
    if (nLength > 0 && nLength < MAX_PATH) {
        const CString strPath = CString(szWindows) + "\\winhlp32.exe";
        const CModuleHandle helpProgram(
            ::LoadLibraryExA(strPath, nullptr, LOAD_LIBRARY_AS_DATAFILE));
        if (helpProgram.IsValid())
            if (HCURSOR hCursor = ::LoadCursorA(helpProgram.Get(), MAKEINTRESOURCEA(106)))
                m_handCursor.Reset(::CopyIcon(hCursor));
    }
    if (!m_handCursor.IsValid()) {
        if (HCURSOR hHand = ::LoadCursorA(nullptr, IDC_HAND))
            m_handCursor.Reset(::CopyIcon(hHand));
    }
}

// The colour follows on the next paint.
void CHyperLink::SetVisitedState(BOOL bVisited)
{
    m_bVisited = bVisited;
    if (IsWindow())
        Invalidate(TRUE);
}

void CHyperLink::SetUnderlineMode(int nMode)
{
    if (nMode == m_nUnderlineMode)
        return;
    if (IsWindow()) {
        SetFont(nMode == UnderlineAlways ? m_fontUnderline.GetSafeHandle()
                                         : m_fontPlain.GetSafeHandle(),
                TRUE);
        Invalidate(TRUE);
    }
    m_nUnderlineMode = nMode;
}

// Without a valid cursor the hand cursor is loaded instead.
void CHyperLink::SetHandCursor(HCURSOR hCursor)
{
    m_handCursor.Reset(hCursor);
    if (!m_handCursor.IsValid())
        LoadHandCursor();
}

CString CHyperLink::TipTextFor(const char* pszAddress, BOOL bPrefix)
{
    CString strTip;
    const char* pszRest = pszAddress ? pszAddress : "";
    if (bPrefix) {
        if (StartsWithNoCase(pszRest, "http://")) {
            strTip = "Go to ";
            pszRest += 7;
        } else if (StartsWithNoCase(pszRest, "mailto:")) {
            strTip = "E-mail ";
            pszRest += 7;
        }
    }
    strTip += pszRest;
    return strTip;
}

void CHyperLink::BuildTipText(const char* pszAddress)
{
    m_strTip = TipTextFor(pszAddress, m_bTipPrefix);
}

// The tooltip sees the mouse.
BOOL CHyperLink::PreTranslateMessage(MSG* pMsg)
{
    if (m_tip.IsWindow())
        m_tip.RelayEvent(pMsg);
    return CStatic::PreTranslateMessage(pMsg);
}

// The hover poll stops with the window.
BOOL CHyperLink::DestroyWindow()
{
    if (IsWindow())
        KillTimer(m_nHoverTimer);
    return CStatic::DestroyWindow();
}

BOOL CHyperLink::OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
{
    switch (message) {
    case WM_CTLCOLORSTATIC:
        if (pResult)
            *pResult = reinterpret_cast<LRESULT>(CtlColor(reinterpret_cast<HDC>(wParam)));
        return TRUE;
    case WM_COMMAND:
        if (HIWORD(wParam) != STN_CLICKED)
            break;
        OnLinkClicked();
        if (pResult)
            *pResult = 0;
        return TRUE;
    default:
        break;
    }
    return CStatic::OnChildNotify(message, wParam, lParam, pResult);
}

LRESULT CHyperLink::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_SETCURSOR:
        return OnSetCursor();
    case WM_MOUSEMOVE:
        return OnMouseMove();
    case WM_TIMER:
        return OnTimer();
    case WM_ERASEBKGND:
        return OnEraseBkgnd(reinterpret_cast<HDC>(wParam));
    default:
        return CStatic::WindowProc(message, wParam, lParam);
    }
}

// The link's colour on no background.
HBRUSH CHyperLink::CtlColor(HDC hDC)
{
    COLORREF clr = m_clrLink;
    if (m_bMouseOver)
        clr = m_clrHover;
    else if (m_bVisited)
        clr = m_clrVisited;
    ::SetTextColor(hDC, clr);
    ::SetBkMode(hDC, TRANSPARENT);
    return static_cast<HBRUSH>(::GetStockObject(NULL_BRUSH));
}

BOOL CHyperLink::OnSetCursor()
{
    if (!m_handCursor.IsValid())
        return FALSE;
    ::SetCursor(m_handCursor.Get());
    return TRUE;
}

// The first move starts the hover and its poll.
LRESULT CHyperLink::OnMouseMove()
{
    if (!m_bMouseOver) {
        m_bMouseOver = TRUE;
        if (m_nUnderlineMode == UnderlineOnHover)
            SetFont(m_fontUnderline.GetSafeHandle(), TRUE);
        Invalidate(TRUE);
        SetTimer(m_nHoverTimer, kHoverPollMs);
    }
    return Default();
}

// The hover poll (every kHoverPollMs): once the cursor has left, the hover ends.
LRESULT CHyperLink::OnTimer()
{
    const DWORD dwPos = ::GetMessagePos();
    POINT pt{short(LOWORD(dwPos)), short(HIWORD(dwPos))};
    ScreenToClient(&pt);
    RECT rc;
    GetClientRect(&rc);
    if (!::PtInRect(&rc, pt)) {
        m_bMouseOver = FALSE;
        KillTimer(m_nHoverTimer);
        if (m_nUnderlineMode != UnderlineAlways)
            SetFont(m_fontPlain.GetSafeHandle(), TRUE);
        rc.bottom += 10;
        InvalidateRect(&rc, TRUE);
    }
    return Default();
}

// The dialog's face colour behind the text.
BOOL CHyperLink::OnEraseBkgnd(HDC hDC)
{
    RECT rc;
    GetClientRect(&rc);
    CDC dc(hDC);
    dc.FillSolidRect(rc, ::GetSysColor(COLOR_BTNFACE));
    return TRUE;
}

void CHyperLink::OnLinkClicked()
{
    m_bMouseOver = FALSE;
    const int nResult = OpenLink(m_strAddress, SW_SHOW);
    m_bVisited = (nResult > 32);
    if (m_bVisited) {
        SetVisitedState(TRUE);
    } else {
        ::MessageBeep(MB_ICONEXCLAMATION);
        ShowOpenError(nResult);
    }
}

// The shell first; where it cannot open the address, the browser registered for ".htm" pages.
int CHyperLink::OpenLink(const char* pszAddress, int nShowCmd)
{
    SetHandCursor(nullptr);
    const UINT_PTR nShell = reinterpret_cast<UINT_PTR>(
        ::ShellExecuteA(nullptr, "open", pszAddress, nullptr, nullptr, nShowCmd));
    if (nShell > 32)
        return nShell > UINT_PTR(INT_MAX) ? INT_MAX : int(nShell);
    return OpenWithRegisteredBrowser(pszAddress, nShowCmd, int(nShell));
}

// Returns nShellResult, the shell's failed result, when the fallback cannot run either.
int CHyperLink::OpenWithRegisteredBrowser(const char* pszAddress, int nShowCmd, int nShellResult)
{
    char szCommand[kCommandBufferSize] = "";
    if (ReadKeyDefaultValue(HKEY_CLASSES_ROOT, ".htm", szCommand, sizeof(szCommand)) !=
        ERROR_SUCCESS)
        return nShellResult;
    const CString strKey = CString(szCommand) + "\\shell\\open\\command";
    if (ReadKeyDefaultValue(HKEY_CLASSES_ROOT, strKey, szCommand, sizeof(szCommand)) !=
        ERROR_SUCCESS)
        return nShellResult;
    CString strLine;
    // An address that does not fit the command line is not run at all.
    if (!BuildBrowserCommand(szCommand, pszAddress, &strLine))
        return nShellResult;
    return int(::WinExec(strLine, UINT(nShowCmd)));
}

// The line WinExec runs. The registered command is cut at its placeholder; the whole line must
// fit the command buffer, or nothing runs.
BOOL CHyperLink::BuildBrowserCommand(const char* pszRegistered, const char* pszAddress,
                                     CString* pCommand)
{
    if (!pCommand)
        return FALSE;
    std::string command = pszRegistered ? pszRegistered : "";
    size_t nCut = command.find("\"%1\"");
    if (nCut == std::string::npos)
        nCut = command.find("%1");
    if (nCut != std::string::npos)
        command.resize(nCut);
    command += ' ';
    command += pszAddress ? pszAddress : "";
    if (command.size() + 1 > size_t(kCommandBufferSize))
        return FALSE;
    *pCommand = CString(command);
    return TRUE;
}

// A value that is missing, not a string, empty or longer than the local buffer is a failed
// lookup; nothing is written past either buffer.
LONG CHyperLink::ReadKeyDefaultValue(HKEY hRoot, const char* pszSubKey, char* pszOut, DWORD cchOut)
{
    if (!pszOut || cchOut == 0)
        return ERROR_INVALID_PARAMETER;
    HKEY hKey = nullptr;
    LONG nResult = ::RegOpenKeyExA(hRoot, pszSubKey, 0, KEY_QUERY_VALUE, &hKey);
    if (nResult != ERROR_SUCCESS)
        return nResult;
    char szValue[kRegistryValueSize + 1] = "";
    DWORD dwType = 0;
    DWORD cbValue = kRegistryValueSize;  // one byte stays free for a terminator
    nResult = ::RegQueryValueExA(hKey, nullptr, nullptr, &dwType, reinterpret_cast<BYTE*>(szValue),
                                 &cbValue);
    ::RegCloseKey(hKey);
    if (nResult != ERROR_SUCCESS)
        return nResult;
    if (dwType != REG_SZ && dwType != REG_EXPAND_SZ)
        return ERROR_INVALID_DATA;
    if (cbValue > DWORD(kRegistryValueSize))
        return ERROR_MORE_DATA;
    szValue[cbValue] = '\0';  // the stored string need not end in a zero
    const size_t nLength = std::strlen(szValue);
    if (nLength == 0 || nLength >= size_t(kRegistryValueSize))
        return ERROR_INVALID_DATA;
    if (nLength + 1 > cchOut)
        return ERROR_MORE_DATA;
    std::memcpy(pszOut, szValue, nLength + 1);
    return ERROR_SUCCESS;
}

// The fixed head and the text for a ShellExecute/WinExec code.
CString CHyperLink::OpenErrorText(int nCode)
{
    CString strText;
    switch (nCode) {
    case 0:
        strText = "The operating system is out\nof memory or resources.";
        break;
    case SE_ERR_FNF:
        strText = "The specified file was not found.";
        break;
    case SE_ERR_PNF:
        strText = "The specified path was not found.";
        break;
    case SE_ERR_ACCESSDENIED:
        strText = "The operating system denied\naccess to the specified file.";
        break;
    case SE_ERR_OOM:
        strText = "There was not enough memory to complete the operation.";
        break;
    case ERROR_BAD_FORMAT:
        strText = "The .EXE file is invalid\n(non-Win32 .EXE or error in .EXE image).";
        break;
    case SE_ERR_SHARE:
        strText = "A sharing violation occurred. ";
        break;
    case SE_ERR_ASSOCINCOMPLETE:
        strText = "The filename association is\nincomplete or invalid.";
        break;
    case SE_ERR_DDETIMEOUT:
        strText = "The DDE transaction could not\nbe completed because the request timed out.";
        break;
    case SE_ERR_DDEFAIL:
        strText = "The DDE transaction failed.";
        break;
    case SE_ERR_DDEBUSY:
        strText = "The DDE transaction could not\nbe completed because other DDE "
                  "transactions\nwere being processed.";
        break;
    case SE_ERR_NOASSOC:
        strText = "There is no application associated\nwith the given filename extension.";
        break;
    case SE_ERR_DLLNOTFOUND:
        strText = "The specified dynamic-link library was not found.";
        break;
    default:
        strText.Format("Unknown Error (%d) occurred.", nCode);
        break;
    }
    return CString(kOpenErrorHead) + strText;
}

// The caller has beeped already.
void CHyperLink::ShowOpenError(int nCode)
{
    const CString strText = OpenErrorText(nCode);
    if (m_pfnShowMessage != nullptr)
        m_pfnShowMessage(strText);
    else
        ::MessageBoxA(GetSafeHwnd(), strText, nullptr, MB_OK | MB_ICONEXCLAMATION);
}
