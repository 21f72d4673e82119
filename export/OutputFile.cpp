// OutputFile.cpp
//
// The single-file sink. The user's previous file is the last thing the run gives up: the check
// before the logon only looks (and, for a file that does not exist yet, makes sure the folder
// takes it), and the file is replaced by the first block, once that block is complete.
#include <windows.h>

#include <string>
#include <utility>

#include "export/OutputFile.h"
#include "export/ExportTexts.h"
#include "export/TargetPath.h"
#include "framework/Text.h"

namespace {

// strText, then the path and the reason.
ExportFailure FileFailure(const CString& strText, const std::wstring& strPath,
                          const CString& strReason)
{
    return ExportFailure{strText, {NarrowPath(strPath) + ": " + strReason}};
}

// The folder part of a path ("" for a bare file name, which lives in the current folder).
std::wstring FolderOf(const std::wstring& strPath)
{
    const size_t nSlash = strPath.find_last_of(L"\\/");
    if (nSlash == std::wstring::npos) {
        // "C:name" lives in drive C's current folder.
        return strPath.size() >= 2 && strPath[1] == L':' ? strPath.substr(0, 2) : std::wstring();
    }
    if (nSlash == 0)
        return strPath.substr(0, 1);
    if (nSlash == 2 && strPath[1] == L':')
        return strPath.substr(0, 3);
    return strPath.substr(0, nSlash);
}

// One WriteFile of the whole block; anything short of all its bytes is a failure.
bool WriteAll(HANDLE hFile, const CString& strBytes, DWORD& nError)
{
    const DWORD nLength = DWORD(strBytes.GetLength());
    DWORD nWritten = 0;
    if (!::WriteFile(hFile, strBytes.GetString(), nLength, &nWritten, nullptr)) {
        nError = ::GetLastError();
        return false;
    }
    if (nWritten != nLength) {
        nError = ERROR_DISK_FULL;
        return false;
    }
    return true;
}

}  // namespace

OutputFile::OutputFile(std::wstring strPath, Target target)
    : m_strPath(std::move(strPath)), m_target(target)
{}

