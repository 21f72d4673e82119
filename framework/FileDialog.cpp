// CFileDialogW: fills the OPENFILENAMEW once at construction (the caller may still adjust
// it) and runs the system dialog.
#include "framework/FileDialog.h"

#include "framework/WinApp.h"

CFileDialogW::CFileDialogW(BOOL bOpenFileDialog, const std::wstring& strFileName, DWORD dwFlags,
                           const wchar_t* pszFilter, CWnd* pParentWnd)
    : m_bOpenFileDialog(bOpenFileDialog)
{
    m_ofn.lStructSize = sizeof(OPENFILENAMEW);
    m_ofn.hwndOwner = pParentWnd ? pParentWnd->GetSafeHwnd() : nullptr;
    m_ofn.hInstance = AfxGetInstanceHandle();
    m_ofn.Flags = dwFlags | OFN_EXPLORER | OFN_ENABLESIZING;
    lstrcpynW(m_szFileName, strFileName.c_str(), MAX_PATH);
    m_ofn.lpstrFile = m_szFileName;
    m_ofn.nMaxFile = MAX_PATH;
    m_ofn.lpstrFilter = pszFilter;
}

INT_PTR CFileDialogW::DoModal()
{
    if (!m_ofn.hwndOwner) {
        CWnd* pMainWnd = AfxGetMainWnd();
        if (pMainWnd)
            m_ofn.hwndOwner = pMainWnd->GetSafeHwnd();
    }
    const BOOL bChosen =
        m_bOpenFileDialog ? ::GetOpenFileNameW(&m_ofn) : ::GetSaveFileNameW(&m_ofn);
    return bChosen ? IDOK : IDCANCEL;
}
