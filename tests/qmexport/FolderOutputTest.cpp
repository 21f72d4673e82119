// FolderOutputTest.cpp
//
// The folder sink on its own, driven as the export engine drives it: Check, one Write per
// block, Complete after the last. Re-runs, dropped objects, files that are not ours, case
// twins, runs over named objects, and runs that end early. (Re-runs over the same schema and
// dropped objects are checked through the program itself, in ProcessTest.cpp.)
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qmexport/FolderOutput.h"
#include "tests/qmexport/FolderSinkRun.h"
#include "tests/qmexport/QmexportFixture.h"

using namespace QmexportTest;

namespace {

const std::vector<Block> kOtherKinds = {
    {"ADDRESS_T", "TYPE", "CREATE OR REPLACE TYPE ADDRESS_T AS OBJECT (X NUMBER);\n/\n"},
    {"ADDRESS_T", "TYPE BODY", "CREATE OR REPLACE TYPE BODY ADDRESS_T AS\nEND;\n/\n"},
    {"AUDIT_TRG", "TRIGGER", "CREATE OR REPLACE TRIGGER AUDIT_TRG\nBEGIN NULL; END;\n/\n"},
};

std::vector<Block> AllKinds()
{
    std::vector<Block> blocks = kSchema;
    blocks.insert(blocks.end(), kOtherKinds.begin(), kOtherKinds.end());
    return blocks;
}

const std::vector<CString> kAllKinds = {"PACKAGE", "PACKAGE BODY", "PROCEDURE", "FUNCTION",
                                        "TYPE",    "TYPE BODY",    "TRIGGER"};

const char kAllKindsInstall[] =
    "SET DEFINE "
    "OFF\n@@ADDRESS_T.tps\n@@PKG_A.pks\n@@FUNC_B.fnc\n@@PROC_C.prc\n@@ADDRESS_T.tpb\n@@PKG_A.pkb\n"
    "@@AUDIT_TRG.trg\n";

}  // namespace

TEST(FolderOutputTest, EveryKindHasItsExtensionAndPlaceInTheInstallScript)
{
    TempFolder folder("sink_kinds");
    const SinkRun run = RunSink(folder.Path(), AllKinds(), true, true, kAllKinds);
    ASSERT_TRUE(run.bCompleted);
    EXPECT_EQ(ReadFile(folder / "ADDRESS_T.tps"), kOtherKinds[0].strText);
    EXPECT_EQ(ReadFile(folder / "ADDRESS_T.tpb"), kOtherKinds[1].strText);
    EXPECT_EQ(ReadFile(folder / "AUDIT_TRG.trg"), kOtherKinds[2].strText);
    EXPECT_EQ(ReadFile(folder / "install.sql"), kAllKindsInstall);
}

// A run with fewer kinds removes stale files of its own kinds only; the others stay in the
// folder, in the manifest and in install.sql, and a later run with every kind still removes
// them when their objects are gone.
TEST(FolderOutputTest, AWholeRunRemovesStaleFilesOnlyOfTheKindsItExports)
{
    TempFolder folder("sink_kinds_stale");
    ASSERT_TRUE(RunSink(folder.Path(), AllKinds(), true, true, kAllKinds).bCompleted);
    const std::vector<Block> fewer = {kSchema[0], kSchema[1], kSchema[2]};

    ASSERT_TRUE(RunSink(folder.Path(), fewer).bCompleted);
    EXPECT_FALSE(FileExists(folder / "PROC_C.prc"));
    for (const char* pszFile : {"ADDRESS_T.tps", "ADDRESS_T.tpb", "AUDIT_TRG.trg"})
        EXPECT_TRUE(FileExists(folder / pszFile)) << pszFile;
    EXPECT_EQ(
        ReadFile(folder / "install.sql"),
        "SET DEFINE OFF\n@@ADDRESS_T.tps\n@@PKG_A.pks\n@@FUNC_B.fnc\n@@ADDRESS_T.tpb\n@@PKG_A.pkb\n"
        "@@AUDIT_TRG.trg\n");

    const std::vector<Block> triggerGone = {kSchema[0], kOtherKinds[0], kOtherKinds[1]};
    ASSERT_TRUE(RunSink(folder.Path(), triggerGone, true, true,
                        {"TRIGGER", "TYPE", "TYPE BODY", "FUNCTION"})
                    .bCompleted);
    EXPECT_FALSE(FileExists(folder / "AUDIT_TRG.trg"));
    EXPECT_TRUE(FileExists(folder / "PKG_A.pks"));
    EXPECT_EQ(ReadFile(folder / "install.sql"),
              "SET DEFINE "
              "OFF\n@@ADDRESS_T.tps\n@@PKG_A.pks\n@@FUNC_B.fnc\n@@ADDRESS_T.tpb\n@@PKG_A.pkb\n");
}

