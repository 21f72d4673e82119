// DriftReportTest.cpp
//
// The parts --check and the name filters rest on, in this process: Oracle's LIKE with "\" as
// the escape character, the blocks of a .sql file and the objects they create, and the lines a
// file's comparison gives.
#include <gtest/gtest.h>

#include <algorithm>

#include "export/NameFilter.h"
#include "qmexport/DriftReport.h"

namespace {

struct LikeCase {
    const char* pszName;
    const char* pszPattern;
    bool bMatches;
};

const LikeCase kLikeCases[] = {
    {"HR_UTIL", "HR%", true},
    {"HR_UTIL", "hr%", false},
    {"HR_UTIL", "%UTIL", true},
    {"HR_UTIL", "%", true},
    {"", "%", true},
    {"", "_", false},
    {"HR_UTIL", "HR_UTIL", true},
    {"HRXUTIL", "HR_UTIL", true},
    {"HRXUTIL", "HR\\_UTIL", false},
    {"HR_UTIL", "HR\\_UTIL", true},
    {"A%B", "A\\%B", true},
    {"AXB", "A\\%B", false},
    {"A\\B", "A\\\\B", true},
    {"AB", "A%%B", true},
    {"ABC", "A%C%", true},
    {"ABCBC", "%BC", true},
    {"ABCBD", "%BC", false},
    {"AB", "AB\\", false},
    {"\xC3\x84PFEL", "_PFEL", true},
    {"\xC3\x84PFEL", "__PFEL", false},
    {"MISSISSIPPI", "M%SS%PI", true},
    {"MISSISSIPPI", "M%SS%PX", false},
};

TEST(NameFilterTest, LikeMatchesAsOracleWithBackslashAsEscape)
{
    for (const LikeCase& c : kLikeCases)
        EXPECT_EQ(NameFilter::Like(c.pszName, c.pszPattern), c.bMatches)
            << c.pszName << " LIKE " << c.pszPattern;
}

TEST(NameFilterTest, AnyIncludeAndNoExclude)
{
    const NameFilter none;
    EXPECT_TRUE(none.IsEmpty());
    EXPECT_TRUE(none.Selects("ANYTHING"));
    const NameFilter filter({"HR%", "GET\\_%"}, {"%TEST%"});
    EXPECT_TRUE(filter.Selects("HR_UTIL"));
    EXPECT_TRUE(filter.Selects("GET_SAL"));
    EXPECT_FALSE(filter.Selects("GETSAL"));
    EXPECT_FALSE(filter.Selects("HR_TEST_UTIL"));
    EXPECT_FALSE(filter.Selects("EMP_API"));
    const NameFilter excludeOnly({}, {"X%"});
    EXPECT_TRUE(excludeOnly.Selects("A"));
    EXPECT_FALSE(excludeOnly.Selects("XA"));
}

struct NameCase {
    const char* pszBlock;
    const char* pszType;  // "" when the block names no object
    const char* pszName;
};

const NameCase kNameCases[] = {
    {"CREATE OR REPLACE PACKAGE hr_util AS\nEND;\n/\n", "PACKAGE", "HR_UTIL"},
    {"CREATE OR REPLACE package body Hr_Util is\nEND;\n/\n", "PACKAGE BODY", "HR_UTIL"},
    {"CREATE OR REPLACE PROCEDURE \"Mixed Name\" IS BEGIN NULL; END;\n/\n", "PROCEDURE",
     "Mixed Name"},
    {"CREATE OR REPLACE EDITIONABLE FUNCTION hr.get_sal RETURN NUMBER", "FUNCTION", "GET_SAL"},
    {"CREATE OR REPLACE TYPE BODY addr_t AS\nEND;\n", "TYPE BODY", "ADDR_T"},
    {"CREATE OR REPLACE TYPE\n  -- a comment\n  addr_t /* and another */ AS OBJECT (x NUMBER);",
     "TYPE", "ADDR_T"},
    {"CREATE OR REPLACE TRIGGER aud_trg BEFORE INSERT ON t", "TRIGGER", "AUD_TRG"},
    {"CREATE OR REPLACE VIEW v AS SELECT 1 FROM dual", "VIEW", "V"},
    {"CREATE OR REPLACE FORCE VIEW \"Emp_V\" (\"A\") AS\nSELECT 1 a FROM dual", "VIEW", "Emp_V"},
    {"CREATE OR REPLACE FORCE EDITIONING VIEW \"EMP\" (\"A\") BEQUEATH CURRENT_USER AS", "VIEW",
     "EMP"},
    {"CREATE OR REPLACE NO FORCE EDITIONABLE EDITIONING VIEW hr.emp AS", "VIEW", "EMP"},
    {"CREATE OR REPLACE FORCE MATERIALIZED VIEW mv AS", "", ""},
    {"CREATE OR REPLACE SYNONYM s FOR t", "", ""},
    {"SET DEFINE OFF\n", "", ""},
};

TEST(SqlFileBlocksTest, ABlockIsNamedByTheObjectItsFirstWordsCreate)
{
    for (const NameCase& c : kNameCases) {
        std::string strType;
        std::string strName;
        const bool bNamed = SqlFileBlocks::NameOf(c.pszBlock, strType, strName);
        EXPECT_EQ(bNamed, *c.pszType != '\0') << c.pszBlock;
        if (bNamed) {
            EXPECT_EQ(strType, c.pszType) << c.pszBlock;
            EXPECT_EQ(strName, c.pszName) << c.pszBlock;
        }
    }
}

TEST(SqlFileBlocksTest, BlocksBeginAfterTheLeadOrASlashLine)
{
    const std::string strFile =
        "SET DEFINE OFF\n"
        "CREATE OR REPLACE PACKAGE A AS\n"
        "CREATE OR REPLACE is text inside the package here\n"
        "END;\n"
        "/\n"
        "CREATE OR REPLACE PROCEDURE B IS BEGIN NULL; END;\n"
        "/\r\n"
        "CREATE OR REPLACE FUNCTION C RETURN NUMBER IS BEGIN RETURN 1; END;\n"
        "/\n";
    std::string strLead;
    const auto blocks = SqlFileBlocks::Split(strFile, &strLead);
    EXPECT_EQ(strLead, "SET DEFINE OFF\n");
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_EQ(blocks[0].strName, "A");
    auto bytesOf = [&](const SqlFileBlocks::Block& block) {
        return strFile.substr(block.nStart, block.nLength);
    };
    EXPECT_EQ(bytesOf(blocks[0]).find("END;\n/\n"), bytesOf(blocks[0]).size() - 7);
    EXPECT_EQ(blocks[1].strType, "PROCEDURE");
    EXPECT_EQ(blocks[2].strType, "FUNCTION");
    EXPECT_EQ(bytesOf(blocks[0]) + bytesOf(blocks[1]) + bytesOf(blocks[2]),
              strFile.substr(strLead.size()));
}

// The file is read in pieces of any size: a line, and the words that begin a block, may be cut
// anywhere, and each block is found, named and digested as in the whole file.
TEST(SqlFileBlocksTest, AFileScannedInPiecesOfAnySizeGivesTheSameBlocks)
{
    const std::string strFile = "SET DEFINE OFF\n"
                                "CREATE OR REPLACE PACKAGE A AS\n"
                                "CREATE OR REPLACE is text inside the package here\n"
                                "END;\n"
                                "  / \r\n"
                                "CREATE OR REPLACE PROCEDURE B IS BEGIN NULL; END;\n"
                                "/\r \n"
                                "CREATE OR REPLACE stays in B\n"
                                "\t/\n"
                                "CREATE OR REPLACE FUNCTION C RETURN NUMBER IS\n"
                                "/\n"
                                "CREATE OR REPLACE";
    const std::vector<OutputFile::RenderedBlock> exported = {OutputFile::RenderedBlock::Of(
        ExportObjectId{"C", "FUNCTION"}, "CREATE OR REPLACE FUNCTION C RETURN NUMBER IS\n")};
    DriftReport::FileScan whole(exported);
    whole.Add(strFile.data(), strFile.size());
    whole.Finish();
    ASSERT_EQ(whole.Blocks().size(), 3u);
    EXPECT_EQ(whole.Blocks()[1].block.strName, "B");
    EXPECT_EQ(whole.Blocks()[2].block.strName, "C");
    EXPECT_EQ(whole.Blocks()[2].block.nLength, strFile.size() - whole.Blocks()[2].block.nStart);
    EXPECT_TRUE(whole.Blocks()[2].bHasHeadDigest);
    EXPECT_EQ(whole.Blocks()[2].headDigest, exported[0].digest);
    for (size_t nPiece : {1, 2, 7, 17, 18, 19, 64}) {
        SCOPED_TRACE(nPiece);
        DriftReport::FileScan scan(exported);
        for (size_t nAt = 0; nAt < strFile.size(); nAt += nPiece)
            scan.Add(strFile.data() + nAt, std::min(nPiece, strFile.size() - nAt));
        scan.Finish();
        EXPECT_EQ(scan.FileDigest(), whole.FileDigest());
        EXPECT_EQ(scan.LeadLength(), whole.LeadLength());
        ASSERT_EQ(scan.Blocks().size(), whole.Blocks().size());
        for (size_t i = 0; i < scan.Blocks().size(); ++i) {
            const auto& got = scan.Blocks()[i];
            const auto& want = whole.Blocks()[i];
            EXPECT_EQ(got.block.strName, want.block.strName);
            EXPECT_EQ(got.block.strType, want.block.strType);
            EXPECT_EQ(got.block.nStart, want.block.nStart);
            EXPECT_EQ(got.block.nLength, want.block.nLength);
            EXPECT_EQ(got.digest, want.digest);
            EXPECT_EQ(got.bHasHeadDigest, want.bHasHeadDigest);
            EXPECT_EQ(got.headDigest, want.headDigest);
        }
    }
}

TEST(SqlFileBlocksTest, FileLinesInNameOrder)
{
    const std::string strA = "CREATE OR REPLACE PACKAGE A AS\nEND;\n/\n";
    const std::string strB = "CREATE OR REPLACE PROCEDURE B IS BEGIN NULL; END;\n/\n";
    const std::string strB2 = "CREATE OR REPLACE PROCEDURE B IS BEGIN RETURN; END;\n/\n";
    const std::string strC =
        "CREATE OR REPLACE FUNCTION C RETURN NUMBER IS BEGIN RETURN 1; END;\n/\n";
    const std::vector<OutputFile::RenderedBlock> now = {
        OutputFile::RenderedBlock::Of(ExportObjectId{"B", "PROCEDURE"}, strB2),
        OutputFile::RenderedBlock::Of(ExportObjectId{"C", "FUNCTION"}, strC)};
    // What the export would write, as its digest.
    const ContentDigest file = ContentDigester::Of((strB2 + strC).data(), (strB2 + strC).size());
    EXPECT_TRUE(DriftReport::FileLines("x.sql", true, strB2 + strC, file, now).empty());
    EXPECT_EQ(DriftReport::FileLines("x.sql", true, strA + strB, file, now),
              (std::vector<std::string>{"changed x.sql", "removed A (PACKAGE)",
                                        "changed B (PROCEDURE)", "added C (FUNCTION)"}));
    // Only the lead differs: the file, and no object.
    EXPECT_EQ(DriftReport::FileLines("x.sql", true, "SET DEFINE OFF\n" + strB2 + strC, file, now),
              (std::vector<std::string>{"changed x.sql"}));
    // Bytes after the last block are the file's difference alone; a block one byte shorter or
    // with one byte changed is its object's.
    EXPECT_EQ(DriftReport::FileLines("x.sql", true, strB2 + strC + "-- tail\n", file, now),
              (std::vector<std::string>{"changed x.sql"}));
    std::string strOneByte = strB2;
    strOneByte[strOneByte.find("RETURN")] = 'r';
    EXPECT_EQ(DriftReport::FileLines("x.sql", true, strOneByte + strC, file, now),
              (std::vector<std::string>{"changed x.sql", "changed B (PROCEDURE)"}));
    EXPECT_EQ(DriftReport::FileLines("x.sql", true, strB2 + strC.substr(1), file, now),
              (std::vector<std::string>{"changed x.sql", "added C (FUNCTION)"}));
    EXPECT_EQ(
        DriftReport::FileLines("x.sql", false, "", file, now),
        (std::vector<std::string>{"changed x.sql", "added B (PROCEDURE)", "added C (FUNCTION)"}));
}

}  // namespace
