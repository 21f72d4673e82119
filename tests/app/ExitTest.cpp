// ExitTest.cpp
//
// The program ends cleanly however its last job ended: here the job is stopped while its
// worker waits in a database call that would take a minute, and the window is closed at once,
// while the worker may still be on its way out.
#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <sstream>
#include <string>

#include "QuillmarkVersion.h"
#include "QuillmarkExe.h"
#include "res/resource.h"
#include "support/OciLiteSchema.h"

namespace {

constexpr char kCaption[] = "Quillmark v" QUILLMARK_VERSION;

std::string TempFolderPath()
{
    char szTemp[MAX_PATH] = {};
    ::GetTempPathA(MAX_PATH, szTemp);
    std::string strFolder =
        std::string(szTemp) + "qm_exit_" + std::to_string(::GetCurrentProcessId()) + "\\";
    ::CreateDirectoryA(strFolder.c_str(), nullptr);
    return strFolder;
}

std::string ReadAll(const std::string& strPath)
{
    std::ifstream in(strPath, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void Click(HWND hDlg, int nId)
{
    ::PostMessageA(hDlg, WM_COMMAND, MAKEWPARAM(nId, BN_CLICKED), LPARAM(::GetDlgItem(hDlg, nId)));
}

}  // namespace

TEST(Exit, CleanAfterStopDuringASlowCall)
{
    const std::string strFolder = TempFolderPath();
    {
        OciLiteSchema schema(strFolder, "SLOWDB");
        schema.AddUser("SCOTT", "tiger", 0);
        schema.AddObject("A_PROC", "PROCEDURE", {"PROCEDURE A_PROC IS BEGIN NULL; END;\n"});
    }
    const std::string strTrace = strFolder + "trace.txt";
    ::DeleteFileA(strTrace.c_str());
    ::SetEnvironmentVariableA("OCI_LITE_HOME", strFolder.c_str());
    ::SetEnvironmentVariableA("OCI_LITE_SERVER_US", "60000000");
    ::SetEnvironmentVariableA("OCI_LITE_TRACE", strTrace.c_str());
    QuillmarkProcess app;
    ::SetEnvironmentVariableA("OCI_LITE_SERVER_US", nullptr);
    ::SetEnvironmentVariableA("OCI_LITE_TRACE", nullptr);
    ASSERT_TRUE(app.started());
    HWND hDlg = app.WaitForWindow(kCaption, 30000);
    ASSERT_NE(hDlg, nullptr);

    ::SetDlgItemTextA(hDlg, IDC_USER, "SCOTT");
    ::SetDlgItemTextA(hDlg, IDC_PASSWORD, "tiger");
    ::SetDlgItemTextA(hDlg, IDC_DATABASE, "SLOWDB");
    ::SetDlgItemTextA(hDlg, IDC_OBJECTNAME, "A_PROC");
    ::SetDlgItemTextA(hDlg, IDC_FILENAME, (strFolder + "out.sql").c_str());
    Click(hDlg, IDOK);

    // The logon is done once its trace line is written; every statement after it is slow.
    const ULONGLONG nStart = ::GetTickCount64();
    while (ReadAll(strTrace).find("OCISessionBegin") == std::string::npos &&
           ::GetTickCount64() - nStart < 30000)
        ::WaitForSingleObject(app.handle(), 50);
    ASSERT_NE(ReadAll(strTrace).find("OCISessionBegin"), std::string::npos);

    Click(hDlg, IDOK);  // Stop
    ::PostMessageA(hDlg, WM_CLOSE, 0, 0);
    EXPECT_EQ(app.WaitForExit(20000), 0u);
    EXPECT_LT(::GetTickCount64() - nStart, 40000u);
}