TEST(FolderOutputTest, CaseTwinsGetFilesOfTheirOwnAndSoloMixedCaseStaysAsStored)
{
    TempFolder folder("sink_twins");
    const std::vector<Block> blocks = {
        {"ABC", "PROCEDURE", "CREATE OR REPLACE PROCEDURE ABC IS BEGIN NULL; END;\n/\n"},
        {"Abc", "PROCEDURE", "CREATE OR REPLACE PROCEDURE \"Abc\" IS BEGIN NULL; END;\n/\n"},
        {"Solo", "FUNCTION",
         "CREATE OR REPLACE FUNCTION \"Solo\" RETURN NUMBER IS BEGIN RETURN 1; END;\n/\n"},
        {"abc", "PROCEDURE", "CREATE OR REPLACE PROCEDURE \"abc\" IS BEGIN NULL; END;\n/\n"},
    };
    const SinkRun run = RunSink(folder.Path(), blocks);
    ASSERT_TRUE(run.bCompleted);
    EXPECT_EQ(run.nWritten, 4);
    EXPECT_EQ(ReadFile(folder / "ABC.prc"), blocks[0].strText);
    EXPECT_EQ(ReadFile(folder / "A%62%63.prc"), blocks[1].strText);
    EXPECT_EQ(ReadFile(folder / "Solo.fnc"), blocks[2].strText);
    EXPECT_EQ(ReadFile(folder / "%61%62%63.prc"), blocks[3].strText);
    EXPECT_EQ(ReadFile(folder / "install.sql"),
              "SET DEFINE OFF\n@@Solo.fnc\n@@ABC.prc\n@@A%62%63.prc\n@@%61%62%63.prc\n");
}

TEST(FolderOutputTest, NamedObjectsAddAndUpdateButRemoveNothing)
{
    TempFolder folder("sink_named");
    ASSERT_TRUE(RunSink(folder.Path(), kSchema).bCompleted);
    const std::vector<Block> one = {
        {"NEW_P", "PROCEDURE", "CREATE OR REPLACE PROCEDURE NEW_P IS BEGIN NULL; END;\n/\n"}};
    const SinkRun run = RunSink(folder.Path(), one, false);
    ASSERT_TRUE(run.bCompleted);
    for (const char* pszFile : {"FUNC_B.fnc", "PKG_A.pks", "PKG_A.pkb", "PROC_C.prc", "NEW_P.prc"})
        EXPECT_TRUE(FileExists(folder / pszFile)) << pszFile;
    EXPECT_EQ(
        ReadFile(folder / "install.sql"),
        "SET DEFINE OFF\n@@PKG_A.pks\n@@FUNC_B.fnc\n@@NEW_P.prc\n@@PROC_C.prc\n@@PKG_A.pkb\n");
}

// A named-objects run sees the folder's other objects as possible twins, so an object keeps
// the file name the whole-schema run gave it.
TEST(FolderOutputTest, NamedObjectsKeepTheirTwinEscapes)
{
    TempFolder folder("sink_named_twin");
    const std::vector<Block> both = {{"ABC", "PROCEDURE", "A\n/\n"},
                                     {"abc", "PROCEDURE", "a\n/\n"}};
    ASSERT_TRUE(RunSink(folder.Path(), both).bCompleted);
    const std::vector<Block> lower = {{"abc", "PROCEDURE", "a2\n/\n"}};
    ASSERT_TRUE(RunSink(folder.Path(), lower, false).bCompleted);
    EXPECT_EQ(ReadFile(folder / "%61%62%63.prc"), "a2\n/\n");
    EXPECT_EQ(ReadFile(folder / "ABC.prc"), "A\n/\n");
    EXPECT_EQ(ListFiles(folder.Path()).size(), 4u);
}

