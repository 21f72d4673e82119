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

#include <string>
#include <vector>

#include "export/OutputFile.h"
#include "qmexport/FolderFiles.h"

namespace DriftReport {

std::vector<std::string> FolderLines(const std::vector<FolderFiles::Difference>& differences);

// strShownPath: the file as the lines name it. bExists/strOld: the file that is there. newFile
// and blocks: what the export would write (OutputFile::Target::Memory).
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
