// LargeObjectProcessTest.cpp
//
// qmexport with objects larger than the pieces the engine hands a block on in: each block is
// written whole or not at all, in the single file and in a folder, whatever piece the run fails
// in; an unchanged large file is not written again; --check finds a large block's differences.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/qmexport/QmexportFixture.h"

using namespace QmexportTest;

namespace {

// Some three pieces of source; the line that holds a character WE8MSWIN1252 lacks lies in the
// third.
constexpr int kBigLines = 70000;
constexpr int kJapaneseLine = 60000;

std::vector<std::string> BigSource(const char* pszName)
{
    std::vector<std::string> lines{std::string("PROCEDURE ") + pszName + " IS\n"};
    for (int i = 2; i < kBigLines; ++i) {
        lines.push_back(i == kJapaneseLine ? "  -- \xE6\x97\xA5\n"
                                           : "  v_" + std::to_string(i) + " := " +
                                                 std::to_string(i) + "; -- some padding here\n");
    }
    lines.push_back("END;\n");
    return lines;
}

const char kSmallLine[] = "PROCEDURE B_SMALL IS BEGIN NULL; END;\n";

RunResult RunBig(const std::string& strTarget, const char* pszNlsLang,
                 const char* pszFlags = "--quiet")
{
    RunOptions options;
    options.environment = {{"NLS_LANG", pszNlsLang}};
    return RunQmexport("--user SCOTT --database QL_BIG " + strTarget + " " + pszFlags, options);
}

const char kUtf8[] = "AMERICAN_AMERICA.AL32UTF8";
const char kWestern[] = "AMERICAN_AMERICA.WE8MSWIN1252";
const char kUnwritable[] =
    "A_BIG (PROCEDURE) line 60000: the character U+65E5 cannot be written in WE8MSWIN1252";

bool Contains(const std::string& strText, const std::string& strPart)
{
    return strText.find(strPart) != std::string::npos;
}

}  // namespace

TEST(QmexportLargeObjectTest, TheSingleFileHoldsOnlyWholeBlocks)
{
    const std::vector<std::string> big = BigSource("A_BIG");
    {
        Schema schema("QL_BIG");
        schema.AddObject("A_BIG", "PROCEDURE", big);
        schema.AddObject("B_SMALL", "PROCEDURE", {kSmallLine});
        schema.AddObject("C_BIG", "PROCEDURE", BigSource("C_BIG"));
    }
    const std::string strBig = BlockOf(big);
    TempFolder folder("large_file");
    const std::string strFile = folder / "all.sql";
    const std::string strTarget = "--file \"" + strFile + "\" --object A_BIG --object B_SMALL";

    RunResult run = RunBig(strTarget, kUtf8);
    ASSERT_EQ(run.nExitCode, 0) << run.strErr;
    const std::string strWritten = strBig + BlockOf({kSmallLine});
    EXPECT_EQ(ReadFile(strFile), strWritten);
    EXPECT_EQ(ListFiles(folder.Path()), std::vector<std::string>{"all.sql"});

    // The first block fails in its third piece: the previous file stays as it was.
    run = RunBig(strTarget, kWestern);
    EXPECT_EQ(run.nExitCode, 1);
    EXPECT_TRUE(Contains(run.strErr, kUnwritable)) << run.strErr;
    EXPECT_TRUE(Contains(run.strErr, "The file was not changed.")) << run.strErr;
    EXPECT_EQ(ReadFile(strFile), strWritten);
    EXPECT_EQ(ListFiles(folder.Path()), std::vector<std::string>{"all.sql"});

    // A later block fails in its third piece: the file ends with the block before it.
    run = RunBig("--file \"" + strFile + "\" --object B_SMALL --object C_BIG", kWestern);
    EXPECT_EQ(run.nExitCode, 1);
    EXPECT_TRUE(Contains(run.strErr, "The file holds the 1 complete objects before it."))
        << run.strErr;
    EXPECT_EQ(ReadFile(strFile), BlockOf({kSmallLine}));

    // --check: in step, bytes after the last block, one byte of the large block changed.
    ASSERT_EQ(RunBig(strTarget, kUtf8).nExitCode, 0);
    EXPECT_EQ(ReadFile(strFile), strWritten);
    // Not quiet: a run in step says what it checked (one that died would say nothing).
    run = RunBig(strTarget, kUtf8, "--check");
    EXPECT_EQ(run.nExitCode, 0) << run.strErr;
    EXPECT_EQ(run.strOut, "");
    EXPECT_NE(run.strErr.find("Checked"), std::string::npos) << run.strErr;
    WriteFile(strFile, strWritten + "-- by hand\n");
    run = RunBig(strTarget, kUtf8, "--quiet --check");
    EXPECT_EQ(run.nExitCode, 4) << run.strErr;
    EXPECT_EQ(run.strOut, "changed " + strFile + "\n");
    std::string strEdited = strWritten;
    strEdited[strEdited.find("v_50000 := 50000")] = 'w';
    WriteFile(strFile, strEdited);
    run = RunBig(strTarget, kUtf8, "--quiet --check");
    EXPECT_EQ(run.nExitCode, 4) << run.strErr;
    EXPECT_EQ(run.strOut, "changed " + strFile + "\nchanged A_BIG (PROCEDURE)\n");
}

