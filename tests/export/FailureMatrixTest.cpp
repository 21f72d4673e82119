// FailureMatrixTest.cpp
//
// Every end of a run that fails, with and without a previous file at the path: the previous
// file survives every failure before the first complete block, the message names what failed
// and where, its lines end the log, and the file holds only complete blocks.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "app/JobRecord.h"
#include "tests/export/ExportHarness.h"

using namespace ExportTest;

namespace {

const char kBlockA[] = "CREATE OR REPLACE PROCEDURE A_PROC IS BEGIN NULL; END;\n\n/\n";
const char kPrevious[] = "-- the previous export\n";

enum class FileAfter { Unchanged, BlockA };

struct FailureCase {
    const char* pszName;
    // Adds the schema's objects; the database is named after the case.
    std::function<void(Schema&)> fill;
    // The output file's name in the test folder ("" for the case's own).
    std::string strFile;
    std::string strObject;  // "" for all objects
    std::string strPassword = kPassword;
    std::string strDatabase;  // "" for the case's own database
    // The message box's lines, %P standing for the path; its lines end the log.
    std::vector<std::string> box;
    // Extra lines the log ends with when they differ from the box (logon: its own line).
    std::vector<std::string> lastLines;
    FileAfter after = FileAfter::Unchanged;
    bool bBeforeLogon = false;
    // The path cannot hold a previous file (its folder is missing, or it is too long).
    bool bNoFileThere = false;
};

std::string WithPath(std::string strText, const std::string& strPath)
{
    const size_t nAt = strText.find("%P");
    if (nAt != std::string::npos)
        strText.replace(nAt, 2, strPath);
    return strText;
}

std::vector<std::string> SplitBox(const std::string& strText)
{
    std::vector<std::string> lines;
    size_t nStart = 0;
    for (;;) {
        const size_t nBreak = strText.find("\r\n", nStart);
        lines.push_back(strText.substr(nStart, nBreak - nStart));
        if (nBreak == std::string::npos || nBreak + 2 == strText.size())
            return lines;
        nStart = nBreak + 2;
    }
}

void AddA(Schema& schema)
{
    schema.AddObject("A_PROC", "PROCEDURE", {"PROCEDURE A_PROC IS BEGIN NULL; END;\n"});
}

std::vector<FailureCase> Cases()
{
    // Names whose first 512 bytes (128 characters of up to 4 bytes) are the same.
    const std::string strLong(512, 'N');
    return {
        {"logon",
         AddA,
         "",
         "",
         "wrong",
         "",
         {"ORA-01017: invalid username/password; logon denied"},
         {"Error while connect to specified database"}},
        {"nothing",
         [](Schema& s) { s.AddObject("A_VIEW", "VIEW", {"SELECT 1 FROM DUAL\n"}); },
         "",
         "",
         kPassword,
         "",
         {"Object not found."},
         {""}},
        {"not_found", AddA, "", "NO_SUCH_PROC", kPassword, "", {"Object not found."}, {""}},
        {"no_source_first",
         [](Schema& s) {
             s.AddObjectWithoutSource("A_PROC", "PROCEDURE");
             s.AddObject("B_PROC", "PROCEDURE", {"PROCEDURE B_PROC IS BEGIN NULL; END;\n"});
         },
         "",
         "",
         kPassword,
         "",
         {"Source doesn't exists.", "A_PROC (PROCEDURE). The file was not changed."},
         {}},
        {"no_source_second",
         [](Schema& s) {
             AddA(s);
             s.AddObjectWithoutSource("B_PROC", "PROCEDURE");
         },
         "",
         "",
         kPassword,
         "",
         {"Source doesn't exists.",
          "B_PROC (PROCEDURE). The file holds the 1 complete objects before it."},
         {},
         FileAfter::BlockA},
        {"cut_line",
         [](Schema& s) {
             AddA(s);
             s.AddObject("B_PROC", "PROCEDURE",
                         {"PROCEDURE B_PROC IS\n", std::string(17000, 'x') + "\n", "END;\n"});
         },
         "",
         "",
         kPassword,
         "",
         {"ORA-*", "B_PROC (PROCEDURE). The file holds the 1 complete objects before it."},
         {},
         FileAfter::BlockA},
        // Two names that share their first 512 bytes: neither may be exported under the cut name.
        {"cut_name",
         [strLong](Schema& s) {
             AddA(s);
             s.AddObject((strLong + "_ONE").c_str(), "PROCEDURE",
                         {"PROCEDURE ONE IS BEGIN NULL; END;\n"});
             s.AddObject((strLong + "_TWO").c_str(), "PROCEDURE",
                         {"PROCEDURE TWO IS BEGIN NULL; END;\n"});
         },
         "",
         "",
         kPassword,
         "",
         {"ORA-24345: A Truncation or null fetch error occurred",
          "An object name or type in the list is longer than 128 bytes: " + strLong},
         {}},
        {"folder",
         AddA,
         "a_folder",
         "",
         kPassword,
         "",
         {"Error while create specified file.", "%P: The path names a folder, not a file."},
         {},
         FileAfter::Unchanged,
         true},
        {"missing_folder",
         AddA,
         "no_such_folder\\out.sql",
         "",
         kPassword,
         "",
         {"Error while create specified file.", "%P: *"},
         {},
         FileAfter::Unchanged,
         true,
         true},
        {"too_long",
         AddA,
         std::string(270, 'l') + ".sql",
         "",
         kPassword,
         "",
         {"Error while create specified file.", "%P: *"},
         {},
         FileAfter::Unchanged,
         true,
         true},
        {"read_only",
         AddA,
         "read_only.sql",
         "",
         kPassword,
         "",
         {"Error while delete old file %P", "*"},
         {},
         FileAfter::Unchanged,
         true},
    };
}

// A box line ending in "*" only has to begin with what stands before it.
bool LineMatches(const std::string& strExpected, const std::string& strActual)
{
    if (!strExpected.empty() && strExpected.back() == '*')
        return strActual.compare(0, strExpected.size() - 1, strExpected, 0,
                                 strExpected.size() - 1) == 0 &&
               strActual.size() >= strExpected.size();
    return strExpected == strActual;
}

class FailureMatrixTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override { PrepareTest(); }
};

}  // namespace

