// OutputFile.cpp
//
// The single-file sink. The user's previous file is the last thing the run gives up: the check
// before the logon only looks (and, for a file that does not exist yet, makes sure the folder
// takes it), and the file is replaced by the first block, once that block is complete.
#include <algorithm>
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

// A file of that name in the folder of the file at strPath.
std::wstring Beside(const std::wstring& strPath, const std::wstring& strName)
{
    const size_t nSlash = strPath.find_last_of(Files::kSeparators);
    if (nSlash != std::wstring::npos)
        return strPath.substr(0, nSlash + 1) + strName;
    // "C:name" lives in drive C's current folder.
    if (strPath.size() >= 2 && strPath[1] == L':')
        return strPath.substr(0, 2) + strName;
    return strName;
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

bool OutputFile::Write(const ExportObjectId& object, const CString& strBlock,
                       ExportFailure& failure)
{
    return WritePiece(object, strBlock, true, failure);
}

// The first block replaces whatever the file held, once it is complete, so the file holds
// exactly the blocks of this run; later blocks are appended as they come. A write that fails
// or falls short is reported with the object, what the file holds, and the system's reason.
bool OutputFile::WritePiece(const ExportObjectId& object, const CString& strPiece, bool bLast,
                            ExportFailure& failure)
{
    if (m_target == Target::Memory) {
        Render(object, strPiece, bLast);
        return true;
    }
    if (m_nWritten > 0)
        return Append(strPiece, bLast, failure);
    if (!bLast)
        return Hold(strPiece, failure);
    return WriteFirst(strPiece, failure);
}

void OutputFile::Render(const ExportObjectId& object, const CString& strPiece, bool bLast)
{
    if (m_nWritten == 0 && m_blockDigest.Bytes() == 0)
        m_content.Add(m_settings.strLines.GetString(), size_t(m_settings.strLines.GetLength()));
    m_content.Add(strPiece.GetString(), size_t(strPiece.GetLength()));
    m_blockDigest.Add(strPiece.GetString(), size_t(strPiece.GetLength()));
    if (m_strBlockHead.size() < RenderedBlock::kHeadBytes)
        m_strBlockHead.append(strPiece.GetString(),
                              std::min(size_t(strPiece.GetLength()),
                                       RenderedBlock::kHeadBytes - m_strBlockHead.size()));
    if (!bLast)
        return;
    m_blocks.push_back(RenderedBlock{object, std::move(m_strBlockHead), m_blockDigest.Finish()});
    m_strBlockHead.clear();
    m_blockDigest = ContentDigester();
    ++m_nWritten;
}

bool OutputFile::Hold(const CString& strPiece, ExportFailure& failure)
{
    SystemError nError = 0;
    if (!m_bHolding) {
        m_bHolding = true;
        const std::wstring strName = L".qmexport-" + std::to_wstring(Files::ProcessId()) + L".held";
        m_held = File::Open(Beside(m_strPath, strName), File::Access::ReadWrite,
                            File::Disposition::CreateProbe, nError);
    }
    if (!m_held.IsOpen()) {
        m_strHeld.append(strPiece.GetString(), size_t(strPiece.GetLength()));
        return true;
    }
    if (m_held.Write(strPiece.GetString(), size_t(strPiece.GetLength()), nError))
        return true;
    DropHeld();
    failure = FileFailure(ExportTexts::kWriteFile, m_strPath, SystemErrorText(nError));
    return false;
}

bool OutputFile::WriteFirst(const CString& strLast, ExportFailure& failure)
{
    SystemError nError = 0;
    File file = File::Open(m_strPath, File::Access::Write, File::Disposition::CreateAlways, nError);
    if (!file.IsOpen()) {
        DropHeld();
        failure = FileFailure(ExportTexts::kCreateFile, m_strPath, SystemErrorText(nError));
        return false;
    }
    const bool bOk = (m_settings.strLines.IsEmpty() ||
                      file.Write(m_settings.strLines.GetString(),
                                 size_t(m_settings.strLines.GetLength()), nError)) &&
                     CopyHeld(file, nError) &&
                     file.Write(m_strHeld.data(), m_strHeld.size(), nError) &&
                     file.Write(strLast.GetString(), size_t(strLast.GetLength()), nError);
    DropHeld();
    if (!bOk) {
        // A block cut short is taken back; the old file is gone: it holds nothing complete.
        file.Truncate(0);
        m_bReplaced = true;
        failure = FileFailure(ExportTexts::kWriteFile, m_strPath, SystemErrorText(nError));
        return false;
    }
    // Kept open for the later blocks: opening a file costs a call to the server under Wine, a
    // thousand of them a second in a schema of small objects.
    m_appended = std::move(file);
    ++m_nWritten;
    return true;
}

bool OutputFile::CopyHeld(File& file, SystemError& nError)
{
    return !m_held.IsOpen() ||
           (m_held.SeekStart(nError) && Files::ReadPieces(
                                            m_held,
                                            [&](const char* pBytes, size_t nLength) {
                                                return file.Write(pBytes, nLength, nError);
                                            },
                                            nError));
}

bool OutputFile::Append(const CString& strPiece, bool bLast, ExportFailure& failure)
{
    SystemError nError = 0;
    if (!m_bAppending) {
        if (!m_appended.SeekEnd(m_nBlockStart, nError)) {
            m_appended.Close();
            failure = FileFailure(ExportTexts::kWriteFile, m_strPath, SystemErrorText(nError));
            return false;
        }
        m_bAppending = true;
    }
    if (!m_appended.Write(strPiece.GetString(), size_t(strPiece.GetLength()), nError)) {
        AbandonBlock();
        failure = FileFailure(ExportTexts::kWriteFile, m_strPath, SystemErrorText(nError));
        return false;
    }
    if (bLast) {
        m_bAppending = false;
        ++m_nWritten;
    }
    return true;
}

bool OutputFile::Complete(ExportFailure&)
{
    m_appended.Close();
    return true;
}

// A block cut short is taken back, so the file ends with the last complete block.
void OutputFile::AbandonBlock()
{
    if (m_bAppending) {
        m_appended.Truncate(m_nBlockStart);
        m_bAppending = false;
    }
    m_appended.Close();
    DropHeld();
    m_strBlockHead.clear();
    m_blockDigest = ContentDigester();
}

void OutputFile::DropHeld()
{
    m_held.Close();
    m_strHeld.clear();
    m_strHeld.shrink_to_fit();
    m_bHolding = false;
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
