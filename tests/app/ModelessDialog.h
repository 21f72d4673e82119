// ModelessDialog: a dialog of this program created modeless from its template by the
// dialog manager (the common controls its templates use registered first), destroyed at scope
// exit; and the rectangle of a control in its dialog's client coordinates.
#pragma once

#include <windows.h>
#include <commctrl.h>

namespace AppTest {

inline INT_PTR CALLBACK PlainDialogProc(HWND, UINT message, WPARAM, LPARAM)
{
    return message == WM_INITDIALOG ? TRUE : FALSE;
}

class ModelessDialog {
public:
    explicit ModelessDialog(UINT nId) : m_hWnd(Create(nId)) {}
    ~ModelessDialog()
    {
        if (m_hWnd)
            ::DestroyWindow(m_hWnd);
    }
    ModelessDialog(const ModelessDialog&) = delete;
    ModelessDialog& operator=(const ModelessDialog&) = delete;
    HWND get() const { return m_hWnd; }

private:
    static HWND Create(UINT nId)
    {
        INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_PROGRESS_CLASS};
        ::InitCommonControlsEx(&icc);
        return ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(nId), nullptr,
                                    PlainDialogProc, 0);
    }

    HWND m_hWnd;
};

inline RECT ClientRectOf(HWND hDlg, HWND hCtrl)
{
    RECT rc;
    ::GetWindowRect(hCtrl, &rc);
    ::MapWindowPoints(nullptr, hDlg, reinterpret_cast<POINT*>(&rc), 2);
    return rc;
}

}  // namespace AppTest
