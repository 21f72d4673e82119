// FolderOutput.h
//
// FolderOutput: the sink of a folder export. Each object's block goes to a file of its own
// (ObjectFileNames), install.sql runs them all, and the manifest (FolderIndex.h) remembers
// what this program wrote, so a later run can remove the files of objects that are gone and
// nothing else.
//
// A file whose content is unchanged is not written again; every other write goes to a
// temporary file that is renamed over the old one (FolderFiles). A file name enters the
// manifest before the file is first created, so even a run that is killed never leaves a file
// of ours that a later run would not know.
//
// A name's file depends on whether another object's name differs from it only in case, so
// the run tells the sink the whole list first (Listed) and every block is written at once
// under its final name. A sink that was not told holds the blocks of names with lower-case
// letters until the end of the run, when every name is known.
//
// A run over the whole schema (no object names given) makes the folder match the schema in
// the kinds it exports: manifest files of those kinds whose objects are no longer listed are
// removed; files of other kinds (from a run with more kinds) stay, and install.sql keeps
// running them. A run over named objects only adds and updates: the manifest
// keeps what it named, and install.sql runs every object file the manifest names.
#pragma once

#include <set>
#include <string>
#include <vector>

#include "export/ExportEngine.h"
#include "qmexport/FolderFiles.h"
#include "qmexport/ObjectFileNames.h"

class FolderOutput : public ExportSink {
public:
    // kinds: the run's object types as Oracle names them; empty for the window's four.
    FolderOutput(std::wstring strFolder, bool bWholeSchema, const std::vector<CString>& kinds = {});

    bool Check(ExportFailure& failure) override;
    void Listed(const std::vector<ExportObjectId>& objects) override;
    bool Write(const ExportObjectId& object, const CString& strBlock, ExportFailure& failure) override;
    bool Complete(ExportFailure& failure) override;
    CString StateText() const override;
    int WrittenCount() const override { return m_nWritten; }

    // Files this run changed (written anew or removed); unchanged ones do not count.
    int ChangedCount() const { return m_nChanged; }

private:
    struct HeldBlock {
        ExportObjectId object;
        CString strBlock;
    };

    // Writes one object's file under its final name.
    bool WriteObjectFile(const std::wstring& strFile, const CString& strBlock, ExportFailure& failure);
    // Puts a file name into the manifest on disk before the file is created.
    bool Remember(const std::wstring& strFile, ExportFailure& failure);
    // Whether this run exports the kind of a manifest file (so a whole run may remove it).
    bool IsRunKind(const std::wstring& strFile) const;
    bool RemoveStaleFiles(ExportFailure& failure);
    bool ReplaceIndexFile(const std::wstring& strName, const std::string& strContent, ExportFailure& failure);
    void SetFailure(ExportFailure& failure, const char* pszText, const std::wstring& strFile, DWORD nError) const;

    FolderFiles m_files;
    bool m_bWholeSchema;
    std::set<std::string> m_kinds;
    // The manifest as the previous runs left it, and as it stands on disk now.
    std::set<std::wstring> m_previousFiles;
    std::set<std::wstring> m_rememberedFiles;
    bool m_bManifestClean = false;
    // Files of this run's objects, and the names this run listed (for case twins).
    std::set<std::wstring> m_runFiles;
    CaseTwins m_twins;
    std::vector<HeldBlock> m_held;
    bool m_bListed = false;
    int m_nWritten = 0;
    int m_nChanged = 0;
};
