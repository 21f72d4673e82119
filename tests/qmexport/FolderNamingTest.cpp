// FolderNamingTest.cpp
//
// qmexport.exe --dir over hostile schemas: every object keeps one file of its own, named the
// same in every run (whatever the kinds, the objects named or the other objects), install.sql
// names each file byte for byte and calls each object once; an object named twice is exported
// once; an object of NULL lines is no source. Then the paths and devices that are refused
// before the logon, and a drive-relative path resolved as Windows resolves it.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "export/TargetPath.h"
#include "platform/Text.h"
#include "tests/qmexport/QmexportFixture.h"

using namespace QmexportTest;

namespace {

const char kDatabase[] = "QX_NAMING";

struct NamedObject {
    std::string strName;
    const char* pszType;
};

std::string Line(const NamedObject& object)
{
    return std::string(object.pszType) + " \"" + object.strName + "\" IS BEGIN NULL; END;\n";
}

std::string BlockOf(const NamedObject& object)
{
    return "CREATE OR REPLACE " + Line(object) + "\n/\n";
}

void WriteSchema(const std::vector<NamedObject>& objects)
{
    Schema schema(kDatabase);
    for (const NamedObject& object : objects)
        schema.AddObject(object.strName.c_str(), object.pszType, {Line(object)});
}

RunResult RunFolder(const TempFolder& folder, const std::string& strMore)
{
    return RunQmexport(std::string("--user SCOTT --database ") + kDatabase + " --dir \"" +
                       folder.Bare() + "\" --quiet " + strMore);
}

// The folder's object files and their contents.
std::map<std::string, std::string> ObjectFiles(const TempFolder& folder)
{
    std::map<std::string, std::string> files;
    for (const std::string& strName : ListFiles(folder.Path())) {
        if (strName != "install.sql" && strName != ".qmexport-files")
            files[strName] = ReadFile(folder / strName);
    }
    return files;
}

// Every object has exactly one file holding its block, and install.sql's lines, read as
// SQL*Plus reads them (the system's code page), name every file once and nothing else.
void ExpectOneFileEach(const TempFolder& folder, const std::vector<NamedObject>& objects)
{
    const std::map<std::string, std::string> files = ObjectFiles(folder);
    std::multiset<std::string> blocks;
    for (const auto& file : files)
        blocks.insert(file.second);
    EXPECT_EQ(files.size(), objects.size());
    for (const NamedObject& object : objects)
        EXPECT_EQ(blocks.count(BlockOf(object)), 1u) << object.strName << " " << object.pszType;

    const std::string strInstall = ReadFile(folder / "install.sql");
    std::set<std::string> called;
    size_t nStart = 0;
    while (nStart < strInstall.size()) {
        size_t nEnd = strInstall.find('\n', nStart);
        std::string strLine = strInstall.substr(nStart, nEnd - nStart);
        nStart = nEnd == std::string::npos ? strInstall.size() : nEnd + 1;
        if (strLine.compare(0, 2, "@@") != 0)
            continue;
        strLine = strLine.substr(2);
        if (!strLine.empty() && strLine.front() == '"')
            strLine = strLine.substr(1, strLine.size() - 2);
        const std::string strFile = Utf8(ToWide(strLine));
        EXPECT_EQ(files.count(strFile), 1u) << "install.sql names no file: " << strLine;
        EXPECT_TRUE(called.insert(strFile).second) << "called twice: " << strLine;
    }
    EXPECT_EQ(called.size(), files.size());
}

}  // namespace

