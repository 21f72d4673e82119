// CFileDialogW: the system's open or save-as dialog (GetOpenFileNameW/GetSaveFileNameW)
// over an OPENFILENAMEW that the caller may adjust before DoModal. Wide, because the one
// path the program asks for (the output file) must carry any character the file system
// takes.
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <string>

#include "framework/Wnd.h"

class CFileDialogW {
public:
    // bOpenFileDialog FALSE gives a save-as dialog. strFileName is the name proposed (cut to
    // MAX_PATH - 1 characters); pszFilter is the system's zero-separated list, kept by the
    // caller while the dialog lives.
    CFileDialogW(BOOL bOpenFileDialog, const std::wstring& strFileName, DWORD dwFlags,
                 const wchar_t* pszFilter, CWnd* pParentWnd = nullptr);
    CFileDialogW(const CFileDialogW&) = delete;
    CFileDialogW& operator=(const CFileDialogW&) = delete;

    // IDOK when the user chose a file, IDCANCEL otherwise. Without a parent the dialog is
    // owned by the application's main window.
    INT_PTR DoModal();
    std::wstring GetPathName() const { return m_szFileName; }

    OPENFILENAMEW m_ofn{};

private:
    BOOL m_bOpenFileDialog;
    wchar_t m_szFileName[MAX_PATH] = {};
};
