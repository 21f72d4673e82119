// FolderOutput.cpp
#include "qmexport/FolderOutput.h"

#include <algorithm>

#include "export/ExportTexts.h"
#include "export/TargetPath.h"
#include "framework/Text.h"
#include "qmexport/FolderIndex.h"
#include "qmexport/ObjectKinds.h"

namespace {

const char* const kCreateFolderText = ExportTexts::kCreateFolder;
const char* const kCreateFileText = ExportTexts::kCreateFile;
const char* const kWriteFileText = ExportTexts::kWriteFile;
const char kReadListText[] = "Error while read the list of files written before.";
const char kIgnoredText[] = "Ignored in .qmexport-files: ";
const char kNotInstalledText[] =
    "Not run by install.sql (the system's code page cannot name it; a run of its kind renames "
    "it): ";

// The folder as Windows resolves it ("Y:" is drive Y's current folder); empty when it cannot be
// resolved.
std::wstring ResolvedFolder(const std::wstring& strFolder)
{
    std::wstring strFull;
    return TargetPath::FullPath(strFolder, strFull) ? strFull : std::wstring();
}

}  // namespace

FolderOutput::FolderOutput(std::wstring strFolder, bool bWholeSchema,
                           const std::vector<CString>& kinds, Notice notice, unsigned nCodePage,
                           NameFilter filter, FolderFiles::Mode mode)
    : m_strGivenFolder(strFolder), m_files(ResolvedFolder(strFolder), mode),
      m_bWholeSchema(bWholeSchema), m_filter(std::move(filter)), m_notice(std::move(notice)),
      m_naming(nCodePage)
{
    for (const CString& strKind : kinds.empty() ? DefaultExportKinds() : kinds)
        m_kinds.insert(strKind.str());
}

void FolderOutput::SetFailure(ExportFailure& failure, const char* pszText,
                              const std::wstring& strFile, SystemError nError) const
{
    CString strWhere = NarrowPath(m_files.PathOf(strFile));
    if (nError != 0)
        strWhere += ": " + SystemErrorText(nError);
    failure = ExportFailure{pszText, {strWhere}};
}

bool FolderOutput::IsRunKind(const std::wstring& strFile) const
{
    ObjectFileNames::ParsedFileName parsed;
    return ObjectFileNames::IsOwnFileName(strFile, &parsed, m_naming.CodePage()) &&
           m_kinds.count(parsed.strType.str()) != 0 &&
           (m_filter.IsEmpty() || (!parsed.bShortened && m_filter.Selects(parsed.strName)));
}

bool FolderOutput::IsViewFile(const std::wstring& strFile) const
{
    ObjectFileNames::ParsedFileName parsed;
    return ObjectFileNames::IsOwnFileName(strFile, &parsed, m_naming.CodePage()) &&
           parsed.strType == "VIEW";
}

bool FolderOutput::Check(ExportFailure& failure)
{
    // Refused before anything is created: a device, a path too long for a folder, a file.
    const CString strShown = NarrowPath(m_strGivenFolder);
    if (TargetPath::IsDevice(m_strGivenFolder)) {
        failure = ExportFailure{ExportTexts::kCreateFile, {strShown + ExportTexts::kPathIsDevice}};
        return false;
    }
    if (m_files.Folder().empty() || m_files.Folder().size() > TargetPath::MaxFolderPath() + 1) {
        failure = ExportFailure{kCreateFolderText,
                                {strShown + ": " + SystemErrorText(SystemErrors::kNameTooLong)}};
        return false;
    }
    std::wstring strFolder = m_files.Folder();
    while (strFolder.size() > 3 && Files::IsSeparator(strFolder.back()))
        strFolder.pop_back();
    Files::Status status;
    SystemError nStatusError = 0;
    if (Files::StatusOf(strFolder, status, nStatusError) && !status.bFolder) {
        failure = ExportFailure{kCreateFolderText, {strShown + ExportTexts::kPathIsFile}};
        return false;
    }
    if (const SystemError nError = m_files.CreateFolder()) {
        SetFailure(failure, kCreateFolderText, std::wstring(), nError);
        return false;
    }
    if (const SystemError nError = m_files.CanCreateFiles()) {
        SetFailure(failure, kCreateFileText, std::wstring(), nError);
        return false;
    }
    m_files.RemoveLeftoverTemporaries();
    m_files.Snapshot();

    if (m_files.Probe(Manifest::kFileName) != FolderFiles::Entry::Missing) {
        std::string strManifest;
        if (!m_files.Read(Manifest::kFileName, strManifest)) {
            // A list that is there but cannot be read would be replaced by a shorter one, and
            // the files it names would never be removed.
            SetFailure(failure, kReadListText, Manifest::kFileName, m_files.LastError());
            return false;
        }
        ReadManifest(strManifest);
    }
    m_rememberedFiles = m_previousFiles;
    return true;
}