// Names whose files share a shortened start, a name spelled like a shortened one, case twins
// of one kind and across kinds, names the code page cannot hold: whole runs and runs over
// each object alone, in either order, keep one file per object under one name.
TEST(QmexportFolderNamingTest, HostileNamesKeepOneFileEachInEveryRun)
{
    const std::string strLong(242, 'N');
    const std::vector<NamedObject> kObjects = {
        {strLong + "1", "PROCEDURE"},
        {strLong + "2", "PROCEDURE"},
        {strLong + "~4826896A", "PROCEDURE"},
        {std::string(150, 'A'), "TYPE"},
        {std::string(150, 'a'), "PROCEDURE"},
        {"abc", "PROCEDURE"},
        {"ABC", "PROCEDURE"},
        {"Mixed", "FUNCTION"},
        {"ID", "PROCEDURE"},
        {"\xC4\xB0"
         "D",
         "PROCEDURE"},
        {"\xCE\xA9mega", "FUNCTION"},
        {"\xE6\x97\xA5\xE6\x9C\xAC", "PROCEDURE"},
    };
    WriteSchema(kObjects);
    TempFolder folder("naming_hostile");

    for (const char* pszOrder : {"forward", "backward"}) {
        SCOPED_TRACE(pszOrder);
        std::vector<NamedObject> order = kObjects;
        if (std::string(pszOrder) == "backward")
            std::reverse(order.begin(), order.end());
        for (const NamedObject& object : order) {
            const RunResult run =
                RunFolder(folder, "--kinds all --object \"" + object.strName + "\"");
            ASSERT_EQ(run.nExitCode, 0) << object.strName << ": " << run.strErr;
        }
        ExpectOneFileEach(folder, kObjects);
    }
    const std::map<std::string, std::string> named = ObjectFiles(folder);
    for (const char* pszKinds : {"--kinds all", "", "--kinds procedure", "--kinds all"}) {
        SCOPED_TRACE(pszKinds);
        const RunResult run = RunFolder(folder, pszKinds);
        ASSERT_EQ(run.nExitCode, 0) << run.strErr;
        // The same files under the same names: none renamed by the kinds of a run.
        ExpectOneFileEach(folder, kObjects);
        EXPECT_EQ(ObjectFiles(folder), named);
    }
    // Outside the code page no best fit: İD, Ωmega and 日本 are escaped, ID stays; UTF-8
    // holds them all.
    if (SystemCodePage() == 1252) {
        EXPECT_EQ(named.count("ID.prc"), 1u);
        EXPECT_EQ(named.count("%C4%B0D.prc"), 1u);
        EXPECT_EQ(named.count("%CE%A9mega.fnc"), 1u);
        EXPECT_EQ(named.count("%E6%97%A5%E6%9C%AC.prc"), 1u);
    } else if (SystemCodePage() == kUtf8CodePage) {
        EXPECT_EQ(named.count("ID.prc"), 1u);
        EXPECT_EQ(named.count("\xC4\xB0"
                              "D.prc"),
                  1u);
        EXPECT_EQ(named.count("\xCE\xA9mega.fnc"), 1u);
        EXPECT_EQ(named.count("\xE6\x97\xA5\xE6\x9C\xAC.prc"), 1u);
    }
}

// A case twin appearing and going: the file that changes its name takes its block along, the
// old name goes, and a run over the other object alone never writes into the twin's file.
TEST(QmexportFolderNamingTest, ATwinAppearingOrGoingMovesTheFileAndRemovesTheOldName)
{
    const NamedObject kLower{"abc", "PROCEDURE"};
    const NamedObject kUpper{"ABC", "PROCEDURE"};
    WriteSchema({kLower});
    TempFolder folder("naming_twin");
    ASSERT_EQ(RunFolder(folder, "").nExitCode, 0);
    EXPECT_EQ(ReadFile(folder / "abc.prc"), BlockOf(kLower));

    // ABC appears; only ABC is exported: abc's block moves to its marked name first.
    WriteSchema({kLower, kUpper});
    RunResult run = RunFolder(folder, "--object ABC");
    ASSERT_EQ(run.nExitCode, 0) << run.strErr;
    ExpectOneFileEach(folder, {kLower, kUpper});
    EXPECT_EQ(ReadFile(folder / "%61%62%63.prc"), BlockOf(kLower));

    // ABC goes: abc gets its plain name back, and the marked file is removed.
    WriteSchema({kLower});
    run = RunFolder(folder, "--object abc");
    ASSERT_EQ(run.nExitCode, 0) << run.strErr;
    const std::map<std::string, std::string> files = ObjectFiles(folder);
    EXPECT_EQ(files.count("%61%62%63.prc"), 0u);
    ASSERT_EQ(files.count("abc.prc"), 1u);
}

