// ClientProcessTest.cpp
//
// qmexport.exe against oci-lite as a real client would be set up on a desk: the character set
// its NLS_LANG names (the file is written in it, or the run ends naming the character it cannot
// hold), a German client's sort order, the account states at logon, and Ctrl+C while the run
// waits in a slow database call.
#include <gtest/gtest.h>

#include <chrono>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "export/SqlPlusLines.h"
#include "tests/qmexport/QmexportFixture.h"

using namespace QmexportTest;

namespace {

std::string FileArgs(const std::string& strDatabase, const std::string& strFile,
                     const std::string& strMore = "")
{
    return "--user SCOTT --database " + strDatabase + " --file \"" + strFile + "\"" + strMore;
}

bool Contains(const std::string& strText, const std::string& strPart)
{
    return strText.find(strPart) != std::string::npos;
}

// "Grüße" in UTF-8 and in Windows-1252; "日本" in UTF-8.
const char kWesternUtf8[] = "Gr\xC3\xBC\xC3\x9F"
                            "e";
const char kWestern1252[] = "Gr\xFC\xDF"
                            "e";
const char kJapaneseUtf8[] = "\xE6\x97\xA5\xE6\x9C\xAC";

struct CharsetCase {
    const char* pszTitle;
    // NLS_LANG for the child, or kRemoveVariable.
    const char* pszNlsLang;
    const char* pszText;
    int nExitCode;
    // The file's second line, or (exit 1 or 3) the previous file kept.
    std::string strSecondLine;
    const char* pszErrorPart;
};

const char kPrevious[] = "-- the previous export\n";

const char kUnreadableNlsLang[] =
    "The Oracle client cannot use NLS_LANG=AMERICAN_AMERICA.WE8MSWIN1252X (ORA-12705: Cannot "
    "access NLS data files or invalid environment specified); set it as "
    "LANGUAGE_TERRITORY.CHARSET, such as AMERICAN_AMERICA.AL32UTF8";

const char kBeyondAscii[] =
    "The file holds characters outside US7ASCII, the client's character set, written in UTF-8 "
    "(first in A_PROC (PROCEDURE) line 2); run it with NLS_LANG set to a UTF-8 character set such "
    "as AMERICAN_AMERICA.AL32UTF8, or SQL*Plus will turn them into '?'.";

}  // namespace

