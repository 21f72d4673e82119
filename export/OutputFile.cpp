// OutputFile.cpp
//
// The single-file sink. The user's previous file is the last thing the run gives up: the check
// before the logon only looks (and, for a file that does not exist yet, makes sure the folder
// takes it), and the file is replaced by the first block, once that block is complete.
#include <string>
#include <utility>

#include "export/OutputFile.h"
#include "export/ExportTexts.h"
#include "export/TargetPath.h"
#include "framework/Text.h"
#include "platform/Files.h"

namespace {

using Files::File;

// strText, then the path and the reason.
ExportFailure FileFailure(const CString& strText, const std::wstring& strPath,
                          const CString& strReason)
{
    return ExportFailure{strText, {NarrowPath(strPath) + ": " + strReason}};
}

// The folder part of a path ("" for a bare file name, which lives in the current folder).
std::wstring FolderOf(const std::wstring& strPath)
{
    const size_t nSlash = strPath.find_last_of(Files::kSeparators);
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
    if (m_strPath.size() >= Files::kMaxPath || !TargetPath::FullPath(m_strPath, strFull) ||
        strFull.size() >= Files::kMaxPath) {
        failure = FileFailure(ExportTexts::kCreateFile, m_strPath,
                              SystemErrorText(SystemErrors::kNameTooLong));
        return false;
    }
    Files::Status status;
    SystemError nError = 0;
    if (Files::StatusOf(m_strPath, status, nError)) {
        if (status.bFolder) {
            failure = FileFailure(ExportTexts::kCreateFile, m_strPath, ExportTexts::kPathIsFolder);
            return false;
        }
        if (m_target == Target::Memory)
            return true;
        // The read-only attribute is asked for on its own: an administrator's open for writing
        // may pass where replacing the file will not.
        File probe = status.bReadOnly ? File()
                                      : File::Open(m_strPath, File::Access::Write,
                                                   File::Disposition::OpenExisting, nError);
        if (!probe.IsOpen()) {
            if (status.bReadOnly)
                nError = SystemErrors::kAccessDenied;
            failure = ExportFailure{ExportTexts::kDeleteOldFile + NarrowPath(m_strPath),
                                    {SystemErrorText(nError)}};
            return false;
        }
        return true;
    }
    // A name the system cannot hold (its limit on one name, elsewhere than Windows) is no file
    // to read or write, whatever the target.
    if (nError == SystemErrors::kNameTooLong) {
        failure = FileFailure(ExportTexts::kCreateFile, m_strPath, SystemErrorText(nError));
        return false;
    }
    const std::wstring strFolder = FolderOf(m_strPath);
    if (!strFolder.empty()) {
        Files::Status folder;
        if (!Files::StatusOf(strFolder, folder, nError)) {
            failure = FileFailure(ExportTexts::kCreateFile, m_strPath, SystemErrorText(nError));
            return false;
        }
        if (!folder.bFolder) {
            failure = FileFailure(ExportTexts::kCreateFile, m_strPath,
                                  SystemErrorText(SystemErrors::kPathNotFound));
            return false;
        }
    }
    if (m_target == Target::Memory)
        return true;
    // Made and gone again: nothing remains of the check.
    File probe = File::Open(m_strPath, File::Access::Write, File::Disposition::CreateProbe, nError);
    if (!probe.IsOpen()) {
        failure = FileFailure(ExportTexts::kCreateFile, m_strPath, SystemErrorText(nError));
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
    SystemError nError = 0;
    File file = File::Open(m_strPath, File::Access::Write,
                           m_nWritten == 0 ? File::Disposition::CreateAlways
                                           : File::Disposition::OpenExisting,
                           nError);
    if (!file.IsOpen()) {
        failure = FileFailure(ExportTexts::kCreateFile, m_strPath, SystemErrorText(nError));
        return false;
    }
    std::int64_t nEnd = 0;
    bool bFailed = m_nWritten != 0 && !file.SeekEnd(nEnd, nError);
    // The SET lines go in front of the first block, written on their own (no copy of the block).
    const bool bSetLines = m_nWritten == 0 && !m_settings.strLines.IsEmpty();
    if (!bFailed && ((bSetLines && !file.Write(m_settings.strLines.GetString(),
                                               size_t(m_settings.strLines.GetLength()), nError)) ||
                     !file.Write(strBlock.GetString(), size_t(strBlock.GetLength()), nError))) {
        // A block cut short is taken back, so the file ends with the last complete block.
        file.Truncate(nEnd);
        bFailed = true;
    }
    if (bFailed) {
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