TEST(QmexportLargeObjectTest, AFolderReplacesALargeFileWholeOrNotAtAll)
{
    const std::vector<std::string> big = BigSource("A_BIG");
    {
        Schema schema("QL_BIG");
        schema.AddObject("A_BIG", "PROCEDURE", big);
        schema.AddObject("B_SMALL", "PROCEDURE", {kSmallLine});
    }
    TempFolder folder("large_dir");
    const std::string strTarget = "--dir \"" + folder.Bare() + "\"";
    const std::vector<std::string> kFiles = {".qmexport-files", "A_BIG.prc", "B_SMALL.prc",
                                             "install.sql"};

    RunResult run = RunBig(strTarget, kUtf8);
    ASSERT_EQ(run.nExitCode, 0) << run.strErr;
    EXPECT_EQ(ReadFile(folder / "A_BIG.prc"), BlockOf(big));
    EXPECT_EQ(ListFiles(folder.Path()), kFiles);

    // Unchanged: not written again.
    SetOldTime(folder / "A_BIG.prc");
    const auto oldTime = WriteTime(folder / "A_BIG.prc");
    run = RunBig(strTarget, kUtf8);
    ASSERT_EQ(run.nExitCode, 0) << run.strErr;
    EXPECT_EQ(WriteTime(folder / "A_BIG.prc"), oldTime);

    // Edited by hand: --check names it, the export writes it anew; a failure in the third
    // piece leaves it as it was and no temporary file behind.
    std::string strEdited = BlockOf(big);
    strEdited[strEdited.find("v_50000 := 50000")] = 'w';
    WriteFile(folder / "A_BIG.prc", strEdited);
    run = RunBig(strTarget, kUtf8, "--quiet --check");
    EXPECT_EQ(run.nExitCode, 4) << run.strErr;
    EXPECT_EQ(run.strOut, "changed A_BIG.prc\n");
    run = RunBig(strTarget, kWestern);
    EXPECT_EQ(run.nExitCode, 1);
    EXPECT_TRUE(Contains(run.strErr, kUnwritable)) << run.strErr;
    EXPECT_EQ(ReadFile(folder / "A_BIG.prc"), strEdited);
    EXPECT_EQ(ListFiles(folder.Path()), kFiles);
    run = RunBig(strTarget, kUtf8);
    ASSERT_EQ(run.nExitCode, 0) << run.strErr;
    EXPECT_EQ(ReadFile(folder / "A_BIG.prc"), BlockOf(big));

    // Its content followed by more: cut back to the content.
    WriteFile(folder / "A_BIG.prc", BlockOf(big) + "-- by hand\n");
    ASSERT_EQ(RunBig(strTarget, kUtf8).nExitCode, 0);
    EXPECT_EQ(ReadFile(folder / "A_BIG.prc"), BlockOf(big));

    // A file that is not there: created whole.
    RemoveFile(folder / "A_BIG.prc");
    run = RunBig(strTarget, kUtf8, "--quiet --check");
    EXPECT_EQ(run.strOut, "added A_BIG.prc\n");
    ASSERT_EQ(RunBig(strTarget, kUtf8).nExitCode, 0);
    EXPECT_EQ(ReadFile(folder / "A_BIG.prc"), BlockOf(big));
    EXPECT_EQ(ListFiles(folder.Path()), kFiles);
}