// One table of the client settings desks have: the console's code pages, the Japanese sets
// (which differ in the wave dash), the client's default US7ASCII, an NLS_LANG the client cannot
// read. The client converts; what its set cannot hold ends the run with the file kept.
TEST(QmexportClientTest, TheFileIsWrittenInTheClientsCharacterSet)
{
    const CharsetCase kCases[] = {
        {"NLS_LANG set nowhere: UTF-8, nothing lost, and said", kRemoveVariable, kJapaneseUtf8, 0,
         std::string("  -- ") + kJapaneseUtf8 + "\n", kBeyondAscii},
        {"US7ASCII named, ASCII source: nothing said", "AMERICAN_AMERICA.US7ASCII", "plain", 0,
         "  -- plain\n", ""},
        {"US7ASCII named, Western source", "AMERICAN_AMERICA.US7ASCII", kWesternUtf8, 0,
         std::string("  -- ") + kWesternUtf8 + "\n", kBeyondAscii},
        {"a Western desk, Western text", "AMERICAN_AMERICA.WE8MSWIN1252", kWesternUtf8, 0,
         std::string("  -- ") + kWestern1252 + "\n", ""},
        {"a Western desk, Japanese text", "AMERICAN_AMERICA.WE8MSWIN1252", kJapaneseUtf8, 1,
         kPrevious,
         "A_PROC (PROCEDURE) line 2: the character U+65E5 cannot be written in WE8MSWIN1252; set "
         "NLS_LANG to a character set that holds it, such as AMERICAN_AMERICA.AL32UTF8\n"
         "A_PROC (PROCEDURE). The file was not changed."},
        // The set's own replacement character, stored for real, is written: only the client's
        // flag tells a replaced character.
        {"a Western desk, a real inverted question mark", "AMERICAN_AMERICA.WE8MSWIN1252",
         "\xC2\xBF"
         "qu\xC3\xA9?",
         0,
         "  -- \xBF"
         "qu\xE9?\n",
         ""},
        {"JA16SJIS, a real full-width question mark", "JAPANESE_JAPAN.JA16SJIS", "\xEF\xBC\x9F", 0,
         "  -- \x81\x48\n", ""},
        {"a Unicode desk", "AMERICAN_AMERICA.AL32UTF8", kJapaneseUtf8, 0,
         std::string("  -- ") + kJapaneseUtf8 + "\n", ""},
        {"console 437", "AMERICAN_AMERICA.US8PC437", kWesternUtf8, 0,
         "  -- Gr\x81\xE1"
         "e\n",
         ""},
        {"console 850", "GERMAN_GERMANY.WE8PC850", kWesternUtf8, 0,
         "  -- Gr\x81\xE1"
         "e\n",
         ""},
        {"console 858, the euro", "GERMAN_GERMANY.WE8PC858",
         "Gr\xC3\xBC\xC3\x9F"
         "e \xE2\x82\xAC",
         0,
         "  -- Gr\x81\xE1"
         "e \xD5\n",
         ""},
        {"console 852", "POLISH_POLAND.EE8PC852", "\xC5\x81\xC3\xB3\x64\xC5\xBA", 0,
         "  -- \x9D\xA2\x64\xAB\n", ""},
        {"console 866", "RUSSIAN_RUSSIA.RU8PC866",
         "\xD0\x9F\xD1\x80\xD0\xB8\xD0\xB2\xD0\xB5\xD1\x82", 0, "  -- \x8F\xE0\xA8\xA2\xA5\xE2\n",
         ""},
        {"console 850, Japanese text", "AMERICAN_AMERICA.WE8PC850", kJapaneseUtf8, 1, kPrevious,
         "the character U+65E5 cannot be written in WE8PC850"},
        {"JA16SJIS, the wave dash", "JAPANESE_JAPAN.JA16SJIS", "\xE3\x80\x9C", 0, "  -- \x81\x60\n",
         ""},
        {"JA16SJIS, the fullwidth tilde", "JAPANESE_JAPAN.JA16SJIS", "\xEF\xBD\x9E", 1, kPrevious,
         "A_PROC (PROCEDURE) line 2: the character U+FF5E cannot be written in JA16SJIS"},
        {"JA16SJISTILDE, the fullwidth tilde", "JAPANESE_JAPAN.JA16SJISTILDE", "\xEF\xBD\x9E", 0,
         "  -- \x81\x60\n", ""},
        {"JA16SJISTILDE, the wave dash", "JAPANESE_JAPAN.JA16SJISTILDE", "\xE3\x80\x9C", 1,
         kPrevious,
         "A_PROC (PROCEDURE) line 2: the character U+301C cannot be written in JA16SJISTILDE"},
        {"an NLS_LANG the client cannot read", "AMERICAN_AMERICA.WE8MSWIN1252X", kWesternUtf8, 3,
         kPrevious, kUnreadableNlsLang},
    };
    TempFolder folder("charset");
    int nCase = 0;
    for (const CharsetCase& c : kCases) {
        SCOPED_TRACE(c.pszTitle);
        const std::string strDatabase = "QC_CHARSET" + std::to_string(nCase++);
        {
            Schema schema(strDatabase.c_str());
            schema.AddObject("A_PROC", "PROCEDURE",
                             {"PROCEDURE A_PROC IS\n", std::string("  -- ") + c.pszText + "\n",
                              "BEGIN NULL; END;\n"});
        }
        const std::string strFile = folder / (strDatabase + ".sql");
        WriteFile(strFile, kPrevious);
        RunOptions options;
        options.environment = {{"NLS_LANG", c.pszNlsLang}};
        // --quiet: what the user must act on is printed all the same.
        const RunResult run = RunQmexport(FileArgs(strDatabase, strFile, " --quiet"), options);
        EXPECT_EQ(run.nExitCode, c.nExitCode) << run.strErr;
        if (*c.pszErrorPart != '\0')
            EXPECT_TRUE(Contains(run.strErr, c.pszErrorPart)) << run.strErr;
        else
            EXPECT_EQ(run.strErr, "");
        if (c.nExitCode == 0) {
            EXPECT_EQ(ReadFile(strFile), "CREATE OR REPLACE PROCEDURE A_PROC IS\n" +
                                             c.strSecondLine + "BEGIN NULL; END;\n\n/\n");
        } else {
            EXPECT_EQ(ReadFile(strFile), c.strSecondLine);
        }
    }
}

