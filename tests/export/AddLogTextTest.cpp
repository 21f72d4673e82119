// AddLogTextTest.cpp
//
// AddLogText's whole and split modes through the report queue and a window that takes it as
// the main dialog does, and its silence for a stopped job.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "app/JobControl.h"
#include "app/JobRecord.h"
#include "app/ReportQueue.h"
#include "tests/export/ExportHarness.h"

using namespace ExportTest;

namespace {

class AddLogTextTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // Lines of the test's own thread (no job) are taken only while no job is current.
        RequestWorkerStop();
        LogWindow::Instance().Reset();
        g_bPendingLine = 0;
        g_szPendingLine[0] = '\0';
        g_bRunning = 1;
    }
    void TearDown() override { g_bRunning = 0; }

    static std::vector<std::string> Lines()
    {
        LogWindow::Instance().DrainNow();
        return LogWindow::Instance().Lines();
    }
};

}  // namespace

TEST_F(AddLogTextTest, SplitTextShowsCompleteLinesAndHoldsBackTheRest)
{
    AddLogText("a\nb\nc", 1);
    EXPECT_EQ(Lines(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(g_bPendingLine, 1);
    EXPECT_STREQ(g_szPendingLine, "c");
    AddLogText("d\n", 1);
    EXPECT_EQ(Lines(), (std::vector<std::string>{"a", "b", "cd"}));
}

TEST_F(AddLogTextTest, SplitTextEndingWithALineBreakLeavesAnEmptyHeldBackText)
{
    AddLogText("one\ntwo\n", 1);
    AddLogText("three\n", 1);
    EXPECT_EQ(Lines(), (std::vector<std::string>{"one", "two", "three"}));
    EXPECT_EQ(g_bPendingLine, 1);
    EXPECT_STREQ(g_szPendingLine, "");
}

// A text without a line break (an object's last line without its own line feed) is held back
// behind what was held before, and shown when the next line break comes or the object ends.
TEST_F(AddLogTextTest, SplitTextWithoutALineBreakJoinsTheHeldBackText)
{
    AddLogText("no break", 1);
    EXPECT_TRUE(Lines().empty());
    EXPECT_EQ(g_bPendingLine, 1);
    EXPECT_STREQ(g_szPendingLine, "no break");
    AddLogText(" shown\nheld", 1);
    AddLogText(" no break either", 1);
    EXPECT_EQ(Lines(), std::vector<std::string>{"no break shown"});
    EXPECT_STREQ(g_szPendingLine, "held no break either");
    EXPECT_EQ(g_bPendingLine, 1);
    AddLogText("\n", 1);
    EXPECT_EQ(Lines(), (std::vector<std::string>{"no break shown", "held no break either"}));
}

TEST_F(AddLogTextTest, TheHeldBackTextIsShownWhenTheObjectEnds)
{
    AddLogText("CREATE OR REPLACE PROCEDURE P IS\nBEGIN NULL;", 1);
    AddLogText(" END;", 1);
    ShowPendingLine();
    EXPECT_EQ(Lines(),
              (std::vector<std::string>{"CREATE OR REPLACE PROCEDURE P IS", "BEGIN NULL; END;"}));
    EXPECT_EQ(g_bPendingLine, 0);
    // Nothing held back: nothing shown.
    ShowPendingLine();
    EXPECT_EQ(Lines().size(), 2u);
}

TEST_F(AddLogTextTest, WholeTextIsOneLineAsItIs)
{
    AddLogText("", 0);
    AddLogText("with\nbreak", 0);
    AddLogText("keeps\r", 0);
    EXPECT_EQ(Lines(), (std::vector<std::string>{"", "with\nbreak", "keeps\r"}));
}

TEST_F(AddLogTextTest, CarriageReturnBeforeALineFeedStays)
{
    AddLogText("x\r\ny\r\n", 1);
    EXPECT_EQ(Lines(), (std::vector<std::string>{"x\r", "y\r"}));
}

TEST_F(AddLogTextTest, LongestTextTheWorkerLogsFitsTheHeldBackBuffer)
{
    const std::string strLongest = "CREATE OR REPLACE " + std::string(kMaxSourceLineBytes, 'q');
    AddLogText(("\n" + strLongest).c_str(), 1);
    EXPECT_TRUE(std::string(g_szPendingLine) == strLongest);
    AddLogText("\n", 1);
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "");
    EXPECT_TRUE(lines[1] == strLongest) << lines[1].size();
}

TEST_F(AddLogTextTest, LongerTextIsCutToTheBufferInsteadOfOverrunningIt)
{
    const std::string strTooLong(kPendingLineSize + 5000, 'z');
    AddLogText(("start\n" + strTooLong).c_str(), 1);
    EXPECT_EQ(std::string(g_szPendingLine).size(), size_t(kPendingLineSize - 1));
    AddLogText("\n", 1);
    const auto lines = Lines();
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[1] == std::string(kPendingLineSize - 1, 'z')) << lines[1].size();
}

TEST_F(AddLogTextTest, WorkerOfACurrentJobDeliversAndAStoppedOneDoesNot)
{
    const unsigned nJob = JobControl::BeginJob();
    ReportQueue::Instance().BeginJob(nJob);
    std::atomic<bool> bDone{false};
    std::thread worker([&] {
        CWorkerThreadJob threadJob(nJob);
        AddLogText("first\nsecond\n", 1);
        bDone = true;
    });
    RunMessages(5000, [&] { return bDone.load() && LogWindow::Instance().LineCount() == 2; });
    worker.join();
    EXPECT_EQ(Lines(), (std::vector<std::string>{"first", "second"}));

    RequestWorkerStop();
    bDone = false;
    std::thread stale([&] {
        CWorkerThreadJob threadJob(nJob);
        AddLogText("late\n", 1);
        AddLogText("late", 0);
        bDone = true;
    });
    RunMessages(5000, [&] { return bDone.load(); });
    stale.join();
    EXPECT_EQ(Lines(), (std::vector<std::string>{"first", "second"}));
}