// An existing file must be a file that can be opened for writing (it is not truncated here); a
// new file's folder must exist and take a new file, which is tried by creating the file with
// delete-on-close, so nothing remains of the check.
bool OutputFile::Check(ExportFailure& failure)
{
    if (TargetPath::IsDevice(m_strPath)) {
        failure = ExportFailure{ExportTexts::kCreateFile,
                                {NarrowPath(m_strPath) + ExportTexts::kPathIsDevice}};
        return false;
    }
    std::wstring strFull;
    if (m_strPath.size() >= MAX_PATH || !TargetPath::FullPath(m_strPath, strFull) ||
        strFull.size() >= MAX_PATH) {
        failure = FileFailure(ExportTexts::kCreateFile, m_strPath,
                              SystemErrorText(ERROR_FILENAME_EXCED_RANGE));
        return false;
    }
    const DWORD nAttributes = ::GetFileAttributesW(m_strPath.c_str());
    if (nAttributes != INVALID_FILE_ATTRIBUTES) {
        if ((nAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            failure = FileFailure(ExportTexts::kCreateFile, m_strPath, ExportTexts::kPathIsFolder);
            return false;
        }
        if (m_target == Target::Memory)
            return true;
        // The read-only attribute is asked for on its own: an administrator's open for writing
        // may pass where replacing the file will not.
        CHandle probe((nAttributes & FILE_ATTRIBUTE_READONLY) != 0
                          ? INVALID_HANDLE_VALUE
                          : ::CreateFileW(m_strPath.c_str(), GENERIC_WRITE,
                                          FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!probe.IsValid()) {
            const DWORD nError = (nAttributes & FILE_ATTRIBUTE_READONLY) != 0 ? ERROR_ACCESS_DENIED
                                                                              : ::GetLastError();
            failure = ExportFailure{ExportTexts::kDeleteOldFile + NarrowPath(m_strPath),
                                    {SystemErrorText(nError)}};
            return false;
        }
        return true;
    }
    const std::wstring strFolder = FolderOf(m_strPath);
    if (!strFolder.empty()) {
        const DWORD nFolder = ::GetFileAttributesW(strFolder.c_str());
        if (nFolder == INVALID_FILE_ATTRIBUTES) {
            failure =
                FileFailure(ExportTexts::kCreateFile, m_strPath, SystemErrorText(::GetLastError()));
            return false;
        }
        if ((nFolder & FILE_ATTRIBUTE_DIRECTORY) == 0) {
            failure = FileFailure(ExportTexts::kCreateFile, m_strPath,
                                  SystemErrorText(ERROR_PATH_NOT_FOUND));
            return false;
        }
    }
    if (m_target == Target::Memory)
        return true;
    // Delete-on-close needs the right to delete as well.
    CHandle probe(::CreateFileW(m_strPath.c_str(), GENERIC_WRITE | DELETE, 0, nullptr, CREATE_NEW,
                                FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    if (!probe.IsValid()) {
        failure =
            FileFailure(ExportTexts::kCreateFile, m_strPath, SystemErrorText(::GetLastError()));
        return false;
    }
    return true;
}

// The first block replaces whatever the file held, so it holds exactly the blocks of this run;
// later blocks are appended. A write that fails or falls short is reported with the object,
// what the file holds, and the system's reason.
bool OutputFile::Write(const ExportObjectId& object, const CString& strBlock,
                       ExportFailure& failure)
{
    if (m_target == Target::Memory) {
        if (m_nWritten == 0)
            m_content.Add(m_settings.strLines.GetString(), size_t(m_settings.strLines.GetLength()));
        m_content.Add(strBlock.GetString(), size_t(strBlock.GetLength()));
        m_blocks.push_back(RenderedBlock::Of(object, strBlock.str()));
        ++m_nWritten;
        return true;
    }
    const DWORD nDisposition = m_nWritten == 0 ? CREATE_ALWAYS : OPEN_EXISTING;
    CHandle file(::CreateFileW(m_strPath.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                               nullptr, nDisposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid()) {
        failure =
            FileFailure(ExportTexts::kCreateFile, m_strPath, SystemErrorText(::GetLastError()));
        return false;
    }
    LARGE_INTEGER zero{};
    LARGE_INTEGER end{};
    DWORD nError = 0;
    if (m_nWritten != 0 && !::SetFilePointerEx(file.Get(), zero, &end, FILE_END))
        nError = ::GetLastError();
    // The SET lines go in front of the first block, written on their own (no copy of the block).
    const bool bSetLines = m_nWritten == 0 && !m_settings.strLines.IsEmpty();
    if (nError == 0 && ((bSetLines && !WriteAll(file.Get(), m_settings.strLines, nError)) ||
                        !WriteAll(file.Get(), strBlock, nError))) {
        // A block cut short is taken back, so the file ends with the last complete block.
        if (::SetFilePointerEx(file.Get(), end, nullptr, FILE_BEGIN))
            ::SetEndOfFile(file.Get());
    }
    if (nError != 0) {
        // The first write already replaced the old file: it now holds nothing complete.
        if (m_nWritten == 0)
            m_bReplaced = true;
        failure = FileFailure(ExportTexts::kWriteFile, m_strPath, SystemErrorText(nError));
        return false;
    }
    ++m_nWritten;
    return true;
}

OutputFile::RenderedBlock OutputFile::RenderedBlock::Of(const ExportObjectId& object,
                                                        const std::string& strBytes)
{
    return RenderedBlock{object, strBytes.substr(0, kHeadBytes),
                         ContentDigester::Of(strBytes.data(), strBytes.size())};
}

CString OutputFile::StateText() const
{
    if (m_target == Target::Memory || (m_nWritten == 0 && !m_bReplaced))
        return ExportTexts::kFileUnchanged;
    CString strText;
    strText.Format("%s%d%s", ExportTexts::kFileHoldsBefore, m_nWritten,
                   ExportTexts::kFileHoldsAfter);
    return strText;
}
