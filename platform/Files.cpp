// Files.cpp: what is the same on every system.
#include "platform/Files.h"

#include <utility>

namespace Files {

File::File(File&& other) noexcept
    : m_nHandle(std::exchange(other.m_nHandle, kNone)), m_strPath(std::move(other.m_strPath)),
      m_bDiscard(std::exchange(other.m_bDiscard, false))
{}

File& File::operator=(File&& other) noexcept
{
    if (this != &other) {
        Close();
        m_nHandle = std::exchange(other.m_nHandle, kNone);
        m_strPath = std::move(other.m_strPath);
        m_bDiscard = std::exchange(other.m_bDiscard, false);
    }
    return *this;
}

bool ReadWhole(const std::wstring& strPath, std::string& strContent, SystemError& nError)
{
    strContent.clear();
    // Read into room for the whole file: grown piece by piece it would take up to twice that.
    return ReadPieces(
        strPath,
        [&](std::uint64_t nSize) {
            if (nSize > 0 && nSize < (1ULL << 31))
                strContent.reserve(size_t(nSize));
        },
        [&](const char* pBytes, size_t nLength) { strContent.append(pBytes, nLength); }, nError);
}

bool ReadPieces(const std::wstring& strPath, const std::function<void(std::uint64_t)>& sized,
                const std::function<void(const char*, size_t)>& piece, SystemError& nError)
{
    File file = File::Open(strPath, File::Access::Read, File::Disposition::OpenExisting, nError);
    if (!file.IsOpen())
        return false;
    std::uint64_t nSize = 0;
    if (sized && file.Size(nSize))
        sized(nSize);
    std::string strBuffer(kReadPiece, '\0');
    for (;;) {
        size_t nRead = 0;
        if (!file.Read(&strBuffer[0], strBuffer.size(), nRead, nError))
            return false;
        if (nRead == 0)
            return true;
        piece(strBuffer.data(), nRead);
    }
}

}  // namespace Files
