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

}  // namespace

FolderOutput::FolderOutput(std::wstring strFolder, bool bWholeSchema, const std::vector<CString>& kinds)
    : m_files(std::move(strFolder)), m_bWholeSchema(bWholeSchema)
{
    for (const CString& strKind : kinds.empty() ? ObjectKinds::WindowKinds() : kinds)
        m_kinds.insert(strKind.str());
}

bool FolderOutput::IsRunKind(const std::wstring& strFile) const
{
    CString strName;
    CString strType;
    return ObjectFileNames::ObjectOf(strFile, strName, strType) && m_kinds.count(strType.str()) != 0;
}

void FolderOutput::SetFailure(ExportFailure& failure, const char* pszText, const std::wstring& strFile,
                              DWORD nError) const
{
    CString strWhere = NarrowPath(m_files.PathOf(strFile));
    if (nError != 0)
        strWhere += ": " + SystemErrorText(nError);
    failure.strMessage = CString(pszText) + "\n" + strWhere;
    failure.logLines = {pszText};
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

    std::string strManifest;
    if (m_files.Read(Manifest::kFileName, strManifest)) {
        m_previousFiles = Manifest::Parse(strManifest);
        m_bManifestClean = Manifest::Format(m_previousFiles) == strManifest;
    } else if (::GetFileAttributesW(m_files.PathOf(Manifest::kFileName).c_str()) != INVALID_FILE_ATTRIBUTES) {
        // A list that is there but cannot be read would be replaced by a shorter one, and the
        // files it names would never be removed.
        SetFailure(failure, kReadListText, Manifest::kFileName, ::GetLastError());
        return false;
    }
    m_rememberedFiles = m_previousFiles;
    // The folder's objects that this run does not list (all of them when the run names its
    // objects, those of other kinds otherwise) count for case twins too, so that an object
    // keeps the file name a run over the whole schema with every kind gives it.
    for (const std::wstring& strFile : m_previousFiles) {
        CString strName;
        CString strType;
        if (ObjectFileNames::ObjectOf(strFile, strName, strType) &&
            (!m_bWholeSchema || m_kinds.count(strType.str()) == 0))
            m_twins.Add(strName);
    }
    return true;
}

// Runs before the first block: every name of the run is known, so no block waits.
void FolderOutput::Listed(const std::vector<ExportObjectId>& objects)
{
    for (const ExportObjectId& object : objects)
        m_twins.Add(object.strName);
    m_bListed = true;
}

bool FolderOutput::Write(const ExportObjectId& object, const CString& strBlock, ExportFailure& failure)
{
    if (ObjectFileNames::ExtensionOf(object.strType).empty()) {
        failure.strMessage = "Unexpected object type " + object.strType + " of " + object.strName + ".";
        failure.logLines = {failure.strMessage};
        return false;
    }
    m_twins.Add(object.strName);
    if (m_bListed) {
        const bool bMarkCase = m_twins.HasTwin(object.strName);
        return WriteObjectFile(ObjectFileNames::FileName(object.strName, object.strType, bMarkCase), strBlock,
                               failure);
    }
    if (ObjectFileNames::HasLowerCase(object.strName)) {
        m_held.push_back(HeldBlock{object, strBlock});
        return true;
    }
    return WriteObjectFile(ObjectFileNames::FileName(object.strName, object.strType, false), strBlock, failure);
}

