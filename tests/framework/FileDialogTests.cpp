// CFileDialogW: the OPENFILENAMEW it prepares (filter list, flags, buffer, owner), and
// DoModal through the real system dialog, ended by a timer that presses its buttons.
#include <gtest/gtest.h>

#include <windows.h>
#include <string>
#include "framework/FileDialog.h"
#include "framework/WinApp.h"

namespace {

// What the timer does with the file dialog once it shows.
struct DialogScript {
    const wchar_t* pszFileName = nullptr;  // typed into the name field before OK; null: Cancel
    int nTicks = 0;
    bool bPressed = false;
};
DialogScript* g_pScript = nullptr;

// Called by EnumThreadWindows for each window of the thread: stops at the first visible
// dialog. A named CALLBACK function, since a lambda converts only to a cdecl pointer and
// 32-bit Windows calls this with stdcall.
BOOL CALLBACK FindVisibleDialog(HWND hWnd, LPARAM lParam)
{
    char cls[16] = {};
    ::GetClassNameA(hWnd, cls, sizeof(cls));
    if (lstrcmpA(cls, "#32770") == 0 && ::IsWindowVisible(hWnd)) {
        *reinterpret_cast<HWND*>(lParam) = hWnd;
        return FALSE;
    }
    return TRUE;
}

// Used by the timer: the visible dialog window of this thread, if any.
HWND FindThreadDialog()
{
    HWND hFound = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), FindVisibleDialog,
                        reinterpret_cast<LPARAM>(&hFound));
    return hFound;
}

// Runs inside the file dialog's own message loop: presses OK or Cancel once the dialog
// is up; after two hundred ticks it cancels whatever is there, so no test can hang.
void CALLBACK PressButton(HWND, UINT, UINT_PTR, DWORD)
{
    if (!g_pScript)
        return;
    ++g_pScript->nTicks;
    HWND hDlg = FindThreadDialog();
    if (!hDlg)
        return;
    if (g_pScript->pszFileName && !g_pScript->bPressed && g_pScript->nTicks < 200) {
        // The name field is edt1 in older templates and the edit of combo cmb13 in newer ones.
        HWND hName = ::GetDlgItem(hDlg, 0x480);
        if (!hName) {
            HWND hCombo = ::GetDlgItem(hDlg, 0x47C);
            if (hCombo)
                hName = ::FindWindowExA(hCombo, nullptr, "Edit", nullptr);
            if (!hName)
                hName = hCombo;
        }
        if (!hName)
            return;
        ::SetWindowTextW(hName, g_pScript->pszFileName);
        ::PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, IDOK)));
    } else {
        ::PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED),
                       reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, IDCANCEL)));
    }
    g_pScript->bPressed = true;
}

// Runs DoModal with the script driving the dialog.
INT_PTR RunScripted(CFileDialogW& dialog, DialogScript& script)
{
    g_pScript = &script;
    const UINT_PTR nTimer = ::SetTimer(nullptr, 0, 100, PressButton);
    const INT_PTR nResult = dialog.DoModal();
    ::KillTimer(nullptr, nTimer);
    g_pScript = nullptr;
    return nResult;
}

const wchar_t kAllFiles[] = L"All Files (*.*)\0*.*\0";

}  // namespace

TEST(CFileDialogTest, PreparesTheStructureTheWayTheProgramAsks)
{
    CFileDialogW dialog(FALSE, L"PKG_\u0394.sql", OFN_HIDEREADONLY, kAllFiles);
    EXPECT_EQ(sizeof(OPENFILENAMEW), size_t(dialog.m_ofn.lStructSize));
    EXPECT_EQ(DWORD(OFN_HIDEREADONLY | OFN_EXPLORER | OFN_ENABLESIZING), dialog.m_ofn.Flags);
    EXPECT_EQ(kAllFiles, dialog.m_ofn.lpstrFilter);
    ASSERT_NE(nullptr, dialog.m_ofn.lpstrFile);
    EXPECT_EQ(std::wstring(L"PKG_\u0394.sql"), dialog.m_ofn.lpstrFile);
    EXPECT_EQ(DWORD(MAX_PATH), dialog.m_ofn.nMaxFile);
    EXPECT_EQ(nullptr, dialog.m_ofn.lpstrDefExt);
    EXPECT_EQ(nullptr, dialog.m_ofn.hwndOwner);
    EXPECT_EQ(L"PKG_\u0394.sql", dialog.GetPathName());
}

TEST(CFileDialogTest, ProposalLongerThanTheBufferIsCut)
{
    const std::wstring strLong(MAX_PATH + 20, L'x');
    CFileDialogW dialog(TRUE, strLong, OFN_FILEMUSTEXIST, nullptr);
    EXPECT_EQ(strLong.substr(0, MAX_PATH - 1), dialog.GetPathName());
    EXPECT_TRUE(dialog.m_ofn.Flags & OFN_FILEMUSTEXIST);
    EXPECT_EQ(nullptr, dialog.m_ofn.lpstrFilter);
}

TEST(CFileDialogTest, OwnerIsTheParentOrElseTheMainWindow)
{
    HWND hMain = ::CreateWindowExA(0, "STATIC", "main", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                   nullptr, nullptr);
    CWnd parent;
    parent.Attach(hMain);
    CFileDialogW withParent(FALSE, L"", OFN_HIDEREADONLY, nullptr, &parent);
    EXPECT_EQ(hMain, withParent.m_ofn.hwndOwner);

    CWinApp app;
    app.m_pMainWnd = &parent;
    CFileDialogW dialog(FALSE, L"", OFN_HIDEREADONLY, kAllFiles);
    DialogScript cancel;
    EXPECT_EQ(IDCANCEL, RunScripted(dialog, cancel));
    EXPECT_TRUE(cancel.bPressed);
    EXPECT_EQ(hMain, dialog.m_ofn.hwndOwner);
    app.m_pMainWnd = nullptr;
    ::DestroyWindow(parent.Detach());
}

TEST(CFileDialogTest, SaveDialogReturnsOkWithTheChosenPathOutsideTheCodePage)
{
    wchar_t szTemp[MAX_PATH] = {};
    ::GetTempPathW(MAX_PATH, szTemp);
    const std::wstring path = std::wstring(szTemp) + L"fw_dialog_\u0394\u03A9.sql";
    ::DeleteFileW(path.c_str());

    CFileDialogW dialog(FALSE, L"", OFN_HIDEREADONLY, kAllFiles);
    DialogScript ok;
    ok.pszFileName = path.c_str();
    EXPECT_EQ(IDOK, RunScripted(dialog, ok));
    EXPECT_EQ(0, ::lstrcmpiW(dialog.GetPathName().c_str(), path.c_str()));
}
