// Dialogs from templates: creation, the modal loop, the dialog procedure and data exchange.
#include "framework/Dialog.h"

#include "framework/Text.h"
#include "framework/WinApp.h"

HWND CDataExchange::GetControl(int nIDC) const
{
    return m_pDlgWnd ? ::GetDlgItem(m_pDlgWnd->m_hWnd, nIDC) : nullptr;
}

void DDX_Control(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    if (rControl.m_hWnd)
        return;
    if (HWND hControl = pDX->GetControl(nIDC))
        rControl.SubclassWindow(hControl);
}

void DDX_Attach(CDataExchange* pDX, int nIDC, CWnd& rControl)
{
    if (rControl.m_hWnd)
        return;
    if (HWND hControl = pDX->GetControl(nIDC))
        rControl.Attach(hControl);
}

void DDX_TextUtf8(CDataExchange* pDX, int nIDC, CString& value)
{
    HWND hControl = pDX->GetControl(nIDC);
    if (!hControl)
        return;
    if (pDX->m_bSaveAndValidate) {
        CWnd control;
        control.Attach(hControl);
        const std::string strBytes = FromWide(control.GetWindowTextWide(), CP_UTF8);
        control.Detach();
        value = CString(strBytes.data(), int(strBytes.size()));
    } else {
        ::SetWindowTextW(hControl, ToWide(value, UINT(CP_UTF8)).c_str());
    }
}

void DDX_Text(CDataExchange* pDX, int nIDC, CString& value)
{
    HWND hControl = pDX->GetControl(nIDC);
    if (!hControl)
        return;
    if (pDX->m_bSaveAndValidate) {
        CWnd control;
        control.Attach(hControl);
        value = control.GetWindowText();
        control.Detach();
    } else {
        ::SetWindowTextA(hControl, value);
    }
}

void DDX_LBString(CDataExchange* pDX, int nIDC, CString& value)
{
    HWND hControl = pDX->GetControl(nIDC);
    if (!hControl)
        return;
    if (pDX->m_bSaveAndValidate) {
        int nSelected = int(::SendMessageA(hControl, LB_GETCURSEL, 0, 0));
        value.Empty();
        if (nSelected != LB_ERR) {
            int nLength = int(::SendMessageA(hControl, LB_GETTEXTLEN, WPARAM(nSelected), 0));
            if (nLength > 0) {
                char* pBuffer = value.GetBuffer(nLength);
                ::SendMessageA(hControl, LB_GETTEXT, WPARAM(nSelected),
                               reinterpret_cast<LPARAM>(pBuffer));
                value.ReleaseBuffer();
            }
        }
    } else {
        LRESULT nFound = ::SendMessageA(hControl, LB_SELECTSTRING, WPARAM(-1),
                                        reinterpret_cast<LPARAM>(value.GetString()));
        // A value that no entry begins with leaves nothing selected rather than an old selection.
        if (nFound == LB_ERR)
            ::SendMessageA(hControl, LB_SETCURSEL, WPARAM(-1), 0);
    }
}

CDialog::CDialog(UINT nIDTemplate, CWnd* pParentWnd)
    : m_pParentWnd(pParentWnd), m_nIDTemplate(nIDTemplate)
{}

CDialog::~CDialog()
{
    if (m_hWnd && ::IsWindow(m_hWnd))
        ::DestroyWindow(m_hWnd);
}

HWND CDialog::CreateFromTemplate(HWND hWndOwner)
{
    m_nModalResult = -1;
    m_bEndModal = false;
    return ::CreateDialogParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_nIDTemplate), hWndOwner,
                                DialogProc, reinterpret_cast<LPARAM>(this));
}

BOOL CDialog::Create(CWnd* pParentWnd)
{
    if (m_hWnd)
        return FALSE;
    if (pParentWnd)
        m_pParentWnd = pParentWnd;
    return CreateFromTemplate(m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr) != nullptr;
}

INT_PTR CDialog::DoModal()
{
    if (m_hWnd)
        return -1;
    // Without a parent of its own, a dialog on the main window's thread is owned by the
    // main window, which stays disabled while the dialog runs. Dialogs on other threads
    // (the export worker's message boxes) have no owner and leave the main window usable.
    HWND hOwner = m_pParentWnd ? m_pParentWnd->m_hWnd : nullptr;
    if (!hOwner) {
        CWnd* pMainWnd = AfxGetMainWnd();
        if (pMainWnd && pMainWnd != this && pMainWnd->m_hWnd &&
            ::GetWindowThreadProcessId(pMainWnd->m_hWnd, nullptr) == ::GetCurrentThreadId())
            hOwner = pMainWnd->m_hWnd;
    }
    if (hOwner)
        hOwner = ::GetAncestor(hOwner, GA_ROOT);

    m_bModal = true;
    HWND hDlg = CreateFromTemplate(hOwner);
    if (!hDlg) {
        m_bModal = false;
        return -1;
    }
    bool bOwnerDisabled = false;
    if (hOwner && ::IsWindowEnabled(hOwner)) {
        ::EnableWindow(hOwner, FALSE);
        bOwnerDisabled = true;
    }
    if (!m_bEndModal && m_hWnd) {
        ::ShowWindow(hDlg, SW_SHOWNORMAL);
        RunModalLoop();
    }
    if (bOwnerDisabled)
        ::EnableWindow(hOwner, TRUE);
    if (m_hWnd) {
        // Hide first so that activation passes back to the owner before the window goes.
        ::SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0,
                       SWP_HIDEWINDOW | SWP_NOSIZE | SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        if (hOwner && ::GetActiveWindow() == m_hWnd)
            ::SetActiveWindow(hOwner);
        ::DestroyWindow(m_hWnd);
    }
    m_bModal = false;
    return m_nModalResult;
}

