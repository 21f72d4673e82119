// EngineTest.cpp
//
// The export engine alone, on the test's thread: a recording reporter and a sink that keeps
// the blocks in memory, against oci-lite databases. One table of runs and how each ends (the
// stream cut into objects at every boundary, the scopes, the kinds and the owner, the logon's
// outcomes, NULL lines, ampersands, names the listing cannot pass on), then the round trips a
// run costs and a break from another thread.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <map>
#include <functional>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "export/ExportEngine.h"
#include "export/ExportTexts.h"
#include "export/SqlPlusLines.h"
#include "export/ViewSource.h"
#include "framework/Barrier.h"
#include "support/TestSystem.h"
#include "tests/export/EngineHarness.h"

using namespace ExportTest;

namespace {

class MemorySink : public ExportSink {
public:
    bool Check(ExportFailure&) override { return true; }
    void JobNeeds(const SqlPlusNeeds& needs) override
    {
        bAmpersand = needs.bAmpersand;
        jobNeeds = needs;
        settings = SettingsFor(needs);
        if (onJobNeeds)
            onJobNeeds();
    }
    // Like a single file, the sink's top is fixed before the first block.
    const SqlPlusSettings* Head() const override { return &settings; }
    bool RunsOtherHashLines() override { return bOtherHashLines; }
    bool Write(const ExportObjectId& object, const CString& strBlock, ExportFailure&) override
    {
        if (onWrite)
            onWrite();
        written.push_back(object.strName.str() + " (" + object.strType.str() + ")");
        blocks.push_back(strBlock.str());
        return true;
    }
    CString StateText() const override
    {
        return "The sink holds " + CString(std::to_string(blocks.size()).c_str()) + ".";
    }
    int WrittenCount() const override { return int(blocks.size()); }

    std::vector<std::string> written;
    std::vector<std::string> blocks;
    bool bAmpersand = false;
    bool bOtherHashLines = false;
    SqlPlusNeeds jobNeeds;
    SqlPlusSettings settings;
    std::function<void()> onWrite;
    // Runs between the line counts and the source query.
    std::function<void()> onJobNeeds;
};

class RecordingReporter : public ExportReporter {
public:
    bool KeepGoing() override { return true; }
    bool Guarded(const std::function<void()>& step) override
    {
        step();
        return true;
    }
    void LogLine(const CString& strLine) override { lines.push_back(strLine.str()); }
    void LogSource(const char* pText, int nLength) override
    {
        source.append(pText, size_t(nLength));
    }
    void Progress(int nObjectPercent, int nTotalPercent) override
    {
        progress.emplace_back(nObjectPercent, nTotalPercent);
    }
    void Message(const CString& strText) override { messages.push_back(strText.str()); }
    void Finish(const ExportEnding&) override { bFinished = true; }

