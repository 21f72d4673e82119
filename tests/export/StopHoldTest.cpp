// StopHoldTest.cpp
//
// Stop and the close request's hold, driven from the window thread as the main dialog drives
// them, while the real worker runs against oci-lite.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "dialogs/AppMessageBox.h"
#include "app/JobRecord.h"
#include "app/ReportQueue.h"
#include "tests/export/ExportHarness.h"

using namespace ExportTest;

namespace {

std::vector<std::string> NumberedLines(const char* pszHead, int nLines)
{
    std::vector<std::string> lines{std::string(pszHead) + "\n"};
    for (int i = 2; i <= nLines; ++i)
        lines.push_back("-- " + std::string(pszHead) + " line " + std::to_string(i) + "\n");
    return lines;
}

std::string Block(const std::vector<std::string>& lines)
{
    std::string strBlock = "CREATE OR REPLACE ";
    for (const std::string& strLine : lines)
        strBlock += strLine;
    return strBlock + "\n/\n";
}

// Keeps a thread handle open after StartUploadThread has replaced g_hWorkerThread.
HANDLE DuplicateWorkerHandle()
{
    HANDLE hCopy = nullptr;
    ::DuplicateHandle(::GetCurrentProcess(), g_hWorkerThread, ::GetCurrentProcess(), &hCopy, 0,
                      FALSE, DUPLICATE_SAME_ACCESS);
    return hCopy;
}

bool WaitForThread(HANDLE hThread, DWORD nTimeoutMs)
{
    bool bEnded = false;
    RunMessages(nTimeoutMs,
                [&] { return bEnded = ::WaitForSingleObject(hThread, 0) == WAIT_OBJECT_0; });
    return bEnded;
}

class StopHoldTest : public ::testing::Test {
protected:
    void SetUp() override { PrepareTest(); }
    void TearDown() override
    {
        OciLite::SetRoundTripDelay(0);
        LogWindow::Instance().onLine = nullptr;
    }
};

}  // namespace

TEST_F(StopHoldTest, StopInTheMiddleOfAnObjectLeavesOnlyCompleteBlocks)
{
    const auto linesA = NumberedLines("PROCEDURE A_PROC IS", 10);
    Schema schema("STOP_MID");
    schema.Begin();
    schema.AddObject("A_PROC", "PROCEDURE", linesA);
    // The window takes lines in batches, and the worker waits once a batch's worth is queued:
    // an object this long (eight batches, as the worker may run a batch or two ahead of the
    // window once it reads arrays of rows) is still being read when the window shows its
    // 50th line.
    schema.AddObject("B_PROC", "PROCEDURE",
                     NumberedLines("PROCEDURE B_PROC IS", 8 * ReportQueue::kMaxQueuedLines));
    schema.AddObject("C_PROC", "PROCEDURE", NumberedLines("PROCEDURE C_PROC IS", 10));
    schema.Commit();
    const std::string strFile = TestFolder() + "stop_mid.sql";
    ::DeleteFileA(strFile.c_str());

    StartJob({"STOP_MID", strFile, ""});
    bool bSeen = false;
    LogWindow::Instance().onLine = [&](const std::string& strLine) {
        if (strLine == "-- PROCEDURE B_PROC IS line 50")
            bSeen = true;
    };
    RunMessages(20000, [&] { return bSeen; });
    ASSERT_TRUE(bSeen);
    RequestWorkerStop();
    const int nLinesAtStop = LogWindow::Instance().LineCount();
    const int nProgressAtStop = LogWindow::Instance().ProgressCount();
    HANDLE hWorker = DuplicateWorkerHandle();
    EXPECT_TRUE(WaitForThread(hWorker, 10000));
    ::CloseHandle(hWorker);
    RunMessages(200);

    EXPECT_EQ(LogWindow::Instance().LineCount(), nLinesAtStop);
    EXPECT_EQ(LogWindow::Instance().ProgressCount(), nProgressAtStop);
    EXPECT_FALSE(LogWindow::Instance().IsIdle());  // no end-of-job line for a stopped job
    EXPECT_EQ(ReadFile(strFile), Block(linesA));
}

