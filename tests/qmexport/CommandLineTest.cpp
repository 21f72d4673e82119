// CommandLineTest.cpp
//
// The console exporter's command line: accepted lines and the values they give, refused
// lines and their reasons, table-driven.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "qmexport/CommandLine.h"

namespace {

struct Accepted {
    std::vector<std::wstring> args;
    const char* pszUser;
    const char* pszDatabase;
    bool bSysdba;
    const wchar_t* pszFile;
    const wchar_t* pszFolder;
    std::vector<std::string> objects;
    bool bQuiet;
    bool bHelp;
};

const Accepted kAccepted[] = {
    {{L"--user", L"SCOTT", L"--database", L"DEMO", L"--file", L"out.sql"},
     "SCOTT",
     "DEMO",
     false,
     L"out.sql",
     L"",
     {},
     false,
     false},
    {{L"--user=scott", L"--database=demo", L"--dir=C:\\src\\db", L"--sysdba", L"--quiet"},
     "SCOTT",
     "demo",
     true,
     L"",
     L"C:\\src\\db",
     {},
     true,
     false},
    {{L"--dir", L"x", L"--object", L"PKG_A", L"--database", L"D", L"--object", L"Mixed Case",
      L"--user", L"U"},
     "U",
     "D",
     false,
     L"",
     L"x",
     {"PKG_A", "Mixed Case"},
     false,
     false},
    {{L"--file", L"C:\\Pfad mit \u00e4\u4e2d\\f.sql", L"--user", L"U", L"--database", L"D"},
     "U",
     "D",
     false,
     L"C:\\Pfad mit \u00e4\u4e2d\\f.sql",
     L"",
     {},
     false,
     false},
    // Names reach the session in UTF-8; a user name is upper-cased as Oracle folds it.
    {{L"--user", L"m\u00fcller", L"--database", L"D", L"--file", L"f", L"--object",
      L"\u65e5\u672c_PKG"},
     "M\xC3\x9CLLER",
     "D",
     false,
     L"f",
     L"",
     {"\xE6\x97\xA5\xE6\x9C\xAC_PKG"},
     false,
     false},
    {{L"--help"}, "", "", false, L"", L"", {}, false, true},
    {{L"--user", L"U", L"-h"}, "U", "", false, L"", L"", {}, false, true},
    {{L"/?"}, "", "", false, L"", L"", {}, false, true},
};

struct Refused {
    std::vector<std::wstring> args;
    const char* pszReason;  // a part of the reason
};

const Refused kRefused[] = {
    {{}, "--user is missing"},
    {{L"--user", L"U", L"--file", L"f"}, "--database is missing"},
    {{L"--user", L"U", L"--database", L"D"}, "one of --file and --dir"},
    {{L"--user", L"U", L"--database", L"D", L"--file", L"f", L"--dir", L"d"}, "exclude each other"},
    {{L"--user", L"U", L"--database", L"D", L"--file"}, "--file needs a value"},
    {{L"--user=", L"--database", L"D", L"--file", L"f"}, "--user needs a value"},
    {{L"--user", L"U", L"--user", L"V", L"--database", L"D", L"--file", L"f"},
     "--user given twice"},
    {{L"--user", L"U", L"--database", L"D", L"--file", L"f", L"--file", L"g"},
     "--file given twice"},
    {{L"--user", L"U", L"--database", L"D", L"--file", L"f", L"--verbose"},
     "unknown option --verbose"},
    {{L"--user", L"U", L"--database", L"D", L"--file", L"f", L"extra"},
     "unexpected argument extra"},
    {{L"--user", L"U", L"--database", L"D", L"--file", L"f", L"--password", L"tiger"},
     "never taken"},
    {{L"--user", L"U", L"--database", L"D", L"--file", L"f", L"--password=tiger"}, "never taken"},
    {{L"--user", L"U", L"--database", L"D", L"--file", L"f", L"--quiet=yes"},
     "--quiet takes no value"},
    {{L"--user", L"U", L"--database", L"D", L"--file", L"f", L"--kinds", L"PACKAGE,BOGUS"},
     "unknown kind BOGUS (the kinds: PACKAGE, PACKAGE BODY, PROCEDURE, FUNCTION, TYPE, TYPE BODY, "
     "TRIGGER, VIEW, or all)"},
    {{L"--user", L"U", L"--database", L"D", L"--file", L"f", L"--kinds", L" package  bodies "},
     "unknown kind package  bodies"},
    {{L"--user", L"U", L"--database", L"D", L"--file", L"f", L"--kinds", L"TYPE,,TRIGGER"},
     "unknown kind \"\""},
    {{L"--user", L"U", L"--database", L"D", L"--file", L"f", L"--kinds", L"TYPE,"},
     "unknown kind \"\""},
    {{L"--user", L"U", L"--database", L"D", L"--file", L"f", L"--kinds", L"all", L"--kinds",
      L"TYPE"},
     "--kinds given twice"},
    {{L"--user", L"U", L"--database", L"D", L"--file", L"f", L"--kinds="}, "--kinds needs a value"},
    {{L"--user", L"U", L"--database", L"D", L"--file", L"f", L"--owner", L"HR", L"--owner=X"},
     "--owner given twice"},
    {{L"--user", L"U", L"--database", L"D", L"--file", L"f", L"--password"}, "never taken"},
    {{L"--user", L"U", L"--database", L"D", L"--file", L"f", L"--ascii-names"},
     "--ascii-names needs --dir"},
    {{L"--user", L"U", L"--database", L"D", L"--dir", L"d", L"--ascii-names=yes"},
     "--ascii-names takes no value"},
};

struct KindsCase {
    const wchar_t* pszKinds;
    std::vector<std::string> kinds;  // as the export is given them
};

const std::vector<std::string> kAllKinds = {"PACKAGE", "PACKAGE BODY", "PROCEDURE", "FUNCTION",
                                            "TYPE",    "TYPE BODY",    "TRIGGER",   "VIEW"};

const KindsCase kKinds[] = {
    {nullptr, {}},
    {L"all", kAllKinds},
    {L"ALL", kAllKinds},
    {L"trigger, TYPE ,all", kAllKinds},
    {L"TRIGGER", {"TRIGGER"}},
    {L"type body,Type", {"TYPE", "TYPE BODY"}},
    {L" package\tbody , function,FUNCTION", {"PACKAGE BODY", "FUNCTION"}},
    {L"Package   Body", {"PACKAGE BODY"}},
    {L"view,package", {"PACKAGE", "VIEW"}},
};

}  // namespace

