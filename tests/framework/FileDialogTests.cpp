// CFileDialog: the OPENFILENAME it prepares (filter list, flags, buffer, owner), and
// DoModal through the real system dialog, ended by a timer that presses its buttons.
#include <gtest/gtest.h>

#include <windows.h>
#include <string>
#include "framework/FileDialog.h"
#include "framework/WinApp.h"

namespace {

// The filter list as the bytes up to and including its double zero.
std::string FilterBytes(const char* pFilter) {
    std::string bytes;
    if (!pFilter) return bytes;
    for (const char* p = pFilter;; ++p) {
        bytes += *p;
        if (p[0] == '\0' && p > pFilter && p[-1] == '\0') break;
    }
    return bytes;
}

// What the timer does with the file dialog once it shows.
struct DialogScript {
    const char* pszFileName = nullptr;  // typed into the name field before OK; null: Cancel
    int nTicks = 0;
    bool bPressed = false;
};
DialogScript* g_pScript = nullptr;

// Called by EnumThreadWindows for each window of the thread: stops at the first visible
// dialog. A named CALLBACK function, since a lambda converts only to a cdecl pointer and
// 32-bit Windows calls this with stdcall.
BOOL CALLBACK FindVisibleDialog(HWND hWnd, LPARAM lParam) {
    char cls[16] = {};
    ::GetClassNameA(hWnd, cls, sizeof(cls));
    if (lstrcmpA(cls, "#32770") == 0 && ::IsWindowVisible(hWnd)) {
        *reinterpret_cast<HWND*>(lParam) = hWnd;
        return FALSE;
    }
    return TRUE;
}

// Used by the timer: the visible dialog window of this thread, if any.
HWND FindThreadDialog() {
    HWND hFound = nullptr;
    ::EnumThreadWindows(::GetCurrentThreadId(), FindVisibleDialog, reinterpret_cast<LPARAM>(&hFound));
    return hFound;
}

// Runs inside the file dialog's own message loop: presses OK or Cancel once the dialog
// is up; after two hundred ticks it cancels whatever is there, so no test can hang.
void CALLBACK PressButton(HWND, UINT, UINT_PTR, DWORD) {
    if (!g_pScript) return;
    ++g_pScript->nTicks;
    HWND hDlg = FindThreadDialog();
    if (!hDlg) return;
    if (g_pScript->pszFileName && !g_pScript->bPressed && g_pScript->nTicks < 200) {
        // The name field is edt1 in older templates and the edit of combo cmb13 in newer ones.
        HWND hName = ::GetDlgItem(hDlg, 0x480);
        if (!hName) {
            HWND hCombo = ::GetDlgItem(hDlg, 0x47C);
            if (hCombo) hName = ::FindWindowExA(hCombo, nullptr, "Edit", nullptr);
            if (!hName) hName = hCombo;
        }
        if (!hName) return;
        ::SetWindowTextA(hName, g_pScript->pszFileName);
        ::PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, IDOK)));
    } else {
        ::PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(hDlg, IDCANCEL)));
    }
    g_pScript->bPressed = true;
}

// Runs DoModal with the script driving the dialog.
INT_PTR RunScripted(CFileDialog& dialog, DialogScript& script) {
    g_pScript = &script;
    const UINT_PTR nTimer = ::SetTimer(nullptr, 0, 100, PressButton);
    const INT_PTR nResult = dialog.DoModal();
    ::KillTimer(nullptr, nTimer);
    g_pScript = nullptr;
    return nResult;
}

}  // namespace

TEST(CFileDialogTest, PreparesTheStructureTheWayTheProgramAsks) {
    CFileDialog dialog(FALSE, nullptr, nullptr, OFN_HIDEREADONLY,
                       "SQL Files (*.sql)|*.sql|All Files (*.*)|*.*||");
    EXPECT_EQ(sizeof(OPENFILENAMEA), size_t(dialog.m_ofn.lStructSize));
    EXPECT_EQ(DWORD(OFN_HIDEREADONLY | OFN_EXPLORER | OFN_ENABLESIZING), dialog.m_ofn.Flags);
    const char kExpected[] = "SQL Files (*.sql)\0*.sql\0All Files (*.*)\0*.*\0";  // plus the literal's own zero
    EXPECT_EQ(std::string(kExpected, sizeof(kExpected)), FilterBytes(dialog.m_ofn.lpstrFilter));
    ASSERT_NE(nullptr, dialog.m_ofn.lpstrFile);
    EXPECT_STREQ("", dialog.m_ofn.lpstrFile);
    EXPECT_EQ(DWORD(MAX_PATH), dialog.m_ofn.nMaxFile);
    EXPECT_EQ(nullptr, dialog.m_ofn.lpstrDefExt);
    EXPECT_EQ(nullptr, dialog.m_ofn.hwndOwner);
    EXPECT_EQ("", dialog.GetPathName());
}

TEST(CFileDialogTest, FilterWithoutClosingBarsIsStillDoubleZeroTerminated) {
    CFileDialog dialog(TRUE, "sql", "start.sql", OFN_FILEMUSTEXIST, "Text|*.txt");
    const char kExpected[] = "Text\0*.txt\0";
    EXPECT_EQ(std::string(kExpected, sizeof(kExpected)), FilterBytes(dialog.m_ofn.lpstrFilter));
    EXPECT_STREQ("sql", dialog.m_ofn.lpstrDefExt);
    EXPECT_EQ("start.sql", dialog.GetPathName());
    EXPECT_TRUE(dialog.m_ofn.Flags & OFN_FILEMUSTEXIST);

    CFileDialog none(TRUE);
    EXPECT_EQ(nullptr, none.m_ofn.lpstrFilter);
}

TEST(CFileDialogTest, OwnerIsTheParentOrElseTheMainWindow) {
    HWND hMain = ::CreateWindowExA(0, "STATIC", "main", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    CWnd parent;
    parent.Attach(hMain);
    CFileDialog withParent(FALSE, nullptr, nullptr, OFN_HIDEREADONLY, nullptr, &parent);
    EXPECT_EQ(hMain, withParent.m_ofn.hwndOwner);

    CWinApp app;
    app.m_pMainWnd = &parent;
    CFileDialog dialog(FALSE, nullptr, nullptr, OFN_HIDEREADONLY, "All|*.*||");
    DialogScript cancel;
    EXPECT_EQ(IDCANCEL, RunScripted(dialog, cancel));
    EXPECT_TRUE(cancel.bPressed);
    EXPECT_EQ(hMain, dialog.m_ofn.hwndOwner);
    app.m_pMainWnd = nullptr;
    ::DestroyWindow(parent.Detach());
}

TEST(CFileDialogTest, SaveDialogReturnsOkWithTheChosenPath) {
    char szTemp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, szTemp);
    std::string path = std::string(szTemp) + "fw_dialog_choice.sql";
    ::DeleteFileA(path.c_str());

    CFileDialog dialog(FALSE, nullptr, nullptr, OFN_HIDEREADONLY, "SQL|*.sql|All|*.*||");
    DialogScript ok;
    ok.pszFileName = path.c_str();
    EXPECT_EQ(IDOK, RunScripted(dialog, ok));
    EXPECT_EQ(0, dialog.GetPathName().CompareNoCase(path.c_str())) << dialog.GetPathName().GetString();
}