// The modal loop: each message is first offered to the bound windows it concerns
// (tooltips relay, keyboard navigation), then dispatched.
void CDialog::RunModalLoop()
{
    MSG msg;
    while (!m_bEndModal && m_hWnd) {
        BOOL bResult = ::GetMessageA(&msg, nullptr, 0, 0);
        if (bResult == 0) {
            // WM_QUIT ends this loop and is passed on to the loop outside it.
            ::PostQuitMessage(int(msg.wParam));
            if (!m_bEndModal)
                m_nModalResult = IDCANCEL;
            break;
        }
        if (bResult == -1)
            break;
        if (!CWnd::PreTranslateTree(m_hWnd, &msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
}

void CDialog::EndDialog(int nResult)
{
    m_nModalResult = nResult;
    m_bEndModal = true;
    // Wake the modal loop in case no other message is on its way.
    if (m_bModal && m_hWnd)
        ::PostMessageA(m_hWnd, WM_NULL, 0, 0);
}

BOOL CDialog::UpdateData(BOOL bSaveAndValidate)
{
    if (!m_hWnd)
        return FALSE;
    CDataExchange exchange(this, bSaveAndValidate);
    DoDataExchange(&exchange);
    return TRUE;
}

BOOL CDialog::PreTranslateMessage(MSG* pMsg)
{
    return m_hWnd && ::IsDialogMessageA(m_hWnd, pMsg);
}

BOOL CDialog::OnInitDialog()
{
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK()
{
    if (!UpdateData(TRUE))
        return;
    EndDialog(IDOK);
}

void CDialog::OnCancel()
{
    EndDialog(IDCANCEL);
}

LRESULT CDialog::WindowProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog();
    case WM_COMMAND:
        // Buttons, and Enter and Escape from the dialog manager (notification code 0).
        if (HIWORD(wParam) == BN_CLICKED) {
            if (LOWORD(wParam) == IDOK) {
                OnOK();
                return 0;
            }
            if (LOWORD(wParam) == IDCANCEL) {
                OnCancel();
                return 0;
            }
        }
        break;
    default:
        break;
    }
    return CWnd::WindowProc(message, wParam, lParam);
}

void CDialog::PostNcDestroy() {}

// Every message of a dialog of ours. The dialog procedure answers TRUE for what the
// object handled, and FALSE for what the object handed to Default(), so that the
// dialog manager does its own processing.
INT_PTR CALLBACK CDialog::DialogProc(HWND hDlg, UINT message, WPARAM wParam, LPARAM lParam)
{
    CDialog* pDlg = nullptr;
    if (message == WM_INITDIALOG) {
        pDlg = reinterpret_cast<CDialog*>(lParam);
        ::SetWindowLongPtrA(hDlg, DWLP_USER, reinterpret_cast<LONG_PTR>(pDlg));
        pDlg->Bind(hDlg);
    } else {
        pDlg = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hDlg, DWLP_USER));
    }
    if (!pDlg)
        return FALSE;

    bool bUnhandled = false;
    LRESULT result = pDlg->DispatchFromProcedure(message, wParam, lParam, &bUnhandled);

    if (message == WM_NCDESTROY) {
        ::SetWindowLongPtrA(hDlg, DWLP_USER, 0);
        pDlg->Unbind();
        pDlg->PostNcDestroy();
        return FALSE;
    }
    if (bUnhandled)
        return FALSE;
    switch (message) {
    // These answer through the dialog procedure's own result.
    case WM_INITDIALOG:
    case WM_CTLCOLORMSGBOX:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSCROLLBAR:
    case WM_CTLCOLORSTATIC:
    case WM_COMPAREITEM:
    case WM_VKEYTOITEM:
    case WM_CHARTOITEM:
    case WM_QUERYDRAGICON:
        return INT_PTR(result);
    default:
        ::SetWindowLongPtrA(hDlg, DWLP_MSGRESULT, LONG_PTR(result));
        return TRUE;
    }
}
