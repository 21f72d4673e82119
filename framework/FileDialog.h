// CFileDialog: the system's open or save-as dialog (GetOpenFileName/GetSaveFileName)
// over an OPENFILENAME that the caller may adjust before DoModal (m_ofn.lpstrFile and
// nMaxFile, for example, to propose a file name in a buffer of the caller's own).
#pragma once

#include <windows.h>
#include <commdlg.h>
#include "framework/Wnd.h"

class CFileDialog {
public:
    // bOpenFileDialog FALSE gives a save-as dialog. pszFilter uses '|' between parts
    // as the framework's does, or may be null (set m_ofn.lpstrFilter yourself).
    CFileDialog(BOOL bOpenFileDialog, const char* pszDefExt = nullptr, const char* pszFileName = nullptr,
                DWORD dwFlags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, const char* pszFilter = nullptr,
                CWnd* pParentWnd = nullptr);
    CFileDialog(const CFileDialog&) = delete;
    CFileDialog& operator=(const CFileDialog&) = delete;

    // IDOK when the user chose a file, IDCANCEL otherwise.
    INT_PTR DoModal();
    CString GetPathName() const { return CString(m_ofn.lpstrFile ? m_ofn.lpstrFile : ""); }

    OPENFILENAMEA m_ofn{};

private:
    BOOL m_bOpenFileDialog;
    char m_szFileName[MAX_PATH] = {};
    CString m_strFilter;
    CString m_strDefExt;
};