void FolderOutput::ReadManifest(const std::string& strText)
{
    for (const std::string& strEntry : Manifest::Parse(strText)) {
        std::wstring strFile;
        if (Manifest::FileNameOf(strEntry, strFile) &&
            ObjectFileNames::IsOwnFileName(strFile, nullptr, m_naming.CodePage())) {
            const FolderFiles::Entry entry = m_files.Probe(strFile);
            if (entry == FolderFiles::Entry::File || entry == FolderFiles::Entry::Missing) {
                m_previousFiles.insert(strFile);
                continue;
            }
        }
        if (m_notice)
            m_notice(kIgnoredText + Manifest::Shown(strEntry));
    }
}

void FolderOutput::Listed(const std::vector<ExportObjectId>& objects)
{
    m_listedObjects = objects;
    if (m_bSchemaListed)
        return;
    // Told nothing of the schema, the sink takes the run's objects (and, for a run over named
    // objects, those whose files the manifest names), so that it never takes another object's
    // file for its own.
    std::vector<ExportObjectId> schemaObjects = objects;
    for (const std::wstring& strFile : m_bWholeSchema ? FileNameSet() : m_previousFiles) {
        ObjectFileNames::ParsedFileName parsed;
        if (ObjectFileNames::IsOwnFileName(strFile, &parsed, m_naming.CodePage()) &&
            !parsed.bShortened)
            schemaObjects.push_back(ExportObjectId{parsed.strName, parsed.strType});
    }
    SchemaListed(schemaObjects);
}

void FolderOutput::SchemaListed(const std::vector<ExportObjectId>& schemaObjects)
{
    m_bSchemaListed = true;
    for (const ExportObjectId& object : schemaObjects)
        m_naming.Add(object.strName, object.strType);
    for (const ExportObjectId& object : schemaObjects)
        m_schemaFiles.insert(m_naming.FileOf(object.strName, object.strType));
}

SqlPlusNeeds FolderOutput::NeedsOfFile(const std::wstring& strFile,
                                       const std::string& strContent) const
{
    FileNeeds needs;
    needs.Add(strContent, IsViewFile(strFile));
    return NeedsOfFile(strFile, needs);
}

SqlPlusNeeds FolderOutput::NeedsOfFile(const std::wstring& strFile,
                                       const FileNeeds& fileNeeds) const
{
    SqlPlusNeeds needs = fileNeeds.needs;
    ObjectFileNames::ParsedFileName parsed;
    if (needs.bHashLine && ObjectFileNames::IsOwnFileName(strFile, &parsed, m_naming.CodePage()))
        needs.strFirstHashLine = LineOf(parsed.strName, parsed.strType, fileNeeds.nFirstHashLine);
    return needs;
}

// A piece ends at a line end: its lines are whole.
void FolderOutput::FileNeeds::Add(const std::string& strPiece, bool bSqlStatement)
{
    const bool bHadHashLine = needs.bHashLine;
    needs.AddText(strPiece.data(), int(strPiece.size()), bSqlStatement);
    if (needs.bHashLine && !bHadHashLine) {
        const int nLine = FirstLineBeginning(strPiece.data(), int(strPiece.size()), '#');
        nFirstHashLine = nLine > 0 ? nLines + nLine : 0;
    }
    nLines += int(std::count(strPiece.begin(), strPiece.end(), '\n'));
}