    std::vector<std::string> lines;
    std::string source;
    std::vector<std::pair<int, int>> progress;
    std::vector<std::string> messages;
    bool bFinished = false;
};

struct EngineRun {
    ExportEnding outcome;
    MemorySink sink;
    RecordingReporter reporter;
};

void RunEngine(EngineRun& run, const char* pszDatabase, ExportParams params = ExportParams())
{
    params.strUser = params.bSysdba ? "DBA_USER" : kUser;
    if (params.strPassword.IsEmpty())
        params.strPassword = params.bSysdba ? "secret" : kPassword;
    params.strDatabase = pszDatabase;
    run.outcome = RunExport(params, run.sink, run.reporter);
}

const std::vector<std::string> kProc = {"PROCEDURE %N IS\n", "BEGIN\n", "  NULL;\n", "END;\n"};

std::vector<std::string> Lines(const std::vector<std::string>& lines, const std::string& strName)
{
    std::vector<std::string> named;
    for (std::string strLine : lines) {
        const size_t nAt = strLine.find("%N");
        if (nAt != std::string::npos)
            strLine.replace(nAt, 2, strName);
        named.push_back(strLine);
    }
    return named;
}

void AddProc(Schema& schema, const char* pszName, const char* pszOwner = kUser)
{
    schema.AddObject(pszName, "PROCEDURE", Lines(kProc, pszName), pszOwner);
}

struct EndingCase {
    const char* pszName;
    std::function<void(Schema&)> fill;
    std::function<void(ExportParams&)> params;
    ExportResult result;
    // The objects written, in order.
    std::vector<std::string> written;
    // The message's lines ("" for none), joined with "\n" (the database's own texts end with one).
    std::string strMessage;
    // A change to the database after the lines were counted, before the source is read.
    std::function<void(Schema&)> change;
};

void PrintTo(const EndingCase& c, std::ostream* pOut)
{
    *pOut << c.pszName;
}

std::string ChangedText(const std::string& strWhat)
{
    return "The source changed while it was read (" + strWhat +
           ", which the SET lines at the file's top, decided when the lines were counted, do not "
           "provide for); run the export again.";
}

std::vector<EndingCase> EndingCases()
{
    auto none = [](ExportParams&) {};
    return {
        {"three_objects_binary_order",
         [](Schema& s) {
             AddProc(s, "a_lower");
             s.AddObject("B_PKG", "PACKAGE BODY", {"PACKAGE BODY B_PKG IS\n", "END;\n"});
             s.AddObject("B_PKG", "PACKAGE", {"PACKAGE B_PKG IS\n", "END;\n"});
             AddProc(s, "C_PROC");
         },
         none,
         ExportResult::Done,
         {"B_PKG (PACKAGE)", "B_PKG (PACKAGE BODY)", "C_PROC (PROCEDURE)", "a_lower (PROCEDURE)"},
         ""},
        {"no_source_first",
         [](Schema& s) {
             s.AddObjectWithoutSource("A_PROC", "PROCEDURE");
             AddProc(s, "B_PROC");
         },
         none,
         ExportResult::NoSource,
         {},
         "Source doesn't exists.\nA_PROC (PROCEDURE). The sink holds 0."},
        {"no_source_between",
         [](Schema& s) {
             AddProc(s, "A_PROC");
             s.AddObjectWithoutSource("B_PROC", "PROCEDURE");
             AddProc(s, "C_PROC");
         },
         none,
         ExportResult::NoSource,
         {"A_PROC (PROCEDURE)"},
         "Source doesn't exists.\nB_PROC (PROCEDURE). The sink holds 1."},
        {"no_source_last",
         [](Schema& s) {
             AddProc(s, "A_PROC");
             AddProc(s, "B_PROC");
             s.AddObjectWithoutSource("C_PROC", "PROCEDURE");
         },
         none,
         ExportResult::NoSource,
         {"A_PROC (PROCEDURE)", "B_PROC (PROCEDURE)"},
         "Source doesn't exists.\nC_PROC (PROCEDURE). The sink holds 2."},
        {"source_of_an_unlisted_kind_passed_over",
         [](Schema& s) {
             AddProc(s, "A_PROC");
             s.AddObject("A_PROC", "JAVA SOURCE", {"class A {}\n"});
             AddProc(s, "B_PROC");
         },
         none,
         ExportResult::Done,
         {"A_PROC (PROCEDURE)", "B_PROC (PROCEDURE)"},
         ""},
        {"one_package",
         [](Schema& s) {
             AddProc(s, "A_PROC");
             s.AddObject("EMP_API", "PACKAGE BODY", {"PACKAGE BODY EMP_API IS\n", "END;\n"});
             s.AddObject("EMP_API", "PACKAGE", {"PACKAGE EMP_API IS\n", "END;\n"});
             AddProc(s, "Z_PROC");
         },
         [](ExportParams& p) { p.objectNames = {"EMP_API"}; },
         ExportResult::Done,
         {"EMP_API (PACKAGE)", "EMP_API (PACKAGE BODY)"},
         ""},
        {"named_objects_in_the_order_given",
         [](Schema& s) {
             AddProc(s, "A_PROC");
             AddProc(s, "B_PROC");
         },
         [](ExportParams& p) {
             p.objectNames = {"B_PROC", "A_PROC"};
         },
         ExportResult::Done,
         {"B_PROC (PROCEDURE)", "A_PROC (PROCEDURE)"},
         ""},
        // A thousand patterns each way make a shallow condition the server runs.
        {"a_thousand_includes_and_excludes",
         [](Schema& s) {
             AddProc(s, "A_PROC");
             AddProc(s, "B_PROC");
             AddProc(s, "C_PROC");
         },
         [](ExportParams& p) {
             for (int i = 0; i < 999; ++i) {
                 p.includePatterns.push_back(CString(("X" + std::to_string(i) + "%").c_str()));
                 p.excludePatterns.push_back(CString(("Y" + std::to_string(i) + "%").c_str()));
             }
             p.includePatterns.push_back("A%");
             p.includePatterns.push_back("B%");
             p.excludePatterns.push_back("B\\_%");
         },
         ExportResult::Done,
         {"A_PROC (PROCEDURE)"},
         ""},
        {"every_kind",
         [](Schema& s) {
             s.AddObject("T_ADDR", "TYPE", {"TYPE T_ADDR AS OBJECT (X NUMBER);\n"});
             s.AddObject("T_ADDR", "TYPE BODY", {"TYPE BODY T_ADDR AS\n", "END;\n"});
             s.AddObject("TRG_EMP", "TRIGGER",
                         {"TRIGGER TRG_EMP BEFORE INSERT ON EMP\n", "BEGIN NULL; END;\n"});
             AddProc(s, "A_PROC");
         },
         [](ExportParams& p) {
             p.kinds = {"PACKAGE", "PACKAGE BODY", "PROCEDURE", "FUNCTION",
                        "TYPE",    "TYPE BODY",    "TRIGGER"};
         },
         ExportResult::Done,
         {"A_PROC (PROCEDURE)", "TRG_EMP (TRIGGER)", "T_ADDR (TYPE)", "T_ADDR (TYPE BODY)"},
         ""},
        {"the_window_kinds_leave_types_and_triggers",
         [](Schema& s) {
             s.AddObject("T_ADDR", "TYPE", {"TYPE T_ADDR AS OBJECT (X NUMBER);\n"});
             AddProc(s, "A_PROC");
         },
         none,
         ExportResult::Done,
         {"A_PROC (PROCEDURE)"},
         ""},
        {"another_owner_with_the_privilege",
         [](Schema& s) {
             s.GrantSelectAnyDictionary(kUser);
             AddProc(s, "SCOTT_PROC");
             AddProc(s, "HR_PROC", "HR");
         },
         [](ExportParams& p) { p.strOwner = "HR"; },
         ExportResult::Done,
         {"HR_PROC (PROCEDURE)"},
         ""},
        {"another_owner_without_the_privilege",
         [](Schema& s) { AddProc(s, "HR_PROC", "HR"); },
         [](ExportParams& p) { p.strOwner = "HR"; },
         ExportResult::ListingFailed,
         {},
         "No objects of HR are visible to SCOTT: reading another owner's code needs SELECT ANY "
         "DICTIONARY, the SELECT_CATALOG_ROLE role, SYSDBA, or grants on DBA_OBJECTS and "
         "DBA_SOURCE"},
        {"the_owner_names_himself",
         [](Schema& s) {
             AddProc(s, "SCOTT_PROC");
             AddProc(s, "HR_PROC", "HR");
         },
         [](ExportParams& p) { p.strOwner = kUser; },
         ExportResult::Done,
         {"SCOTT_PROC (PROCEDURE)"},
         ""},
        {"a_sysdba_session_reads_another_owner",
         [](Schema& s) {
             s.AddUser("DBA_USER", "secret", 1);
             AddProc(s, "SCOTT_PROC");
             AddProc(s, "HR_PROC", "HR");
         },
         [](ExportParams& p) {
             p.strOwner = "HR";
             p.bSysdba = true;
         },
         ExportResult::Done,
         {"HR_PROC (PROCEDURE)"},
         ""},
        {"an_owner_with_nothing",
         [](Schema& s) {
             s.GrantSelectAnyDictionary(kUser);
             AddProc(s, "SCOTT_PROC");
         },
         [](ExportParams& p) { p.strOwner = "NOBODY"; },
         ExportResult::ListingFailed,
         {},
         "NOBODY has no objects of the kinds exported (PACKAGE, PACKAGE BODY, PROCEDURE, "
         "FUNCTION)"},
        {"password_in_its_grace_period",
         [](Schema& s) {
             s.SetAccountStatus(kUser, "EXPIRED(GRACE)");
             AddProc(s, "A_PROC");
         },
         none,
         ExportResult::Done,
         {"A_PROC (PROCEDURE)"},
         ""},
        {"locked_account",
         [](Schema& s) {
             s.SetAccountStatus(kUser, "LOCKED");
             AddProc(s, "A_PROC");
         },
         none,
         ExportResult::LogonFailed,
         {},
         "ORA-28000: the account is locked\n"},
        {"expired_password",
         [](Schema& s) {
             s.SetAccountStatus(kUser, "EXPIRED");
             AddProc(s, "A_PROC");
         },
         none,
         ExportResult::LogonFailed,
         {},
         "ORA-28001: the password has expired\n"},
        {"password_case_counts",
         [](Schema& s) { AddProc(s, "A_PROC"); },
         [](ExportParams& p) { p.strPassword = "TIGER"; },
         ExportResult::LogonFailed,
         {},
         "ORA-01017: invalid username/password; logon denied\n"},
        {"empty_name",
         [](Schema& s) {
             AddProc(s, "A_PROC");
             s.AddObject("", "PROCEDURE", {"PROCEDURE X IS BEGIN NULL; END;\n"});
         },
         none,
         ExportResult::ListingFailed,
         {},
         "An object in the list has an empty name."},
        {"name_with_a_zero_byte",
         [](Schema& s) {
             AddProc(s, "Z");
             s.AddObjectNamedInBytes(std::string("Z\0B", 3), "PROCEDURE",
                                     "PROCEDURE Z IS BEGIN NULL; END;\n");
         },
         none,
         ExportResult::ListingFailed,
         {},
         "ORA-24345: A Truncation or null fetch error occurred\n"
         "An object name or type in the list is longer than 128 bytes: Z\\0B"},
        // The listing comes in arrays of rows: a name it cannot pass on ends the run where it
        // stands, in the second array as in the first.
        {"name_with_a_zero_byte_in_the_second_array",
         [](Schema& s) {
             s.Begin();
             for (int i = 0; i < 1500; ++i)
                 AddProc(s, ("P" + std::to_string(1000 + i)).c_str());
             s.AddObjectNamedInBytes(std::string("P2200\0B", 7), "PROCEDURE",
                                     "PROCEDURE Z IS BEGIN NULL; END;\n");
             s.Commit();
         },
         none,
         ExportResult::ListingFailed,
         {},
         "ORA-24345: A Truncation or null fetch error occurred\n"
         "An object name or type in the list is longer than 128 bytes: P2200\\0B"},
        {"sink_failing_unexpectedly",
         [](Schema& s) { AddProc(s, "A_PROC"); },
         none,
         ExportResult::Unexpected,
         {},
         "Unexpected error: disk on fire"},
        // The source is read no wider than the counts measured it: a line that grew in between
        // ends the run rather than being cut.
        {"line_longer_than_counted",
         [](Schema& s) {
             AddProc(s, "A_PROC");
             AddProc(s, "B_PROC");
         },
         none,
         ExportResult::FetchFailed,
         {"A_PROC (PROCEDURE)"},
         "The source changed while it was read (a name or line is longer than when the lines "
         "were counted); run the export again.\nB_PROC (PROCEDURE). The sink holds 1.",
         [](Schema& s) {
             s.SetLine("B_PROC", "PROCEDURE", 2, "BEGIN -- a comment added since\n");
         }},
        // A line that needs a SET line the file's top lacks ends the run the same way.
        {"ampersand_added_since_counted",
         [](Schema& s) {
             AddProc(s, "A_PROC");
             AddProc(s, "B_PROC");
         },
         none,
         ExportResult::FetchFailed,
         {"A_PROC (PROCEDURE)"},
         ChangedText("line 3 holds '&'") + "\nB_PROC (PROCEDURE). The sink holds 1.",
         [](Schema& s) { s.SetLine("B_PROC", "PROCEDURE", 3, "  X := '&';\n"); }},
        {"hash_line_added_since_counted",
         [](Schema& s) { AddProc(s, "A_PROC"); },
         none,
         ExportResult::FetchFailed,
         {},
         ChangedText("line 3 begins with '#'") + "\nA_PROC (PROCEDURE). The sink holds 0.",
         [](Schema& s) { s.SetLine("A_PROC", "PROCEDURE", 3, "#host ls\n"); }},
        {"dot_line_added_since_counted",
         [](Schema& s) { AddProc(s, "A_PROC"); },
         none,
         ExportResult::FetchFailed,
         {},
         ChangedText("line 2 holds only '.'") + "\nA_PROC (PROCEDURE). The sink holds 0.",
         [](Schema& s) { s.SetLine("A_PROC", "PROCEDURE", 2, " . \n"); }},
        {"prefix_line_added_since_counted",
         [](Schema& s) {
             s.AddObject("A_PROC", "PROCEDURE",
                         {"PROCEDURE A_PROC IS\n", "  S := 'a\n", "#b';\n", "BEGIN NULL; END;\n"});
             AddProc(s, "B_PROC");
         },
         none,
         ExportResult::FetchFailed,
         {"A_PROC (PROCEDURE)"},
         ChangedText("line 3 begins with '~'") + "\nB_PROC (PROCEDURE). The sink holds 1.",
         [](Schema& s) { s.SetLine("B_PROC", "PROCEDURE", 3, " ~x\n"); }},
        // A hash line the counts saw is guarded, whatever changed elsewhere.
        {"hash_line_counted_is_guarded",
         [](Schema& s) {
             s.AddObject("A_PROC", "PROCEDURE",
                         {"PROCEDURE A_PROC IS\n", "  S := 'a\n", "#b';\n", "BEGIN NULL; END;\n"});
         },
         none,
         ExportResult::Done,
         {"A_PROC (PROCEDURE)"},
         "",
         [](Schema& s) { s.SetLine("A_PROC", "PROCEDURE", 2, "  S := 'c\n"); }},
        // Lines after a line end inside a row are counted as the written lines are checked:
        // a "#" after blanks and a "." alone there are provided for, and the run goes through.
        {"lines_inside_a_row_are_counted",
         [](Schema& s) {
             s.AddObject(
                 "A_PROC", "PROCEDURE",
                 {"PROCEDURE A_PROC IS\n", "  S := 'a\n   #b\n.\n~c';\n", "BEGIN NULL; END;\n"});
         },
         none,
         ExportResult::Done,
         {"A_PROC (PROCEDURE)"},
         ""},
        {"no_prefix_left_writes_nothing",
         [](Schema& s) {
             AddProc(s, "A_PROC");
             std::vector<std::string> lines = {"PROCEDURE B_PROC IS\n", "  S := '\n", " #\n"};
             for (const char* p = SqlPlusNeeds::kPrefixCandidates; *p != '\0'; ++p)
                 lines.push_back(std::string(1, *p) + "\n");
             lines.push_back("';\n");
             s.AddObject("B_PROC", "PROCEDURE", lines);
         },
         none,
         ExportResult::Unwritable,
         {},
         "B_PROC (PROCEDURE) line 3 begins with '#', and every character SQLPREFIX can take also "
         "begins a line of the source: SQL*Plus would run that line as its own command, so "
         "nothing was written"},
        {"name_longer_than_counted",
         [](Schema& s) { AddProc(s, "A_PROC"); },
         none,
         ExportResult::FetchFailed,
         {},
         "The source changed while it was read (a name or line is longer than when the lines "
         "were counted); run the export again.\nA_PROC (PROCEDURE). The sink holds 0.",
         [](Schema& s) { AddProc(s, "A_PROCEDURE_ADDED_SINCE"); }},
    };
}

class EngineEndingTest : public ::testing::TestWithParam<EndingCase> {
protected:
    void SetUp() override { PrepareEngineTest(); }
};

}  // namespace