// "--object P1 --object P1": one block in the file, one file in the folder, exit 0.
TEST(QmexportFolderNamingTest, AnObjectNamedTwiceIsExportedOnce)
{
    const NamedObject kObject{"P1", "PROCEDURE"};
    WriteSchema({kObject, {"P2", "PROCEDURE"}});
    TempFolder folder("naming_twice");
    RunResult run = RunFolder(folder, "--object P1 --object P2 --object P1");
    ASSERT_EQ(run.nExitCode, 0) << run.strErr;
    EXPECT_EQ(ReadFile(folder / "install.sql"), "SET DEFINE OFF\n@@P1.prc\n@@P2.prc\n");

    const std::string strFile = folder / "twice.sql";
    run = RunQmexport(std::string("--user SCOTT --database ") + kDatabase + " --file \"" + strFile +
                      "\" --object P1 --object P1 --quiet");
    ASSERT_EQ(run.nExitCode, 0) << run.strErr;
    EXPECT_EQ(ReadFile(strFile), BlockOf(kObject));
}

// Every line NULL or empty: no statement can be made of it, as of an object without lines.
TEST(QmexportFolderNamingTest, AnObjectOfNullLinesIsNoSource)
{
    {
        Schema schema(kDatabase);
        schema.AddObject("A_GOOD", "PROCEDURE", {"PROCEDURE A_GOOD IS BEGIN NULL; END;\n"});
        schema.AddObject("B_NULL", "PROCEDURE", {"x", ""});
        schema.SetLineNull("B_NULL", "PROCEDURE", 1);
        schema.AddObjectWithoutSource("C_NONE", "PROCEDURE");
    }
    TempFolder folder("naming_null");
    for (const char* pszObject : {"B_NULL", "C_NONE"}) {
        SCOPED_TRACE(pszObject);
        const std::string strFile = folder / (std::string(pszObject) + ".sql");
        WriteFile(strFile, "old\n");
        const RunResult run =
            RunQmexport(std::string("--user SCOTT --database ") + kDatabase + " --file \"" +
                        strFile + "\" --object A_GOOD --object " + pszObject + " --quiet");
        EXPECT_EQ(run.nExitCode, 1);
        EXPECT_NE(run.strErr.find("Source doesn't exists."), std::string::npos) << run.strErr;
        EXPECT_NE(run.strErr.find(std::string(pszObject) + " (PROCEDURE)"), std::string::npos)
            << run.strErr;
        EXPECT_EQ(ReadFile(strFile),
                  "CREATE OR REPLACE PROCEDURE A_GOOD IS BEGIN NULL; END;\n\n/\n");
    }
}

