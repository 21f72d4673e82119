// FolderIndexTest.cpp
//
// The manifest's text both ways and install.sql's order.
#include <gtest/gtest.h>

#include <set>
#include <string>

#include "qmexport/FolderIndex.h"

TEST(ManifestTest, FormatThenParseGivesTheSameFiles)
{
    const std::set<std::wstring> files = {L"PKG_A.pks", L"A%2FB.prc", L"Mixed Case.fnc", L"\u00c4PFEL.prc"};
    const std::string strText = Manifest::Format(files);
    EXPECT_EQ(strText[0], '#');
    EXPECT_EQ(Manifest::Parse(strText), files);
    EXPECT_NE(strText.find("\xC3\x84PFEL.prc\n"), std::string::npos) << "UTF-8 on disk";
}

TEST(ManifestTest, ParseSkipsCommentsBlankLinesAndACutLastLine)
{
    const std::pair<const char*, std::set<std::wstring>> kCases[] = {
        {"", {}},
        {"# header\n", {}},
        {"A.prc\nB.pks\n", {L"A.prc", L"B.pks"}},
        {"A.prc\r\n\r\nB.pks\r\n", {L"A.prc", L"B.pks"}},
        {"A.prc\nB.pk", {L"A.prc"}},
        {"# x\nA.prc\n#B.pks\n", {L"A.prc"}},
    };
    for (const auto& entry : kCases)
        EXPECT_EQ(Manifest::Parse(entry.first), entry.second) << entry.first;
}

TEST(InstallScriptTest, TypesSpecificationsFunctionsProceduresBodiesThenTriggersEachByName)
{
    const std::set<std::wstring> files = {
        L"Z_PKG.pkb", L"Z_PKG.pks", L"A_PKG.pkb", L"A_PKG.pks", L"B_PROC.prc", L"A_PROC.prc",
        L"Y_FUNC.fnc", L"C_FUNC.fnc", L"install.sql", L"notes.txt", L"%61%62%63.prc", L"ABC.prc",
        L"My Proc.prc", L"T_AUDIT.trg", L"A_TRG.trg", L"Z_TYPE.tps", L"B_TYPE.tps", L"Z_TYPE.tpb",
        L"B_TYPE.tpb", L"M_PKG.pkb", L"M_PKG.pks"};
    EXPECT_EQ(InstallScript::Text(files),
              "SET DEFINE OFF\n"
              "@@B_TYPE.tps\n"
              "@@Z_TYPE.tps\n"
              "@@A_PKG.pks\n"
              "@@M_PKG.pks\n"
              "@@Z_PKG.pks\n"
              "@@C_FUNC.fnc\n"
              "@@Y_FUNC.fnc\n"
              "@@ABC.prc\n"
              "@@A_PROC.prc\n"
              "@@B_PROC.prc\n"
              "@@\"My Proc.prc\"\n"
              "@@%61%62%63.prc\n"
              "@@A_PKG.pkb\n"
              "@@B_TYPE.tpb\n"
              "@@M_PKG.pkb\n"
              "@@Z_PKG.pkb\n"
              "@@Z_TYPE.tpb\n"
              "@@A_TRG.trg\n"
              "@@T_AUDIT.trg\n");
}

// SQL*Plus would otherwise ask for a value for every "&" in the source.
TEST(InstallScriptTest, NoObjectsOnlyTurnsSubstitutionOff)
{
    EXPECT_EQ(InstallScript::Text({}), "SET DEFINE OFF\n");
    EXPECT_EQ(InstallScript::Text({L"install.sql", L".qmexport-files"}), "SET DEFINE OFF\n");
}
