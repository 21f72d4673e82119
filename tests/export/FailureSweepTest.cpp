// FailureSweepTest.cpp
//
// Fails each counted OCI call of a two-object export in turn (oci-lite's fault injection). Every
// run must end: the dialog returns to idle, every failure shows a message whose lines end the
// log, and the file holds the previous export or only complete blocks of this run.
#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/JobRecord.h"
#include "tests/export/ExportHarness.h"

using namespace ExportTest;

namespace {

typedef int(__cdecl* SetTraceFileFn)(const char*);

// The counted calls of a run, by entry point, read from oci-lite's call trace.
std::vector<std::string> CountedCallsOf(const std::string& strTrace)
{
    static const std::set<std::string> counted = {
        "OCIAttrGet",      "OCIAttrSet",     "OCIServerAttach", "OCIServerDetach",
        "OCISessionBegin", "OCISessionEnd",  "OCIStmtPrepare",  "OCIBindByPos",
        "OCIDefineByPos",  "OCIStmtExecute", "OCIStmtFetch"};
    std::vector<std::string> calls;
    std::istringstream in(strTrace);
    std::string strLine;
    while (std::getline(in, strLine)) {
        const std::string strName = strLine.substr(0, strLine.find(' '));
        if (counted.count(strName) != 0 && strLine.find(" -> -2") == std::string::npos)
            calls.push_back(strName);
    }
    return calls;
}

}  // namespace

TEST(FailureSweepTest, EveryFailedCallEndsTheRunCleanly)
{
    LogWindow::Instance();
    OciLite::SetFailAt(0);
    OciLite::SetRoundTripDelay(0);
    Schema schema("SWEEP");
    schema.AddObject("A_PROC", "PROCEDURE", {"PROCEDURE A_PROC IS\n", "BEGIN NULL;\n", "END;\n"});
    // A line beginning with "#" has the run read what every line begins with too.
    schema.AddObject("B_PROC", "PROCEDURE",
                     {"PROCEDURE B_PROC IS\n", "BEGIN NULL;\n", "#x\n", "END;\n"});
    const std::string strFile = TestFolder() + "sweep.sql";
    ::DeleteFileA(strFile.c_str());
    // The first block as the file holds it, after the file's top.
    const std::string strBlockA =
        "SET SQLPREFIX ~\nCREATE OR REPLACE PROCEDURE A_PROC IS\nBEGIN NULL;\nEND;\n\n/\n";
    const std::string strBlockB =
        "CREATE OR REPLACE PROCEDURE B_PROC IS\nBEGIN NULL;\n#x\nEND;\n\n/\n";

    // A clean run: how many calls there are, and which entry point each one is.
    const std::string strTrace = TestFolder() + "sweep_trace.txt";
    ::DeleteFileA(strTrace.c_str());
    auto setTrace = reinterpret_cast<SetTraceFileFn>(reinterpret_cast<void (*)()>(
        ::GetProcAddress(::GetModuleHandleA("OCI.DLL"), "OciLiteSetTraceFile")));
    ASSERT_NE(setTrace, nullptr);
    setTrace(strTrace.c_str());
    OciLite::ResetCounters();
    ASSERT_TRUE(RunJob({"SWEEP", strFile, ""}));
    const unsigned nCalls = OciLite::CallCount();
    setTrace(nullptr);
    ASSERT_EQ(ReadFile(strFile), strBlockA + strBlockB);
    const std::vector<std::string> calls = CountedCallsOf(ReadFile(strTrace));
    ASSERT_EQ(calls.size(), size_t(nCalls));
    ASSERT_GT(nCalls, 10u);

    std::set<std::string> endings;
    for (unsigned n = 1; n <= nCalls; ++n) {
        SCOPED_TRACE("failing call " + std::to_string(n) + " (" + calls[n - 1] + ")");
        // The previous export stays until the run has a complete block to replace it with.
        const std::string strPrevious = "-- previous export\n";
        WriteFile(strFile, strPrevious);
        MessageBoxWatcher boxes;
        OciLite::ResetCounters();
        OciLite::SetFailAt(n);
        const bool bEnded = RunJob({"SWEEP", strFile, ""}, 15000);
        OciLite::SetFailAt(0);
        ASSERT_TRUE(bEnded);
        EXPECT_EQ(g_bRunning, 0);

        const auto lines = LogWindow::Instance().Lines();
        ASSERT_FALSE(lines.empty());
        const std::string& strLast = lines.back();
        const auto texts = boxes.Texts();
        const bool bConnected = std::find(lines.begin(), lines.end(), "Connected.") != lines.end();
        const bool bSucceeded =
            std::find(lines.begin(), lines.end(), "Source uploaded. File created.") != lines.end();
        const std::string strContent = FileExists(strFile) ? ReadFile(strFile) : std::string();
        EXPECT_TRUE(strContent == strPrevious || strContent == strBlockA ||
                    strContent == strBlockA + strBlockB)
            << strContent;

        const std::string& strCall = calls[n - 1];
        if (strCall == "OCISessionEnd" || strCall == "OCIServerDetach") {
            // Failures while logging off do not spoil a finished export.
            EXPECT_TRUE(bSucceeded);
            EXPECT_EQ(strContent, strBlockA + strBlockB);
            EXPECT_TRUE(texts.empty());
            endings.insert("logoff");
        } else if (!bConnected) {
            EXPECT_TRUE(strCall == "OCIAttrGet" || strCall == "OCIServerAttach" ||
                        strCall == "OCISessionBegin" || strCall == "OCIAttrSet");
            EXPECT_EQ(strLast, "Error while connect to specified database");
            EXPECT_EQ(strContent, strPrevious);
            ASSERT_EQ(texts.size(), 1u);
            EXPECT_NE(texts[0].find("ORA-"), std::string::npos) << texts[0];
            endings.insert("logon");
        } else {
            // Any other database failure, the listing's included: its text in the box, and the
            // box's lines are the last lines of the log.
            ASSERT_EQ(texts.size(), 1u);
            EXPECT_NE(texts[0].find("ORA-03113"), std::string::npos) << texts[0];
            std::vector<std::string> boxLines;
            std::istringstream box(texts[0]);
            for (std::string strLine; std::getline(box, strLine);) {
                if (!strLine.empty() && strLine.back() == '\r')
                    strLine.pop_back();
                boxLines.push_back(strLine);
            }
            ASSERT_LE(boxLines.size(), lines.size());
            EXPECT_TRUE(
                std::equal(boxLines.begin(), boxLines.end(), lines.end() - long(boxLines.size())))
                << texts[0];
            EXPECT_FALSE(bSucceeded);
            const bool bReadingObjects =
                std::any_of(lines.begin(), lines.end(),
                            [](const std::string& strLine) {
                                return strLine.rfind("CREATE OR REPLACE ", 0) == 0;
                            }) ||
                boxLines.size() > 1;
            if (bReadingObjects) {
                // The second line names the object and what the file holds.
                ASSERT_EQ(boxLines.size(), 2u);
                const std::string strHolds =
                    strContent == strPrevious
                        ? "A_PROC (PROCEDURE). The file was not changed."
                        : "B_PROC (PROCEDURE). The file holds the 1 complete objects before it.";
                EXPECT_EQ(boxLines[1], strHolds);
                endings.insert("statement");
            } else {
                EXPECT_EQ(strContent, strPrevious);
                endings.insert("listing");
            }
        }
    }
    EXPECT_EQ(endings.size(), 4u);
}