TEST(CommandLineTest, AcceptedLinesGiveTheirValues)
{
    for (const Accepted& entry : kAccepted) {
        SCOPED_TRACE(testing::Message() << "case " << (&entry - kAccepted));
        CommandLine line;
        std::string strError;
        ASSERT_TRUE(CommandLine::Parse(entry.args, line, strError)) << strError;
        EXPECT_EQ(line.bHelp, entry.bHelp);
        EXPECT_EQ(line.strUser.str(), entry.pszUser);
        EXPECT_EQ(line.strDatabase.str(), entry.pszDatabase);
        EXPECT_EQ(line.bSysdba, entry.bSysdba);
        EXPECT_EQ(line.strFile, entry.pszFile);
        EXPECT_EQ(line.strFolder, entry.pszFolder);
        std::vector<std::string> objects;
        for (const CString& strName : line.objectNames)
            objects.push_back(strName.str());
        EXPECT_EQ(objects, entry.objects);
        EXPECT_EQ(line.bQuiet, entry.bQuiet);
    }
}

TEST(CommandLineTest, VersionNeedsNothingElse)
{
    for (const std::vector<std::wstring>& args :
         {std::vector<std::wstring>{L"--version"}, {L"--user", L"U", L"--version"}}) {
        CommandLine line;
        std::string strError;
        ASSERT_TRUE(CommandLine::Parse(args, line, strError)) << strError;
        EXPECT_TRUE(line.bVersion);
        EXPECT_FALSE(line.bHelp);
    }
    CommandLine line;
    std::string strError;
    EXPECT_FALSE(CommandLine::Parse({L"--version=2"}, line, strError));
    EXPECT_EQ(strError, "--version takes no value");
}

