// ExportWorkerTest.cpp
//
// The export worker end to end: oci-lite databases, the real worker thread, a real main window
// that handles the two messages, and the output file compared byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "export/JobRecord.h"
#include "tests/export/ExportHarness.h"

using namespace ExportTest;

namespace {

const std::vector<std::string> kPackageSpec = {
    "PACKAGE PKG_A IS\n", "  PROCEDURE RUN;\n", "END PKG_A;\n"};
const std::vector<std::string> kPackageBody = {
    "PACKAGE BODY PKG_A IS\n", "  PROCEDURE RUN IS\n", "  BEGIN\n", "    NULL;\n", "  END RUN;\n",
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
    void SetUp() override
    {
        LogWindow::Instance();
        OciLite::SetFailAt(0);
        OciLite::SetRoundTripDelay(0);
    }
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

    BoxWatcher boxes;
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
    EXPECT_EQ(boxes.Count(), 0);
    EXPECT_EQ(g_bRunning, 0);
    EXPECT_EQ(g_nLogLines, int(expectedLines.size()));

    const auto progress = LogWindow::Instance().Progress();
    ASSERT_FALSE(progress.empty());
    EXPECT_EQ(progress.front(), std::make_pair(0, 0));
    EXPECT_EQ(progress.back(), std::make_pair(100, 100));
    // Every report differs from the one before it, and the second object reports 50 overall.
    for (size_t i = 1; i < progress.size(); ++i)
        EXPECT_NE(progress[i], progress[i - 1]) << "report " << i;
    EXPECT_NE(std::find(progress.begin(), progress.end(), std::make_pair(50, 50)), progress.end());
    // The connection and its statements are gone by the time the dialog is idle.
    EXPECT_EQ(OciLite::LiveHandles(), nHandlesBefore);
}

TEST_F(ExportWorkerTest, AllObjectsInNameAndTypeOrderWithTheirTerminators)
{
    Schema schema("EXP_ALL");
    schema.Begin();
    schema.AddObject("PROC_D", "PROCEDURE", {"PROCEDURE PROC_D IS\n", "BEGIN\n", "  NULL;\n", "END; /* done */\n"});
    schema.AddObject("PROC_C", "PROCEDURE", {"PROCEDURE PROC_C IS\n", "BEGIN\n", "  NULL;\n", "END;\n", "/\n"});
    AddPackage(schema);
    schema.AddObject("FUNC_B", "FUNCTION", {"FUNCTION FUNC_B RETURN NUMBER IS\n", "BEGIN\n", "  RETURN 1;\n", "END;"});
    schema.AddObject("A_VIEW", "VIEW", {"SELECT 1 FROM DUAL\n"});
    schema.AddObjectWithoutSource("A_TABLE", "TABLE");
    schema.AddObject("OTHER_PKG", "PACKAGE", {"PACKAGE OTHER_PKG IS\n", "END;\n"}, "OTHER");
    schema.Commit();
    const std::string strFile = OutputPath("all_objects.sql");

    BoxWatcher boxes;
    ASSERT_TRUE(RunJob({"EXP_ALL", strFile, ""}));

    EXPECT_EQ(ReadFile(strFile), Expected("all_objects.sql"));
    EXPECT_EQ(boxes.Count(), 0);
    const auto lines = LogWindow::Instance().Lines();
    ASSERT_GE(lines.size(), 3u);
    // FUNC_B's last line has no line break: it is not shown (only PROC_C's "END;" is). PROC_C's
    // own "/" line is logged, and no slash line is added to it.
    EXPECT_EQ(std::count(lines.begin(), lines.end(), std::string("END;")), 1);
    EXPECT_EQ(std::count(lines.begin(), lines.end(), std::string("/")), 5);
    EXPECT_EQ(lines[lines.size() - 2], "Source uploaded. File created.");
    const auto progress = LogWindow::Instance().Progress();
    EXPECT_NE(std::find(progress.begin(), progress.end(), std::make_pair(0, 80)), progress.end());
}

TEST_F(ExportWorkerTest, MultibyteLinesAreWrittenAsDelivered)
{
    Schema schema("EXP_MB");
    schema.AddObject("PROC_M", "PROCEDURE",
                     {"PROCEDURE PROC_M IS\n", "  -- Gr\xc3\xbc\xc3\x9f" "e, \xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e, \xc2\xa9\n",
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
    EXPECT_EQ(lines[3], "CREATE OR REPLACE " + strWide.substr(0, 15998));
}

TEST_F(ExportWorkerTest, NothingToExportShowsObjectNotFound)
{
    Schema schema("EXP_NONE");
    schema.AddObject("A_VIEW", "VIEW", {"SELECT 1 FROM DUAL\n"});
    const std::string strFile = OutputPath("none.sql");
    WriteFile(strFile, "old\n");
    {
        BoxWatcher boxes;
        ASSERT_TRUE(RunJob({"EXP_NONE", strFile, ""}));
        EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Object not found."});
        const std::vector<std::string> expectedLines = {"Connect to SCOTT@EXP_NONE", "Connected.", "", ""};
        EXPECT_EQ(LogWindow::Instance().Lines(), expectedLines);
        EXPECT_FALSE(FileExists(strFile));
    }

    // A name in another case than stored is not found either.
    schema.AddObject("PROC_X", "PROCEDURE", {"PROCEDURE PROC_X IS BEGIN NULL; END;\n"});
    BoxWatcher boxes;
    ASSERT_TRUE(RunJob({"EXP_NONE", strFile, "proc_x"}));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Object not found."});
}

TEST_F(ExportWorkerTest, ObjectWithoutSourceEndsTheJobAfterTheObjectsBeforeIt)
{
    Schema schema("EXP_NOSRC");
    schema.AddObject("A_PROC", "PROCEDURE", {"PROCEDURE A_PROC IS BEGIN NULL; END;\n"});
    schema.AddObjectWithoutSource("B_PROC", "PROCEDURE");
    schema.AddObject("C_PROC", "PROCEDURE", {"PROCEDURE C_PROC IS BEGIN NULL; END;\n"});
    const std::string strFile = OutputPath("nosrc.sql");
    BoxWatcher boxes;
    ASSERT_TRUE(RunJob({"EXP_NOSRC", strFile, ""}));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Source doesn't exists."});
    EXPECT_EQ(LogWindow::Instance().Lines().back(), "Source doesn't exists.");
    EXPECT_EQ(ReadFile(strFile), "CREATE OR REPLACE PROCEDURE A_PROC IS BEGIN NULL; END;\n\n/\n");
}

TEST_F(ExportWorkerTest, LineCutByTheClientEndsTheJobLikeAFailedFetch)
{
    Schema schema("EXP_CUT");
    schema.AddObject("A_PROC", "PROCEDURE", {"PROCEDURE A_PROC IS BEGIN NULL; END;\n"});
    schema.AddObject("B_PROC", "PROCEDURE", {"PROCEDURE B_PROC IS\n", std::string(17000, 'x') + "\n", "END;\n"});
    const std::string strFile = OutputPath("cut.sql");
    BoxWatcher boxes;
    ASSERT_TRUE(RunJob({"EXP_CUT", strFile, ""}));
    ASSERT_EQ(boxes.Count(), 1);
    const std::string strText = boxes.Texts()[0];
    EXPECT_TRUE(strText.find("ORA-") != std::string::npos) << strText;
    // The box shows "\r\n" where the database text has "\n".
    std::string strLast = LogWindow::Instance().Lines().back();
    std::string strShown;
    for (char ch : strLast) {
        if (ch == '\n')
            strShown += '\r';
        strShown += ch;
    }
    EXPECT_EQ(strShown, strText);
    EXPECT_EQ(ReadFile(strFile), "CREATE OR REPLACE PROCEDURE A_PROC IS BEGIN NULL; END;\n\n/\n");
    EXPECT_EQ(g_bRunning, 0);
}

TEST_F(ExportWorkerTest, FailedLogonShowsTheDatabaseText)
{
    Schema schema("EXP_LOGON");
    schema.AddObject("A_PROC", "PROCEDURE", {"PROCEDURE A_PROC IS BEGIN NULL; END;\n"});
    Job job{"EXP_LOGON", OutputPath("logon.sql"), ""};
    job.strPassword = "wrong";
    BoxWatcher boxes;
    ASSERT_TRUE(RunJob(job));
    ASSERT_EQ(boxes.Count(), 1);
    EXPECT_NE(boxes.Texts()[0].find("ORA-01017"), std::string::npos) << boxes.Texts()[0];
    const std::vector<std::string> expectedLines = {"Connect to SCOTT@EXP_LOGON",
                                                    "Error while connect to specified database"};
    EXPECT_EQ(LogWindow::Instance().Lines(), expectedLines);
}

TEST_F(ExportWorkerTest, FolderThatDoesNotExistCannotTakeTheFile)
{
    Schema schema("EXP_PATH");
    schema.AddObject("A_PROC", "PROCEDURE", {"PROCEDURE A_PROC IS BEGIN NULL; END;\n"});
    BoxWatcher boxes;
    ASSERT_TRUE(RunJob({"EXP_PATH", OutputPath("no_such_folder\\out.sql"), ""}));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Error while create specified file."});
    const auto lines = LogWindow::Instance().Lines();
    EXPECT_EQ(lines.back(), "");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), std::string("Source uploaded. File created.")), 0);
}

