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
    File file = File::Open(strPath, File::Access::Read, File::Disposition::OpenExisting, nError);
    if (!file.IsOpen())
        return false;
    // Read into room for the whole file: grown piece by piece it would take up to twice that.
    std::uint64_t nSize = 0;
    if (file.Size(nSize) && nSize > 0 && nSize < (1ULL << 31))
        strContent.reserve(size_t(nSize));
    char buffer[65536];
    for (;;) {
        size_t nRead = 0;
        if (!file.Read(buffer, sizeof(buffer), nRead, nError))
            return false;
        if (nRead == 0)
            return true;
        strContent.append(buffer, nRead);
    }
}

}  // namespace Files