TEST_P(EngineEndingTest, EndsAsTabled)
{
    const EndingCase& c = GetParam();
    const std::string strDatabase = std::string("ENG_") + c.pszName;
    Schema schema(strDatabase.c_str());
    c.fill(schema);
    ExportParams params;
    c.params(params);
    EngineRun run;
    if (c.result == ExportResult::Unexpected)
        run.sink.onWrite = [] { throw std::runtime_error("disk on fire"); };
    if (c.change)
        run.sink.onJobNeeds = [&] { c.change(schema); };
    RunEngine(run, strDatabase.c_str(), params);

    EXPECT_EQ(run.outcome.result, c.result);
    EXPECT_EQ(run.sink.written, c.written);
    if (c.strMessage.empty())
        EXPECT_TRUE(run.reporter.messages.empty()) << run.reporter.messages.front();
    else
        EXPECT_EQ(run.reporter.messages, std::vector<std::string>{c.strMessage});
    EXPECT_TRUE(run.reporter.bFinished);
    if (c.result == ExportResult::Unexpected) {
        EXPECT_EQ(LastCaughtException().str(), "export: disk on fire");
    }
}

INSTANTIATE_TEST_SUITE_P(Table, EngineEndingTest, ::testing::ValuesIn(EndingCases()),
                         [](const ::testing::TestParamInfo<EndingCase>& info) {
                             return std::string(info.param.pszName);
                         });

