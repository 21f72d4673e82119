// CHyperLink: turns a static text control of a dialog into a web link. Bound by the
// dialog (DDX_Control), it takes its address from its own text ("www." gets "http://"
// in front), shrinks to its text, colours the text, underlines it while the mouse is
// over it (the leaving mouse is noticed by a 100 ms poll), shows a hand cursor and a
// tooltip, and on a click opens the address with the shell or, failing that, with the
// browser registered for ".htm" pages. A failure is reported with a beep and a message
// box.
#pragma once

#include <windows.h>
#include "framework/Controls.h"
#include "framework/Gdi.h"
#include "framework/String.h"
#include "framework/UniqueHandle.h"

class CHyperLink : public CStatic {
public:
    enum UnderlineMode { UnderlineOnHover = -1, UnderlineNever = 0, UnderlineAlways = 1 };

    // Room of the command line run when the shell cannot open an address, terminator included.
    static constexpr int kCommandBufferSize = 520;
    // Room of a registry value read, terminator included.
    static constexpr int kRegistryValueSize = 260;

    CHyperLink();
    ~CHyperLink() override;

    void SetVisitedState(BOOL bVisited);
    void SetUnderlineMode(int nMode);
    // Takes ownership of hCursor; null loads the hand cursor again.
    void SetHandCursor(HCURSOR hCursor);
    // Opens pszAddress; a result above 32 means success, otherwise a ShellExecute/WinExec code.
    virtual int OpenLink(const char* pszAddress, int nShowCmd);
    // How the failure message is shown: the owner passes the program's message box. Without
    // one the system's message box is used.
    using MessageFn = int (*)(const char* pszText);
    void SetMessageFunction(MessageFn pfnShowMessage) { m_pfnShowMessage = pfnShowMessage; }
    // Shows the failure message for code nCode.
    void ShowOpenError(int nCode);

    const CString& GetAddress() const { return m_strAddress; }
    void SetAddress(const char* pszAddress) { m_strAddress = pszAddress; }
    const CString& GetTipText() const { return m_strTip; }
    BOOL IsVisited() const { return m_bVisited; }
    BOOL IsMouseOver() const { return m_bMouseOver; }
    int GetUnderlineMode() const { return m_nUnderlineMode; }
    HCURSOR GetHandCursor() const { return m_handCursor.Get(); }
    CToolTipCtrl& GetToolTip() { return m_tip; }

    // The whole failure message for code nCode ("Unable to open hyperlink:\n\n" and its text).
    static CString OpenErrorText(int nCode);
    // The tooltip for pszAddress: "Go to "/"E-mail " instead of a leading "http://"/"mailto:"
    // when bPrefix, otherwise the address whole.
    static CString TipTextFor(const char* pszAddress, BOOL bPrefix);
    // The browser command line for pszAddress from the registered open command: cut at
    // "\"%1\"" or else at "%1", then a space and the address. FALSE, and nothing in
    // *pCommand, when the line would not fit the command buffer.
    static BOOL BuildBrowserCommand(const char* pszRegistered, const char* pszAddress,
                                    CString* pCommand);
    // Reads the default value of hRoot\pszSubKey (a string) into pszOut (cchOut characters
    // with the terminator). 0 on success, otherwise an error code with pszOut unchanged.
    static LONG ReadKeyDefaultValue(HKEY hRoot, const char* pszSubKey, char* pszOut, DWORD cchOut);

    void PreSubclassWindow() override;
    BOOL DestroyWindow() override;
    BOOL PreTranslateMessage(MSG* pMsg) override;
    BOOL OnChildNotify(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* pResult) override;

protected:
    LRESULT WindowProc(UINT message, WPARAM wParam, LPARAM lParam) override;

    HBRUSH CtlColor(HDC hDC);
    BOOL OnSetCursor();
    LRESULT OnMouseMove();
    LRESULT OnTimer();
    void OnLinkClicked();
    BOOL OnEraseBkgnd(HDC hDC);

    void FitToText();
    void LoadHandCursor();
    void BuildTipText(const char* pszAddress);
    // The registry fallback of OpenLink: runs the ".htm" browser; nShellResult when it cannot.
    int OpenWithRegisteredBrowser(const char* pszAddress, int nShowCmd, int nShellResult);

    COLORREF m_clrLink = RGB(52, 70, 92);
    COLORREF m_clrVisited = RGB(52, 70, 92);
    COLORREF m_clrHover = RGB(52, 70, 92);
    BOOL m_bMouseOver = FALSE;
    BOOL m_bVisited = FALSE;
    int m_nUnderlineMode = UnderlineOnHover;
    BOOL m_bFitToText = TRUE;
    CString m_strAddress;
    CString m_strTip;
    BOOL m_bTipPrefix = TRUE;
    CFont m_fontUnderline;
    CFont m_fontPlain;
    CCursorHandle m_handCursor;
    CToolTipCtrl m_tip;
    UINT m_nHoverTimer = 100;
    MessageFn m_pfnShowMessage = nullptr;
};
