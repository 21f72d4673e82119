// FolderSinkRun.cpp
#include "tests/qmexport/FolderSinkRun.h"

#include "qmexport/FolderOutput.h"
#include "tests/qmexport/QmexportFixture.h"

namespace QmexportTest {

const std::vector<Block> kSchema = {
    {"FUNC_B", "FUNCTION",
     "CREATE OR REPLACE FUNCTION FUNC_B RETURN NUMBER IS\nBEGIN RETURN 1; END;\n/\n"},
    {"PKG_A", "PACKAGE", "CREATE OR REPLACE PACKAGE PKG_A IS\nEND;\n/\n"},
    {"PKG_A", "PACKAGE BODY", "CREATE OR REPLACE PACKAGE BODY PKG_A IS\nEND;\n/\n"},
    {"PROC_C", "PROCEDURE", "CREATE OR REPLACE PROCEDURE PROC_C IS\nBEGIN NULL; END;\n/\n"},
};

const char kInstall[] = "SET DEFINE OFF\n@@PKG_A.pks\n@@FUNC_B.fnc\n@@PROC_C.prc\n@@PKG_A.pkb\n";

SinkRun RunSink(const std::string& strFolder, const std::vector<Block>& blocks, bool bWholeSchema,
                bool bComplete, const std::vector<CString>& kinds,
                const std::vector<ExportObjectId>& schema, unsigned nCodePage)
{
    SinkRun run;
    FolderOutput sink(
        Wide(strFolder), bWholeSchema, kinds,
        [&run](const std::string& strLine) { run.notices.push_back(strLine); }, nCodePage);
    run.bChecked = sink.Check(run.failure);
    std::vector<ExportObjectId> objects;
    for (const Block& block : blocks)
        objects.push_back({block.strName, block.pszType});
    if (run.bChecked && !schema.empty())
        sink.SchemaListed(schema);
    if (run.bChecked)
        sink.Listed(objects);
    for (const Block& block : blocks) {
        run.bWritten = run.bWritten && run.bChecked &&
                       sink.Write({block.strName, block.pszType}, block.strText, run.failure);
    }
    if (bComplete && run.bWritten)
        run.bCompleted = sink.Complete(run.failure);
    run.nWritten = sink.WrittenCount();
    run.nChanged = sink.ChangedCount();
    run.strState = sink.StateText();
    return run;
}

}  // namespace QmexportTest