// A console desk logs on and finds its objects by names and a password beyond ASCII, each name
// exactly (ÄPFEL is not ÖPFEL, abc is not ABC) even where NLS_COMP and NLS_SORT ignore case.
TEST(QmexportClientTest, NamesAreExactOnEveryDesk)
{
    const std::string strApfel = "\xC3\x84PFEL";
    const std::string strOpfel = "\xC3\x96PFEL";
    {
        Schema schema("QC_NAMES");
        schema.AddUser("M\xC3\x9CLLER",
                       "gr\xC3\xBC\xC3\x9F"
                       "e",
                       0);
        schema.AddObject(strApfel.c_str(), "PROCEDURE",
                         {"PROCEDURE \"" + strApfel + "\" IS BEGIN NULL; END;\n"}, "M\xC3\x9CLLER");
        schema.AddObject(strOpfel.c_str(), "PROCEDURE",
                         {"PROCEDURE \"" + strOpfel + "\" IS BEGIN NULL; END;\n"}, "M\xC3\x9CLLER");
        schema.AddObject("abc", "PROCEDURE", {"PROCEDURE \"abc\" IS BEGIN NULL; END;\n"},
                         "M\xC3\x9CLLER");
        schema.AddObject("ABC", "PROCEDURE", {"PROCEDURE ABC IS BEGIN NULL; END;\n"},
                         "M\xC3\x9CLLER");
    }
    struct NameCase {
        const char* pszTitle;
        std::map<std::string, std::string> environment;
        std::string strObject;
        std::string strFile;
    };
    const NameCase kCases[] = {
        {"a console desk, a name beyond ASCII",
         {{"NLS_LANG", "GERMAN_GERMANY.WE8PC850"}},
         "\xC3\x84PFEL",
         "CREATE OR REPLACE PROCEDURE \"\x8EPFEL\" IS BEGIN NULL; END;\n\n/\n"},
        {"case-insensitive comparisons on the client",
         {{"NLS_LANG", "AMERICAN_AMERICA.AL32UTF8"},
          {"NLS_COMP", "LINGUISTIC"},
          {"NLS_SORT", "BINARY_CI"}},
         "abc",
         "CREATE OR REPLACE PROCEDURE \"abc\" IS BEGIN NULL; END;\n\n/\n"},
    };
    TempFolder folder("names");
    for (const NameCase& c : kCases) {
        SCOPED_TRACE(c.pszTitle);
        RunOptions options;
        options.environment = c.environment;
        options.environment["QUILLMARK_PASSWORD"] = "gr\xC3\xBC\xC3\x9F"
                                                    "e";
        const RunResult run = RunQmexport("--user M\xC3\x9CLLER --database QC_NAMES --file \"" +
                                              folder / "o.sql" + "\" --object " + c.strObject,
                                          options);
        ASSERT_EQ(run.nExitCode, 0) << run.strErr;
        EXPECT_EQ(ReadFile(folder / "o.sql"), c.strFile);
    }
    // Their line counts stay apart too: the whole schema under the same comparisons.
    RunOptions options;
    options.environment = {{"NLS_COMP", "LINGUISTIC"},
                           {"NLS_SORT", "BINARY_CI"},
                           {"NLS_LANG", "AMERICAN_AMERICA.AL32UTF8"},
                           {"QUILLMARK_PASSWORD", "gr\xC3\xBC\xC3\x9F"
                                                  "e"}};
    const RunResult all = RunQmexport(
        "--user M\xC3\x9CLLER --database QC_NAMES --file \"" + folder / "all.sql" + "\"", options);
    ASSERT_EQ(all.nExitCode, 0) << all.strErr;
    EXPECT_EQ(ReadFile(folder / "all.sql"),
              "CREATE OR REPLACE PROCEDURE ABC IS BEGIN NULL; END;\n\n/\n"
              "CREATE OR REPLACE PROCEDURE \"abc\" IS BEGIN NULL; END;\n\n/\n"
              "CREATE OR REPLACE PROCEDURE \"" +
                  strApfel + "\" IS BEGIN NULL; END;\n\n/\n" + "CREATE OR REPLACE PROCEDURE \"" +
                  strOpfel + "\" IS BEGIN NULL; END;\n\n/\n");
    // A name filter is a LIKE, which such a client would also make ignore case.
    const RunResult filtered =
        RunQmexport("--user M\xC3\x9CLLER --database QC_NAMES --file \"" + folder / "filtered.sql" +
                        "\" --include ab% --exclude ABC",
                    options);
    ASSERT_EQ(filtered.nExitCode, 0) << filtered.strErr;
    EXPECT_EQ(ReadFile(folder / "filtered.sql"),
              "CREATE OR REPLACE PROCEDURE \"abc\" IS BEGIN NULL; END;\n\n/\n");
}