TEST_P(FailureMatrixTest, EveryFailedEndKeepsThePreviousFileAndSaysWhere)
{
    const bool bFileBefore = GetParam();
    for (const FailureCase& failure : Cases()) {
        SCOPED_TRACE(std::string(failure.pszName) +
                     (bFileBefore ? " with a previous file" : " without a file"));
        const std::string strDatabase = std::string("FM_") + failure.pszName;
        Schema schema(strDatabase.c_str());
        failure.fill(schema);
        const std::string strPath =
            TestFolder() +
            (failure.strFile.empty() ? std::string(failure.pszName) + ".sql" : failure.strFile);
        const bool bFolder = std::string(failure.pszName) == "folder";
        const bool bReadOnly = std::string(failure.pszName) == "read_only";
        ::SetFileAttributesA(strPath.c_str(), FILE_ATTRIBUTE_NORMAL);
        ::DeleteFileA(strPath.c_str());
        if (bFolder)
            ::CreateDirectoryA(strPath.c_str(), nullptr);
        // A read-only file is a previous file by nature.
        const bool bPrevious = (bFileBefore || bReadOnly) && !bFolder && !failure.bNoFileThere;
        if (bPrevious)
            WriteFile(strPath, kPrevious);
        if (bReadOnly)
            ::SetFileAttributesA(strPath.c_str(), FILE_ATTRIBUTE_READONLY);

        Job job{strDatabase, strPath, failure.strObject};
        job.strPassword = failure.strPassword;
        const unsigned nCallsBefore = OciLite::CallCount();
        MessageBoxWatcher boxes;
        ASSERT_TRUE(RunJob(job));
        ::SetFileAttributesA(strPath.c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(g_bRunning, 0);

        ASSERT_EQ(boxes.Count(), 1u);
        const std::vector<std::string> box = SplitBox(boxes.Texts()[0]);
        ASSERT_EQ(box.size(), failure.box.size()) << boxes.Texts()[0];
        for (size_t i = 0; i < box.size(); ++i)
            EXPECT_TRUE(LineMatches(WithPath(failure.box[i], strPath), box[i])) << box[i];

        const std::vector<std::string> lines = LogWindow::Instance().Lines();
        const std::vector<std::string>& last = failure.lastLines.empty() ? box : failure.lastLines;
        ASSERT_GE(lines.size(), last.size());
        EXPECT_TRUE(std::equal(last.begin(), last.end(), lines.end() - long(last.size())))
            << "last log line: " << lines.back();
        EXPECT_EQ(
            std::count(lines.begin(), lines.end(), std::string("Source uploaded. File created.")),
            0);
        if (failure.bBeforeLogon) {
            EXPECT_EQ(OciLite::CallCount(), nCallsBefore);
            EXPECT_EQ(std::count(lines.begin(), lines.end(), "Connect to SCOTT@" + strDatabase), 0);
        }

        if (bFolder) {
            const DWORD nAttributes = ::GetFileAttributesA(strPath.c_str());
            EXPECT_TRUE(nAttributes != INVALID_FILE_ATTRIBUTES &&
                        (nAttributes & FILE_ATTRIBUTE_DIRECTORY));
            ::RemoveDirectoryA(strPath.c_str());
        } else if (failure.after == FileAfter::BlockA) {
            EXPECT_EQ(ReadFile(strPath), kBlockA);
        } else if (bPrevious) {
            EXPECT_EQ(ReadFile(strPath), kPrevious);
        } else {
            EXPECT_FALSE(FileExists(strPath));
        }
        ::DeleteFileA(strPath.c_str());
    }
}

INSTANTIATE_TEST_SUITE_P(PreviousFile, FailureMatrixTest, ::testing::Bool());
