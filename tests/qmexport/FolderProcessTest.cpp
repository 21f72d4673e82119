// FolderProcessTest.cpp
//
// qmexport.exe --dir as a scheduled job runs it, against an oci-lite schema holding every
// kind: the files and install.sql of --kinds all, a later run with the default kinds that
// keeps the other kinds' files, names in UTF-8, and a hostile manifest line reported on
// standard error under --quiet while the file it points at stays.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/Text.h"
#include "tests/qmexport/QmexportFixture.h"

using namespace QmexportTest;

namespace {

struct KindObject {
    const char* pszName;
    const char* pszType;
    const char* pszLine;
    const char* pszFile;
};

// "\xC3\x84PFEL" is ÄPFEL and "\xC3\xA4pfel" äpfel: case twins whose names are not ASCII.
const KindObject kEveryKind[] = {
    {"ADDR_T", "TYPE", "TYPE ADDR_T AS OBJECT (X NUMBER);\n", "ADDR_T.tps"},
    {"ADDR_T", "TYPE BODY", "TYPE BODY ADDR_T AS\nEND;\n", "ADDR_T.tpb"},
    {"AUD_TRG", "TRIGGER", "TRIGGER AUD_TRG BEFORE INSERT ON T FOR EACH ROW\nBEGIN NULL; END;\n",
     "AUD_TRG.trg"},
    {"FUNC_B", "FUNCTION", "FUNCTION FUNC_B RETURN NUMBER IS BEGIN RETURN 1; END;\n", "FUNC_B.fnc"},
    {"PKG_A", "PACKAGE", "PACKAGE PKG_A IS\nEND;\n", "PKG_A.pks"},
    {"PKG_A", "PACKAGE BODY", "PACKAGE BODY PKG_A IS\nEND;\n", "PKG_A.pkb"},
    {"\xC3\x84PFEL", "PROCEDURE", "PROCEDURE UPPER_APPLE IS BEGIN NULL; END;\n",
     "\xC3\x84PFEL.prc"},
    {"\xC3\xA4pfel", "PROCEDURE", "PROCEDURE LOWER_APPLE IS BEGIN NULL; END;\n",
     "%C3%A4%70%66%65%6C.prc"},
};

// install.sql names the files in the system code page.
std::string EveryKindInstall()
{
    return "SET DEFINE OFF\n@@ADDR_T.tps\n@@PKG_A.pks\n@@FUNC_B.fnc\n@@" +
           FromWide(Wide("\xC3\x84PFEL.prc")) +
           "\n@@%C3%A4%70%66%65%6C.prc\n@@ADDR_T.tpb\n@@PKG_A.pkb\n@@AUD_TRG.trg\n";
}

std::string FolderArgs(const TempFolder& folder, const std::string& strMore)
{
    return "--user SCOTT --database QX_FOLDER_KINDS --dir \"" + folder.Bare() + "\" " + strMore;
}

void ExpectEveryKindsFile(const TempFolder& folder)
{
    for (const KindObject& object : kEveryKind) {
        const std::string strBlock = std::string("CREATE OR REPLACE ") + object.pszLine + "\n/\n";
        EXPECT_EQ(ReadFile(folder / object.pszFile), strBlock) << object.pszName;
    }
}

}  // namespace

TEST(QmexportFolderTest, EveryKindThenTheDefaultKindsKeepTheOthersFiles)
{
    {
        Schema schema("QX_FOLDER_KINDS");
        for (const KindObject& object : kEveryKind)
            schema.AddObject(object.pszName, object.pszType, {object.pszLine});
    }
    TempFolder outside("folder_outside");
    WriteFile(outside / "victim.txt", "victim\n");
    TempFolder folder("folder_kinds");

    RunResult run = RunQmexport(FolderArgs(folder, "--kinds all --quiet"));
    ASSERT_EQ(run.nExitCode, 0) << run.strErr;
    EXPECT_EQ(run.strErr, "");
    ExpectEveryKindsFile(folder);
    EXPECT_EQ(ReadFile(folder / "install.sql"), EveryKindInstall());

    // The default kinds, and a manifest line someone added that leads out of the folder.
    const std::string strHostile =
        NativePath("../") +
        outside.Path().substr(outside.Path().rfind(kSeparator[0], outside.Path().size() - 2) + 1) +
        "victim.txt";
    WriteFile(folder / ".qmexport-files", ReadFile(folder / ".qmexport-files") + strHostile + "\n");
    run = RunQmexport(FolderArgs(folder, "--quiet"));
    ASSERT_EQ(run.nExitCode, 0) << run.strErr;
    EXPECT_EQ(run.strErr, "Ignored in .qmexport-files: " + strHostile + "\n");
    ExpectEveryKindsFile(folder);
    EXPECT_EQ(ReadFile(folder / "install.sql"), EveryKindInstall());
    EXPECT_EQ(ReadFile(outside / "victim.txt"), "victim\n");
    EXPECT_EQ(ReadFile(folder / ".qmexport-files").find("victim"), std::string::npos);
}

