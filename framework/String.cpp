// CString operations. Positions and counts are clamped the way the framework string
// the program was written against clamps them, so that callers may pass lengths that
// run past the end. Case mapping and blank trimming are byte-wise in the "C" locale's
// sense (only ASCII letters change case, only the six ASCII blanks are trimmed), so
// that the result never depends on a locale set elsewhere in the process.
#include "framework/String.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

namespace {

// The "C" locale's toupper on one byte.
char UpperAscii(char ch)
{
    unsigned char c = static_cast<unsigned char>(ch);
    return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : ch;
}

// The "C" locale's tolower on one byte.
char LowerAscii(char ch)
{
    unsigned char c = static_cast<unsigned char>(ch);
    return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : ch;
}

// The blanks of the "C" locale's isspace.
bool IsBlank(char ch)
{
    return ch == ' ' || ch == '\t' || ch == '\n' || ch == '\v' || ch == '\f' || ch == '\r';
}

// -1, 0 or 1 from any signed difference.
int Sign(int n)
{
    return n < 0 ? -1 : (n > 0 ? 1 : 0);
}

}  // namespace

// Exactly by the bytes (unsigned), like strcmp.
int CString::Compare(const char* psz) const
{
    const std::string other(psz ? psz : "");
    const size_t n = std::min(m_str.size(), other.size());
    int diff = n ? std::memcmp(m_str.data(), other.data(), n) : 0;
    if (diff != 0)
        return Sign(diff);
    return Sign(int(m_str.size() > other.size()) - int(m_str.size() < other.size()));
}

// Ignores the case of ASCII letters (both folded to lower case first, as _stricmp does in the
// "C" locale), byte by byte.
int CString::CompareNoCase(const char* psz) const
{
    const char* other = psz ? psz : "";
    const size_t otherLen = std::strlen(other);
    const size_t n = std::min(m_str.size(), otherLen);
    for (size_t i = 0; i < n; ++i) {
        unsigned char a = static_cast<unsigned char>(LowerAscii(m_str[i]));
        unsigned char b = static_cast<unsigned char>(LowerAscii(other[i]));
        if (a != b)
            return a < b ? -1 : 1;
    }
    return Sign(int(m_str.size() > otherLen) - int(m_str.size() < otherLen));
}

// At or after nStart; a negative start counts as 0.
int CString::Find(char ch, int nStart) const
{
    if (nStart < 0)
        nStart = 0;
    if (nStart >= GetLength())
        return -1;
    size_t pos = m_str.find(ch, size_t(nStart));
    return pos == std::string::npos ? -1 : int(pos);
}

// At or after nStart; an empty substring is found at nStart.
int CString::Find(const char* pszSub, int nStart) const
{
    if (!pszSub)
        return -1;
    if (nStart < 0)
        nStart = 0;
    if (nStart > GetLength())
        return -1;
    size_t pos = m_str.find(pszSub, size_t(nStart));
    return pos == std::string::npos ? -1 : int(pos);
}

int CString::ReverseFind(char ch) const
{
    size_t pos = m_str.rfind(ch);
    return pos == std::string::npos ? -1 : int(pos);
}

// The first nCount characters; a negative count gives "", a count past the end all.
CString CString::Left(int nCount) const
{
    if (nCount <= 0)
        return CString();
    if (nCount >= GetLength())
        return *this;
    return CString(m_str.substr(0, size_t(nCount)));
}

// The last nCount characters; a negative count gives "", a count past the end all.
CString CString::Right(int nCount) const
{
    if (nCount <= 0)
        return CString();
    if (nCount >= GetLength())
        return *this;
    return CString(m_str.substr(m_str.size() - size_t(nCount)));
}

// Everything from nFirst on; a negative start counts as 0, a start past the end gives "".
CString CString::Mid(int nFirst) const
{
    return Mid(nFirst, GetLength());
}

// nCount characters from nFirst, clamped to the string.
CString CString::Mid(int nFirst, int nCount) const
{
    if (nFirst < 0)
        nFirst = 0;
    if (nCount < 0)
        nCount = 0;
    const int nLength = GetLength();
    if (nFirst >= nLength)
        return CString();
    if (nCount > nLength - nFirst)
        nCount = nLength - nFirst;
    return CString(m_str.substr(size_t(nFirst), size_t(nCount)));
}

// Replaces each occurrence of pszOld, scanning left to right and continuing after the
// inserted text, so replacements never overlap and never rescan what was inserted.
int CString::Replace(const char* pszOld, const char* pszNew)
{
    if (!pszOld || !*pszOld)
        return 0;
    const std::string oldText(pszOld);
    const std::string newText(pszNew ? pszNew : "");
    size_t pos = m_str.find(oldText);
    if (pos == std::string::npos)
        return 0;
    std::string result;
    result.reserve(m_str.size());
    size_t from = 0;
    int nCount = 0;
    while (pos != std::string::npos) {
        result.append(m_str, from, pos - from);
        result += newText;
        from = pos + oldText.size();
        ++nCount;
        pos = m_str.find(oldText, from);
    }
    result.append(m_str, from, std::string::npos);
    m_str.swap(result);
    return nCount;
}

