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

bool ReadPieces(const std::wstring& strPath, const Piece& piece, SystemError& nError)
{
    File file = File::Open(strPath, File::Access::Read, File::Disposition::OpenExisting, nError);
    return file.IsOpen() && ReadPieces(file, piece, nError);
}

bool ReadPieces(File& file, const Piece& piece, SystemError& nError)
{
    std::string strBuffer(kReadPiece, '\0');
    for (;;) {
        size_t nRead = 0;
        if (!file.Read(&strBuffer[0], strBuffer.size(), nRead, nError))
            return false;
        if (nRead == 0)
            return true;
        if (!piece(strBuffer.data(), nRead))
            return false;
    }
}

}  // namespace Files
