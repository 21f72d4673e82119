// ConsoleReporterTest.cpp
//
// The console reporter: exit codes of every outcome, what each progress style prints, that a
// stop refuses the next step but never cuts one, and what a failed run says last.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>

#include "qmexport/ConsoleReporter.h"

namespace {

// A sink that only answers what it holds.
class StateSink : public ExportSink {
public:
    bool Check(ExportFailure&) override { return true; }
    bool Write(const ExportObjectId&, const CString&, ExportFailure&) override { return true; }
    CString StateText() const override
    {
        return "The file holds the 1 complete objects before it.";
    }
    int WrittenCount() const override { return 1; }
};

struct Printed {
    std::string strText;
    ConsoleReporter::Output Sink()
    {
        return [this](const std::string& strPart) { strText += strPart; };
    }
};

ExportEnding Outcome(ExportResult result)
{
    ExportEnding outcome;
    outcome.result = result;
    return outcome;
}

// The engine's calls for a run of two objects.
void TwoObjects(ConsoleReporter& reporter)
{
    reporter.ObjectsListed(2);
    reporter.ObjectBegins({"PKG_A", "PACKAGE"}, 0);
    reporter.ObjectWritten({"PKG_A", "PACKAGE"}, 0, 3);
    reporter.ObjectBegins({"PKG_A", "PACKAGE BODY"}, 1);
    reporter.ObjectWritten({"PKG_A", "PACKAGE BODY"}, 1, 6);
    ExportEnding outcome = Outcome(ExportResult::Done);
    outcome.nObjectsWritten = 2;
    outcome.nObjectCount = 2;
    reporter.Finish(outcome);
}

// One reporter of the given style over a sink that only answers what it holds; what it
// prints is kept in printed.strText.
class ConsoleReporterTest : public ::testing::Test {
protected:
    ConsoleReporter& Reporter(ProgressStyle style)
    {
        m_reporter = std::make_unique<ConsoleReporter>(stop, style, printed.Sink(), m_sink);
        return *m_reporter;
    }

    std::atomic<bool> stop{false};
    Printed printed;

private:
    StateSink m_sink;
    std::unique_ptr<ConsoleReporter> m_reporter;
};

}  // namespace

TEST(ConsoleReporterExitCodes, EveryOutcomeHasItsExitCode)
{
    const std::pair<ExportResult, int> kCodes[] = {
        {ExportResult::Done, 0},          {ExportResult::Stopped, 130},
        {ExportResult::LogonFailed, 3},   {ExportResult::TargetRejected, 1},
        {ExportResult::ListingFailed, 1}, {ExportResult::NothingToExport, 1},
        {ExportResult::NoSource, 1},      {ExportResult::FetchFailed, 1},
        {ExportResult::WriteFailed, 1},
    };
    for (const auto& entry : kCodes)
        EXPECT_EQ(ExitCodeOf(Outcome(entry.first)), entry.second) << int(entry.first);
    ExportEnding missingLibrary = Outcome(ExportResult::LogonFailed);
    missingLibrary.nErrorCode = -1;
    EXPECT_EQ(ExitCodeOf(missingLibrary), 3);
}

TEST_F(ConsoleReporterTest, LinePerObjectWhenNotOnAConsole)
{
    ConsoleReporter& reporter = Reporter(ProgressStyle::LinePerObject);
    TwoObjects(reporter);
    EXPECT_EQ(printed.strText.substr(0, printed.strText.find("Exported")),
              "[1/2] PACKAGE PKG_A (3 lines)\n[2/2] PACKAGE BODY PKG_A (6 lines)\n");
    EXPECT_NE(printed.strText.find("Exported 2 objects (9 lines) in 0:0"), std::string::npos)
        << printed.strText;
    EXPECT_EQ(reporter.ExitCode(), 0);
    EXPECT_EQ(reporter.LineCount(), 9);
}

TEST_F(ConsoleReporterTest, StatusLineIsRewrittenInPlaceAndEnded)
{
    ConsoleReporter& reporter = Reporter(ProgressStyle::StatusLine);
    TwoObjects(reporter);
    const std::string& strText = printed.strText;
    EXPECT_EQ(strText[0], '\r');
    EXPECT_NE(strText.find("\r2/2 objects, 9 lines, 0:0"), std::string::npos) << strText;
    // One line on screen: no line feed before the status line ends.
    const size_t nFirstFeed = strText.find('\n');
    EXPECT_EQ(strText.find("Exported"), nFirstFeed + 1) << strText;
}

TEST_F(ConsoleReporterTest, QuietPrintsOnlyWhatTheUserMustSee)
{
    ConsoleReporter& reporter = Reporter(ProgressStyle::Quiet);
    TwoObjects(reporter);
    EXPECT_EQ(printed.strText, "");

    reporter.Message("Object not found.");
    ExportEnding outcome = Outcome(ExportResult::NothingToExport);
    outcome.strText = "Object not found.";
    reporter.Finish(outcome);
    EXPECT_EQ(printed.strText,
              "Object not found.\nThe file holds the 1 complete objects before it.\n");
    EXPECT_EQ(reporter.ExitCode(), 1);
}

TEST_F(ConsoleReporterTest, AFailedLogonSaysWhyButNothingAboutTheTarget)
{
    ConsoleReporter& reporter = Reporter(ProgressStyle::LinePerObject);
    reporter.Message("ORA-01017: invalid username/password; logon denied");
    ExportEnding outcome = Outcome(ExportResult::LogonFailed);
    outcome.nErrorCode = 1017;
    outcome.strText = "ORA-01017: invalid username/password; logon denied";
    reporter.Finish(outcome);
    EXPECT_EQ(printed.strText, "ORA-01017: invalid username/password; logon denied\nError while "
                               "connect to specified database\n");
    EXPECT_EQ(reporter.ExitCode(), 3);
}

TEST_F(ConsoleReporterTest, AStopRefusesTheNextStepButNeverCutsOne)
{
    ConsoleReporter& reporter = Reporter(ProgressStyle::LinePerObject);
    EXPECT_TRUE(reporter.KeepGoing());
    int nSteps = 0;
    // The stop comes in the middle of a step: the step still runs to its end.
    EXPECT_TRUE(reporter.Guarded([&] {
        stop = true;
        ++nSteps;
    }));
    EXPECT_EQ(nSteps, 1);
    EXPECT_FALSE(reporter.KeepGoing());
    EXPECT_FALSE(reporter.Guarded([&] { ++nSteps; }));
    EXPECT_EQ(nSteps, 1);
    reporter.Stopped();
    EXPECT_EQ(reporter.ExitCode(), 130);
    EXPECT_EQ(printed.strText, "Stopped. The file holds the 1 complete objects before it.\n");
}