const SqlPlusNeeds& FolderOutput::OtherFilesNeeds()
{
    if (m_bOtherFilesRead)
        return m_otherFilesNeeds;
    m_bOtherFilesRead = true;
    FileNameSet runFiles;
    for (const ExportObjectId& object : m_listedObjects) {
        if (!ObjectFileNames::ExtensionOf(object.strType).empty())
            runFiles.insert(m_naming.FileOf(object.strName, object.strType));
    }
    for (const std::wstring& strFile : m_previousFiles) {
        // A whole run removes the files of its kinds it does not write.
        if (runFiles.count(strFile) != 0 || (m_bWholeSchema && IsRunKind(strFile)))
            continue;
        std::string strContent;
        if (m_files.Probe(strFile) == FolderFiles::Entry::File &&
            m_files.Read(strFile, strContent)) {
            const SqlPlusNeeds& fileNeeds = m_fileNeeds[strFile] = NeedsOfFile(strFile, strContent);
            m_otherFilesNeeds.Merge(fileNeeds);
        }
    }
    return m_otherFilesNeeds;
}

bool FolderOutput::RunsOtherHashLines()
{
    return OtherFilesNeeds().bHashLine;
}

bool FolderOutput::AcceptsNeeds(const SqlPlusNeeds& jobNeeds, ExportFailure& failure)
{
    SqlPlusNeeds needs = jobNeeds;
    needs.Merge(OtherFilesNeeds());
    if (!SettingsFor(needs, true).bNoPrefixLeft)
        return true;
    failure = ExportFailure{NoPrefixLeftText(needs.strFirstHashLine), {}};
    return false;
}

bool FolderOutput::Write(const ExportObjectId& object, const CString& strBlock,
                         ExportFailure& failure)
{
    return WritePiece(object, strBlock, true, failure);
}

// A block of one piece is written as one content; a larger one piece by piece (FolderFiles),
// its SQL*Plus needs gathered as they come.
bool FolderOutput::WritePiece(const ExportObjectId& object, const CString& strPiece, bool bLast,
                              ExportFailure& failure)
{
    if (m_strPiecesFile.empty()) {
        std::wstring strFile;
        if (!BeginBlock(object, strFile, failure))
            return false;
        if (bLast) {
            if (!Counted(m_files.Replace(strFile, strPiece.str()), strFile, failure))
                return false;
            return BlockWritten(object, strFile, NeedsOfFile(strFile, strPiece.str()), failure);
        }
        if (!m_files.BeginPieces(strFile)) {
            SetFailure(failure, kWriteFileText, strFile, m_files.LastError());
            return false;
        }
        m_strPiecesFile = strFile;
        m_piecesNeeds = FileNeeds();
    }
    const std::wstring strFile = m_strPiecesFile;
    m_piecesNeeds.Add(strPiece.str(), IsViewFile(strFile));
    if (!m_files.AddPiece(strPiece.GetString(), size_t(strPiece.GetLength()))) {
        m_strPiecesFile.clear();
        SetFailure(failure, kWriteFileText, strFile, m_files.LastError());
        return false;
    }
    if (!bLast)
        return true;
    m_strPiecesFile.clear();
    return Counted(m_files.EndPieces(), strFile, failure) &&
           BlockWritten(object, strFile, NeedsOfFile(strFile, m_piecesNeeds), failure);
}

void FolderOutput::AbandonBlock()
{
    if (m_strPiecesFile.empty())
        return;
    m_files.AbandonPieces();
    m_strPiecesFile.clear();
}

// Names the object's file and makes its place ready: another object's block moved aside, the
// name in the manifest.
bool FolderOutput::BeginBlock(const ExportObjectId& object, std::wstring& strFile,
                              ExportFailure& failure)
{
    if (ObjectFileNames::ExtensionOf(object.strType).empty()) {
        failure = ExportFailure{
            "Unexpected object type " + object.strType + " of " + object.strName + ".", {}};
        return false;
    }
    if (!m_bSchemaListed)
        m_naming.Add(object.strName, object.strType);
    strFile = m_naming.FileOf(object.strName, object.strType);
    if (m_runFiles.count(strFile) != 0) {
        // Only an object handed over twice gets here; its first file stays.
        SetFailure(failure, kWriteFileText, strFile, SystemErrors::kAlreadyExists);
        return false;
    }
    return MoveOtherBlockAside(strFile, object, failure) && PrepareFile(strFile, failure);
}

bool FolderOutput::BlockWritten(const ExportObjectId& object, const std::wstring& strFile,
                                const SqlPlusNeeds& needs, ExportFailure& failure)
{
    m_runFiles.insert(strFile);
    m_runNeeds[strFile] = needs;
    ++m_nWritten;
    return RemoveFormerFiles(strFile, object, failure);
}