// The same schema gives the same file on every desk: names in their bytes' order.
TEST(QmexportClientTest, AGermanClientGetsTheNamesInByteOrder)
{
    {
        Schema schema("QC_GERMAN");
        schema.AddObject("a_pkg", "PROCEDURE", {"PROCEDURE \"a_pkg\" IS BEGIN NULL; END;\n"});
        schema.AddObject("B_PKG", "PROCEDURE", {"PROCEDURE B_PKG IS BEGIN NULL; END;\n"});
    }
    TempFolder folder("german");
    RunOptions options;
    options.environment = {{"NLS_LANG", "GERMAN_GERMANY.AL32UTF8"}};
    const RunResult run = RunQmexport(FileArgs("QC_GERMAN", folder / "out.sql"), options);
    ASSERT_EQ(run.nExitCode, 0) << run.strErr;
    EXPECT_EQ(ReadFile(folder / "out.sql"),
              "CREATE OR REPLACE PROCEDURE B_PKG IS BEGIN NULL; END;\n\n/\n"
              "CREATE OR REPLACE PROCEDURE \"a_pkg\" IS BEGIN NULL; END;\n\n/\n");
}

// SQL*Plus would take "&" for a substitution variable: a file whose blocks hold one begins with
// SET DEFINE OFF, decided before the first block, so a failed run's file begins the same way.
TEST(QmexportClientTest, AnAmpersandTurnsSubstitutionOff)
{
    const std::string strBlockA = "CREATE OR REPLACE PROCEDURE A_PROC IS\nBEGIN NULL; END;\n\n/\n";
    {
        Schema schema("QC_AMP");
        schema.AddObject("A_PROC", "PROCEDURE", {"PROCEDURE A_PROC IS\n", "BEGIN NULL; END;\n"});
        schema.AddObject(
            "B_PROC", "PROCEDURE",
            {"PROCEDURE B_PROC IS\n", "  U VARCHAR2(9) := 'Q&A';\n", "BEGIN NULL; END;\n"});
        schema.AddObjectWithoutSource("C_PROC", "PROCEDURE");
    }
    TempFolder folder("amp");
    const RunResult failed = RunQmexport(FileArgs("QC_AMP", folder / "all.sql"));
    EXPECT_EQ(failed.nExitCode, 1) << failed.strErr;
    EXPECT_EQ(ReadFile(folder / "all.sql"), "SET DEFINE OFF\n" + strBlockA +
                                                "CREATE OR REPLACE PROCEDURE B_PROC IS\n  U "
                                                "VARCHAR2(9) := 'Q&A';\nBEGIN NULL; END;\n\n/\n");

    const RunResult plain = RunQmexport(FileArgs("QC_AMP", folder / "a.sql", " --object A_PROC"));
    EXPECT_EQ(plain.nExitCode, 0) << plain.strErr;
    EXPECT_EQ(ReadFile(folder / "a.sql"), strBlockA);
}

