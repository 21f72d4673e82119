// CFileDialog: the system's open or save-as dialog (GetOpenFileName/GetSaveFileName)
// over an OPENFILENAME that the caller may adjust before DoModal (m_ofn.lpstrFile and
// nMaxFile, for example, to propose a file name in a buffer of the caller's own).
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <string>

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

// CFileDialogW: the same save-as or open dialog over the wide entry points, for the one path
// of the program that must carry any character the file system takes (the output file).
class CFileDialogW {
public:
    CFileDialogW(BOOL bOpenFileDialog, const std::wstring& strFileName, DWORD dwFlags, const wchar_t* pszFilter,
                 CWnd* pParentWnd = nullptr);
    CFileDialogW(const CFileDialogW&) = delete;
    CFileDialogW& operator=(const CFileDialogW&) = delete;

    // IDOK when the user chose a file, IDCANCEL otherwise.
    INT_PTR DoModal();
    std::wstring GetPathName() const { return m_szFileName; }

    OPENFILENAMEW m_ofn{};

private:
    BOOL m_bOpenFileDialog;
    wchar_t m_szFileName[MAX_PATH] = {};
};
