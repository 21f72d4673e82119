// ExportWorkerTest.cpp
//
// The export worker end to end: oci-lite databases, the real worker thread, a real main window
// that handles the two messages, and the output file compared byte for byte.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "app/JobRecord.h"
#include "framework/Text.h"
#include "tests/export/ExportHarness.h"

using namespace ExportTest;

namespace {

const std::vector<std::string> kPackageSpec = {"PACKAGE PKG_A IS\n", "  PROCEDURE RUN;\n",
                                               "END PKG_A;\n"};
const std::vector<std::string> kPackageBody = {"PACKAGE BODY PKG_A IS\n",
                                               "  PROCEDURE RUN IS\n",
                                               "  BEGIN\n",
                                               "    NULL;\n",
                                               "  END RUN;\n",
                                               "END PKG_A;\n"};

// The package, body first in the table, so the order comes from the listing alone.
void AddPackage(Schema& schema)
{
    schema.AddObject("PKG_A", "PACKAGE BODY", kPackageBody);
    schema.AddObject("PKG_A", "PACKAGE", kPackageSpec);
}

std::string OutputPath(const char* pszName)
{
    return TestFolder() + pszName;
}

class ExportWorkerTest : public ::testing::Test {
protected:
    void SetUp() override { PrepareTest(); }
};

}  // namespace

TEST_F(ExportWorkerTest, OnePackageWritesSpecificationThenBodyAndLogsEveryLine)
{
    Schema schema("EXP_PKG");
    AddPackage(schema);
    schema.AddObject("PKG_OTHER", "PACKAGE", {"PACKAGE PKG_OTHER IS\n", "END;\n"});
    const std::string strFile = OutputPath("package.sql");
    WriteFile(strFile, "stale content that must go\n");
    const int nHandlesBefore = OciLite::LiveHandles();

    MessageBoxWatcher boxes;
    ASSERT_TRUE(RunJob({"EXP_PKG", strFile, "PKG_A"}));

    EXPECT_EQ(ReadFile(strFile), Expected("package.sql"));
    const std::vector<std::string> expectedLines = {
        "Connect to SCOTT@EXP_PKG",
        "Connected.",
        "",
        "CREATE OR REPLACE PACKAGE PKG_A IS",
        "  PROCEDURE RUN;",
        "END PKG_A;",
        "/",
        "CREATE OR REPLACE PACKAGE BODY PKG_A IS",
        "  PROCEDURE RUN IS",
        "  BEGIN",
        "    NULL;",
        "  END RUN;",
        "END PKG_A;",
        "/",
        "",
        "Source uploaded. File created.",
        "",
    };
    EXPECT_EQ(LogWindow::Instance().Lines(), expectedLines);
    EXPECT_EQ(boxes.Count(), 0u);
    EXPECT_EQ(g_bRunning, 0);
    EXPECT_EQ(g_nLogLines, int(expectedLines.size()));

    // The window sees the newest values of each batch; the last are both 100.
    const auto progress = LogWindow::Instance().Progress();
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.back(), std::make_pair(100, 100));
    // The connection and its statements are gone by the time the dialog is idle.
    EXPECT_EQ(OciLite::LiveHandles(), nHandlesBefore);
}