// Devices and impossible paths are refused before the logon (a wrong password would fail
// later), and nothing is created.
TEST(QmexportFolderNamingTest, DevicesAndImpossiblePathsAreRefusedBeforeTheLogon)
{
    TempFolder folder("naming_paths");
    WriteFile(folder / "plain.txt", "plain\n");
    const std::string strLongFolder = folder.Path() + std::string(300, 'd');
    struct PathCase {
        std::string strArgs;
        std::string strFirst;
        std::string strSecond;
    };
    const std::vector<PathCase> kCases = {
        {"--file nul.sql", "Error while create specified file.", "nul.sql: a device, not a file"},
        {"--file CON", "Error while create specified file.", "CON: a device, not a file"},
        {"--file LPT1", "Error while create specified file.", "LPT1: a device, not a file"},
        {"--file \"" + folder.Path() + "COM9.txt\"", "Error while create specified file.",
         folder.Path() + "COM9.txt: a device, not a file"},
        {"--file CONOUT$", "Error while create specified file.", "CONOUT$: a device, not a file"},
        // The superscript digits name ports too.
        {"--file \"" + folder.Path() + "COM\xC2\xB9.sql\"", "Error while create specified file.",
         folder.Path() + "COM\xC2\xB9.sql: a device, not a file"},
        {"--dir lpt\xC2\xB3", "Error while create specified file.",
         "lpt\xC2\xB3: a device, not a file"},
        {"--dir NUL", "Error while create specified file.", "NUL: a device, not a file"},
        {"--dir \"" + folder.Path() + "aux.sql\"", "Error while create specified file.",
         folder.Path() + "aux.sql: a device, not a file"},
        {"--dir \"" + folder.Path() + "plain.txt\"", "Error while create specified folder.",
         folder.Path() + "plain.txt is a file, not a folder"},
        // Windows refuses the path for its length, Linux the name for its own (the folder's
        // path then shown as it is created, with its separator).
        {"--dir \"" + strLongFolder + kSeparator + "sub\"", "Error while create specified folder.",
         strLongFolder + NativePath(kOnWindows ? "/sub: " : "/sub/: ")},
        {"--file \"" + strLongFolder + ".sql\"", "Error while create specified file.",
         strLongFolder + ".sql: "},
    };
    for (const PathCase& c : kCases) {
        SCOPED_TRACE(c.strArgs);
        RunOptions options;
        options.environment["QUILLMARK_PASSWORD"] = "wrong";
        const RunResult run = RunQmexport(
            std::string("--user SCOTT --database ") + kDatabase + " " + c.strArgs, options);
        EXPECT_EQ(run.nExitCode, 1) << run.strErr;
        EXPECT_EQ(run.strErr.find(c.strFirst + "\n" + c.strSecond), 0u) << run.strErr;
        EXPECT_EQ(run.strErr.find("ORA-"), std::string::npos) << run.strErr;
        // --check is refused the same way, before any comparison.
        const RunResult check = RunQmexport(std::string("--user SCOTT --database ") + kDatabase +
                                                " " + c.strArgs + " --check",
                                            options);
        EXPECT_EQ(check.nExitCode, 1) << check.strErr;
        EXPECT_EQ(check.strErr, run.strErr);
        EXPECT_EQ(check.strOut, "");
    }
    EXPECT_EQ(ListFiles(folder.Path()), std::vector<std::string>{"plain.txt"});
}

// "Y:" and "Y:sub" name drive Y's current folder, not its root (drive letters are Windows'
// alone); device names are judged alike on every system.
TEST(QmexportFolderNamingTest, ADriveRelativePathResolvesAgainstTheDrivesCurrentFolder)
{
    if (kOnWindows) {
        TempFolder folder("naming_drive");
        const std::wstring strFolder = Wide(folder.Bare());
        const std::filesystem::path before = std::filesystem::current_path();
        std::filesystem::current_path(strFolder);
        const std::wstring strDrive = strFolder.substr(0, 2);
        std::wstring strFull;
        EXPECT_TRUE(TargetPath::FullPath(strDrive, strFull));
        if (!strFull.empty() && strFull.back() == L'\\')
            strFull.pop_back();  // Wine ends the current folder with a separator, Windows does not
        EXPECT_EQ(strFull, strFolder);
        EXPECT_TRUE(TargetPath::FullPath(strDrive + L"sub", strFull));
        EXPECT_EQ(strFull, strFolder + L"\\sub");
        std::filesystem::current_path(before);
    }
    for (const char* pszDevice :
         {"NUL", "con.txt", "C:\\x\\Com1.sql", "LPT9 ", "nul:", "\\\\.\\PhysicalDrive0", "CONIN$",
          "COM\xC2\xB9", "c:\\out\\lpt\xC2\xB2.sql", "COM\xC2\xB3:", "LPT\xC2\xB3 .txt",
          "/x/Com1.sql", "//./PhysicalDrive0"})
        EXPECT_TRUE(TargetPath::IsDevice(Wide(pszDevice))) << pszDevice;
    for (const char* pszFile : {"console.sql", "COM10", "C:\\NUL\\x.sql", "LPT.sql",
                                "COM\xE2\x81\xB4", "COM\xC2\xB9\xC2\xB9", "/NUL/x.sql"})
        EXPECT_FALSE(TargetPath::IsDevice(Wide(pszFile))) << pszFile;
}