TEST(EngineTest, BlocksLinesAndProgressOfTheStream)
{
    PrepareEngineTest();
    {
        Schema schema("ENG_BLOCKS");
        schema.AddObject("A_PROC", "PROCEDURE",
                         {"PROCEDURE A_PROC IS\n", "BEGIN NULL; END;\n", "/\n"});
        schema.AddObject("B_FUNC", "FUNCTION",
                         {"FUNCTION B_FUNC RETURN NUMBER IS\n", "X NUMBER;\n", "Y NUMBER;\n",
                          "BEGIN RETURN 1; END;"});
        schema.SetLineNull("B_FUNC", "FUNCTION", 2);
    }
    EngineRun run;
    RunEngine(run, "ENG_BLOCKS");
    ASSERT_EQ(run.outcome.result, ExportResult::Done);
    // A block ending in a "/" line gets no second one; a NULL line adds nothing.
    EXPECT_EQ(run.sink.blocks, (std::vector<std::string>{
                                   "CREATE OR REPLACE PROCEDURE A_PROC IS\nBEGIN NULL; END;\n/\n\n",
                                   "CREATE OR REPLACE FUNCTION B_FUNC RETURN NUMBER IS\nY "
                                   "NUMBER;\nBEGIN RETURN 1; END;\n/\n",
                               }));
    EXPECT_FALSE(run.sink.bAmpersand);
    EXPECT_EQ(run.reporter.lines,
              (std::vector<std::string>{"Connect to SCOTT@ENG_BLOCKS", "Connected.", "", "/", "",
                                        "Source uploaded. File created."}));
    EXPECT_EQ(run.reporter.progress,
              (std::vector<std::pair<int, int>>{
                  {0, 0}, {33, 0}, {66, 0}, {0, 50}, {25, 50}, {50, 50}, {75, 50}, {100, 100}}));
}

// A sink that records the pieces each block comes in, and the blocks given up.
class PieceSink : public MemorySink {
public:
    bool WritePiece(const ExportObjectId& object, const CString& strPiece, bool bLast,
                    ExportFailure& failure) override
    {
        pieces.push_back(strPiece.str());
        return MemorySink::WritePiece(object, strPiece, bLast, failure);
    }
    void AbandonBlock() override
    {
        nAbandoned += pieces.empty() ? 0 : 1;
        pieces.clear();
        MemorySink::AbandonBlock();
    }

    std::vector<std::string> pieces;
    int nAbandoned = 0;
};

// Stops the run once it has asked about this many source lines.
class StoppingReporter : public RecordingReporter {
public:
    bool KeepGoing() override { return ++nAsked < nStopAt; }
    int nAsked = 0;
    int nStopAt = 1 << 30;
};

// A block larger than a piece reaches the sink in pieces that each end at a line end, and is
// ended by the same rule as a whole one: its last non-blank line, a "/" in an earlier piece
// followed by a piece of blank lines, needs no "/" of its own. A stop between its pieces gives
// the block up.
TEST(EngineTest, ALargeBlockReachesTheSinkInPiecesAtLineEnds)
{
    PrepareEngineTest();
    std::vector<std::string> lines = {"PROCEDURE BIG IS\n"};
    for (int i = 0; i < 40000; ++i)
        lines.push_back("  v_" + std::to_string(i) + " := " + std::to_string(i) + ";\n");
    lines.push_back("END;\n");
    lines.push_back("/\n");
    for (int i = 0; i < 30000; ++i)
        lines.push_back(std::string(40, ' ') + "\n");
    {
        Schema schema("ENG_PIECES");
        schema.AddObject("BIG", "PROCEDURE", lines);
    }
    std::string strExpected = "CREATE OR REPLACE ";
    for (const std::string& strLine : lines)
        strExpected += strLine;
    strExpected += "\n";

    struct PieceRun {
        ExportEnding outcome;
        PieceSink sink;
        StoppingReporter reporter;
    } run;
    ExportParams params;
    params.strUser = kUser;
    params.strPassword = kPassword;
    params.strDatabase = "ENG_PIECES";
    run.outcome = RunExport(params, run.sink, run.reporter);
    ASSERT_EQ(run.outcome.result, ExportResult::Done);
    ASSERT_EQ(run.sink.blocks, std::vector<std::string>{strExpected});
    ASSERT_GE(run.sink.pieces.size(), 2u);
    std::string strJoined;
    for (size_t i = 0; i < run.sink.pieces.size(); ++i) {
        const std::string& strPiece = run.sink.pieces[i];
        EXPECT_LE(strPiece.size(), (size_t(1) << 20) + 64) << i;
        if (i + 1 < run.sink.pieces.size())
            EXPECT_EQ(strPiece.back(), '\n') << i;
        strJoined += strPiece;
    }
    EXPECT_EQ(strJoined, strExpected);
    EXPECT_EQ(std::count(run.reporter.lines.begin(), run.reporter.lines.end(), "/"), 0);
    EXPECT_EQ(run.sink.nAbandoned, 0);

    // Stopped in its second piece: the piece handed on is given up, no block is written.
    PieceRun stopped;
    stopped.reporter.nStopAt = 60000;
    stopped.outcome = RunExport(params, stopped.sink, stopped.reporter);
    EXPECT_EQ(stopped.outcome.result, ExportResult::Stopped);
    EXPECT_EQ(stopped.sink.nAbandoned, 1);
    EXPECT_TRUE(stopped.sink.blocks.empty());
}

TEST(EngineTest, AnAmpersandAnywhereInTheJobIsAnnouncedBeforeTheFirstBlock)
{
    PrepareEngineTest();
    {
        Schema schema("ENG_AMP");
        AddProc(schema, "A_PROC");
        schema.AddObject(
            "B_PROC", "PROCEDURE",
            {"PROCEDURE B_PROC IS\n", "  U VARCHAR2(20) := 'Q&A';\n", "BEGIN NULL; END;\n"});
    }
    EngineRun run;
    bool bAnnouncedFirst = false;
    run.sink.onWrite = [&] {
        if (run.sink.blocks.empty())
            bAnnouncedFirst = run.sink.bAmpersand;
    };
    RunEngine(run, "ENG_AMP");
    ASSERT_EQ(run.outcome.result, ExportResult::Done);
    EXPECT_TRUE(bAnnouncedFirst);

    // One package without one: nothing announced, whatever the rest of the schema holds.
    EngineRun one;
    ExportParams params;
    params.objectNames = {"A_PROC"};
    RunEngine(one, "ENG_AMP", params);
    ASSERT_EQ(one.outcome.result, ExportResult::Done);
    EXPECT_FALSE(one.sink.bAmpersand);
}