// A line of exactly nLength characters (its line feed aside).
std::string LineOfLength(size_t nLength)
{
    return "--" + std::string(nLength - 2, 'x') + "\n";
}

// One table of the SQL*Plus hazards in source lines: the single file begins with the SET lines
// the job needs (none for source SQL*Plus reads as stored, byte for byte as before), and
// install.sql with SET DEFINE OFF and the others by the same rules; lines no setting can guard
// ("/" alone inside a unit, "@" first, too long) are named on standard error, also with --quiet;
// "#" lines with every SQLPREFIX taken write nothing at all.
TEST(QmexportClientTest, SqlPlusHazardsInTheFileAndInstallSql)
{
    const std::string strPrevious = "-- the previous export\n";
    const std::string strNoPrefix =
        "B_PROC (PROCEDURE) line 3 begins with '#', and every character SQLPREFIX can take also "
        "begins a line of the source: SQL*Plus would run that line as its own command, so "
        "nothing was written";
    auto named = [](int nLine, const std::string& strWhat) {
        return "B_PROC (PROCEDURE) line " + std::to_string(nLine) + " " + strWhat;
    };
    const std::string strScript = "begins with '@': SQL*Plus runs the script it names in place of "
                                  "that line, so the file does not recreate the unit as stored";
    auto tooLong = [](int nLength) {
        return "is " + std::to_string(nLength) +
               " characters long: SQL*Plus up to release 12.1 reads at most 2,499 characters of "
               "a line (later releases 4,999)";
    };
    std::vector<std::string> everyPrefix = {"  S := 'a\n", " #\n"};
    for (const char* p = SqlPlusNeeds::kPrefixCandidates; *p != '\0'; ++p)
        everyPrefix.push_back(std::string(1, *p) + " x\n");
    everyPrefix.push_back("';\n");
    struct HazardCase {
        const char* pszTitle;
        std::vector<std::string> lines;   // B_PROC's lines between its first and last
        std::string strFileSet;           // the single file's SET lines
        std::string strInstallSet;        // install.sql's
        std::vector<std::string> errors;  // on standard error, in this order
        int nExitCode;
    };
    const HazardCase kCases[] = {
        {"nothing SQL*Plus reads", {"  X := 1 / 2;\n"}, "", "SET DEFINE OFF\n", {}, 0},
        {"an ampersand", {"  S := 'Q&A';\n"}, "SET DEFINE OFF\n", "SET DEFINE OFF\n", {}, 0},
        {"a dot alone",
         {"  /* one\n", "  .  \n", "  */\n"},
         "SET BLOCKTERMINATOR OFF\n",
         "SET DEFINE OFF\nSET BLOCKTERMINATOR OFF\n",
         {},
         0},
        {"a hash first",
         {"  S := 'a\n", "  # b';\n"},
         "SET SQLPREFIX ~\n",
         "SET DEFINE OFF\nSET SQLPREFIX ~\n",
         {},
         0},
        {"a hash, and a tilde first",
         {"  S := 'a\n", "#b\n", "~c';\n"},
         "SET SQLPREFIX ^\n",
         "SET DEFINE OFF\nSET SQLPREFIX ^\n",
         {},
         0},
        {"a hash with the first five candidates taken",
         {"  S := 'a\n", "#\n", "~\n", "^\n", "=\n", "+\n", "|';\n"},
         "SET SQLPREFIX `\n",
         "SET DEFINE OFF\nSET SQLPREFIX `\n",
         {},
         0},
        {"a hash with every candidate taken", everyPrefix, "", "", {strNoPrefix}, 1},
        {"an @ line", {"  @shared_decls.sql\n"}, "", "SET DEFINE OFF\n", {named(2, strScript)}, 0},
        {"an @@ line",
         {"@@\\\\server\\share\\x\n"},
         "",
         "SET DEFINE OFF\n",
         {named(2, strScript)},
         0},
        {"a line of 2,499 characters", {LineOfLength(2499)}, "", "SET DEFINE OFF\n", {}, 0},
        {"a line of 2,500 characters",
         {LineOfLength(2500)},
         "",
         "SET DEFINE OFF\n",
         {named(2, tooLong(2500))},
         0},
        {"a line of 4,000 characters",
         {LineOfLength(4000)},
         "",
         "SET DEFINE OFF\n",
         {named(2, tooLong(4000))},
         0},
        {"several at once",
         {"  S := '&\n", ".\n", "#';\n", " @x\n", LineOfLength(2600), "  /\n"},
         "SET DEFINE OFF\nSET BLOCKTERMINATOR OFF\nSET SQLPREFIX ~\n",
         "SET DEFINE OFF\nSET BLOCKTERMINATOR OFF\nSET SQLPREFIX ~\n",
         {named(5, strScript), named(6, tooLong(2600)),
          named(7, "holds only '/': SQL*Plus ends the unit there, so the file does not recreate "
                   "it as stored")},
         0},
    };
    const std::string strBlockA = "CREATE OR REPLACE PROCEDURE A_PROC IS\nBEGIN NULL; END;\n\n/\n";
    int nCase = 0;
    for (const HazardCase& c : kCases) {
        SCOPED_TRACE(c.pszTitle);
        const std::string strDatabase = "QC_LINES" + std::to_string(nCase++);
        std::vector<std::string> lines = {"PROCEDURE B_PROC IS\n"};
        lines.insert(lines.end(), c.lines.begin(), c.lines.end());
        lines.push_back("BEGIN NULL; END;\n");
        {
            Schema schema(strDatabase.c_str());
            schema.AddObject("A_PROC", "PROCEDURE",
                             {"PROCEDURE A_PROC IS\n", "BEGIN NULL; END;\n"});
            schema.AddObject("B_PROC", "PROCEDURE", lines);
        }
        std::string strBlockB = "CREATE OR REPLACE ";
        for (const std::string& strLine : lines)
            strBlockB += strLine;
        strBlockB += "\n/\n";
        TempFolder folder(("lines" + std::to_string(nCase)).c_str());
        WriteFile(folder / "all.sql", strPrevious);
        const RunResult file = RunQmexport(FileArgs(strDatabase, folder / "all.sql", " --quiet"));
        EXPECT_EQ(file.nExitCode, c.nExitCode) << file.strErr;
        EXPECT_EQ(ReadFile(folder / "all.sql"),
                  c.nExitCode == 0 ? c.strFileSet + strBlockA + strBlockB : strPrevious);
        size_t nAt = 0;
        for (const std::string& strError : c.errors) {
            nAt = file.strErr.find(strError, nAt);
            EXPECT_NE(nAt, std::string::npos) << strError << "\n" << file.strErr;
        }
        if (c.errors.empty()) {
            EXPECT_EQ(file.strErr, "");
        }

        const std::string strDir = folder / "dir";
        MakeFolder(strDir);
        const RunResult dir = RunQmexport("--user SCOTT --database " + strDatabase + " --dir \"" +
                                          strDir + "\" --quiet");
        EXPECT_EQ(dir.nExitCode, c.nExitCode) << dir.strErr;
        for (const std::string& strError : c.errors)
            EXPECT_TRUE(Contains(dir.strErr, strError)) << dir.strErr;
        if (c.nExitCode != 0) {
            EXPECT_EQ(ListFiles(strDir + kSeparator), std::vector<std::string>{}) << dir.strErr;
            continue;
        }
        const std::string strInstall = ReadFile(strDir + kSeparator + "install.sql");
        EXPECT_EQ(strInstall.substr(0, strInstall.find("@@")), c.strInstallSet);
        EXPECT_EQ(ReadFile(strDir + kSeparator + "B_PROC.prc"), strBlockB);
    }
}

