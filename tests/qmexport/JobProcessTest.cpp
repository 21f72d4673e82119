// JobProcessTest.cpp
//
// qmexport.exe as the job that keeps a schema in a repository runs it: the logon through the
// client's password store (--user /, no password read at all), --check on a folder and on a
// file (one line per difference, exit 0 or 4, nothing on disk touched), the name filters, the
// objects left invalid, and --encoding.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "framework/Text.h"
#include "tests/qmexport/QmexportFixture.h"

using namespace QmexportTest;

namespace {

struct Object {
    const char* pszName;
    const char* pszType;
    const char* pszLine;
};

const Object kBase[] = {
    {"HR_UTIL", "PACKAGE", "PACKAGE HR_UTIL AS\nEND;\n"},
    {"HR_UTIL", "PACKAGE BODY", "PACKAGE BODY HR_UTIL AS\nEND;\n"},
    {"GET_SAL", "FUNCTION", "FUNCTION GET_SAL RETURN NUMBER IS BEGIN RETURN 1; END;\n"},
    {"RAISE_SAL", "PROCEDURE", "PROCEDURE RAISE_SAL IS BEGIN NULL; END;\n"},
    {"A_B", "PROCEDURE", "PROCEDURE A_B IS BEGIN NULL; END;\n"},
    {"AXB", "PROCEDURE", "PROCEDURE AXB IS BEGIN NULL; END;\n"},
    {"A%B", "PROCEDURE", "PROCEDURE \"A%B\" IS BEGIN NULL; END;\n"},
};

void MakeSchema(const char* pszDatabase, const std::vector<Object>& objects)
{
    Schema schema(pszDatabase);
    for (const Object& object : objects)
        schema.AddObject(object.pszName, object.pszType, {object.pszLine});
}

std::vector<Object> Base()
{
    return std::vector<Object>(std::begin(kBase), std::end(kBase));
}

std::string Unquoted(std::string strPath)
{
    if (!strPath.empty() && strPath.back() == kSeparator[0])
        strPath.pop_back();
    return strPath;
}

// Every file of a folder with its bytes and last-write time.
using Snapshot = std::map<std::string, std::pair<std::string, std::uint64_t>>;

Snapshot Take(const std::string& strFolder)
{
    Snapshot snapshot;
    for (const std::string& strName : ListFiles(strFolder))
        snapshot[strName] = {ReadFile(strFolder + strName), WriteTime(strFolder + strName)};
    return snapshot;
}

void AgeAll(const std::string& strFolder)
{
    for (const std::string& strName : ListFiles(strFolder))
        SetOldTime(strFolder + strName);
}

// ---- The password store ----

const char kSqlnet[] = "# the job's client\n"
                       "wallet_location = (source = (method = file)\n"
                       "  (method_data = (directory = %WALLET%)))\n"
                       "SQLNET.WALLET_OVERRIDE = TRUE\n";

// TNS_ADMIN for the child: sqlnet.ora (null: none) naming a wallet folder with these lines.
std::map<std::string, std::string> Store(const TempFolder& admin, const char* pszSqlnet,
                                         const std::string& strWallet)
{
    const std::string strWalletFolder = admin / "wallet";
    MakeFolder(strWalletFolder);
    if (pszSqlnet != nullptr) {
        std::string strSqlnet = pszSqlnet;
        strSqlnet.replace(strSqlnet.find("%WALLET%"), 8, strWalletFolder);
        WriteFile(admin / "sqlnet.ora", strSqlnet);
    }
    WriteFile(strWalletFolder + kSeparator + "oci-lite-wallet.txt", strWallet);
    // No password anywhere: a run that tried to read one would fail.
    return {{"TNS_ADMIN", Unquoted(admin.Path())}, {"QUILLMARK_PASSWORD", kRemoveVariable}};
}

TEST(QmexportJobTest, SlashLogsOnThroughThePasswordStoreWithoutAPassword)
{
    MakeSchema("QX_WALLET", Base());
    struct WalletCase {
        const char* pszTitle;
        const char* pszSqlnet;
        const char* pszWallet;
        const char* pszOptions;
        int nExitCode;
        const char* pszError;  // in standard error
    };
    const WalletCase kCases[] = {
        {"entry", kSqlnet, "QX_WALLET SCOTT tiger\n", "", 0, ""},
        {"entry, own schema named", kSqlnet, "QX_WALLET SCOTT tiger\n", "--owner scott", 0, ""},
        {"no entry", kSqlnet, "OTHER SCOTT tiger\n", "", 3,
         "ORA-01017: invalid username/password; logon denied"},
        {"no override",
         "WALLET_LOCATION = (SOURCE = (METHOD = FILE) (METHOD_DATA = (DIRECTORY = %WALLET%)))\n",
         "QX_WALLET SCOTT tiger\n", "", 3, "ORA-01017"},
        {"no sqlnet.ora", nullptr, "QX_WALLET SCOTT tiger\n", "", 3, "ORA-01017"},
        {"SYSDBA", kSqlnet, "QX_WALLET SCOTT tiger\n", "--sysdba", 3,
         "ORA-01031: insufficient privileges"},
    };
    for (const WalletCase& c : kCases) {
        SCOPED_TRACE(c.pszTitle);
        TempFolder admin("wallet_admin");
        TempFolder out("wallet_out");
        RunOptions options;
        options.environment = Store(admin, c.pszSqlnet, c.pszWallet);
        const RunResult run = RunQmexport("--user / --database QX_WALLET --file \"" +
                                              out / "all.sql" + "\" --quiet " + c.pszOptions,
                                          options);
        EXPECT_EQ(run.nExitCode, c.nExitCode) << run.strErr;
        EXPECT_NE(run.strErr.find(c.pszError), std::string::npos) << run.strErr;
        EXPECT_EQ(run.strErr.find("assword:"), std::string::npos) << run.strErr;
        if (c.nExitCode == 0)
            EXPECT_NE(ReadFile(out / "all.sql").find("PACKAGE BODY HR_UTIL"), std::string::npos);
        else
            EXPECT_FALSE(FileExists(out / "all.sql"));
    }
}

// ---- --check on a folder ----

std::string DirArgs(const char* pszDatabase, const TempFolder& folder, const std::string& strMore)
{
    return std::string("--user SCOTT --database ") + pszDatabase + " --dir \"" +
           Unquoted(folder.Path()) + "\" " + strMore;
}

TEST(QmexportJobTest, CheckOnAFolderListsEachDifferenceAndWritesNothing)
{
    MakeSchema("QX_DRIFT", Base());
    TempFolder folder("drift_folder");
    RunResult run = RunQmexport(DirArgs("QX_DRIFT", folder, "--quiet"));
    ASSERT_EQ(run.nExitCode, 0) << run.strErr;
    AgeAll(folder.Path());

    // In step: no line, exit 0, nothing touched.
    Snapshot before = Take(folder.Path());
    run = RunQmexport(DirArgs("QX_DRIFT", folder, "--check --quiet"));
    EXPECT_EQ(run.nExitCode, 0) << run.strErr;
    EXPECT_EQ(run.strOut, "");
    EXPECT_EQ(run.strErr, "");
    EXPECT_EQ(Take(folder.Path()), before);

    // The database changes (one body edited, a procedure dropped, a function added), and a
    // file is edited by hand; a file the manifest does not list is not looked at.
    std::vector<Object> changed = Base();
    changed[1].pszLine = "PACKAGE BODY HR_UTIL AS\n  -- new\nEND;\n";
    changed.erase(changed.begin() + 3);
    changed.push_back(
        {"NEW_FN", "FUNCTION", "FUNCTION NEW_FN RETURN NUMBER IS BEGIN RETURN 2; END;\n"});
    MakeSchema("QX_DRIFT", changed);
    WriteFile(folder / "GET_SAL.fnc", ReadFile(folder / "GET_SAL.fnc") + "-- by hand\n");
    WriteFile(folder / "notes.txt", "mine\n");
    AgeAll(folder.Path());
    before = Take(folder.Path());
    run = RunQmexport(DirArgs("QX_DRIFT", folder, "--check"));
    EXPECT_EQ(run.nExitCode, 4) << run.strErr;
    EXPECT_EQ(run.strOut, "changed .qmexport-files\n"
                          "changed GET_SAL.fnc\n"
                          "changed HR_UTIL.pkb\n"
                          "changed install.sql\n"
                          "added NEW_FN.fnc\n"
                          "removed RAISE_SAL.prc\n");
    EXPECT_NE(run.strErr.find("Checked"), std::string::npos) << run.strErr;
    EXPECT_EQ(Take(folder.Path()), before);

    // --quiet silences the progress, never the list; the export then brings the folder in step.
    run = RunQmexport(DirArgs("QX_DRIFT", folder, "--check --quiet"));
    EXPECT_EQ(run.nExitCode, 4);
    EXPECT_EQ(run.strErr, "");
    EXPECT_EQ(run.strOut.substr(0, 44), "changed .qmexport-files\nchanged GET_SAL.fnc\n");
    ASSERT_EQ(RunQmexport(DirArgs("QX_DRIFT", folder, "--quiet")).nExitCode, 0);
    run = RunQmexport(DirArgs("QX_DRIFT", folder, "--check --quiet"));
    EXPECT_EQ(run.nExitCode, 0);
    EXPECT_EQ(run.strOut, "");

    // Without the manifest nothing is known to be stale; a missing file is still added, and the
    // manifest the export would write again.
    RemoveFile(folder / ".qmexport-files");
    RemoveFile(folder / "A_B.prc");
    AgeAll(folder.Path());
    before = Take(folder.Path());
    run = RunQmexport(DirArgs("QX_DRIFT", folder, "--check --quiet"));
    EXPECT_EQ(run.nExitCode, 4);
    // install.sql already runs it.
    EXPECT_EQ(run.strOut, "changed .qmexport-files\nadded A_B.prc\n");
    EXPECT_EQ(Take(folder.Path()), before);
}

TEST(QmexportJobTest, CheckOnAFolderThatIsNotThereCreatesNothing)
{
    MakeSchema("QX_DRIFT_NEW", {kBase[0], kBase[2]});
    TempFolder parent("drift_parent");
    const std::string strFolder = parent / "repo";
    const RunResult run = RunQmexport("--user SCOTT --database QX_DRIFT_NEW --dir \"" + strFolder +
                                      "\" --check --quiet");
    EXPECT_EQ(run.nExitCode, 4) << run.strErr;
    EXPECT_EQ(run.strOut, "changed .qmexport-files\nadded GET_SAL.fnc\nadded HR_UTIL.pks\nchanged "
                          "install.sql\n");
    EXPECT_FALSE(FileExists(strFolder));
}

TEST(QmexportJobTest, CheckKeepsTheOtherExitCodes)
{
    MakeSchema("QX_DRIFT_CODES", Base());
    TempFolder folder("drift_codes");
    RunOptions wrong;
    wrong.environment["QUILLMARK_PASSWORD"] = "wrong";
    RunResult run = RunQmexport(DirArgs("QX_DRIFT_CODES", folder, "--check --quiet"), wrong);
    EXPECT_EQ(run.nExitCode, 3);
    EXPECT_EQ(run.strOut, "");
    run = RunQmexport(DirArgs("QX_DRIFT_CODES", folder, "--check --include NOTHING%"));
    EXPECT_EQ(run.nExitCode, 1);
    EXPECT_EQ(run.strOut, "");
    EXPECT_TRUE(ListFiles(folder.Path()).empty());
}

// What --check says is what the export would do: a manifest edited by hand is rewritten, and a
// folder under a file is refused with the export's own message and exit code.
TEST(QmexportJobTest, CheckOnAFolderTellsWhatTheExportWouldDo)
{
    MakeSchema("QX_DRIFT_DOES", {kBase[0], kBase[2], kBase[3]});
    TempFolder folder("drift_does");
    ASSERT_EQ(RunQmexport(DirArgs("QX_DRIFT_DOES", folder, "--quiet")).nExitCode, 0);
    const std::string strManifest = ReadFile(folder / ".qmexport-files");
    struct ManifestCase {
        const char* pszTitle;
        std::function<void()> edit;
    };
    const ManifestCase kCases[] = {
        {"a line deleted",
         [&] {
             std::string strText = strManifest;
             strText.erase(strText.find("GET_SAL.fnc\n"), 12);
             WriteFile(folder / ".qmexport-files", strText);
         }},
        {"a line added", [&] { WriteFile(folder / ".qmexport-files", strManifest + "ZZ.prc\n"); }},
        {"a comment added", [&] { WriteFile(folder / ".qmexport-files", strManifest + "# x\n"); }},
        {"deleted", [&] { RemoveFile(folder / ".qmexport-files"); }},
    };
    for (const ManifestCase& c : kCases) {
        SCOPED_TRACE(c.pszTitle);
        c.edit();
        AgeAll(folder.Path());
        const Snapshot before = Take(folder.Path());
        const RunResult run = RunQmexport(DirArgs("QX_DRIFT_DOES", folder, "--check --quiet"));
        EXPECT_EQ(run.nExitCode, 4) << run.strErr;
        EXPECT_EQ(run.strOut, "changed .qmexport-files\n");
        EXPECT_EQ(Take(folder.Path()), before);
        ASSERT_EQ(RunQmexport(DirArgs("QX_DRIFT_DOES", folder, "--quiet")).nExitCode, 0);
        EXPECT_EQ(ReadFile(folder / ".qmexport-files"), strManifest);
    }

    WriteFile(folder / "plain.txt", "plain\n");
    const std::string strUnder = Unquoted(folder.Path()) + NativePath("/plain.txt/sub");
    const std::string strArgs =
        "--user SCOTT --database QX_DRIFT_DOES --dir \"" + strUnder + "\" --quiet";
    const Snapshot before = Take(folder.Path());
    const RunResult check = RunQmexport(strArgs + " --check");
    const RunResult exported = RunQmexport(strArgs);
    EXPECT_EQ(exported.nExitCode, 1) << exported.strErr;
    EXPECT_EQ(exported.strErr.find("Error while create specified folder.\n" + strUnder), 0u)
        << exported.strErr;
    EXPECT_EQ(check.nExitCode, exported.nExitCode) << check.strErr;
    EXPECT_EQ(check.strErr, exported.strErr);
    EXPECT_EQ(check.strOut, "");
    EXPECT_EQ(Take(folder.Path()), before);
}

// ---- --check on a file ----

std::string FileArgs(const char* pszDatabase, const std::string& strFile,
                     const std::string& strMore)
{
    return std::string("--user SCOTT --database ") + pszDatabase + " --file \"" + strFile + "\" " +
           strMore;
}

TEST(QmexportJobTest, CheckOnAFileNamesTheFileThenEachObject)
{
    MakeSchema("QX_DRIFT_FILE", Base());
    TempFolder folder("drift_file");
    const std::string strFile = folder / "schema.sql";

    // A file that is not there: every object is added, and nothing is created.
    RunResult run =
        RunQmexport(FileArgs("QX_DRIFT_FILE", strFile, "--check --quiet --kinds procedure"));
    EXPECT_EQ(run.nExitCode, 4) << run.strErr;
    EXPECT_EQ(run.strOut, "changed " + strFile +
                              "\nadded A%B (PROCEDURE)\nadded AXB (PROCEDURE)\nadded A_B "
                              "(PROCEDURE)\nadded RAISE_SAL (PROCEDURE)\n");
    EXPECT_TRUE(ListFiles(folder.Path()).empty());

    ASSERT_EQ(RunQmexport(FileArgs("QX_DRIFT_FILE", strFile, "--quiet")).nExitCode, 0);
    SetOldTime(strFile);
    Snapshot before = Take(folder.Path());
    run = RunQmexport(FileArgs("QX_DRIFT_FILE", strFile, "--check --quiet"));
    EXPECT_EQ(run.nExitCode, 0) << run.strErr;
    EXPECT_EQ(run.strOut, "");
    EXPECT_EQ(Take(folder.Path()), before);

    std::vector<Object> changed = Base();
    changed[0].pszLine = "PACKAGE HR_UTIL AS\n  x NUMBER;\nEND;\n";
    changed.erase(changed.begin() + 2);
    changed.push_back({"B_NEW", "PROCEDURE", "PROCEDURE B_NEW IS BEGIN NULL; END;\n"});
    MakeSchema("QX_DRIFT_FILE", changed);
    // And a hand edit inside another block.
    std::string strText = ReadFile(strFile);
    const size_t nAt = strText.find("PROCEDURE RAISE_SAL IS BEGIN NULL;");
    ASSERT_NE(nAt, std::string::npos);
    strText.replace(nAt, 34, "procedure raise_sal is begin null;");
    WriteFile(strFile, strText);
    SetOldTime(strFile);
    before = Take(folder.Path());
    run = RunQmexport(FileArgs("QX_DRIFT_FILE", strFile, "--check"));
    EXPECT_EQ(run.nExitCode, 4) << run.strErr;
    EXPECT_EQ(run.strOut, "changed " + strFile +
                              "\nadded B_NEW (PROCEDURE)\nremoved GET_SAL (FUNCTION)\nchanged "
                              "HR_UTIL (PACKAGE)\nchanged RAISE_SAL (PROCEDURE)\n");
    EXPECT_EQ(Take(folder.Path()), before);
}

// A block the file holds twice names its object; bytes before the first block or after the
// last one are the file's difference alone.
TEST(QmexportJobTest, CheckOnAFilePlacesEachDifference)
{
    MakeSchema("QX_DRIFT_PLACE", {kBase[4], kBase[5], kBase[3]});
    TempFolder folder("drift_place");
    const std::string strFile = folder / "schema.sql";
    ASSERT_EQ(RunQmexport(FileArgs("QX_DRIFT_PLACE", strFile, "--quiet")).nExitCode, 0);
    const std::string strExported = ReadFile(strFile);
    const size_t nSecond = strExported.find("CREATE OR REPLACE PROCEDURE A_B");
    const size_t nThird = strExported.find("CREATE OR REPLACE PROCEDURE RAISE_SAL");
    ASSERT_NE(nThird, std::string::npos);
    const std::string strBlockAB = strExported.substr(nSecond, nThird - nSecond);
    struct PlaceCase {
        const char* pszTitle;
        std::string strFile;
        std::string strOut;  // after "changed <file>\n"
    };
    const PlaceCase kCases[] = {
        {"a block twice", strExported.substr(0, nThird) + strBlockAB + strExported.substr(nThird),
         "changed A_B (PROCEDURE)\n"},
        {"the last block twice", strExported + strExported.substr(nThird),
         "changed RAISE_SAL (PROCEDURE)\n"},
        {"bytes after the last block", strExported + "exit\n", ""},
        {"a blank line after the last block", strExported + "\n", ""},
        {"bytes before the first block", "-- by hand\n" + strExported, ""},
        {"a SET line before the first block", "SET DEFINE OFF\n" + strExported, ""},
    };
    for (const PlaceCase& c : kCases) {
        SCOPED_TRACE(c.pszTitle);
        WriteFile(strFile, c.strFile);
        const RunResult run = RunQmexport(FileArgs("QX_DRIFT_PLACE", strFile, "--check --quiet"));
        EXPECT_EQ(run.nExitCode, 4) << run.strErr;
        EXPECT_EQ(run.strOut, "changed " + strFile + "\n" + c.strOut);
        EXPECT_EQ(ReadFile(strFile), c.strFile);
    }
}

// ---- Name filters ----

TEST(QmexportJobTest, FiltersSelectByLikePatternsWithEscapes)
{
    MakeSchema("QX_FILTER", Base());
    TempFolder folder("filters");
    struct FilterCase {
        const char* pszTitle;
        const char* pszOptions;
        std::vector<int> objects;  // indexes into kBase, in the file's order
    };
    const FilterCase kCases[] = {
        {"include", "--include HR%", {0, 1}},
        {"two includes", "--include HR% --include GET_SAL", {2, 0, 1}},
        {"exclude", "--exclude HR% --exclude A%", {2, 3}},
        {"both", "--include A% --exclude AXB", {6, 4}},
        {"_ is any one character", "--include A_B", {6, 5, 4}},
        {"escaped _", "--include A\\_B", {4}},
        {"escaped %", "--include A\\%B", {6}},
        {"with kinds", "--include HR% --kinds \"package body\"", {1}},
    };
    int nCase = 0;
    for (const FilterCase& c : kCases) {
        SCOPED_TRACE(c.pszTitle);
        const std::string strFile = folder / ("f" + std::to_string(nCase++) + ".sql");
        const RunResult run =
            RunQmexport(FileArgs("QX_FILTER", strFile, std::string(c.pszOptions) + " --quiet"));
        ASSERT_EQ(run.nExitCode, 0) << run.strErr;
        std::string strExpected;
        for (int i : c.objects)
            strExpected += std::string("CREATE OR REPLACE ") + kBase[i].pszLine + "\n/\n";
        EXPECT_EQ(ReadFile(strFile), strExpected);
    }
}

TEST(QmexportJobTest, FilteredFolderRemovesOnlySelectedStaleFiles)
{
    MakeSchema("QX_FILTER_DIR", Base());
    TempFolder folder("filter_dir");
    ASSERT_EQ(RunQmexport(DirArgs("QX_FILTER_DIR", folder, "--quiet")).nExitCode, 0);
    // HR_UTIL and RAISE_SAL are dropped; a run for A% objects only removes neither.
    std::vector<Object> changed = Base();
    changed.erase(changed.begin() + 3);
    changed.erase(changed.begin(), changed.begin() + 2);
    MakeSchema("QX_FILTER_DIR", changed);
    RunResult run = RunQmexport(DirArgs("QX_FILTER_DIR", folder, "--include A% --check --quiet"));
    EXPECT_EQ(run.nExitCode, 0) << run.strOut;
    EXPECT_EQ(run.strOut, "");
    run = RunQmexport(DirArgs("QX_FILTER_DIR", folder, "--include A% --quiet"));
    ASSERT_EQ(run.nExitCode, 0) << run.strErr;
    EXPECT_TRUE(FileExists(folder / "HR_UTIL.pks"));
    EXPECT_TRUE(FileExists(folder / "RAISE_SAL.prc"));
    // Excluding HR%: RAISE_SAL's file is stale, HR_UTIL's stays.
    run = RunQmexport(DirArgs("QX_FILTER_DIR", folder, "--exclude HR% --check --quiet"));
    EXPECT_EQ(run.nExitCode, 4);
    EXPECT_EQ(run.strOut, "changed .qmexport-files\nchanged install.sql\nremoved RAISE_SAL.prc\n");
    ASSERT_EQ(RunQmexport(DirArgs("QX_FILTER_DIR", folder, "--exclude HR% --quiet")).nExitCode, 0);
    EXPECT_TRUE(FileExists(folder / "HR_UTIL.pks"));
    EXPECT_FALSE(FileExists(folder / "RAISE_SAL.prc"));
}

TEST(QmexportJobTest, FilterUsageErrors)
{
    TempFolder folder("filter_usage");
    const char* kRefused[] = {
        "--object HR_UTIL --include HR%",
        "--exclude X --object Y",
        "--include A\\B",
        "--include AB\\",
        "--encoding latin1",
    };
    for (const char* pszOptions : kRefused) {
        const RunResult run = RunQmexport(FileArgs("QX_FILTER", folder / "x.sql", pszOptions));
        EXPECT_EQ(run.nExitCode, 2) << pszOptions;
        EXPECT_EQ(run.strErr.rfind("qmexport: ", 0), 0u) << run.strErr;
    }
    EXPECT_TRUE(ListFiles(folder.Path()).empty());
}

// ---- Invalid objects and --encoding ----

TEST(QmexportJobTest, InvalidObjectsAreNamedAfterExportAndCheckEvenWhenQuiet)
{
    {
        Schema schema("QX_INVALID");
        for (const Object& object : kBase)
            schema.AddObject(object.pszName, object.pszType, {object.pszLine});
        schema.SetObjectStatus("HR_UTIL", "PACKAGE BODY", "INVALID");
        schema.SetObjectStatus("GET_SAL", "FUNCTION", "INVALID");
        schema.SetObjectStatus("RAISE_SAL", "PROCEDURE", "VALID");
    }
    TempFolder folder("invalid");
    const std::string strLines = "Invalid in the database: GET_SAL (FUNCTION)\n"
                                 "Invalid in the database: HR_UTIL (PACKAGE BODY)\n";
    RunResult run = RunQmexport(FileArgs("QX_INVALID", folder / "x.sql", "--quiet"));
    EXPECT_EQ(run.nExitCode, 0);
    EXPECT_EQ(run.strErr, strLines);
    run = RunQmexport(FileArgs("QX_INVALID", folder / "x.sql", "--quiet --check"));
    EXPECT_EQ(run.nExitCode, 0);
    EXPECT_EQ(run.strErr, strLines);
    // Only exported objects count.
    run = RunQmexport(FileArgs("QX_INVALID", folder / "y.sql", "--quiet --exclude GET%"));
    EXPECT_EQ(run.strErr, "Invalid in the database: HR_UTIL (PACKAGE BODY)\n");
}

TEST(QmexportJobTest, EncodingUtf8WritesUtf8WhateverTheClientsSet)
{
    MakeSchema("QX_ENCODING", {{"GRUSS", "PROCEDURE",
                                "PROCEDURE GRUSS IS BEGIN NULL; END; -- Gr\xC3\xBC\xC3\x9F"
                                "e\n"}});
    TempFolder folder("encoding");
    const std::string strUtf8 =
        "CREATE OR REPLACE PROCEDURE GRUSS IS BEGIN NULL; END; -- Gr\xC3\xBC\xC3\x9F"
        "e\n\n/\n";
    const std::string strAnsi =
        "CREATE OR REPLACE PROCEDURE GRUSS IS BEGIN NULL; END; -- Gr\xFC\xDF"
        "e\n\n/\n";
    const std::string strAdvice =
        "The files hold characters beyond ASCII in UTF-8: run them in SQL*Plus with a UTF-8 "
        "NLS_LANG, such as AMERICAN_AMERICA.AL32UTF8.\n";
    struct EncodingCase {
        const char* pszNlsLang;
        const char* pszOptions;
        std::string strFile;
        std::string strErr;
    };
    const EncodingCase kCases[] = {
        {"AMERICAN_AMERICA.WE8MSWIN1252", "", strAnsi, ""},
        {"AMERICAN_AMERICA.WE8MSWIN1252", "--encoding client", strAnsi, ""},
        {"AMERICAN_AMERICA.WE8MSWIN1252", "--encoding UTF-8", strUtf8, strAdvice},
        {"AMERICAN_AMERICA.AL32UTF8", "--encoding utf-8", strUtf8, ""},
    };
    int nCase = 0;
    for (const EncodingCase& c : kCases) {
        SCOPED_TRACE(std::string(c.pszNlsLang) + " " + c.pszOptions);
        RunOptions options;
        options.environment["NLS_LANG"] = c.pszNlsLang;
        const std::string strFile = folder / ("e" + std::to_string(nCase++) + ".sql");
        const RunResult run = RunQmexport(
            FileArgs("QX_ENCODING", strFile, std::string(c.pszOptions) + " --quiet"), options);
        EXPECT_EQ(run.nExitCode, 0) << run.strErr;
        EXPECT_EQ(ReadFile(strFile), c.strFile);
        EXPECT_EQ(run.strErr, c.strErr);
    }
}

}  // namespace
