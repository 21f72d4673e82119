// FolderFiles.cpp
#include "qmexport/FolderFiles.h"

#include <algorithm>
#include <vector>

namespace {

const wchar_t kTempPrefix[] = L".qmexport-";
const wchar_t kTempSuffix[] = L".tmp";

// Writes all bytes in pieces the API can take; false on a short or failed write.
bool WriteAll(HANDLE hFile, const std::string& strContent)
{
    size_t nDone = 0;
    while (nDone < strContent.size()) {
        const DWORD nPiece = DWORD(std::min<size_t>(strContent.size() - nDone, 1u << 24));
        DWORD nWritten = 0;
        if (!::WriteFile(hFile, strContent.data() + nDone, nPiece, &nWritten, nullptr) || nWritten != nPiece)
            return false;
        nDone += nPiece;
    }
    return true;
}

}  // namespace

FolderFiles::FolderFiles(std::wstring strFolder) : m_strFolder(std::move(strFolder))
{
    if (!m_strFolder.empty() && m_strFolder.back() != L'\\' && m_strFolder.back() != L'/')
        m_strFolder += L'\\';
}

bool FolderFiles::CreateFolder() const
{
    // Every prefix that ends before a separator, from the outermost; existing ones are fine.
    for (size_t i = 0; i < m_strFolder.size(); ++i) {
        if (m_strFolder[i] != L'\\' && m_strFolder[i] != L'/')
            continue;
        const std::wstring strPart = m_strFolder.substr(0, i);
        if (strPart.empty() || strPart.back() == L':' || strPart.back() == L'\\' || strPart.back() == L'/')
            continue;
        ::CreateDirectoryW(strPart.c_str(), nullptr);
    }
    const DWORD nAttributes = ::GetFileAttributesW(m_strFolder.c_str());
    return nAttributes != INVALID_FILE_ATTRIBUTES && (nAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool FolderFiles::CanCreateFiles() const
{
    const std::wstring strProbe = PathOf(std::wstring(kTempPrefix) + std::to_wstring(::GetCurrentProcessId()) +
                                         L"-probe" + kTempSuffix);
    CHandle probe(::CreateFileW(strProbe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    return probe.IsValid();
}

void FolderFiles::RemoveLeftoverTemporaries() const
{
    const std::wstring strPattern = PathOf(std::wstring(kTempPrefix) + L"*" + kTempSuffix);
    WIN32_FIND_DATAW data{};
    HANDLE hFind = ::FindFirstFileW(strPattern.c_str(), &data);
    if (hFind == INVALID_HANDLE_VALUE)
        return;
    std::vector<std::wstring> names;
    do {
        if ((data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0)
            names.push_back(data.cFileName);
    } while (::FindNextFileW(hFind, &data));
    ::FindClose(hFind);
    for (const std::wstring& strName : names)
        ::DeleteFileW(PathOf(strName).c_str());
}

bool FolderFiles::Read(const std::wstring& strName, std::string& strContent) const
{
    CHandle file(::CreateFileW(PathOf(strName).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.IsValid())
        return false;
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(file.Get(), &size) || size.QuadPart > (1LL << 31))
        return false;
    strContent.assign(size_t(size.QuadPart), '\0');
    size_t nDone = 0;
    while (nDone < strContent.size()) {
        DWORD nRead = 0;
        if (!::ReadFile(file.Get(), &strContent[nDone], DWORD(strContent.size() - nDone), &nRead, nullptr))
            return false;
        if (nRead == 0)
            break;
        nDone += nRead;
    }
    strContent.resize(nDone);
    return true;
}

CHandle FolderFiles::CreateTemporary(std::wstring& strTempName)
{
    for (int nAttempt = 0; nAttempt < 1000; ++nAttempt) {
        strTempName = std::wstring(kTempPrefix) + std::to_wstring(::GetCurrentProcessId()) + L"-" +
                      std::to_wstring(++m_nTempSerial) + kTempSuffix;
        CHandle file(::CreateFileW(PathOf(strTempName).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                        FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr));
        if (file.IsValid() || ::GetLastError() != ERROR_FILE_EXISTS)
            return file;
    }
    return CHandle();
}

FolderFiles::Change FolderFiles::Replace(const std::wstring& strName, const std::string& strContent)
{
    std::string strOld;
    if (Read(strName, strOld) && strOld == strContent)
        return Change::Unchanged;

    std::wstring strTempName;
    CHandle temp = CreateTemporary(strTempName);
    if (!temp.IsValid()) {
        m_nLastError = ::GetLastError();
        return Change::Failed;
    }
    const bool bWritten = WriteAll(temp.Get(), strContent) && ::FlushFileBuffers(temp.Get());
    m_nLastError = ::GetLastError();
    temp.Reset();
    if (bWritten && ::MoveFileExW(PathOf(strTempName).c_str(), PathOf(strName).c_str(),
                                  MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        return Change::Written;
    if (bWritten)
        m_nLastError = ::GetLastError();
    ::DeleteFileW(PathOf(strTempName).c_str());
    return Change::Failed;
}

bool FolderFiles::Append(const std::wstring& strName, const std::string& strText) const
{
    CHandle file(::CreateFileW(PathOf(strName).c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr));
    return file.IsValid() && WriteAll(file.Get(), strText) && ::FlushFileBuffers(file.Get());
}

bool FolderFiles::Remove(const std::wstring& strName) const
{
    if (::DeleteFileW(PathOf(strName).c_str()))
        return true;
    const DWORD nError = ::GetLastError();
    return nError == ERROR_FILE_NOT_FOUND || nError == ERROR_PATH_NOT_FOUND;
}