// install.sql's SET lines cover the files this run did not write: a later run for one plain
// object keeps the SQLPREFIX another object's file needs, and a run whose lines would take the
// last prefix those files left writes nothing.
TEST(QmexportClientTest, InstallSqlReadsTheFilesItDidNotWrite)
{
    const std::string strCandidates = SqlPlusNeeds::kPrefixCandidates;
    std::vector<std::string> cLines = {"PROCEDURE C_PROC IS\n", "  S := 'a\n"};
    for (size_t i = 1; i < strCandidates.size(); ++i)
        cLines.push_back(strCandidates.substr(i, 1) + "\n");
    cLines.push_back("';\n");
    cLines.push_back("BEGIN NULL; END;\n");
    {
        Schema schema("QC_INSTALL");
        schema.AddObject("A_PROC", "PROCEDURE", {"PROCEDURE A_PROC IS\n", "BEGIN NULL; END;\n"});
        schema.AddObject(
            "B_PROC", "PROCEDURE",
            {"PROCEDURE B_PROC IS\n", "  S := 'a\n", "# b\n", "~ c';\n", "BEGIN NULL; END;\n"});
        schema.AddObject("C_PROC", "PROCEDURE", cLines);
    }
    TempFolder folder("install");
    std::string strDir = folder.Path();
    strDir.pop_back();
    const std::string strArgs =
        "--user SCOTT --database QC_INSTALL --dir \"" + strDir + "\" --quiet";
    ASSERT_EQ(RunQmexport(strArgs + " --object B_PROC").nExitCode, 0);
    const RunResult one = RunQmexport(strArgs + " --object A_PROC");
    ASSERT_EQ(one.nExitCode, 0) << one.strErr;
    const std::string strInstall = ReadFile(folder / "install.sql");
    EXPECT_EQ(strInstall.substr(0, strInstall.find("@@")), "SET DEFINE OFF\nSET SQLPREFIX ^\n");

    // C_PROC alone needs no prefix, but takes every one but "~", and B_PROC's file takes "~".
    const RunResult refused = RunQmexport(strArgs + " --object C_PROC");
    EXPECT_EQ(refused.nExitCode, 1) << refused.strErr;
    EXPECT_TRUE(Contains(refused.strErr,
                         "B_PROC (PROCEDURE) line 3 begins with '#', and every character "
                         "SQLPREFIX can take also begins a line of the source: SQL*Plus would run "
                         "that line as its own command, so nothing was written"))
        << refused.strErr;
    EXPECT_EQ(ReadFile(folder / "install.sql"), strInstall);
    EXPECT_EQ(ListFiles(folder.Path()), (std::vector<std::string>{".qmexport-files", "A_PROC.prc",
                                                                  "B_PROC.prc", "install.sql"}));
}