// A run that ends before Complete (stopped or failed): the files written are whole, no
// temporary file is left, the manifest already names them, install.sql is the old one.
TEST(FolderOutputTest, ARunThatEndsEarlyForgetsNothingItWrote)
{
    TempFolder folder("sink_early");
    const std::vector<Block> first = {kSchema[0]};
    ASSERT_TRUE(RunSink(folder.Path(), first).bCompleted);

    std::vector<Block> partial = {kSchema[0], kSchema[1]};
    const SinkRun run = RunSink(folder.Path(), partial, true, false);
    EXPECT_TRUE(run.bWritten);
    EXPECT_EQ(run.nWritten, 2);
    EXPECT_EQ(run.strState.str(), "The folder holds the 2 complete objects written before it.");
    const std::vector<std::string> expectedFiles = {".qmexport-files", "FUNC_B.fnc", "PKG_A.pks",
                                                    "install.sql"};
    EXPECT_EQ(ListFiles(folder.Path()), expectedFiles);
    EXPECT_EQ(ReadFile(folder / "PKG_A.pks"), kSchema[1].strText);
    EXPECT_EQ(ReadFile(folder / "install.sql"), "SET DEFINE OFF\n@@FUNC_B.fnc\n");
    const std::string strManifest = ReadFile(folder / ".qmexport-files");
    EXPECT_NE(strManifest.find("FUNC_B.fnc\n"), std::string::npos);
    EXPECT_NE(strManifest.find("PKG_A.pks\n"), std::string::npos);

    // The next whole run over a schema without PKG_A still removes it.
    ASSERT_TRUE(RunSink(folder.Path(), first).bCompleted);
    EXPECT_FALSE(FileExists(folder / "PKG_A.pks"));
}

TEST(FolderOutputTest, CheckCreatesAMissingFolderAndRefusesAFile)
{
    TempFolder folder("sink_check");
    const std::string strNested = folder / "a/b/c";
    EXPECT_TRUE(RunSink(strNested, kSchema).bCompleted);
    EXPECT_TRUE(FileExists(strNested + kSeparator + "install.sql"));

    WriteFile(folder / "plain.txt", "x");
    FolderOutput sink(Wide(folder / "plain.txt"), true);
    ExportFailure failure;
    EXPECT_FALSE(sink.Check(failure));
    EXPECT_EQ(failure.strText.str(), "Error while create specified folder.");
    EXPECT_EQ(ReadFile(folder / "plain.txt"), "x");
}

TEST(FolderOutputTest, LeftoverTemporariesOfAKilledRunAreRemoved)
{
    TempFolder folder("sink_leftover");
    WriteFile(folder / ".qmexport-4242-1.tmp", "half a blo");
    WriteFile(folder / "user.tmp", "mine");
    ASSERT_TRUE(RunSink(folder.Path(), kSchema).bCompleted);
    EXPECT_FALSE(FileExists(folder / ".qmexport-4242-1.tmp"));
    EXPECT_TRUE(FileExists(folder / "user.tmp"));
}

TEST(FolderOutputTest, ACutManifestIsMendedBeforeItGrows)
{
    TempFolder folder("sink_cut");
    WriteFile(folder / ".qmexport-files", "# x\nOLD_P.prc\nHALF_P.pr");
    WriteFile(folder / "OLD_P.prc", "old\n");
    ASSERT_TRUE(RunSink(folder.Path(), kSchema).bCompleted);
    EXPECT_FALSE(FileExists(folder / "OLD_P.prc"));
    const std::string strManifest = ReadFile(folder / ".qmexport-files");
    EXPECT_EQ(strManifest.find("HALF"), std::string::npos);
    EXPECT_EQ(strManifest.back(), '\n');
}

TEST(FolderOutputTest, AListThatCannotBeReadStopsTheRunBeforeAnyWrite)
{
    TempFolder folder("sink_locked");
    ASSERT_TRUE(RunSink(folder.Path(), kSchema).bCompleted);
    const std::string strBefore = ReadFile(folder / ".qmexport-files");
    ExportFailure failure;
    {
        const ExclusiveHold hold(folder / ".qmexport-files");
        if (!hold.IsHeld())
            GTEST_SKIP() << "this system has no open that keeps others from reading a file";
        FolderOutput sink(Wide(folder.Path()), true);
        EXPECT_FALSE(sink.Check(failure));
    }
    ASSERT_EQ(failure.details.size(), 1u) << failure.strText.str();
    EXPECT_NE(failure.details[0].Find(".qmexport-files"), -1) << failure.details[0].str();
    EXPECT_EQ(ReadFile(folder / ".qmexport-files"), strBefore);
}