// The characters lines begin with are read only for a job with a "#" line, wherever that line
// is (a row's first line, a later line inside a row, a view, or a folder's other files, which a
// sink says it runs), and SET SQLPREFIX then misses the "~" another object's line begins with;
// without one they cost no round trip.
TEST(EngineTest, TheSqlPrefixMissesTheFirstCharacterOfEveryLineWhereverTheHashLineIs)
{
    PrepareEngineTest();
    const std::vector<std::string> tildeProc = {"PROCEDURE A_PROC IS\n", "  S := 'a\n", "~b';\n",
                                                "BEGIN NULL; END;\n"};
    struct PrefixCase {
        const char* pszDatabase;
        std::vector<std::string> hashProc;  // B_PROC's lines; none: no B_PROC
        const char* pszView;                // a view's text; null: none
        bool bOtherHashLines;               // the sink runs "#" lines of other jobs
        const char* pszPrefixLine;
        unsigned nRoundTrips;
    };
    const PrefixCase kCases[] = {
        {"ENG_PFX_NONE", {}, nullptr, false, "", 6},
        {"ENG_PFX_ROW",
         {"PROCEDURE B_PROC IS\n", "  S := 'a\n", " #b';\n", "END;\n"},
         nullptr,
         false,
         "SET SQLPREFIX ^\n",
         7},
        {"ENG_PFX_INSIDE",
         {"PROCEDURE B_PROC IS\n", "  S := 'a\n #b';\n", "END;\n"},
         nullptr,
         false,
         "SET SQLPREFIX ^\n",
         8},
        {"ENG_PFX_VIEW", {}, "SELECT 1 AS x\n#  FROM dual", false, "SET SQLPREFIX ^\n", 10},
        {"ENG_PFX_OTHER", {}, nullptr, true, "", 7},
    };
    for (const PrefixCase& c : kCases) {
        SCOPED_TRACE(c.pszDatabase);
        {
            Schema schema(c.pszDatabase);
            schema.AddObject("A_PROC", "PROCEDURE", tildeProc);
            if (!c.hashProc.empty())
                schema.AddObject("B_PROC", "PROCEDURE", c.hashProc);
            if (c.pszView != nullptr)
                schema.AddView({"V_HASH", c.pszView, {"X"}});
        }
        EngineRun run;
        run.sink.bOtherHashLines = c.bOtherHashLines;
        ExportParams params;
        params.kinds = {"PROCEDURE", "VIEW"};
        OciLite::ResetCounters();
        RunEngine(run, c.pszDatabase, params);
        ASSERT_EQ(run.outcome.result, ExportResult::Done) << run.outcome.MessageText().str();
        const std::string strLines = run.sink.settings.strLines.str();
        const size_t nAt = strLines.find("SET SQLPREFIX");
        EXPECT_EQ(nAt == std::string::npos
                      ? std::string()
                      : strLines.substr(nAt, strLines.find('\n', nAt) + 1 - nAt),
                  c.pszPrefixLine);
        EXPECT_EQ(run.sink.jobNeeds.Begins('~'),
                  c.pszView != nullptr || !c.hashProc.empty() || c.bOtherHashLines);
        EXPECT_EQ(OciLite::RoundTrips(), c.nRoundTrips);
    }
}

// The round trips of a run, stated exactly (oci-lite counts them as its README says): the
// attach, the session's begin and end, and one trip for each of the three queries of a scope
// (the listing, the line counts, the source) whatever the number of objects and lines, as long
// as the scope's rows, weighed as read (its widest name and line, TYPE 12 bytes, the flag 22),
// fit the 16 MiB of prefetch memory.
TEST(EngineTest, RoundTripsDoNotGrowWithTheObjects)
{
    PrepareEngineTest();
    {
        Schema schema("ENG_TRIPS");
        schema.Begin();
        for (int i = 0; i < 300; ++i)
            AddProc(schema, ("P" + std::to_string(1000 + i)).c_str());
        schema.AddObject("EMP_API", "PACKAGE", {"PACKAGE EMP_API IS\n", "END;\n"});
        schema.AddObject("EMP_API", "PACKAGE BODY", {"PACKAGE BODY EMP_API IS\n", "END;\n"});
        // Read as stored (4,000 bytes a line) these would take three trips.
        std::vector<std::string> shortLines(10000, "  x := x + 1;\n");
        schema.AddObject("BIG_PKG", "PACKAGE BODY", shortLines);
        // One line of 3,990 bytes: every row of its scope weighs 4,032 bytes, 4,161 a trip.
        std::vector<std::string> oneWideLine(5000, "  x := x + 1;\n");
        oneWideLine.push_back("  -- " + std::string(3984, 'w') + "\n");
        schema.AddObject("WIDE_PKG", "PACKAGE BODY", oneWideLine);
        schema.Commit();
    }
    struct TripCase {
        const char* pszTitle;
        std::vector<CString> names;
        unsigned nRoundTrips;
    };
    const TripCase kCases[] = {
        {"the whole schema: 16,205 rows of 4,032 bytes", {}, 9},
        {"one package", {"EMP_API"}, 6},
        {"one package of 10,000 short lines", {"BIG_PKG"}, 6},
        {"one package with a wide line: 5,001 rows of 4,032 bytes", {"WIDE_PKG"}, 7},
        {"two named objects", {"EMP_API", "P1000"}, 9},
    };
    for (const TripCase& c : kCases) {
        SCOPED_TRACE(c.pszTitle);
        ExportParams params;
        params.objectNames = c.names;
        EngineRun run;
        OciLite::ResetCounters();
        RunEngine(run, "ENG_TRIPS", params);
        ASSERT_EQ(run.outcome.result, ExportResult::Done);
        EXPECT_EQ(OciLite::RoundTrips(), c.nRoundTrips);
    }
}

// The listing and the line counts come in arrays of rows per fetch call: a schema of more
// objects than one array holds is written whole and in order, what the counts found in the last
// array is announced, and the round trips are those of a schema of three objects (as long as
// the line counts' rows fit one trip's prefetch memory: some 2,000 of them).
TEST(EngineTest, ListingAndCountsInArraysKeepEveryRowInOrder)
{
    PrepareEngineTest();
    const int kObjects = 1500;
    std::vector<std::string> expected;
    {
        Schema schema("ENG_ARRAYS");
        schema.Begin();
        for (int i = 0; i < kObjects; ++i) {
            const std::string strName = "P" + std::to_string(10000 + i);
            if (i == kObjects - 2)
                schema.AddObject(strName.c_str(), "PROCEDURE",
                                 {"PROCEDURE " + strName + " IS\n", "  S := 'a&b';\n", "END;\n"});
            else
                AddProc(schema, strName.c_str());
            expected.push_back(strName + " (PROCEDURE)");
        }
        schema.Commit();
    }
    {
        Schema few("ENG_FEW");
        for (int i = 0; i < 3; ++i)
            AddProc(few, ("P" + std::to_string(10000 + i)).c_str());
    }
    EngineRun small;
    OciLite::ResetCounters();
    RunEngine(small, "ENG_FEW", ExportParams());
    ASSERT_EQ(small.outcome.result, ExportResult::Done) << small.reporter.messages.front();
    const unsigned nSmallTrips = OciLite::RoundTrips();

    EngineRun run;
    OciLite::ResetCounters();
    RunEngine(run, "ENG_ARRAYS", ExportParams());
    ASSERT_EQ(run.outcome.result, ExportResult::Done);
    EXPECT_EQ(OciLite::RoundTrips(), nSmallTrips);
    EXPECT_EQ(run.sink.written, expected);
    EXPECT_TRUE(run.sink.bAmpersand);
    EXPECT_EQ(run.outcome.nObjectCount, kObjects);
}

