// CWnd: a C++ object bound to one window. Two uses are kept apart:
//  - a borrowed wrapper (Attach/Detach): thin calls on a handle, no message handling;
//  - a bound window (SubclassWindow, or a dialog created by CDialog): the object
//    receives the window's messages through its virtual WindowProc, a flat switch
//    that calls one small OnXxx handler per message and hands the rest to Default().
// The binding is made once, in one place, and undone at WM_NCDESTROY.
// A parent reflects the notifications of its bound children (WM_COMMAND, WM_NOTIFY,
// WM_DRAWITEM, WM_MEASUREITEM, WM_CTLCOLOR*) to the child's OnChildNotify first; the
// parent's own WindowProc sees them only when the child did not handle them.
#pragma once

#include <windows.h>

#include <string>
#include "framework/String.h"

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd&) = delete;
    CWnd& operator=(const CWnd&) = delete;

    HWND m_hWnd = nullptr;

    HWND GetSafeHwnd() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // The object bound to hWnd by SubclassWindow or by a CDialog, or null.
    static CWnd* FromHandlePermanent(HWND hWnd);

    // Borrowing: wrap a handle without taking over its messages.
    BOOL Attach(HWND hWnd);
    HWND Detach();

    // Binding: route the window's messages to this object. PreSubclassWindow runs with
    // m_hWnd already set, before the first message arrives.
    BOOL SubclassWindow(HWND hWnd);
    BOOL SubclassDlgItem(UINT nID, CWnd* pParent);
    HWND UnsubclassWindow();

    // When a control is bound, before its messages come to the object.
    virtual void PreSubclassWindow() {}
    // Offered by a modal loop each message meant for this window or a child of it, innermost
    // window first; TRUE means the message is consumed.
    virtual BOOL PreTranslateMessage(MSG* pMsg) { return FALSE; }
    // A notification of this control that its parent passes back; TRUE and *pResult when the
    // control handled it itself.
    virtual BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult)
    {
        return FALSE;
    }
    virtual BOOL DestroyWindow();

    // Offers pMsg to PreTranslateMessage of each bound window from pMsg->hwnd up to
    // and including hWndStop; TRUE when one of them consumed it.
    static BOOL PreTranslateTree(HWND hWndStop, MSG* pMsg);

    // Thin wrappers over the window functions.
    LRESULT SendMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::SendMessageA(m_hWnd, message, wParam, lParam);
    }
    BOOL PostMessage(UINT message, WPARAM wParam = 0, LPARAM lParam = 0) const
    {
        return ::PostMessageA(m_hWnd, message, wParam, lParam);
    }
    void SetWindowText(const char* psz) { ::SetWindowTextA(m_hWnd, psz); }
    CString GetWindowText() const;
    void GetWindowText(CString& rString) const { rString = GetWindowText(); }
    int GetWindowTextLength() const { return ::GetWindowTextLengthA(m_hWnd); }
    // Makes a control created from an 8-bit template a Unicode window, so its text keeps
    // characters outside the code page. Must run before the control is subclassed: a
    // subclass installed over an 8-bit window passes its text through the code page.
    static void UseWideText(HWND hWnd);
    // The text through the wide entry points, for the one field whose text may hold characters
    // outside the code page (the output path).
    std::wstring GetWindowTextWide() const;
    void SetWindowTextWide(const std::wstring& strText)
    {
        ::SetWindowTextW(m_hWnd, strText.c_str());
    }
    HWND GetDlgItem(int nID) const { return ::GetDlgItem(m_hWnd, nID); }
    UINT GetDlgCtrlID() const { return UINT(::GetDlgCtrlID(m_hWnd)); }
    HWND GetParent() const { return ::GetParent(m_hWnd); }
    BOOL EnableWindow(BOOL bEnable = TRUE) { return ::EnableWindow(m_hWnd, bEnable); }
    BOOL IsWindowEnabled() const { return ::IsWindowEnabled(m_hWnd); }
    BOOL ShowWindow(int nCmdShow) { return ::ShowWindow(m_hWnd, nCmdShow); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL IsWindow() const { return m_hWnd && ::IsWindow(m_hWnd); }
    void GetWindowRect(RECT* prc) const { ::GetWindowRect(m_hWnd, prc); }
    void GetClientRect(RECT* prc) const { ::GetClientRect(m_hWnd, prc); }
    void ClientToScreen(POINT* ppt) const { ::ClientToScreen(m_hWnd, ppt); }
    void ClientToScreen(RECT* prc) const;
    void ScreenToClient(POINT* ppt) const { ::ScreenToClient(m_hWnd, ppt); }
    void ScreenToClient(RECT* prc) const;
    void MoveWindow(int x, int y, int cx, int cy, BOOL bRepaint = TRUE)
    {
        ::MoveWindow(m_hWnd, x, y, cx, cy, bRepaint);
    }
    BOOL SetWindowPos(HWND hWndAfter, int x, int y, int cx, int cy, UINT nFlags)
    {
        return ::SetWindowPos(m_hWnd, hWndAfter, x, y, cx, cy, nFlags);
    }
    void Invalidate(BOOL bErase = TRUE) { ::InvalidateRect(m_hWnd, nullptr, bErase); }
    void InvalidateRect(const RECT* prc, BOOL bErase = TRUE)
    {
        ::InvalidateRect(m_hWnd, prc, bErase);
    }
    void UpdateWindow() { ::UpdateWindow(m_hWnd); }
    BOOL RedrawWindow(const RECT* prc, HRGN hRgn, UINT nFlags)
    {
        return ::RedrawWindow(m_hWnd, prc, hRgn, nFlags);
    }
    HWND SetFocus() { return ::SetFocus(m_hWnd); }
    DWORD GetStyle() const { return DWORD(::GetWindowLongPtrA(m_hWnd, GWL_STYLE)); }
    DWORD GetExStyle() const { return DWORD(::GetWindowLongPtrA(m_hWnd, GWL_EXSTYLE)); }
    // Removes and adds style bits; with nFlags, also SetWindowPos(SWP_NOSIZE|SWP_NOMOVE|SWP_NOZORDER|SWP_NOACTIVATE|nFlags).
    BOOL ModifyStyle(DWORD dwRemove, DWORD dwAdd, UINT nFlags = 0);
    HFONT GetFont() const { return reinterpret_cast<HFONT>(SendMessage(WM_GETFONT)); }
    void SetFont(HFONT hFont, BOOL bRedraw = TRUE)
    {
        SendMessage(WM_SETFONT, reinterpret_cast<WPARAM>(hFont), bRedraw);
    }
    UINT_PTR SetTimer(UINT_PTR nIDEvent, UINT nElapse)
    {
        return ::SetTimer(m_hWnd, nIDEvent, nElapse, nullptr);
    }
    BOOL KillTimer(UINT_PTR nIDEvent) { return ::KillTimer(m_hWnd, nIDEvent); }
    HICON SetIcon(HICON hIcon, BOOL bBigIcon)
    {
        return reinterpret_cast<HICON>(SendMessage(WM_SETICON, bBigIcon ? ICON_BIG : ICON_SMALL,
                                                   reinterpret_cast<LPARAM>(hIcon)));
    }
    HMENU GetSystemMenu(BOOL bRevert) const { return ::GetSystemMenu(m_hWnd, bRevert); }
    void SetDlgItemText(int nID, const char* psz) { ::SetDlgItemTextA(m_hWnd, nID, psz); }
    CString GetDlgItemText(int nID) const;
    void CheckRadioButton(int nIDFirst, int nIDLast, int nIDCheck)
    {
        ::CheckRadioButton(m_hWnd, nIDFirst, nIDLast, nIDCheck);
    }

protected:
    // Every message of a bound window arrives here. Derived classes switch on the
    // messages they handle and pass everything else to their base class.
    virtual LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam);
    // The default processing of the message being handled: the window's original
    // procedure for a subclassed control; for a dialog, the dialog manager's own handling.
    LRESULT Default();
    // After the window is gone (WM_NCDESTROY) and the object is unbound.
    virtual void PostNcDestroy() {}

    // Dispatches one message: reflection to a bound child first, then WindowProc.
    LRESULT Dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    // Dispatch as the window and dialog procedures call it: keeps the message for
    // Default() (nested messages save and restore it) and stops exceptions, which must
    // never unwind through the system's frames. *pbUnhandled tells whether the object
    // asked for the default processing (or threw), which the caller then supplies.
    LRESULT DispatchFromProcedure(UINT message, WPARAM wParam, LPARAM lParam, bool* pbUnhandled);

    // The message being handled, for Default(); nested messages save and restore it.
    struct CurrentMessage {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
        bool bDefaultRequested;
    };
    CurrentMessage* m_pCurrentMessage = nullptr;

    // Bookkeeping shared by the subclass and dialog procedures.
    void Bind(HWND hWnd);
    void Unbind();
    bool m_bSubclassed = false;

private:
    static LRESULT CALLBACK SubclassProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR uIdSubclass, DWORD_PTR dwRefData);
    friend class CDialog;
};