// Each account state at logon, with the password as stored and in another case.
TEST(QmexportClientTest, LogonOutcomes)
{
    struct LogonCase {
        const char* pszStatus;
        const char* pszPassword;
        int nExitCode;
        const char* pszErrorPart;
    };
    const LogonCase kCases[] = {
        {"OPEN", "tiger", 0, ""},
        {"OPEN", "TIGER", 3, "ORA-01017"},
        {"EXPIRED(GRACE)", "tiger", 0, "ORA-28002: the password will expire within 7 days"},
        {"EXPIRED(GRACE)", "TIGER", 3, "ORA-01017"},
        {"LOCKED", "tiger", 3, "ORA-28000: the account is locked"},
        {"LOCKED(TIMED)", "tiger", 3, "ORA-28000: the account is locked"},
        {"EXPIRED", "tiger", 3, "ORA-28001: the password has expired"},
        {"EXPIRED & LOCKED", "tiger", 3, "ORA-28000: the account is locked"},
    };
    TempFolder folder("logon");
    int nCase = 0;
    for (const LogonCase& c : kCases) {
        SCOPED_TRACE(std::string(c.pszStatus) + " / " + c.pszPassword);
        const std::string strDatabase = "QC_LOGON" + std::to_string(nCase++);
        {
            Schema schema(strDatabase.c_str());
            schema.SetAccountStatus(kUser, c.pszStatus);
            schema.AddObject("A_PROC", "PROCEDURE", {"PROCEDURE A_PROC IS BEGIN NULL; END;\n"});
        }
        RunOptions options;
        options.environment = {{"QUILLMARK_PASSWORD", c.pszPassword}};
        // --quiet: the grace warning is printed all the same.
        const RunResult run = RunQmexport(
            FileArgs(strDatabase, folder / (strDatabase + ".sql"), " --quiet"), options);
        EXPECT_EQ(run.nExitCode, c.nExitCode) << run.strErr;
        EXPECT_TRUE(Contains(run.strErr, c.pszErrorPart)) << run.strErr;
        EXPECT_EQ(FileExists(folder / (strDatabase + ".sql")), c.nExitCode == 0);
    }
}