// The same schema in an AL32UTF8 database, a WE8MSWIN1252 one and one under
// CURSOR_SHARING=FORCE: every run gives the same blocks, byte for byte, and FORCE costs the
// same round trips as EXACT (the source query keeps its literals). The schema holds what the
// single-byte set holds beyond ASCII (accents, the euro, a real inverted question mark), lines
// of its widest width in that set's bytes, and names that LIKE's escapes pick.
TEST(EngineTest, ADatabaseSetOrCursorSharingChangesNoBlockAndForceNoTrip)
{
    PrepareEngineTest();
    const char* const kDatabases[] = {"ENG_UTF8", "ENG_WE8", "ENG_FORCE"};
    std::string strAccents;  // 1,000 bytes in WE8MSWIN1252, 2,000 in UTF-8
    for (int i = 0; i < 1000; ++i)
        strAccents += "\xC3\xA9";
    for (const char* pszDatabase : kDatabases) {
        Schema schema(pszDatabase);
        if (std::string(pszDatabase) == "ENG_WE8")
            schema.SetDatabaseCharset("WE8MSWIN1252");
        if (std::string(pszDatabase) == "ENG_FORCE")
            schema.SetCursorSharing("FORCE");
        schema.Begin();
        for (int i = 0; i < 50; ++i)
            AddProc(schema, ("P" + std::to_string(1000 + i)).c_str());
        schema.AddObject("EMP_API", "PACKAGE",
                         {"PACKAGE EMP_API IS -- Gr\xC3\xBC\xC3\x9F\xC3\xA9 \xE2\x82\xAC\n",
                          "  c CONSTANT VARCHAR2(9) := '\xC2\xBFqu\xC3\xA9?';\n", "END;\n"});
        schema.AddObject("EMP_API", "PACKAGE BODY",
                         {"PACKAGE BODY EMP_API IS\n", "  -- " + strAccents + "\n", "END;\n"});
        // 5,000 short lines: at the full width a literal-less read would describe (8,034
        // bytes a row) they pass 16 MiB of prefetch memory; read narrow they do not.
        schema.AddObject("BIG_PKG", "PACKAGE BODY",
                         std::vector<std::string>(5000, "  x := x + 1;\n"));
        schema.AddObject("A_B%C", "PROCEDURE", Lines(kProc, "A_B%C"));
        schema.AddObject("AXBYC", "PROCEDURE", Lines(kProc, "AXBYC"));
        schema.Commit();
    }
    struct SetCase {
        const char* pszTitle;
        std::vector<CString> names;
        std::vector<CString> includes;
        std::vector<CString> excludes;
    };
    const SetCase kCases[] = {
        {"the whole schema", {}, {}, {}},
        {"one package", {"EMP_API"}, {}, {}},
        {"escaped wildcards", {}, {"A\\_B\\%C", "EMP%"}, {}},
        {"an exclude", {}, {}, {"P1%"}},
    };
    for (const SetCase& c : kCases) {
        SCOPED_TRACE(c.pszTitle);
        std::vector<std::string> expected;
        unsigned nExactTrips = 0;
        for (const char* pszDatabase : kDatabases) {
            SCOPED_TRACE(pszDatabase);
            ExportParams params;
            params.objectNames = c.names;
            params.includePatterns = c.includes;
            params.excludePatterns = c.excludes;
            EngineRun run;
            OciLite::ResetCounters();
            RunEngine(run, pszDatabase, params);
            ASSERT_EQ(run.outcome.result, ExportResult::Done) << run.outcome.strText.str();
            if (expected.empty()) {
                expected = run.sink.blocks;
                nExactTrips = OciLite::RoundTrips();
                EXPECT_FALSE(expected.empty());
            } else {
                EXPECT_EQ(run.sink.blocks, expected);
            }
            if (std::string(pszDatabase) == "ENG_FORCE") {
                EXPECT_EQ(OciLite::RoundTrips(), nExactTrips);
            }
        }
    }
}

// Stop and Ctrl+C from another thread: a run that waits a minute in the server's work ends at
// once, stopped (no message, no last words), with nothing written; so does a run whose stop
// came before its first statement, which is then never sent.
TEST(EngineTest, AnInterruptEndsTheCallTheRunWaitsIn)
{
    PrepareEngineTest();
    {
        Schema schema("ENG_BREAK");
        AddProc(schema, "A_PROC");
    }
    for (const bool bBeforeTheRun : {false, true}) {
        SCOPED_TRACE(bBeforeTheRun ? "requested before the run" : "requested during the listing");
        ExportParams params;
        params.interrupt = std::make_shared<DBInterrupt>();
        if (bBeforeTheRun)
            params.interrupt->Request();
        EngineRun run;
        std::atomic<bool> bConnected{false};
        std::atomic<unsigned> nTripsAtLogon{0};
        std::thread breaker;
        OciLite::SetServerWork(60u * 1000u * 1000u);
        const unsigned long nStart = testsys::NowMs();
        if (!bBeforeTheRun) {
            breaker = std::thread([&] {
                // The logon costs no server work; the first statement after it waits a minute
                // once its round trip is under way.
                while (!bConnected.load())
                    std::this_thread::yield();
                while (OciLite::RoundTrips() <= nTripsAtLogon.load())
                    std::this_thread::yield();
                params.interrupt->Request();
            });
        }
        struct : RecordingReporter {
            std::atomic<bool>* pbConnected = nullptr;
            std::atomic<unsigned>* pnTrips = nullptr;
            void LogLine(const CString& strLine) override
            {
                RecordingReporter::LogLine(strLine);
                if (strLine == "Connected.") {
                    *pnTrips = OciLite::RoundTrips();
                    *pbConnected = true;
                }
            }
        } reporter;
        reporter.pbConnected = &bConnected;
        reporter.pnTrips = &nTripsAtLogon;
        params.strUser = kUser;
        params.strPassword = kPassword;
        params.strDatabase = "ENG_BREAK";
        const ExportEnding ending = RunExport(params, run.sink, reporter);
        if (breaker.joinable())
            breaker.join();
        OciLite::SetServerWork(0);
        EXPECT_EQ(ending.result, ExportResult::Stopped);
        EXPECT_LT(testsys::NowMs() - nStart, 30000u);
        EXPECT_TRUE(run.sink.blocks.empty());
        EXPECT_TRUE(reporter.messages.empty());
        EXPECT_FALSE(reporter.bFinished);
    }
}

// ---- Views ----

namespace {

std::string Repeated(size_t nBytes, char ch)
{
    return std::string(nBytes, ch);
}

// A view's text of exactly nBytes: SELECT '<x...>' x FROM dual.
std::string TextOfBytes(size_t nBytes)
{
    const std::string strHead = "SELECT '";
    const std::string strTail = "' x FROM dual";
    return strHead + Repeated(nBytes - strHead.size() - strTail.size(), 'x') + strTail;
}

struct ViewCase {
    OciLiteSchema::View view;
    std::string strBlock;  // empty: not exported
};

std::vector<ViewCase> ViewCases()
{
    const std::string strBlank = "SELECT empno\n\n  FROM emp";
    const std::string strComment = "SELECT empno -- the key;\n  FROM emp";
    const std::string strAmpersand = "SELECT 'A&B' ab FROM dual";
    const std::string strScript = "SELECT 1 x\n  @sub.sql\nFROM dual";
    std::vector<ViewCase> cases = {
        {{"Emp_Alias_V", "SELECT empno id, ename \"Name\" FROM emp", {"ID", "Name"}},
         "CREATE OR REPLACE FORCE VIEW \"Emp_Alias_V\" (\"ID\", \"Name\") AS\n"
         "SELECT empno id, ename \"Name\" FROM emp\n/\n"},
        {{"BLANK_V", strBlank, {"EMPNO"}},
         "CREATE OR REPLACE FORCE VIEW \"BLANK_V\" (\"EMPNO\") AS\n" + strBlank + "\n/\n"},
        {{"COMMENT_V", strComment, {"EMPNO"}},
         "CREATE OR REPLACE FORCE VIEW \"COMMENT_V\" (\"EMPNO\") AS\n" + strComment + "\n/\n"},
        {{"AMP_V", strAmpersand, {"AB"}},
         "CREATE OR REPLACE FORCE VIEW \"AMP_V\" (\"AB\") AS\n" + strAmpersand + "\n/\n"},
        {{"AT_V", strScript, {"X"}},
         "CREATE OR REPLACE FORCE VIEW \"AT_V\" (\"X\") AS\n" + strScript + "\n/\n"},
        {{"EDITION_V", "SELECT * FROM emp_t", {"EMPNO"}, "Y", "CURRENT_USER"},
         "CREATE OR REPLACE FORCE EDITIONING VIEW \"EDITION_V\" (\"EMPNO\") BEQUEATH "
         "CURRENT_USER AS\nSELECT * FROM emp_t\n/\n"},
        {{"EMP_OV",
          "SELECT emp_t(empno) FROM emp",
          {"SYS_NC_ROWINFO$"},
          "N",
          "DEFINER",
          "OF EMP_T WITH OBJECT IDENTIFIER (EMPNO)"},
         ""},
    };
    for (size_t nBytes : {size_t(3999), size_t(4000), size_t(4001), size_t(100000)}) {
        const std::string strName = "LEN_" + std::to_string(nBytes) + "_V";
        const std::string strText = TextOfBytes(nBytes);
        cases.push_back(
            {{strName, strText, {"X"}},
             "CREATE OR REPLACE FORCE VIEW \"" + strName + "\" (\"X\") AS\n" + strText + "\n/\n"});
    }
    return cases;
}

}  // namespace