bool FolderOutput::MoveOtherBlockAside(const std::wstring& strFile, const ExportObjectId& object,
                                       ExportFailure& failure)
{
    const auto it = m_rememberedFiles.find(strFile);
    ObjectFileNames::ParsedFileName parsed;
    if (it == m_rememberedFiles.end() ||
        !ObjectFileNames::IsOwnFileName(*it, &parsed, m_naming.CodePage()) || parsed.bShortened ||
        (parsed.strName == object.strName && parsed.strType == object.strType))
        return true;
    // The file holds another object's block. Where that object is no longer in the schema, the
    // run replaces or removes its file anyway; otherwise its block moves to its file of now.
    const std::wstring strOwnFile = m_naming.FileOf(parsed.strName, parsed.strType);
    std::string strOtherBlock;
    if (ObjectFileNames::SameFileName(strOwnFile, strFile) || m_runFiles.count(strOwnFile) != 0 ||
        m_schemaFiles.count(strOwnFile) == 0 || !m_files.Read(*it, strOtherBlock))
        return true;
    return WriteFile(strOwnFile, strOtherBlock, failure);
}

bool FolderOutput::RemoveFormerFiles(const std::wstring& strFile, const ExportObjectId& object,
                                     ExportFailure& failure)
{
    for (const std::wstring& strFormer :
         ObjectFileNames::FormerFileNames(object.strName, object.strType, m_naming.CodePage())) {
        const auto it = m_rememberedFiles.find(strFormer);
        // Only a file this program wrote, and never one that is some object's file now.
        if (it == m_rememberedFiles.end() || *it != strFormer ||
            ObjectFileNames::SameFileName(strFormer, strFile) || m_runFiles.count(strFormer) != 0 ||
            m_schemaFiles.count(strFormer) != 0 ||
            m_files.Probe(strFormer) != FolderFiles::Entry::File)
            continue;
        if (!m_files.Remove(strFormer)) {
            const CString strText = ExportTexts::kDeleteOldFile + NarrowPath(strFormer);
            SetFailure(failure, strText, strFormer, m_files.LastError());
            return false;
        }
        ++m_nChanged;
    }
    return true;
}

bool FolderOutput::Complete(ExportFailure& failure)
{
    FileNameSet notRemoved;
    const bool bRemoved = !m_bWholeSchema || RemoveStaleFiles(notRemoved, failure);

    FileNameSet kept;
    if (m_bWholeSchema) {
        kept = m_runFiles;
        for (const std::wstring& strFile : m_previousFiles) {
            if (!IsRunKind(strFile) || notRemoved.count(strFile) != 0)
                kept.insert(strFile);
        }
    } else {
        kept = m_rememberedFiles;
    }
    // Only files that are there now: the manifest forgets the others, install.sql never runs
    // them, nor a file of an object that is gone.
    FileNameSet existing;
    FileNameSet installed;
    for (const std::wstring& strFile : kept) {
        if (m_files.Probe(strFile) != FolderFiles::Entry::File)
            continue;
        existing.insert(strFile);
        if (notRemoved.count(strFile) == 0)
            installed.insert(strFile);
    }
    ExportFailure indexFailure;
    std::vector<std::wstring> unnamed;
    // The SET lines over every file install.sql runs: this run's blocks, and the files it did
    // not write as they are on disk.
    SqlPlusNeeds needs;
    for (const std::wstring& strFile : installed) {
        const auto written = m_runNeeds.find(strFile);
        const auto read = m_fileNeeds.find(strFile);
        std::string strContent;
        if (written != m_runNeeds.end())
            needs.Merge(written->second);
        else if (read != m_fileNeeds.end())
            needs.Merge(read->second);
        else if (m_files.Read(strFile, strContent))
            needs.Merge(NeedsOfFile(strFile, strContent));
    }
    // Lines changed while the source was read could still take every prefix: install.sql is
    // then left as it was.
    if (SettingsFor(needs, true).bNoPrefixLeft) {
        failure = ExportFailure{NoPrefixLeftText(needs.strFirstHashLine), {}};
        return false;
    }
    const std::string strInstall =
        InstallScript::Text(installed, m_naming.CodePage(), &unnamed, needs);
    for (const std::wstring& strFile : unnamed) {
        if (m_notice)
            m_notice(kNotInstalledText + FromWide(strFile, kUtf8CodePage));
    }
    if (!ReplaceIndexFile(InstallScript::kFileName, strInstall, indexFailure) ||
        !ReplaceIndexFile(Manifest::kFileName, Manifest::Format(existing), indexFailure)) {
        if (bRemoved)
            failure = indexFailure;
        return false;
    }
    return bRemoved;
}

