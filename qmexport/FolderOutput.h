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
// The manifest is read as untrusted: an entry counts only when it is a name this program
// could have written (ObjectFileNames::IsOwnFileName) and the folder holds no folder or link
// under it; any other entry is reported ("Ignored in .qmexport-files: <entry>"), left alone
// and dropped from the manifest. File names are compared as the file system compares them,
// case ignored (FileNameSet), and no run writes over or removes a file it wrote itself.
//
// A name's file depends on whether another object of its type in the schema has a name that
// differs from it only in case (FolderNaming), so the run tells the sink every object of the
// schema in the run's kinds first (SchemaListed, whatever objects the run exports), and every
// block is written at once under its final name, the same from run to run. No block is ever
// written into a file that holds another object's block: that object's block first moves to
// its own file. When an object's file name changes (a case twin appeared or went), the file
// this program wrote under the old name is removed as the new one is written.
//
// A run over the whole schema (no object names given) makes the folder match the schema in
// the kinds it exports: manifest files of those kinds whose objects are no longer listed are
// removed; files of other kinds (from a run with more kinds) stay, and install.sql keeps
// running them. A run over named objects only adds and updates: the manifest keeps what it
// named, and install.sql runs every object file the manifest names. When a named object's
// file is the case twin of another object's (abc.prc beside the new ABC.prc), that object's
// block first moves to its own marked name.
//
// Name filters narrow "the kinds it exports" further: a whole run removes (and install.sql
// drops) only files of objects the filters select; files of other objects stay as files of
// other kinds do. A shortened file name does not tell its object's whole name, so with filters
// such a file always stays.
//
// Made to look only (FolderFiles::Mode::LookOnly) the sink runs every step of an export
// without changing the folder, and Differences() tells what the export would have changed.
#pragma once

#include <map>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "export/ExportEngine.h"
#include "export/NameFilter.h"
#include "qmexport/FolderFiles.h"
#include "qmexport/ObjectFileNames.h"

class FolderOutput : public ExportSink {
public:
    // One line for the user (without its line feed), shown whatever the verbosity.
    using Notice = std::function<void(const std::string& strLine)>;

    // kinds: the run's object types as Oracle names them; empty for the window's four.
    // nCodePage: the one install.sql is written in (0: the system's).
    // filter: the run's name filters (the server applies them to the listing; the sink to the
    // manifest's files).
    FolderOutput(std::wstring strFolder, bool bWholeSchema, const std::vector<CString>& kinds = {},
                 Notice notice = nullptr, unsigned nCodePage = 0, NameFilter filter = NameFilter(),
                 FolderFiles::Mode mode = FolderFiles::Mode::Write);

    bool Check(ExportFailure& failure) override;
    void Listed(const std::vector<ExportObjectId>& objects) override;
    bool WantsSchemaListing() const override { return true; }
    void SchemaListed(const std::vector<ExportObjectId>& schemaObjects) override;
    // install.sql's SET lines must guard this job's lines and those of the files it runs that
    // this run does not write: when no SQLPREFIX is left for them, nothing is written.
    bool RunsOtherHashLines() override;
    bool AcceptsNeeds(const SqlPlusNeeds& jobNeeds, ExportFailure& failure) override;
    bool Write(const ExportObjectId& object, const CString& strBlock,
               ExportFailure& failure) override;
    bool WritePiece(const ExportObjectId& object, const CString& strPiece, bool bLast,
                    ExportFailure& failure) override;
    void AbandonBlock() override;
    bool Complete(ExportFailure& failure) override;
    CString StateText() const override;
    int WrittenCount() const override { return m_nWritten; }

    // Files this run changed (written anew or removed); unchanged ones do not count.
    int ChangedCount() const { return m_nChanged; }
    // Looking only: what the export would have changed, the manifest included.
    std::vector<FolderFiles::Difference> Differences() const { return m_files.Differences(); }

private:
    // What a file's lines hold that SQL*Plus would read as its own, gathered piece by piece
    // (each ending at a line end), and the line of its first "#" line.
    struct FileNeeds {
        SqlPlusNeeds needs;
        int nLines = 0;
        int nFirstHashLine = 0;
        void Add(const std::string& strPiece, bool bSqlStatement);
    };