TEST_F(ExportWorkerTest, AllObjectsInNameAndTypeOrderWithTheirTerminators)
{
    Schema schema("EXP_ALL");
    schema.Begin();
    schema.AddObject("PROC_D", "PROCEDURE",
                     {"PROCEDURE PROC_D IS\n", "BEGIN\n", "  NULL;\n", "END; /* done */\n"});
    schema.AddObject("PROC_C", "PROCEDURE",
                     {"PROCEDURE PROC_C IS\n", "BEGIN\n", "  NULL;\n", "END;\n", "/\n"});
    AddPackage(schema);
    schema.AddObject("FUNC_B", "FUNCTION",
                     {"FUNCTION FUNC_B RETURN NUMBER IS\n", "BEGIN\n", "  RETURN 1;\n", "END;"});
    schema.AddObject("A_VIEW", "VIEW", {"SELECT 1 FROM DUAL\n"});
    schema.AddObjectWithoutSource("A_TABLE", "TABLE");
    schema.AddObject("OTHER_PKG", "PACKAGE", {"PACKAGE OTHER_PKG IS\n", "END;\n"}, "OTHER");
    schema.Commit();
    const std::string strFile = OutputPath("all_objects.sql");

    MessageBoxWatcher boxes;
    ASSERT_TRUE(RunJob({"EXP_ALL", strFile, ""}));

    EXPECT_EQ(ReadFile(strFile), Expected("all_objects.sql"));
    EXPECT_EQ(boxes.Count(), 0u);
    const auto lines = LogWindow::Instance().Lines();
    ASSERT_GE(lines.size(), 3u);
    // FUNC_B's last line has no line break: it is shown when FUNC_B ends, before its slash
    // line (as PROC_C's "END;" is). PROC_C's own "/" line is logged, and no slash line is added.
    EXPECT_EQ(std::count(lines.begin(), lines.end(), std::string("END;")), 2);
    const auto funcEnd = std::find(lines.begin(), lines.end(), std::string("  RETURN 1;"));
    ASSERT_NE(funcEnd, lines.end());
    ASSERT_LT(funcEnd + 2, lines.end());
    EXPECT_EQ(*(funcEnd + 1), "END;");
    EXPECT_EQ(*(funcEnd + 2), "/");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), std::string("/")), 5);
    EXPECT_EQ(lines[lines.size() - 2], "Source uploaded. File created.");
}

TEST_F(ExportWorkerTest, MultibyteLinesAreWrittenAsDelivered)
{
    Schema schema("EXP_MB");
    schema.AddObject("PROC_M", "PROCEDURE",
                     {"PROCEDURE PROC_M IS\n",
                      "  -- Gr\xc3\xbc\xc3\x9f"
                      "e, \xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e, \xc2\xa9\n",
                      "BEGIN NULL; END;\n"});
    const std::string strFile = OutputPath("multibyte.sql");
    ASSERT_TRUE(RunJob({"EXP_MB", strFile, "PROC_M"}));
    EXPECT_EQ(ReadFile(strFile), Expected("multibyte.sql"));
}

TEST_F(ExportWorkerTest, StoredCarriageReturnsStayInFileAndLog)
{
    Schema schema("EXP_CRLF");
    schema.AddObject("PROC_R", "PROCEDURE", {"PROCEDURE PROC_R IS\r\n", "BEGIN NULL; END;\r\n"});
    const std::string strFile = OutputPath("crlf.sql");
    ASSERT_TRUE(RunJob({"EXP_CRLF", strFile, "PROC_R"}));
    EXPECT_EQ(ReadFile(strFile), Expected("crlf.sql"));
    const auto lines = LogWindow::Instance().Lines();
    ASSERT_GE(lines.size(), 6u);
    EXPECT_EQ(lines[3], "CREATE OR REPLACE PROCEDURE PROC_R IS\r");
    EXPECT_EQ(lines[4], "BEGIN NULL; END;\r");
    EXPECT_EQ(lines[5], "/");
}

TEST_F(ExportWorkerTest, WidestLineAClientDeliversIsWrittenWhole)
{
    // 4000 characters of 4 bytes each.
    std::string strWide;
    for (int i = 0; i < 3999; ++i)
        strWide += "\xf0\x9d\x84\x9e";
    strWide += "--\n\n";  // 3999 * 4 + 4 = 16000 bytes
    ASSERT_EQ(strWide.size(), 16000u);
    Schema schema("EXP_WIDE");
    schema.AddObject("PROC_W", "PROCEDURE", {strWide, "END;\n"});
    const std::string strFile = OutputPath("wide.sql");
    ASSERT_TRUE(RunJob({"EXP_WIDE", strFile, "PROC_W"}));
    EXPECT_EQ(ReadFile(strFile), "CREATE OR REPLACE " + strWide + "END;\n\n/\n");
    const auto lines = LogWindow::Instance().Lines();
    ASSERT_GE(lines.size(), 4u);
    // The log shows the line in the system's code page.
    EXPECT_EQ(lines[3], Recode(CString(("CREATE OR REPLACE " + strWide.substr(0, 15998)).c_str()),
                               CP_UTF8, CP_ACP)
                            .str());
}