TEST_F(StopHoldTest, StopInsideTheHandlerOfTheWorkersOwnLine)
{
    Schema schema("STOP_NESTED");
    schema.Begin();
    schema.AddObject("A_PROC", "PROCEDURE",
                     NumberedLines("PROCEDURE A_PROC IS", 3 * ReportQueue::kMaxQueuedLines));
    schema.Commit();
    const std::string strFile = TestFolder() + "stop_nested.sql";
    ::DeleteFileA(strFile.c_str());

    StartJob({"STOP_NESTED", strFile, ""});
    int nLinesAtStop = -1;
    LogWindow::Instance().onLine = [&](const std::string& strLine) {
        if (strLine == "-- PROCEDURE A_PROC IS line 20") {
            RequestWorkerStop();
            nLinesAtStop = LogWindow::Instance().LineCount();
        }
    };
    HANDLE hWorker = nullptr;
    RunMessages(20000, [&] { return nLinesAtStop >= 0; });
    ASSERT_GE(nLinesAtStop, 0);
    hWorker = DuplicateWorkerHandle();
    EXPECT_TRUE(WaitForThread(hWorker, 10000));
    ::CloseHandle(hWorker);
    RunMessages(100);
    EXPECT_EQ(LogWindow::Instance().LineCount(), nLinesAtStop);
    EXPECT_FALSE(FileExists(strFile));
}

TEST_F(StopHoldTest, StoppedWorkerInsideADatabaseCallNeverTouchesTheNextJob)
{
    Schema schema("STOP_NEXT");
    const auto lines = NumberedLines("PROCEDURE A_PROC IS", 3);
    schema.AddObject("A_PROC", "PROCEDURE", lines);
    const std::string strFirst = TestFolder() + "stop_first.sql";
    const std::string strSecond = TestFolder() + "stop_second.sql";
    ::DeleteFileA(strFirst.c_str());

    // The first job is stopped while its listing query waits for a slow server: every round
    // trip is slow from the start, and the window stops the job just after "Connected.".
    OciLite::SetRoundTripDelay(300 * 1000);
    StartJob({"STOP_NEXT", strFirst, ""});
    bool bConnected = false;
    LogWindow::Instance().onLine = [&](const std::string& strLine) {
        if (strLine == "Connected.")
            bConnected = true;
    };
    RunMessages(20000, [&] { return bConnected; });
    ASSERT_TRUE(bConnected);
    RunMessages(100);  // the worker is now inside the slow execute
    RequestWorkerStop();
    HANDLE hFirst = DuplicateWorkerHandle();
    OciLite::SetRoundTripDelay(0);

    // The second job starts at once, held from its first step until the first worker has returned.
    HoldWorker();
    StartJob({"STOP_NEXT", strSecond, ""});
    EXPECT_TRUE(WaitForThread(hFirst, 10000));
    ::CloseHandle(hFirst);
    EXPECT_EQ(g_bRunning, 1);
    EXPECT_EQ(LogWindow::Instance().LineCount(), 0);
    EXPECT_EQ(LogWindow::Instance().ProgressCount(), 0);
    EXPECT_FALSE(FileExists(strFirst));
    ReleaseWorker();

    ASSERT_TRUE(RunUntilIdle());
    ASSERT_TRUE(WaitForWorker());
    const std::vector<std::string> expectedLines = {"Connect to SCOTT@STOP_NEXT",
                                                    "Connected.",
                                                    "",
                                                    "CREATE OR REPLACE PROCEDURE A_PROC IS",
                                                    "-- PROCEDURE A_PROC IS line 2",
                                                    "-- PROCEDURE A_PROC IS line 3",
                                                    "/",
                                                    "",
                                                    "Source uploaded. File created.",
                                                    ""};
    EXPECT_EQ(LogWindow::Instance().Lines(), expectedLines);
    EXPECT_EQ(ReadFile(strSecond), Block(lines));
    EXPECT_FALSE(FileExists(strFirst));
    EXPECT_EQ(LogWindow::Instance().Progress().front(), std::make_pair(0, 0));
}