TEST(QmexportFolderTest, AnUnknownKindIsAUsageError)
{
    TempFolder folder("folder_bogus");
    const RunResult run = RunQmexport(FolderArgs(folder, "--kinds PACKAGE,BOGUS"));
    EXPECT_EQ(run.nExitCode, 2);
    EXPECT_EQ(run.strErr.rfind(
                  "qmexport: unknown kind BOGUS (the kinds: PACKAGE, PACKAGE BODY, PROCEDURE, "
                  "FUNCTION, TYPE, TYPE BODY, TRIGGER, VIEW, or all)\n",
                  0),
              0u)
        << run.strErr;
    EXPECT_TRUE(ListFiles(folder.Path()).empty());
}

// The kinds in each mode: the single file holds the chosen kinds' blocks by name, then kind (in
// the names' byte order); one object brings every chosen kind of that name.
TEST(QmexportFolderTest, KindsInEachMode)
{
    {
        Schema schema("QX_FOLDER_KINDS");
        for (const KindObject& object : kEveryKind)
            schema.AddObject(object.pszName, object.pszType, {object.pszLine});
    }
    auto blocks = [](std::initializer_list<int> indexes) {
        std::string strBlocks;
        for (int i : indexes)
            strBlocks += std::string("CREATE OR REPLACE ") + kEveryKind[i].pszLine + "\n/\n";
        return strBlocks;
    };
    struct ModeCase {
        const char* pszTitle;
        const char* pszOptions;
        int nExitCode;
        std::string strFile;
    };
    const ModeCase kCases[] = {
        {"every kind", "--kinds all", 0, blocks({0, 1, 2, 3, 4, 5, 6, 7})},
        {"the window's kinds", "", 0, blocks({3, 4, 5, 6, 7})},
        {"two kinds, any case and blanks", "--kinds \"type body , Trigger\"", 0, blocks({1, 2})},
        {"one object of every kind", "--kinds all --object ADDR_T", 0, blocks({0, 1})},
        {"one object of a kind not chosen", "--object ADDR_T", 1, ""},
    };
    TempFolder folder("kinds_modes");
    int nCase = 0;
    for (const ModeCase& c : kCases) {
        SCOPED_TRACE(c.pszTitle);
        const std::string strFile = folder / ("kinds" + std::to_string(nCase++) + ".sql");
        const RunResult run = RunQmexport("--user SCOTT --database QX_FOLDER_KINDS --file \"" +
                                          strFile + "\" " + c.pszOptions + " --quiet");
        EXPECT_EQ(run.nExitCode, c.nExitCode) << run.strErr;
        if (c.nExitCode == 0)
            EXPECT_EQ(ReadFile(strFile), c.strFile);
        else
            EXPECT_FALSE(FileExists(strFile));
    }
}

