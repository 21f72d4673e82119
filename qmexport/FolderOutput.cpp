// FolderOutput.cpp
#include "qmexport/FolderOutput.h"

#include "export/ExportTexts.h"
#include "framework/Text.h"
#include "qmexport/FolderIndex.h"
#include "qmexport/ObjectKinds.h"

namespace {

const char kCreateFolderText[] = "Error while create specified folder.";
const char* const kCreateFileText = ExportTexts::kCreateFile;
const char* const kWriteFileText = ExportTexts::kWriteFile;
const char kReadListText[] = "Error while read the list of files written before.";
const char kIgnoredText[] = "Ignored in .qmexport-files: ";

}  // namespace

FolderOutput::FolderOutput(std::wstring strFolder, bool bWholeSchema,
                           const std::vector<CString>& kinds, Notice notice)
    : m_files(std::move(strFolder)), m_bWholeSchema(bWholeSchema), m_notice(std::move(notice))
{
    for (const CString& strKind : kinds.empty() ? DefaultExportKinds() : kinds)
        m_kinds.insert(strKind.str());
}

void FolderOutput::SetFailure(ExportFailure& failure, const char* pszText,
                              const std::wstring& strFile, DWORD nError) const
{
    CString strWhere = NarrowPath(m_files.PathOf(strFile));
    if (nError != 0)
        strWhere += ": " + SystemErrorText(nError);
    failure = ExportFailure{pszText, {strWhere}};
}

bool FolderOutput::IsRunKind(const std::wstring& strFile) const
{
    ObjectFileNames::ParsedFileName parsed;
    return ObjectFileNames::IsOwnFileName(strFile, &parsed) &&
           m_kinds.count(parsed.strType.str()) != 0;
}

bool FolderOutput::Check(ExportFailure& failure)
{
    const DWORD nAttributes = ::GetFileAttributesW(m_files.Folder().c_str());
    if (nAttributes != INVALID_FILE_ATTRIBUTES && (nAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
        SetFailure(failure, kCreateFolderText, std::wstring(), ERROR_DIRECTORY);
        return false;
    }
    if (!m_files.CreateFolder()) {
        SetFailure(failure, kCreateFolderText, std::wstring(), ::GetLastError());
        return false;
    }
    if (!m_files.CanCreateFiles()) {
        SetFailure(failure, kCreateFileText, std::wstring(), ::GetLastError());
        return false;
    }
    m_files.RemoveLeftoverTemporaries();

    if (m_files.Probe(Manifest::kFileName) != FolderFiles::Entry::Missing) {
        std::string strManifest;
        if (!m_files.Read(Manifest::kFileName, strManifest)) {
            // A list that is there but cannot be read would be replaced by a shorter one, and
            // the files it names would never be removed.
            SetFailure(failure, kReadListText, Manifest::kFileName, ::GetLastError());
            return false;
        }
        ReadManifest(strManifest);
    }
    m_rememberedFiles = m_previousFiles;
    // The folder's objects that this run does not list (all of them when the run names its
    // objects, those of other kinds otherwise) count for case twins too, so that an object
    // keeps the file name a run over the whole schema with every kind gives it.
    for (const std::wstring& strFile : m_previousFiles) {
        ObjectFileNames::ParsedFileName parsed;
        if (ObjectFileNames::IsOwnFileName(strFile, &parsed) && !parsed.bShortened &&
            (!m_bWholeSchema || m_kinds.count(parsed.strType.str()) == 0))
            m_twins.Add(parsed.strName);
    }
    return true;
}

void FolderOutput::ReadManifest(const std::string& strText)
{
    for (const std::string& strEntry : Manifest::Parse(strText)) {
        std::wstring strFile;
        if (Manifest::FileNameOf(strEntry, strFile) && ObjectFileNames::IsOwnFileName(strFile)) {
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
    for (const ExportObjectId& object : objects)
        m_twins.Add(object.strName);
}

bool FolderOutput::Write(const ExportObjectId& object, const CString& strBlock,
                         ExportFailure& failure)
{
    if (ObjectFileNames::ExtensionOf(object.strType).empty()) {
        failure = ExportFailure{
            "Unexpected object type " + object.strType + " of " + object.strName + ".", {}};
        return false;
    }
    m_twins.Add(object.strName);
    const std::wstring strFile =
        ObjectFileNames::FileName(object.strName, object.strType, m_twins.HasTwin(object.strName));
    if (m_runFiles.count(strFile) != 0) {
        // Only two names whose shortened forms meet get here; the first file stays.
        SetFailure(failure, kWriteFileText, strFile, ERROR_ALREADY_EXISTS);
        return false;
    }
    if (!m_bWholeSchema && !MoveTwinAside(strFile, object, failure))
        return false;
    if (!WriteFile(strFile, strBlock.str(), failure))
        return false;
    m_runFiles.insert(strFile);
    ++m_nWritten;
    return true;
}

bool FolderOutput::MoveTwinAside(const std::wstring& strFile, const ExportObjectId& object,
                                 ExportFailure& failure)
{
    const auto it = m_rememberedFiles.find(strFile);
    ObjectFileNames::ParsedFileName parsed;
    if (it == m_rememberedFiles.end() || !ObjectFileNames::IsOwnFileName(*it, &parsed) ||
        parsed.bShortened || parsed.strName == object.strName)
        return true;
    const std::wstring strOwnFile =
        ObjectFileNames::FileName(parsed.strName, parsed.strType, m_twins.HasTwin(parsed.strName));
    std::string strTwinBlock;
    if (ObjectFileNames::SameFileName(strOwnFile, strFile) || m_runFiles.count(strOwnFile) != 0 ||
        !m_files.Read(*it, strTwinBlock))
        return true;
    return WriteFile(strOwnFile, strTwinBlock, failure);
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
    if (!ReplaceIndexFile(InstallScript::kFileName, InstallScript::Text(installed), indexFailure) ||
        !ReplaceIndexFile(Manifest::kFileName, Manifest::Format(existing), indexFailure)) {
        if (bRemoved)
            failure = indexFailure;
        return false;
    }
    return bRemoved;
}

CString FolderOutput::StateText() const
{
    if (m_nWritten == 0)
        return "No object's file in the folder was changed.";
    CString strText;
    strText.Format("The folder holds the %d complete objects written before it.", m_nWritten);
    return strText;
}

bool FolderOutput::WriteFile(const std::wstring& strFile, const std::string& strContent,
                             ExportFailure& failure)
{
    if (m_files.Probe(strFile) == FolderFiles::Entry::Folder) {
        // A folder of the user's under an object's file name is neither replaced nor recorded.
        SetFailure(failure, kWriteFileText, strFile, ERROR_ALREADY_EXISTS);
        return false;
    }
    if (!Remember(strFile, failure))
        return false;
    switch (m_files.Replace(strFile, strContent)) {
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
        const std::string strLine = FromWide(strFile, CP_UTF8) + "\n";
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
