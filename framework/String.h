// CString: the program's 8-bit string, a value type with the operations of the
// framework string the program was designed around (MFC-shaped names). Text is in the
// system code page; the string may hold any byte but keeps a terminating zero so that
// it converts to a C string at no cost.
#pragma once

#include <cstdarg>
#include <string>

class CString {
public:
    CString() = default;
    CString(const char* psz) : m_str(psz ? psz : "") {}
    CString(const char* pch, int nLength)
        : m_str(pch ? std::string(pch, nLength > 0 ? size_t(nLength) : 0) : std::string())
    {}
    CString(char ch, int nRepeat = 1) : m_str(nRepeat > 0 ? size_t(nRepeat) : 0, ch) {}
    CString(const std::string& s) : m_str(s) {}

    int GetLength() const { return int(m_str.size()); }
    bool IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }

    operator const char*() const { return m_str.c_str(); }
    const char* GetString() const { return m_str.c_str(); }
    const std::string& str() const { return m_str; }

    char GetAt(int i) const { return m_str.at(size_t(i)); }
    char operator[](int i) const { return m_str.at(size_t(i)); }
    void SetAt(int i, char ch) { m_str.at(size_t(i)) = ch; }

    CString& operator=(const char* psz)
    {
        m_str = psz ? psz : "";
        return *this;
    }
    CString& operator+=(const CString& s)
    {
        m_str += s.m_str;
        return *this;
    }
    CString& operator+=(const char* psz)
    {
        if (psz)
            m_str += psz;
        return *this;
    }
    CString& operator+=(char ch)
    {
        m_str += ch;
        return *this;
    }
    void Append(const char* pch, int nLength)
    {
        if (pch && nLength > 0)
            m_str.append(pch, size_t(nLength));
    }

    friend CString operator+(const CString& a, const CString& b)
    {
        return CString(a.m_str + b.m_str);
    }
    friend CString operator+(const CString& a, const char* b)
    {
        CString r(a);
        r += b;
        return r;
    }
    friend CString operator+(const char* a, const CString& b)
    {
        CString r(a);
        r += b;
        return r;
    }
    friend CString operator+(const CString& a, char b)
    {
        CString r(a);
        r += b;
        return r;
    }

    friend bool operator==(const CString& a, const CString& b) { return a.m_str == b.m_str; }
    friend bool operator==(const CString& a, const char* b) { return a.m_str == (b ? b : ""); }
    friend bool operator==(const char* a, const CString& b) { return b == a; }
    friend bool operator!=(const CString& a, const CString& b) { return !(a == b); }
    friend bool operator!=(const CString& a, const char* b) { return !(a == b); }
    friend bool operator<(const CString& a, const CString& b) { return a.m_str < b.m_str; }

    int Compare(const char* psz) const;
    int CompareNoCase(const char* psz) const;

    // Position of the first occurrence at or after nStart, or -1.
    int Find(char ch, int nStart = 0) const;
    int Find(const char* pszSub, int nStart = 0) const;
    int ReverseFind(char ch) const;

    CString Left(int nCount) const;
    CString Right(int nCount) const;
    CString Mid(int nFirst) const;
    CString Mid(int nFirst, int nCount) const;

    // Replaces every occurrence, left to right; returns the number replaced.
    int Replace(const char* pszOld, const char* pszNew);
    int Replace(char chOld, char chNew);
    int Remove(char ch);
    int Insert(int nIndex, const char* psz);
    int Delete(int nIndex, int nCount = 1);

    CString& MakeUpper();
    CString& MakeLower();
    CString& Trim();
    CString& TrimLeft();
    CString& TrimRight();

    void Format(const char* pszFormat, ...);
    void FormatV(const char* pszFormat, va_list args);

    // Direct writing into the buffer: GetBuffer gives room for nMinLength characters plus
    // the terminator; ReleaseBuffer takes the length up to the first zero (or nNewLength).
    char* GetBuffer(int nMinLength);
    char* GetBuffer() { return GetBuffer(GetLength()); }
    void ReleaseBuffer(int nNewLength = -1);

private:
    std::string m_str;
};