// Views in a folder: their .vw files between the procedures and the bodies in install.sql, the
// SET lines a view's blank line and ";" line need, an object view named on standard error even
// with --quiet, an invalid view's line, and --check after a view changed.
TEST(QmexportFolderTest, ViewsInAFolderAndTheirDrift)
{
    OciLiteSchema::View blank{"EMP_V", "SELECT empno -- key;\n\n  FROM emp", {"EMPNO"}};
    OciLiteSchema::View typed{"EMP_OV", "SELECT emp_t(empno) FROM emp", {"X"}};
    typed.pszTypeText = "OF EMP_T WITH OBJECT IDENTIFIER (EMPNO)";
    auto fill = [&](const std::string& strDeptText) {
        Schema schema("QX_FOLDER_VIEWS");
        for (const KindObject& object : kEveryKind)
            schema.AddObject(object.pszName, object.pszType, {object.pszLine});
        schema.AddView(blank);
        schema.AddView(typed);
        schema.AddView({"DEPT_V", strDeptText, {"DEPTNO", "Dname"}});
        schema.SetObjectStatus("DEPT_V", "VIEW", "INVALID");
    };
    fill("SELECT deptno, dname FROM dept");
    TempFolder folder("folder_views");
    const std::string strArgs =
        "--user SCOTT --database QX_FOLDER_VIEWS --dir \"" + folder.Bare() + "\" --kinds all ";
    RunResult run = RunQmexport(strArgs + "--quiet");
    ASSERT_EQ(run.nExitCode, 0) << run.strErr;
    EXPECT_EQ(run.strErr, "Not exported: EMP_OV (VIEW) is an object view\n"
                          "Invalid in the database: DEPT_V (VIEW)\n");
    EXPECT_EQ(ReadFile(folder / "EMP_V.vw"),
              "CREATE OR REPLACE FORCE VIEW \"EMP_V\" (\"EMPNO\") AS\n" + blank.strText + "\n/\n");
    EXPECT_EQ(ReadFile(folder / "DEPT_V.vw"),
              "CREATE OR REPLACE FORCE VIEW \"DEPT_V\" (\"DEPTNO\", \"Dname\") AS\nSELECT deptno, "
              "dname FROM dept\n/\n");
    EXPECT_FALSE(FileExists(folder / "EMP_OV.vw"));
    EXPECT_EQ(ReadFile(folder / "install.sql"),
              "SET DEFINE OFF\nSET SQLBLANKLINES ON\nSET SQLTERMINATOR OFF\n@@ADDR_T.tps\n"
              "@@PKG_A.pks\n@@FUNC_B.fnc\n@@" +
                  FromWide(Wide("\xC3\x84PFEL.prc")) +
                  "\n@@%C3%A4%70%66%65%6C.prc\n@@DEPT_V.vw\n@@EMP_V.vw\n@@ADDR_T.tpb\n@@PKG_A.pkb\n"
                  "@@AUD_TRG.trg\n");

    // The single file: the views' SET lines first, the views among the other kinds by name.
    TempFolder single("file_views");
    const std::string strFile = single / "views.sql";
    const std::string strFileArgs =
        "--user SCOTT --database QX_FOLDER_VIEWS --file \"" + strFile + "\" --kinds all --quiet ";
    run = RunQmexport(strFileArgs);
    ASSERT_EQ(run.nExitCode, 0) << run.strErr;
    const std::string strSingle = ReadFile(strFile);
    EXPECT_EQ(strSingle.rfind("SET SQLBLANKLINES ON\nSET SQLTERMINATOR OFF\nCREATE OR REPLACE TYPE "
                              "ADDR_T",
                              0),
              0u)
        << strSingle;
    const size_t nDept = strSingle.find("CREATE OR REPLACE FORCE VIEW \"DEPT_V\"");
    EXPECT_LT(strSingle.find("AUD_TRG"), nDept);
    EXPECT_LT(nDept, strSingle.find("CREATE OR REPLACE FORCE VIEW \"EMP_V\""));
    EXPECT_LT(strSingle.find("CREATE OR REPLACE FORCE VIEW \"EMP_V\""), strSingle.find("FUNC_B"));

    run = RunQmexport(strArgs + "--check --quiet");
    EXPECT_EQ(run.nExitCode, 0) << run.strErr;
    EXPECT_EQ(run.strOut, "");
    fill("SELECT deptno, dname FROM dept WHERE deptno > 10");
    run = RunQmexport(strArgs + "--check --quiet");
    EXPECT_EQ(run.nExitCode, 4) << run.strErr;
    EXPECT_EQ(run.strOut, "changed DEPT_V.vw\n");
    run = RunQmexport(strFileArgs + "--check");
    EXPECT_EQ(run.nExitCode, 4) << run.strErr;
    EXPECT_EQ(run.strOut, "changed " + strFile + "\nchanged DEPT_V (VIEW)\n");
}