// Replaces each chOld by chNew; replacing a character by itself changes and counts nothing.
int CString::Replace(char chOld, char chNew)
{
    if (chOld == chNew)
        return 0;
    int nCount = 0;
    for (char& ch : m_str) {
        if (ch == chOld) {
            ch = chNew;
            ++nCount;
        }
    }
    return nCount;
}

// Removes every ch; returns how many were removed.
int CString::Remove(char ch)
{
    const size_t before = m_str.size();
    std::string result;
    result.reserve(before);
    for (char c : m_str) {
        if (c != ch)
            result += c;
    }
    m_str.swap(result);
    return int(before - m_str.size());
}

// Inserts psz before position nIndex (clamped to the string); returns the new length.
int CString::Insert(int nIndex, const char* psz)
{
    if (nIndex < 0)
        nIndex = 0;
    if (nIndex > GetLength())
        nIndex = GetLength();
    if (psz)
        m_str.insert(size_t(nIndex), psz);
    return GetLength();
}

// Deletes up to nCount characters from nIndex (clamped); returns the new length.
int CString::Delete(int nIndex, int nCount)
{
    if (nIndex < 0)
        nIndex = 0;
    if (nCount < 0)
        nCount = 0;
    const int nLength = GetLength();
    if (nIndex >= nLength)
        return nLength;
    if (nCount > nLength - nIndex)
        nCount = nLength - nIndex;
    m_str.erase(size_t(nIndex), size_t(nCount));
    return GetLength();
}

CString& CString::MakeUpper()
{
    for (char& ch : m_str)
        ch = UpperAscii(ch);
    return *this;
}

CString& CString::MakeLower()
{
    for (char& ch : m_str)
        ch = LowerAscii(ch);
    return *this;
}

CString& CString::Trim()
{
    TrimRight();
    return TrimLeft();
}

CString& CString::TrimLeft()
{
    size_t n = 0;
    while (n < m_str.size() && IsBlank(m_str[n]))
        ++n;
    m_str.erase(0, n);
    return *this;
}

CString& CString::TrimRight()
{
    size_t n = m_str.size();
    while (n > 0 && IsBlank(m_str[n - 1]))
        --n;
    m_str.resize(n);
    return *this;
}

// Formats like sprintf into the string, of whatever length the result needs.
void CString::Format(const char* pszFormat, ...)
{
    va_list args;
    va_start(args, pszFormat);
    FormatV(pszFormat, args);
    va_end(args);
}

// Formats into a fresh buffer first (the arguments may point into this string), sized by
// a measuring pass; a C library that answers -1 instead of the length gets a growing buffer.
void CString::FormatV(const char* pszFormat, va_list args)
{
    if (!pszFormat) {
        m_str.clear();
        return;
    }
    va_list measure;
    va_copy(measure, args);
    int nNeeded = std::vsnprintf(nullptr, 0, pszFormat, measure);
    va_end(measure);

    std::vector<char> buffer(size_t(nNeeded >= 0 ? nNeeded : 256) + 1);
    for (;;) {
        va_list pass;
        va_copy(pass, args);
        int nWritten = std::vsnprintf(buffer.data(), buffer.size(), pszFormat, pass);
        va_end(pass);
        if (nWritten >= 0 && size_t(nWritten) < buffer.size()) {
            m_str.assign(buffer.data(), size_t(nWritten));
            return;
        }
        // Truncated: grow to the reported size, or double when the size is unknown.
        size_t nNext = nWritten >= 0 ? size_t(nWritten) + 1 : buffer.size() * 2;
        if (nNext > (size_t(1) << 30)) {  // a format that never fits: give up empty
            m_str.clear();
            return;
        }
        buffer.assign(nNext, '\0');
    }
}

// Gives a writable buffer of at least nMinLength characters plus a terminator; the
// current text stays in it. Call ReleaseBuffer before using the string again.
char* CString::GetBuffer(int nMinLength)
{
    if (nMinLength > GetLength())
        m_str.resize(size_t(nMinLength), '\0');
    return &m_str[0];
}

// Ends direct writing: the length becomes nNewLength, or with -1 the position of the
// first zero (never more than the buffer that GetBuffer gave).
void CString::ReleaseBuffer(int nNewLength)
{
    const size_t nBuffer = m_str.size();
    if (nNewLength < 0) {
        const void* pZero = std::memchr(m_str.data(), 0, nBuffer);
        m_str.resize(pZero ? size_t(static_cast<const char*>(pZero) - m_str.data()) : nBuffer);
    } else {
        m_str.resize(std::min(size_t(nNewLength), nBuffer));
    }
}