TEST_F(ExportWorkerTest, DirectoryAsPathIsNeitherDeletedNorWritten)
{
    Schema schema("EXP_DIR");
    schema.AddObject("A_PROC", "PROCEDURE", {"PROCEDURE A_PROC IS BEGIN NULL; END;\n"});
    const std::string strDir = OutputPath("a_folder");
    ::CreateDirectoryA(strDir.c_str(), nullptr);
    BoxWatcher boxes;
    ASSERT_TRUE(RunJob({"EXP_DIR", strDir, ""}));
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Error while create specified file."});
    EXPECT_EQ(LogWindow::Instance().Lines().back(), "");
    const DWORD nAttributes = ::GetFileAttributesA(strDir.c_str());
    EXPECT_NE(nAttributes, INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(nAttributes & FILE_ATTRIBUTE_DIRECTORY);
}

TEST_F(ExportWorkerTest, ReadOnlyOldFileEndsTheJobBeforeTheLogon)
{
    Schema schema("EXP_RO");
    schema.AddObject("A_PROC", "PROCEDURE", {"PROCEDURE A_PROC IS BEGIN NULL; END;\n"});
    const std::string strFile = OutputPath("readonly.sql");
    WriteFile(strFile, "keep me\n");
    ::SetFileAttributesA(strFile.c_str(), FILE_ATTRIBUTE_READONLY);
    const unsigned nCallsBefore = OciLite::CallCount();
    BoxWatcher boxes;
    ASSERT_TRUE(RunJob({"EXP_RO", strFile, ""}));
    ::SetFileAttributesA(strFile.c_str(), FILE_ATTRIBUTE_NORMAL);
    EXPECT_EQ(boxes.Count(), 0);
    EXPECT_EQ(LogWindow::Instance().Lines(), std::vector<std::string>{"Error while delete old file " + strFile});
    EXPECT_EQ(ReadFile(strFile), "keep me\n");
    EXPECT_EQ(OciLite::CallCount(), nCallsBefore);
}

TEST_F(ExportWorkerTest, FileThatCannotBeReadIsTruncatedByTheFirstWrite)
{
    Schema schema("EXP_TRUNC");
    schema.AddObject("A_PROC", "PROCEDURE", {"PROCEDURE A_PROC IS BEGIN NULL; END;\n"});
    const std::string strFile = OutputPath("locked_for_reading.sql");
    WriteFile(strFile, std::string(500, '#'));
    // Another program keeps the file open for writing and lets nobody read it: the read probe
    // fails, so the file is not deleted, and the run must still leave only its own block.
    HANDLE hOther = ::CreateFileA(strFile.c_str(), GENERIC_WRITE, FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(hOther, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(RunJob({"EXP_TRUNC", strFile, ""}));
    ::CloseHandle(hOther);
    EXPECT_EQ(ReadFile(strFile), "CREATE OR REPLACE PROCEDURE A_PROC IS BEGIN NULL; END;\n\n/\n");
}

TEST_F(ExportWorkerTest, FailedWriteEndsTheJobWithoutTheSuccessLine)
{
    Schema schema("EXP_WRITE");
    schema.AddObject("A_PROC", "PROCEDURE", {"PROCEDURE A_PROC IS BEGIN NULL; END;\n"});
    // A pipe that only takes data in: the worker's read probe cannot open it, so nothing is
    // deleted; the open for writing succeeds, but the file can be neither truncated nor
    // appended to like a disk file, so the first write fails.
    const std::string strPipe = "\\\\.\\pipe\\qm_export_write_test";
    HANDLE hServer = ::CreateNamedPipeA(strPipe.c_str(), PIPE_ACCESS_INBOUND, PIPE_TYPE_BYTE | PIPE_WAIT, 1, 0,
                                        0, 0, nullptr);
    ASSERT_NE(hServer, INVALID_HANDLE_VALUE);
    BoxWatcher boxes;
    const bool bEnded = RunJob({"EXP_WRITE", strPipe, ""});
    ::CloseHandle(hServer);
    ASSERT_TRUE(bEnded);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Error while write specified file."});
    const auto lines = LogWindow::Instance().Lines();
    EXPECT_EQ(lines.back(), "");
    EXPECT_EQ(std::count(lines.begin(), lines.end(), std::string("Source uploaded. File created.")), 0);
    EXPECT_EQ(g_bRunning, 0);
}
