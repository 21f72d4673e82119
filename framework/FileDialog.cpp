// CFileDialog: fills the OPENFILENAME once at construction (the caller may still adjust
// it) and runs the system dialog. The filter is kept in the object in the form the
// system wants: parts separated and ended by zero bytes, the list ended by two.
#include "framework/FileDialog.h"

#include "framework/WinApp.h"

// Called where the program asks for a file name to open or to save under.
CFileDialog::CFileDialog(BOOL bOpenFileDialog, const char* pszDefExt, const char* pszFileName,
                         DWORD dwFlags, const char* pszFilter, CWnd* pParentWnd)
    : m_bOpenFileDialog(bOpenFileDialog) {
    m_ofn.lStructSize = sizeof(OPENFILENAMEA);
    m_ofn.hwndOwner = pParentWnd ? pParentWnd->GetSafeHwnd() : nullptr;
    m_ofn.hInstance = AfxGetInstanceHandle();
    m_ofn.Flags = dwFlags | OFN_EXPLORER | OFN_ENABLESIZING;

    if (pszFileName) lstrcpynA(m_szFileName, pszFileName, MAX_PATH);
    m_ofn.lpstrFile = m_szFileName;
    m_ofn.nMaxFile = MAX_PATH;

    if (pszDefExt) {
        m_strDefExt = pszDefExt;
        m_ofn.lpstrDefExt = m_strDefExt.GetString();
    }

    if (pszFilter && *pszFilter) {
        // "Text (*.txt)|*.txt|All (*.*)|*.*||" becomes the zero-separated list; the
        // string's own terminator supplies the final zero of the double zero.
        m_strFilter = pszFilter;
        m_strFilter.Replace('|', '\0');
        if (m_strFilter.GetAt(m_strFilter.GetLength() - 1) != '\0') m_strFilter += '\0';
        m_ofn.lpstrFilter = m_strFilter.GetString();
    }
}

// Called to run the dialog; the owner falls back to the application's main window when
// none was given. The chosen name is in m_ofn.lpstrFile afterwards.
INT_PTR CFileDialog::DoModal() {
    if (!m_ofn.hwndOwner) {
        CWnd* pMainWnd = AfxGetMainWnd();
        if (pMainWnd) m_ofn.hwndOwner = pMainWnd->GetSafeHwnd();
    }
    const BOOL bChosen = m_bOpenFileDialog ? ::GetOpenFileNameA(&m_ofn) : ::GetSaveFileNameA(&m_ofn);
    return bChosen ? IDOK : IDCANCEL;
}

// Called where the program asks for the output file: the proposal is cut to the buffer.
CFileDialogW::CFileDialogW(BOOL bOpenFileDialog, const std::wstring& strFileName, DWORD dwFlags,
                           const wchar_t* pszFilter, CWnd* pParentWnd)
    : m_bOpenFileDialog(bOpenFileDialog) {
    m_ofn.lStructSize = sizeof(OPENFILENAMEW);
    m_ofn.hwndOwner = pParentWnd ? pParentWnd->GetSafeHwnd() : nullptr;
    m_ofn.hInstance = AfxGetInstanceHandle();
    m_ofn.Flags = dwFlags | OFN_EXPLORER | OFN_ENABLESIZING;
    lstrcpynW(m_szFileName, strFileName.c_str(), MAX_PATH);
    m_ofn.lpstrFile = m_szFileName;
    m_ofn.nMaxFile = MAX_PATH;
    m_ofn.lpstrFilter = pszFilter;
}

// Called to run the dialog, owned as CFileDialog::DoModal is.
INT_PTR CFileDialogW::DoModal() {
    if (!m_ofn.hwndOwner) {
        CWnd* pMainWnd = AfxGetMainWnd();
        if (pMainWnd) m_ofn.hwndOwner = pMainWnd->GetSafeHwnd();
    }
    const BOOL bChosen = m_bOpenFileDialog ? ::GetOpenFileNameW(&m_ofn) : ::GetSaveFileNameW(&m_ofn);
    return bChosen ? IDOK : IDCANCEL;
}