TEST(CommandLineTest, RefusedLinesSayWhy)
{
    for (const Refused& entry : kRefused) {
        SCOPED_TRACE(testing::Message() << "case " << (&entry - kRefused));
        CommandLine line;
        std::string strError;
        EXPECT_FALSE(CommandLine::Parse(entry.args, line, strError));
        EXPECT_NE(strError.find(entry.pszReason), std::string::npos) << strError;
        // The password never shows in a reason.
        EXPECT_EQ(strError.find("tiger"), std::string::npos) << strError;
    }
}

TEST(CommandLineTest, UsageNamesEveryOptionAndExitCode)
{
    const std::string strUsage = CommandLine::UsageText();
    for (const char* pszPart : {"--user", "--database", "--sysdba", "--file", "--dir", "--object",
                                "--quiet", "--help", "--version", "--kinds", "--owner", "TYPE BODY",
                                "TRIGGER", "QUILLMARK_PASSWORD", "130", "143", "--ascii-names"})
        EXPECT_NE(strUsage.find(pszPart), std::string::npos) << pszPart;
}

TEST(CommandLineTest, KindsInAnyCaseAndOrderGiveEachKindOnceInOrder)
{
    for (const KindsCase& entry : kKinds) {
        SCOPED_TRACE(testing::Message()
                     << "--kinds " << (entry.pszKinds ? entry.pszKinds : L"(none)"));
        std::vector<std::wstring> args = {L"--user", L"U", L"--database", L"D", L"--dir", L"x"};
        if (entry.pszKinds != nullptr)
            args.insert(args.end(), {L"--kinds", entry.pszKinds});
        CommandLine line;
        std::string strError;
        ASSERT_TRUE(CommandLine::Parse(args, line, strError)) << strError;
        std::vector<std::string> kinds;
        for (const CString& strKind : line.kinds)
            kinds.push_back(strKind.str());
        EXPECT_EQ(kinds, entry.kinds);
    }
}

TEST(CommandLineTest, AsciiNamesIsAFolderExportsChoice)
{
    CommandLine line;
    std::string strError;
    ASSERT_TRUE(
        CommandLine::Parse({L"--user", L"U", L"--database", L"D", L"--dir", L"d"}, line, strError));
    EXPECT_FALSE(line.bAsciiNames);
    ASSERT_TRUE(CommandLine::Parse(
        {L"--user", L"U", L"--database", L"D", L"--dir", L"d", L"--ascii-names"}, line, strError))
        << strError;
    EXPECT_TRUE(line.bAsciiNames);
}

TEST(CommandLineTest, OwnerIsUpperCasedLikeTheUser)
{
    const std::pair<std::vector<std::wstring>, const char*> kCases[] = {
        {{L"--user", L"system", L"--database", L"D", L"--file", L"f", L"--owner", L"hr"}, "HR"},
        {{L"--user", L"system", L"--database", L"D", L"--file", L"f", L"--owner=App_Owner"},
         "APP_OWNER"},
        {{L"--user", L"system", L"--database", L"D", L"--file", L"f"}, ""},
    };
    for (const auto& entry : kCases) {
        CommandLine line;
        std::string strError;
        ASSERT_TRUE(CommandLine::Parse(entry.first, line, strError)) << strError;
        EXPECT_EQ(line.strOwner.str(), entry.second);
        EXPECT_EQ(line.strUser.str(), "SYSTEM");
    }
}