    // Reads the manifest's entries that count into m_previousFiles; reports the others.
    void ReadManifest(const std::string& strText);
    // Whether this run exports the kind of a manifest file (so a whole run may remove it).
    bool IsRunKind(const std::wstring& strFile) const;
    // A view's file (.vw): a SQL statement to SQL*Plus, not a PL/SQL unit.
    bool IsViewFile(const std::wstring& strFile) const;
    // Moves another object's block out of the way of strFile (its file name changed when a
    // case twin appeared); see the header.
    bool MoveOtherBlockAside(const std::wstring& strFile, const ExportObjectId& object,
                             ExportFailure& failure);
    // What a file of the folder holds that SQL*Plus would read as its own, with where its first
    // "#" line is.
    SqlPlusNeeds NeedsOfFile(const std::wstring& strFile, const std::string& strContent) const;
    SqlPlusNeeds NeedsOfFile(const std::wstring& strFile, const FileNeeds& needs) const;
    // What the files install.sql runs that this run does not write hold, read once (after
    // Listed).
    const SqlPlusNeeds& OtherFilesNeeds();
    // The object's file named and its place made ready (see the header); false with the
    // failure.
    bool BeginBlock(const ExportObjectId& object, std::wstring& strFile, ExportFailure& failure);
    // The object's block is in its file: remembered, and its former files removed.
    bool BlockWritten(const ExportObjectId& object, const std::wstring& strFile,
                      const SqlPlusNeeds& needs, ExportFailure& failure);
    // Removes the files this program wrote for the object under names it no longer has.
    bool RemoveFormerFiles(const std::wstring& strFile, const ExportObjectId& object,
                           ExportFailure& failure);
    // Writes one file of an object under its final name, remembered in the manifest first.
    bool WriteFile(const std::wstring& strFile, const std::string& strContent,
                   ExportFailure& failure);
    // Before a file of an object is written: not a folder's name, and in the manifest.
    bool PrepareFile(const std::wstring& strFile, ExportFailure& failure);
    // What a replacement did, counted; false with the failure.
    bool Counted(FolderFiles::Change change, const std::wstring& strFile, ExportFailure& failure);
    // Puts a file name into the manifest on disk before the file is created.
    bool Remember(const std::wstring& strFile, ExportFailure& failure);
    // Removes the manifest's files of this run's kinds that it did not write; the ones that
    // could not be removed go into notRemoved.
    bool RemoveStaleFiles(FileNameSet& notRemoved, ExportFailure& failure);
    // pbWritten: set when the file was written anew (not when its content was already so).
    bool ReplaceIndexFile(const std::wstring& strName, const std::string& strContent,
                          ExportFailure& failure, bool* pbWritten = nullptr);
    void SetFailure(ExportFailure& failure, const char* pszText, const std::wstring& strFile,
                    SystemError nError) const;

    // The folder as the user gave it (for messages), and its files by the resolved path.
    std::wstring m_strGivenFolder;
    FolderFiles m_files;
    bool m_bWholeSchema;
    std::set<std::string> m_kinds;
    NameFilter m_filter;
    Notice m_notice;
    // The manifest's entries that count, as the previous runs left them, and the manifest as
    // it stands on disk now.
    FileNameSet m_previousFiles;
    FileNameSet m_rememberedFiles;
    // The manifest on disk is a regular file this run wrote, so lines may be appended to it.
    bool m_bManifestOurs = false;
    // Files of this run's objects; how every object is named; the files of the schema's
    // objects as named now (never removed as an object's former file).
    FileNameSet m_runFiles;
    // What each file this run wrote holds that SQL*Plus would read as its own.
    std::map<std::wstring, SqlPlusNeeds> m_runNeeds;
    // The same of the files install.sql runs besides this run's, as read before the first block
    // (OtherFilesNeeds), and all of theirs together.
    std::map<std::wstring, SqlPlusNeeds> m_fileNeeds;
    SqlPlusNeeds m_otherFilesNeeds;
    bool m_bOtherFilesRead = false;
    FolderNaming m_naming;
    FileNameSet m_schemaFiles;
    bool m_bSchemaListed = false;
    // The objects this run exports.
    std::vector<ExportObjectId> m_listedObjects;
    // The file whose block is coming in pieces (empty between blocks), and its needs so far.
    std::wstring m_strPiecesFile;
    FileNeeds m_piecesNeeds;
    int m_nWritten = 0;
    int m_nChanged = 0;
};