CString FolderOutput::StateText() const
{
    if (m_nWritten == 0 || m_files.IsLookOnly())
        return "No object's file in the folder was changed.";
    CString strText;
    strText.Format("The folder holds the %d complete objects written before it.", m_nWritten);
    return strText;
}

bool FolderOutput::WriteFile(const std::wstring& strFile, const std::string& strContent,
                             ExportFailure& failure)
{
    return PrepareFile(strFile, failure) &&
           Counted(m_files.Replace(strFile, strContent), strFile, failure);
}

bool FolderOutput::PrepareFile(const std::wstring& strFile, ExportFailure& failure)
{
    if (m_files.Probe(strFile) == FolderFiles::Entry::Folder) {
        // A folder of the user's under an object's file name is neither replaced nor recorded.
        SetFailure(failure, kWriteFileText, strFile, SystemErrors::kAlreadyExists);
        return false;
    }
    if (!Remember(strFile, failure))
        return false;
    // What was read of the file before no longer holds.
    m_fileNeeds.erase(strFile);
    return true;
}

bool FolderOutput::Counted(FolderFiles::Change change, const std::wstring& strFile,
                           ExportFailure& failure)
{
    switch (change) {
    case FolderFiles::Change::Written:
        ++m_nChanged;
        return true;
    case FolderFiles::Change::Unchanged:
        return true;
    case FolderFiles::Change::Failed:
    default:
        SetFailure(failure, kWriteFileText, strFile, m_files.LastError());
        return false;
    }
}

bool FolderOutput::Remember(const std::wstring& strFile, ExportFailure& failure)
{
    const auto it = m_rememberedFiles.find(strFile);
    if (it != m_rememberedFiles.end() && *it == strFile)
        return true;
    const bool bNewEntry = it == m_rememberedFiles.end();
    if (!bNewEntry)
        m_rememberedFiles.erase(it);
    m_rememberedFiles.insert(strFile);
    if (m_bManifestOurs && bNewEntry) {
        const std::string strLine = FromWide(strFile, kUtf8CodePage) + "\n";
        if (m_files.Append(Manifest::kFileName, strLine))
            return true;
        SetFailure(failure, kWriteFileText, Manifest::kFileName, m_files.LastError());
        return false;
    }
    // The first change of a run replaces the manifest as a whole (whatever stood under its
    // name, a link included); later new names are appended to that file of ours.
    return ReplaceIndexFile(Manifest::kFileName, Manifest::Format(m_rememberedFiles), failure,
                            &m_bManifestOurs);
}

bool FolderOutput::RemoveStaleFiles(FileNameSet& notRemoved, ExportFailure& failure)
{
    for (const std::wstring& strFile : m_previousFiles) {
        if (m_runFiles.count(strFile) != 0 || !IsRunKind(strFile) ||
            m_files.Probe(strFile) != FolderFiles::Entry::File)
            continue;
        if (m_files.Remove(strFile)) {
            ++m_nChanged;
            continue;
        }
        if (notRemoved.empty()) {
            const CString strText = ExportTexts::kDeleteOldFile + NarrowPath(strFile);
            SetFailure(failure, strText, strFile, m_files.LastError());
        }
        notRemoved.insert(strFile);
    }
    return notRemoved.empty();
}

bool FolderOutput::ReplaceIndexFile(const std::wstring& strName, const std::string& strContent,
                                    ExportFailure& failure, bool* pbWritten)
{
    switch (m_files.Replace(strName, strContent)) {
    case FolderFiles::Change::Written:
        ++m_nChanged;
        if (pbWritten != nullptr)
            *pbWritten = true;
        return true;
    case FolderFiles::Change::Unchanged:
        return true;
    case FolderFiles::Change::Failed:
    default:
        SetFailure(failure, kWriteFileText, strName, m_files.LastError());
        return false;
    }
}