TEST_F(ExportWorkerTest, FileThatCannotBeReadIsTruncatedByTheFirstWrite)
{
    Schema schema("EXP_TRUNC");
    schema.AddObject("A_PROC", "PROCEDURE", {"PROCEDURE A_PROC IS BEGIN NULL; END;\n"});
    const std::string strFile = OutputPath("locked_for_reading.sql");
    WriteFile(strFile, std::string(500, '#'));
    // Another program keeps the file open for writing and lets nobody read it: the read probe
    // fails, so the file is not deleted, and the run must still leave only its own block.
    HANDLE hOther = ::CreateFileA(strFile.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(hOther, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(RunJob({"EXP_TRUNC", strFile, ""}));
    ::CloseHandle(hOther);
    EXPECT_EQ(ReadFile(strFile), "CREATE OR REPLACE PROCEDURE A_PROC IS BEGIN NULL; END;\n\n/\n");
}

// A path the file system cannot create a file at (a pipe here) is refused before the logon,
// with the system's reason.
TEST_F(ExportWorkerTest, PathThatTakesNoFileIsRefusedBeforeTheLogon)
{
    Schema schema("EXP_WRITE");
    schema.AddObject("A_PROC", "PROCEDURE", {"PROCEDURE A_PROC IS BEGIN NULL; END;\n"});
    const std::string strPipe = "\\\\.\\pipe\\qm_export_write_test";
    HANDLE hServer = ::CreateNamedPipeA(strPipe.c_str(), PIPE_ACCESS_INBOUND,
                                        PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0, 0, 0, nullptr);
    ASSERT_NE(hServer, INVALID_HANDLE_VALUE);
    const unsigned nCallsBefore = OciLite::CallCount();
    MessageBoxWatcher boxes;
    const bool bEnded = RunJob({"EXP_WRITE", strPipe, ""});
    ::CloseHandle(hServer);
    ASSERT_TRUE(bEnded);
    ASSERT_EQ(boxes.Count(), 1u);
    EXPECT_EQ(boxes.Texts()[0].rfind("Error while create specified file.\r\n" + strPipe + ": ", 0),
              0u)
        << boxes.Texts()[0];
    EXPECT_EQ(OciLite::CallCount(), nCallsBefore);
    EXPECT_EQ(g_bRunning, 0);
}

// A worker about to show a message first has the window show every line before it.
TEST_F(ExportWorkerTest, MessageBoxAppearsAfterTheLogShowsEverythingBeforeIt)
{
    Schema schema("EXP_FLUSH");
    schema.Begin();
    std::vector<std::string> lines = {"PROCEDURE A_PROC IS\n"};
    for (int i = 2; i <= 2000; ++i)
        lines.push_back("  -- line " + std::to_string(i) + "\n");
    schema.AddObject("A_PROC", "PROCEDURE", lines);
    schema.AddObjectWithoutSource("B_PROC", "PROCEDURE");
    schema.Commit();
    std::atomic<int> nLinesAtBox{-1};
    MessageBoxWatcher boxes(
        [&](HWND, const std::string&) { nLinesAtBox = LogWindow::Instance().LineCount(); });
    ASSERT_TRUE(RunJob({"EXP_FLUSH", OutputPath("flush.sql"), ""}));
    // "Connect to", "Connected.", "", 2000 source lines and "/".
    EXPECT_EQ(nLinesAtBox.load(), 3 + 2000 + 1);
}

// The logon's outcomes as the window shows them: a warning is one log line after "Connected."
// and the export goes on; a locked or expired account, or the password in another case, ends
// the job with the database's text in the box.
TEST_F(ExportWorkerTest, LogonOutcomesInTheWindow)
{
    struct LogonCase {
        const char* pszStatus;
        const char* pszPassword;
        const char* pszBox;      // "" for none
        const char* pszWarning;  // the line after "Connected.", "" for none
    };
    const LogonCase kCases[] = {
        {"OPEN", "tiger", "", ""},
        {"OPEN", "TIGER", "ORA-01017: invalid username/password; logon denied", ""},
        {"EXPIRED(GRACE)", "tiger", "", "ORA-28002: the password will expire within 7 days"},
        {"LOCKED", "tiger", "ORA-28000: the account is locked", ""},
        {"EXPIRED", "tiger", "ORA-28001: the password has expired", ""},
    };
    int nCase = 0;
    for (const LogonCase& c : kCases) {
        SCOPED_TRACE(std::string(c.pszStatus) + " / " + c.pszPassword);
        const std::string strDatabase = "EXP_LOGON" + std::to_string(nCase++);
        {
            Schema schema(strDatabase.c_str());
            schema.SetAccountStatus(kUser, c.pszStatus);
            schema.AddObject("A_PROC", "PROCEDURE", {"PROCEDURE A_PROC IS BEGIN NULL; END;\n"});
        }
        const std::string strFile = OutputPath((strDatabase + ".sql").c_str());
        MessageBoxWatcher boxes;
        Job job{strDatabase, strFile, ""};
        job.strPassword = c.pszPassword;
        ASSERT_TRUE(RunJob(job));
        const auto lines = LogWindow::Instance().Lines();
        ASSERT_GE(lines.size(), 2u);
        if (*c.pszBox == '\0') {
            EXPECT_EQ(boxes.Count(), 0u);
            EXPECT_EQ(lines[1], "Connected.");
            EXPECT_EQ(lines[2], *c.pszWarning == '\0' ? std::string() : std::string(c.pszWarning));
            EXPECT_EQ(ReadFile(strFile),
                      "CREATE OR REPLACE PROCEDURE A_PROC IS BEGIN NULL; END;\n\n/\n");
        } else {
            ASSERT_EQ(boxes.Count(), 1u);
            EXPECT_EQ(boxes.Texts()[0].find(c.pszBox), 0u) << boxes.Texts()[0];
            EXPECT_EQ(lines.back(), "Error while connect to specified database");
            EXPECT_FALSE(FileExists(strFile));
        }
    }
}

// A user of "/" with no password logs on through the client's password store: the wallet's
// credential for the connect string names the session user, and a store without one refuses
// the logon as any logon failure is shown.
TEST_F(ExportWorkerTest, SlashWithoutAPasswordLogsOnThroughTheWallet)
{
    {
        Schema schema("EXP_WALLET");
        schema.AddObject("A_PROC", "PROCEDURE", {"PROCEDURE A_PROC IS BEGIN NULL; END;\n"});
    }
    const std::string strAdmin = TestFolder() + "wallet_admin";
    ::CreateDirectoryA(strAdmin.c_str(), nullptr);
    WriteFile(strAdmin + "\\sqlnet.ora",
              "WALLET_LOCATION = (SOURCE = (METHOD = FILE)\n  (METHOD_DATA = (DIRECTORY = " +
                  strAdmin + ")))\nSQLNET.WALLET_OVERRIDE = TRUE\n");
    ::SetEnvironmentVariableA("TNS_ADMIN", strAdmin.c_str());
    struct WalletCase {
        const char* pszWallet;
        const char* pszBox;  // "" for none
    };
    const WalletCase kCases[] = {
        {"EXP_WALLET SCOTT tiger\n", ""},
        {"OTHER SCOTT tiger\n", "ORA-01017: invalid username/password; logon denied"},
    };
    int nCase = 0;
    for (const WalletCase& c : kCases) {
        SCOPED_TRACE(c.pszWallet);
        WriteFile(strAdmin + "\\oci-lite-wallet.txt", c.pszWallet);
        const std::string strFile =
            OutputPath(("wallet" + std::to_string(nCase++) + ".sql").c_str());
        MessageBoxWatcher boxes;
        Job job{"EXP_WALLET", strFile, ""};
        job.strUser = "/";
        job.strPassword = "";
        ASSERT_TRUE(RunJob(job));
        const auto lines = LogWindow::Instance().Lines();
        ASSERT_GE(lines.size(), 2u);
        EXPECT_EQ(lines[0], "Connect to /@EXP_WALLET");
        if (*c.pszBox == '\0') {
            EXPECT_EQ(boxes.Count(), 0u);
            EXPECT_EQ(lines[1], "Connected.");
            EXPECT_EQ(ReadFile(strFile),
                      "CREATE OR REPLACE PROCEDURE A_PROC IS BEGIN NULL; END;\n\n/\n");
        } else {
            ASSERT_EQ(boxes.Count(), 1u);
            EXPECT_EQ(boxes.Texts()[0].find(c.pszBox), 0u) << boxes.Texts()[0];
            EXPECT_FALSE(FileExists(strFile));
        }
    }
    ::SetEnvironmentVariableA("TNS_ADMIN", nullptr);
}
