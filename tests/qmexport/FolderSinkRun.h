// FolderSinkRun.h
//
// The folder sink driven as the export engine drives it (Check, Listed, one Write per block,
// Complete), on a folder of the test's own, for the folder tests:
//   Block    - one object's block as the engine hands it over.
//   kSchema  - a small schema of the window's four kinds, and its install.sql.
//   RunSink  - one run; what it returned, its counts, its failure and the lines it showed.
#pragma once

#include <string>
#include <vector>

#include "export/ExportEngine.h"

namespace QmexportTest {

struct Block {
    std::string strName;
    const char* pszType;
    std::string strText;
};

extern const std::vector<Block> kSchema;
extern const char kInstall[];

struct SinkRun {
    bool bChecked = false;
    bool bWritten = true;
    bool bCompleted = false;
    int nWritten = 0;
    int nChanged = 0;
    CString strState;
    ExportFailure failure;
    std::vector<std::string> notices;
};

// bComplete false ends the run as a stop or failure would; kinds empty: the window's four.
// schema: the schema's objects in the run's kinds, as the engine lists them for a run over
// named objects; empty: the blocks stand for the schema.
SinkRun RunSink(const std::string& strFolder, const std::vector<Block>& blocks,
                bool bWholeSchema = true, bool bComplete = true,
                const std::vector<CString>& kinds = {},
                const std::vector<ExportObjectId>& schema = {}, unsigned nCodePage = 0);

}  // namespace QmexportTest