namespace {

struct SlowCallWatch {
    std::string strTrace;
    // The trace line after which the call to break is under way.
    const char* pszAfter = "";
    std::chrono::steady_clock::time_point sent;
};

// Ctrl+C to the child once its trace shows the call before the slow one done.
bool SendCtrlCWhenSlow(ProcessId nProcess, void* pContext)
{
    auto* pWatch = static_cast<SlowCallWatch*>(pContext);
    if (!FileExists(pWatch->strTrace) || !Contains(ReadFile(pWatch->strTrace), pWatch->pszAfter))
        return false;
    EXPECT_TRUE(Interrupt(nProcess));
    pWatch->sent = std::chrono::steady_clock::now();
    return true;
}

// The same, twice: the second Ctrl+C comes while the first one's break still travels the link.
bool SendCtrlCTwiceWhenSlow(ProcessId nProcess, void* pContext)
{
    if (!SendCtrlCWhenSlow(nProcess, pContext))
        return false;
    // Two key presses, not one event delivered twice.
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_TRUE(Interrupt(nProcess));
    static_cast<SlowCallWatch*>(pContext)->sent = std::chrono::steady_clock::now();
    return true;
}

}  // namespace

// A database call that would take a minute, or a round trip of several seconds over a slow
// link, ends at Ctrl+C: exit 130 long before the call would have returned, the previous file
// kept. A second Ctrl+C does not wait for the first one's break over an 8 s link: it ends the
// run at once.
TEST(QmexportClientTest, CtrlCBreaksASlowCall)
{
    ASSERT_TRUE(PrepareInterrupt());
    {
        Schema schema("QC_SLOW");
        schema.AddObject("A_PROC", "PROCEDURE", {"PROCEDURE A_PROC IS BEGIN NULL; END;\n"});
    }
    struct SlowCase {
        const char* pszTitle;
        const char* pszVariable;
        const char* pszMicroseconds;
        const char* pszAfter;
        long nWithinMs;
        bool bTwice = false;
    };
    const SlowCase kCases[] = {
        {"a statement's minute of server work", "OCI_LITE_SERVER_US", "60000000", "OCISessionBegin",
         30000},
        {"the attach over an 8 s link", "OCI_LITE_RTT_US", "8000000", "OCIAttrSet", 12000},
        {"the logon over an 8 s link", "OCI_LITE_RTT_US", "8000000", "OCIServerAttach", 12000},
        {"twice, a statement over an 8 s link", "OCI_LITE_RTT_US", "8000000", "OCISessionBegin",
         4000, true},
    };
    int nCase = 0;
    for (const SlowCase& c : kCases) {
        SCOPED_TRACE(c.pszTitle);
        TempFolder folder(("slow" + std::to_string(nCase++)).c_str());
        WriteFile(folder / "out.sql", kPrevious);
        SlowCallWatch watch;
        watch.strTrace = folder / "trace.txt";
        watch.pszAfter = c.pszAfter;
        RunOptions options;
        options.environment = {{c.pszVariable, c.pszMicroseconds},
                               {"OCI_LITE_TRACE", watch.strTrace}};
        options.pWhileRunning = c.bTwice ? SendCtrlCTwiceWhenSlow : SendCtrlCWhenSlow;
        options.pContext = &watch;
        options.nTimeoutMs = 90000;
        const RunResult run = RunQmexport(FileArgs("QC_SLOW", folder / "out.sql"), options);
        EXPECT_EQ(run.nExitCode, 130) << run.strErr;
        ASSERT_NE(watch.sent, std::chrono::steady_clock::time_point());
        // The break waits for its own round trip, then nothing more: no logoff over the link.
        EXPECT_LT(std::chrono::duration_cast<std::chrono::milliseconds>(
                      std::chrono::steady_clock::now() - watch.sent)
                      .count(),
                  c.nWithinMs);
        EXPECT_EQ(ReadFile(folder / "out.sql"), kPrevious);
    }
}