// Every kind of view, with a package among them: each block as stored, in name order; the
// object view named and left out; the SET lines the views need.
TEST(EngineViewTest, ViewsAreWrittenAsStoredInNameOrder)
{
    PrepareEngineTest();
    const std::vector<ViewCase> cases = ViewCases();
    {
        Schema schema("ENG_VIEWS");
        for (const ViewCase& c : cases)
            schema.AddView(c.view);
        schema.AddObject("EMP_API", "PACKAGE", {"PACKAGE EMP_API IS\n", "END;\n"});
    }
    EngineRun run;
    ExportParams params;
    params.kinds = {"PACKAGE", "VIEW"};
    RunEngine(run, "ENG_VIEWS", params);
    ASSERT_EQ(run.outcome.result, ExportResult::Done) << run.outcome.MessageText().str();
    std::map<std::string, std::string> expected;
    for (const ViewCase& c : cases) {
        if (!c.strBlock.empty())
            expected[c.view.strName + " (VIEW)"] = c.strBlock;
    }
    expected["EMP_API (PACKAGE)"] = "CREATE OR REPLACE PACKAGE EMP_API IS\nEND;\n\n/\n";
    ASSERT_EQ(run.sink.written.size(), expected.size());
    std::vector<std::string> order;
    for (size_t i = 0; i < run.sink.written.size(); ++i) {
        EXPECT_EQ(run.sink.blocks[i], expected[run.sink.written[i]]) << run.sink.written[i];
        order.push_back(run.sink.written[i]);
    }
    const std::vector<std::string> byName = {
        "AMP_V (VIEW)",      "AT_V (VIEW)",       "BLANK_V (VIEW)",     "COMMENT_V (VIEW)",
        "EDITION_V (VIEW)",  "EMP_API (PACKAGE)", "Emp_Alias_V (VIEW)", "LEN_100000_V (VIEW)",
        "LEN_3999_V (VIEW)", "LEN_4000_V (VIEW)", "LEN_4001_V (VIEW)"};
    EXPECT_EQ(order, byName);
    for (const char* pszWarning :
         {"Not exported: EMP_OV (VIEW) is an object view",
          "AT_V (VIEW) line 3 begins with '@': SQL*Plus runs the script it names in place of that "
          "line, so the file does not recreate the unit as stored"}) {
        EXPECT_NE(std::find(run.reporter.lines.begin(), run.reporter.lines.end(), pszWarning),
                  run.reporter.lines.end())
            << pszWarning;
    }
    EXPECT_EQ(SettingsFor(run.sink.jobNeeds).strLines.str(),
              "SET DEFINE OFF\nSET SQLBLANKLINES ON\nSET SQLTERMINATOR OFF\n");

    // Named objects, a long view among them, each its own scope.
    EngineRun named;
    params.objectNames = {"LEN_100000_V", "EMP_API", "Emp_Alias_V"};
    RunEngine(named, "ENG_VIEWS", params);
    ASSERT_EQ(named.outcome.result, ExportResult::Done) << named.outcome.MessageText().str();
    EXPECT_EQ(named.sink.written,
              (std::vector<std::string>{"LEN_100000_V (VIEW)", "EMP_API (PACKAGE)",
                                        "Emp_Alias_V (VIEW)"}));
    for (size_t i = 0; i < named.sink.written.size(); ++i)
        EXPECT_EQ(named.sink.blocks[i], expected[named.sink.written[i]]);

    // Name filters choose views as they choose the other kinds.
    EngineRun filtered;
    params.objectNames.clear();
    params.includePatterns = {"LEN\\_%", "AMP%"};
    params.excludePatterns = {"%100000%"};
    RunEngine(filtered, "ENG_VIEWS", params);
    ASSERT_EQ(filtered.outcome.result, ExportResult::Done) << filtered.outcome.MessageText().str();
    EXPECT_EQ(filtered.sink.written,
              (std::vector<std::string>{"AMP_V (VIEW)", "LEN_3999_V (VIEW)", "LEN_4000_V (VIEW)",
                                        "LEN_4001_V (VIEW)"}));
    for (size_t i = 0; i < filtered.sink.written.size(); ++i)
        EXPECT_EQ(filtered.sink.blocks[i], expected[filtered.sink.written[i]]);
}

// A database before 12.1 has neither TEXT_VC nor BEQUEATH (nor, before 11.2, EDITIONING_VIEW):
// every view is read through TEXT, one round trip each, and its text is the same.
TEST(EngineViewTest, ADatabaseBeforeTwelveOneReadsEveryViewThroughText)
{
    PrepareEngineTest();
    const std::vector<ViewCase> cases = ViewCases();
    {
        Schema schema("ENG_VIEWS_OLD");
        for (const ViewCase& c : cases)
            schema.AddView(c.view);
    }
    ExportParams params;
    params.kinds = {"VIEW"};
    EngineRun current;
    OciLite::ResetCounters();
    RunEngine(current, "ENG_VIEWS_OLD", params);
    ASSERT_EQ(current.outcome.result, ExportResult::Done);
    const unsigned nCurrentTrips = OciLite::RoundTrips();
    for (const char* pszRelease : {"11.2", "10.2"}) {
        SCOPED_TRACE(pszRelease);
        testsys::SetVariable("OCI_LITE_SERVER_VERSION", pszRelease);
        EngineRun old;
        OciLite::ResetCounters();
        RunEngine(old, "ENG_VIEWS_OLD", params);
        testsys::SetVariable("OCI_LITE_SERVER_VERSION", nullptr);
        ASSERT_EQ(old.outcome.result, ExportResult::Done) << old.outcome.MessageText().str();
        ASSERT_EQ(old.sink.blocks.size(), current.sink.blocks.size());
        for (size_t i = 0; i < old.sink.blocks.size(); ++i) {
            std::string strExpected = current.sink.blocks[i];
            const std::string strBequeath = "BEQUEATH CURRENT_USER ";
            if (strExpected.find(strBequeath) != std::string::npos)
                strExpected.erase(strExpected.find(strBequeath), strBequeath.size());
            if (std::string(pszRelease) == "10.2" &&
                strExpected.find("EDITIONING ") != std::string::npos)
                strExpected.erase(strExpected.find("EDITIONING "), 11);
            EXPECT_EQ(old.sink.blocks[i], strExpected) << old.sink.written[i];
        }
        // Each short view a trip of its own instead of the short texts' one query (the long
        // ones take one either way), and one more measure for each set of columns the database
        // lacks.
        unsigned nShort = 0;
        for (const ViewCase& c : cases)
            nShort += c.view.pszTypeText == nullptr && c.view.strText.size() <= 4000 ? 1 : 0;
        const unsigned nExtraMeasures = std::string(pszRelease) == "11.2" ? 1 : 2;
        EXPECT_EQ(OciLite::RoundTrips(), nCurrentTrips - 1 + nShort + nExtraMeasures);
    }
}

