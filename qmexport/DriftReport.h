// DriftReport.h
//
// What --check prints: the differences between what an export would write and what is there,
// one line each, for standard output.
//   FolderLines - a folder: "changed <file>", "added <file>", "removed <file>" for the objects'
//                 files, "changed install.sql", and "changed .qmexport-files" when the export
//                 would rewrite the manifest (added, edited or deleted by hand).
//   FileLines   - one .sql file: "changed <file>" when its bytes differ, then a line per object
//                 whose block differs ("changed NAME (TYPE)"), is missing from the file
//                 ("added ...") or is in the file but no longer exported ("removed ..."), in the
//                 order of the names' bytes, then the types'. A block the file holds twice is
//                 "changed"; bytes before the first block or after the last one are the file's
//                 difference alone.
//   SqlFileBlocks - the blocks of such a file: each begins with a line starting
//                 "CREATE OR REPLACE " at the file's start, after its first lines, or after a
//                 "/" line, and is named by the object its first words create.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "export/OutputFile.h"
#include "qmexport/FolderFiles.h"

namespace DriftReport {

std::vector<std::string> FolderLines(const std::vector<FolderFiles::Difference>& differences);

class FileScan;

// strShownPath: the file as the lines name it. bExists/old: the file that is there, scanned
// (FileScan). newFile and blocks: what the export would write (OutputFile::Target::Memory).
std::vector<std::string> FileLines(const std::string& strShownPath, bool bExists,
                                   const FileScan& old, const ContentDigest& newFile,
                                   const std::vector<OutputFile::RenderedBlock>& blocks);
// The same for a file held whole.
std::vector<std::string> FileLines(const std::string& strShownPath, bool bExists,
                                   const std::string& strOld, const ContentDigest& newFile,
                                   const std::vector<OutputFile::RenderedBlock>& blocks);

}  // namespace DriftReport

namespace SqlFileBlocks {

struct Block {
    // As the block's first words name it: the type in Oracle's words ("PACKAGE BODY"), the name
    // in upper case unless quoted; both empty when the words name no object.
    std::string strType;
    std::string strName;
    // Where its bytes are in the file.
    size_t nStart = 0;
    size_t nLength = 0;
};

// The lines before the first block (the file's SET lines) go to *pstrLead.
std::vector<Block> Split(const std::string& strFile, std::string* pstrLead);
// The type and name a block's first words create; false when they name none.
bool NameOf(const std::string& strBlock, std::string& strType, std::string& strName);

}  // namespace SqlFileBlocks

namespace DriftReport {

// FileScan: a .sql file read in pieces, in order, keeping of it only what a comparison needs:
// the digest of its bytes, and of each block (SqlFileBlocks) where it is, its name and its
// digest; for a block named as an exported object, also the digest of its first bytes as many
// as the export's block of that object holds (a file's last block may be followed by bytes of
// the user's).
class FileScan {
public:
    struct ScannedBlock {
        SqlFileBlocks::Block block;
        ContentDigest digest;
        bool bHasHeadDigest = false;
        ContentDigest headDigest;
    };

    explicit FileScan(const std::vector<OutputFile::RenderedBlock>& exported = {});
    void Add(const char* pBytes, size_t nLength);
    // After the last piece.
    void Finish();

    ContentDigest FileDigest() const { return m_file.Finish(); }
    const std::vector<ScannedBlock>& Blocks() const { return m_blocks; }
    // The bytes before the first block.
    std::uint64_t LeadLength() const { return m_nLead; }

private:
    void LineEnds(bool bSlashLine);
    // Bytes of the file's lines, in order, to the block they belong to (none: the lead).
    void Route(const char* pBytes, size_t nLength);
    void StartBlock();
    void NameBlock();
    void Digest(const char* pBytes, size_t nLength);
    void EndBlock();

    // The export's block sizes by what their first words name (type, then name).
    std::map<std::pair<std::string, std::string>, std::uint64_t> m_exportedSizes;
    ContentDigester m_file;
    std::uint64_t m_nAt = 0;
    std::uint64_t m_nLead = 0;
    std::vector<ScannedBlock> m_blocks;
    // The block being read: its first bytes until it is named, its digest after.
    bool m_bInBlock = false;
    bool m_bNamed = false;
    std::string m_strHead;
    ContentDigester m_block;
    std::uint64_t m_nHeadDigestAt = 0;
    // The line being read: whether a block may still begin at it (its first bytes are then
    // held in m_strLineStart until they tell), and whether it is a "/" alone so far.
    bool m_bUndecided = true;
    std::string m_strLineStart;
    enum class LineState { Blank, Slash, SlashReturn, Other } m_line = LineState::Blank;
};

}  // namespace DriftReport