bool FolderOutput::Complete(ExportFailure& failure)
{
    for (const HeldBlock& held : m_held) {
        const bool bMarkCase = m_twins.HasTwin(held.object.strName);
        const std::wstring strFile = ObjectFileNames::FileName(held.object.strName, held.object.strType, bMarkCase);
        if (!WriteObjectFile(strFile, held.strBlock, failure))
            return false;
    }
    m_held.clear();

    std::set<std::wstring> kept = m_bWholeSchema ? m_runFiles : m_rememberedFiles;
    if (m_bWholeSchema) {
        for (const std::wstring& strFile : m_previousFiles) {
            if (!IsRunKind(strFile) && ::GetFileAttributesW(m_files.PathOf(strFile).c_str()) != INVALID_FILE_ATTRIBUTES)
                kept.insert(strFile);
        }
    }
    const bool bRemoved = !m_bWholeSchema || RemoveStaleFiles(failure);
    if (!bRemoved) {
        // A file that could not be removed stays in the manifest, to be removed later.
        for (const std::wstring& strFile : m_previousFiles) {
            if (m_runFiles.count(strFile) == 0 && ::GetFileAttributesW(m_files.PathOf(strFile).c_str()) != INVALID_FILE_ATTRIBUTES)
                kept.insert(strFile);
        }
    }
    std::set<std::wstring> installed;
    for (const std::wstring& strFile : kept) {
        if (bRemoved || m_runFiles.count(strFile) != 0 || !m_bWholeSchema || !IsRunKind(strFile))
            installed.insert(strFile);
    }
    ExportFailure indexFailure;
    if (!ReplaceIndexFile(InstallScript::kFileName, InstallScript::Text(installed), indexFailure) ||
        !ReplaceIndexFile(Manifest::kFileName, Manifest::Format(kept), indexFailure)) {
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

bool FolderOutput::WriteObjectFile(const std::wstring& strFile, const CString& strBlock, ExportFailure& failure)
{
    if (!Remember(strFile, failure))
        return false;
    switch (m_files.Replace(strFile, strBlock.str())) {
    case FolderFiles::Change::Written:
        ++m_nChanged;
        break;
    case FolderFiles::Change::Unchanged:
        break;
    case FolderFiles::Change::Failed:
    default:
        SetFailure(failure, kWriteFileText, strFile, m_files.LastError());
        return false;
    }
    m_runFiles.insert(strFile);
    ++m_nWritten;
    return true;
}

bool FolderOutput::Remember(const std::wstring& strFile, ExportFailure& failure)
{
    if (m_rememberedFiles.count(strFile) != 0)
        return true;
    m_rememberedFiles.insert(strFile);
    if (m_bManifestClean) {
        std::set<std::wstring> one{strFile};
        std::string strLine = Manifest::Format(one);
        strLine = strLine.substr(strLine.find('\n') + 1);
        if (m_files.Append(Manifest::kFileName, strLine))
            return true;
        SetFailure(failure, kWriteFileText, Manifest::kFileName, ::GetLastError());
        return false;
    }
    if (!ReplaceIndexFile(Manifest::kFileName, Manifest::Format(m_rememberedFiles), failure))
        return false;
    m_bManifestClean = true;
    return true;
}

bool FolderOutput::RemoveStaleFiles(ExportFailure& failure)
{
    bool bAll = true;
    for (const std::wstring& strFile : m_previousFiles) {
        if (m_runFiles.count(strFile) != 0 || !IsRunKind(strFile))
            continue;
        const bool bExisted = ::GetFileAttributesW(m_files.PathOf(strFile).c_str()) != INVALID_FILE_ATTRIBUTES;
        if (!m_files.Remove(strFile)) {
            if (bAll) {
                const CString strText = ExportTexts::kDeleteOldFile + NarrowPath(strFile);
                SetFailure(failure, strText, strFile, ::GetLastError());
            }
            bAll = false;
        } else if (bExisted) {
            ++m_nChanged;
        }
    }
    return bAll;
}

bool FolderOutput::ReplaceIndexFile(const std::wstring& strName, const std::string& strContent,
                                    ExportFailure& failure)
{
    switch (m_files.Replace(strName, strContent)) {
    case FolderFiles::Change::Written:
        ++m_nChanged;
        return true;
    case FolderFiles::Change::Unchanged:
        return true;
    case FolderFiles::Change::Failed:
    default:
        SetFailure(failure, kWriteFileText, strName, m_files.LastError());
        return false;
    }
}