// A head line SQL*Plus would not read whole (more than 2,499 characters) gives each column a
// line of its own; a shorter one stays one line.
TEST(EngineViewTest, AHeadTooLongForOneLineGivesEachColumnALine)
{
    for (const int nColumns : {2, 100, 300}) {
        ViewDefinition view;
        view.strText = "SELECT * FROM wide_t";
        std::string strColumns;
        for (int i = 0; i < nColumns; ++i) {
            const std::string strColumn = "COLUMN_NUMBER_" + std::to_string(1000 + i);
            view.columns.emplace_back(strColumn.c_str());
            strColumns += (i == 0 ? "(\"" : nColumns > 100 ? ",\n\"" : ", \"") + strColumn + "\"";
        }
        const std::string strBlock = ViewBlock("WIDE_V", view).str();
        EXPECT_EQ(strBlock, "CREATE OR REPLACE FORCE VIEW \"WIDE_V\" " + strColumns +
                                ") AS\nSELECT * FROM wide_t")
            << nColumns;
    }
}

// The SQL*Plus rules of a statement: only a blank line with more of the statement after it,
// and a line ending in ";", need their SET lines; a PL/SQL unit needs neither.
TEST(EngineViewTest, AStatementNeedsItsOwnSetLines)
{
    struct Case {
        const char* pszBlock;
        bool bStatement;
        const char* pszLines;
    };
    const Case kCases[] = {
        {"CREATE OR REPLACE FORCE VIEW \"V\" AS\nSELECT 1\n\n/\n", true, ""},
        {"CREATE OR REPLACE FORCE VIEW \"V\" AS\nSELECT 1\n  \nFROM dual\n/\n", true,
         "SET SQLBLANKLINES ON\n"},
        {"CREATE OR REPLACE FORCE VIEW \"V\" AS\nSELECT 1; \nFROM dual\n/\n", true,
         "SET SQLTERMINATOR OFF\n"},
        {"CREATE OR REPLACE PROCEDURE P IS\n\nBEGIN NULL;\nEND;\n/\n", false, ""},
    };
    for (const Case& c : kCases) {
        SqlPlusNeeds needs;
        needs.AddText(c.pszBlock, int(std::strlen(c.pszBlock)), c.bStatement);
        EXPECT_EQ(SettingsFor(needs).strLines.str(), c.pszLines) << c.pszBlock;
    }
}

// 500 views of a few hundred bytes cost a few round trips more than the same schema without
// them; a view longer than TEXT_VC holds costs one of its own.
TEST(EngineViewTest, ViewsCostAFewRoundTrips)
{
    PrepareEngineTest();
    for (const char* pszDatabase : {"ENG_VTRIPS0", "ENG_VTRIPS500", "ENG_VTRIPS502"}) {
        Schema schema(pszDatabase);
        schema.Begin();
        for (const char* pszProc : {"P1", "P2", "P3"})
            AddProc(schema, pszProc);
        const int nViews = std::string(pszDatabase) == "ENG_VTRIPS0" ? 0 : 500;
        for (int i = 0; i < nViews; ++i) {
            const std::string strName = "V" + std::to_string(1000 + i);
            schema.AddView({strName, TextOfBytes(200 + i), {"X", "Y"}});
        }
        // An object view longer than every other short one: not read, not measured against.
        OciLiteSchema::View typed{"TYPED_V", TextOfBytes(3000), {"X"}};
        typed.pszTypeText = "OF EMP_T WITH OBJECT IDENTIFIER (X)";
        if (nViews != 0)
            schema.AddView(typed);
        if (std::string(pszDatabase) == "ENG_VTRIPS502") {
            schema.AddView({"LONG1_V", TextOfBytes(4001), {"X"}});
            schema.AddView({"LONG2_V", TextOfBytes(50000), {"X"}});
        }
        schema.Commit();
    }
    unsigned trips[3] = {};
    int i = 0;
    for (const char* pszDatabase : {"ENG_VTRIPS0", "ENG_VTRIPS500", "ENG_VTRIPS502"}) {
        ExportParams params;
        params.kinds = {"PROCEDURE", "VIEW"};
        EngineRun run;
        OciLite::ResetCounters();
        RunEngine(run, pszDatabase, params);
        ASSERT_EQ(run.outcome.result, ExportResult::Done) << run.outcome.MessageText().str();
        trips[i++] = OciLite::RoundTrips();
    }
    // The measure, the short texts and the columns.
    EXPECT_EQ(trips[1], trips[0] + 3);
    EXPECT_EQ(trips[2], trips[1] + 2);
}

// Another owner's views through DBA_VIEWS and DBA_TAB_COLUMNS, for a user who may read the
// dictionary; for one who may not, the run says what is missing.
TEST(EngineViewTest, AnOwnersViewsComeThroughTheDbaViews)
{
    PrepareEngineTest();
    {
        Schema schema("ENG_VOWNER");
        schema.AddUser("HR", "hr", 0);
        schema.AddUser("READER", "reader", 0);
        schema.GrantSelectAnyDictionary("READER");
        OciLiteSchema::View hrView{"DEPT_V", "SELECT deptno FROM dept", {"DEPTNO"}};
        hrView.pszOwner = "HR";
        schema.AddView(hrView);
        schema.AddView({"DEPT_V", "SELECT 'scott' FROM dual", {"WHO"}});
    }
    for (const bool bReader : {true, false}) {
        ExportParams params;
        params.kinds = {"VIEW"};
        params.strOwner = "HR";
        params.strUser = bReader ? "READER" : kUser;
        params.strPassword = bReader ? "reader" : kPassword;
        params.strDatabase = "ENG_VOWNER";
        EngineRun run;
        run.outcome = RunExport(params, run.sink, run.reporter);
        if (!bReader) {
            EXPECT_EQ(run.outcome.result, ExportResult::ListingFailed);
            continue;
        }
        ASSERT_EQ(run.outcome.result, ExportResult::Done) << run.outcome.MessageText().str();
        ASSERT_EQ(run.sink.blocks.size(), 1u);
        EXPECT_EQ(run.sink.blocks[0],
                  "CREATE OR REPLACE FORCE VIEW \"DEPT_V\" (\"DEPTNO\") AS\nSELECT deptno FROM "
                  "dept\n/\n");
    }
}