TEST_F(StopHoldTest, CloseRequestHoldsTheWorkerWhileItsMessageIsOpen)
{
    const auto lines = NumberedLines("PROCEDURE A_PROC IS", 300);
    Schema schema("HOLD");
    schema.AddObject("A_PROC", "PROCEDURE", lines);
    const std::string strFile = TestFolder() + "hold.sql";

    StartJob({"HOLD", strFile, ""});
    bool bSeen = false;
    LogWindow::Instance().onLine = [&](const std::string& strLine) {
        if (strLine == "-- PROCEDURE A_PROC IS line 100")
            bSeen = true;
    };
    RunMessages(20000, [&] { return bSeen; });
    ASSERT_TRUE(bSeen);

    int nLinesHeld = -1, nLinesAtClose = -1, nProgressHeld = -1, nProgressAtClose = -1;
    unsigned nCallsHeld = 0, nCallsAtClose = 0;
    std::vector<std::string> texts;
    {
        MessageBoxWatcher boxes(
            [&](HWND, const std::string&) {
                nLinesAtClose = LogWindow::Instance().LineCount();
                nProgressAtClose = LogWindow::Instance().ProgressCount();
                nCallsAtClose = OciLite::CallCount();
            },
            {MessageBoxWatcher::CloseWith::Ok, 1, 400});
        CWorkerHold hold;
        nLinesHeld = LogWindow::Instance().LineCount();
        nProgressHeld = LogWindow::Instance().ProgressCount();
        nCallsHeld = OciLite::CallCount();
        ShowAppMessage("Stop uploading process before close application.");
        texts = boxes.Texts();
    }
    EXPECT_EQ(texts, std::vector<std::string>{"Stop uploading process before close application."});
    EXPECT_EQ(nLinesAtClose, nLinesHeld);
    EXPECT_EQ(nProgressAtClose, nProgressHeld);
    EXPECT_LE(nCallsAtClose - nCallsHeld, 1u);  // at most the call it was in

    ASSERT_TRUE(RunUntilIdle());
    ASSERT_TRUE(WaitForWorker());
    EXPECT_EQ(ReadFile(strFile), Block(lines));
    EXPECT_EQ(LogWindow::Instance().LineCount(), 3 + 300 + 1 + 3);
}

TEST_F(StopHoldTest, StoppedWorkerInItsOwnMessageBoxDeliversNothingAfterIt)
{
    Schema schema("STOP_BOX");
    const std::string strFile = TestFolder() + "stop_box.sql";
    std::atomic<bool> bBoxOpen{false};
    std::atomic<bool> bStopped{false};
    MessageBoxWatcher boxes([&](HWND, const std::string&) {
        bBoxOpen = true;
        while (!bStopped)
            ::Sleep(5);
    });
    StartJob({"STOP_BOX", strFile, ""});
    RunMessages(20000, [&] { return bBoxOpen.load(); });
    ASSERT_TRUE(bBoxOpen);
    RequestWorkerStop();
    bStopped = true;
    ASSERT_TRUE(WaitForWorker());
    RunMessages(100);
    EXPECT_EQ(boxes.Texts(), std::vector<std::string>{"Object not found."});
    const std::vector<std::string> expectedLines = {"Connect to SCOTT@STOP_BOX", "Connected.", ""};
    EXPECT_EQ(LogWindow::Instance().Lines(), expectedLines);
    EXPECT_EQ(g_bRunning, 1);  // the worker left the flag alone; the dialog resets it itself
    g_bRunning = 0;
}
