// Text.h
//
// The conversions the program needs between its 8-bit strings and the wide ones of paths
// and the console, one kernel handle owner, and the system's text for an error number:
//   ToWide / FromWide - text in a code page (the system's by default, or UTF-8) and UTF-16.
//   CHandle           - owns a kernel handle (CreateFileW, FindFirstFileW's kind) and closes
//                       it once; movable, not copyable.
//   SystemErrorText   - FormatMessage's text for an error number, on one line.
#pragma once

#include <windows.h>

#include <string>

#include "framework/String.h"

std::wstring ToWide(const char* pText, int nLength, UINT nCodePage = CP_ACP);
inline std::wstring ToWide(const CString& strText, UINT nCodePage = CP_ACP)
{
    return ToWide(strText.GetString(), strText.GetLength(), nCodePage);
}
inline std::wstring ToWide(const std::string& strText, UINT nCodePage = CP_ACP)
{
    return ToWide(strText.data(), int(strText.size()), nCodePage);
}

// pbLossy (system code page only): set when a character has no exact equivalent there.
std::string FromWide(const wchar_t* pText, int nLength, UINT nCodePage = CP_ACP, bool* pbLossy = nullptr);
inline std::string FromWide(const std::wstring& strText, UINT nCodePage = CP_ACP, bool* pbLossy = nullptr)
{
    return FromWide(strText.data(), int(strText.size()), nCodePage, pbLossy);
}
// A wide path as the program's 8-bit messages show it.
inline CString NarrowPath(const std::wstring& strPath)
{
    const std::string strBytes = FromWide(strPath);
    return CString(strBytes.data(), int(strBytes.size()));
}

class CHandle {
public:
    explicit CHandle(HANDLE hHandle = INVALID_HANDLE_VALUE) : m_hHandle(hHandle) {}
    ~CHandle() { Reset(); }
    CHandle(CHandle&& other) noexcept : m_hHandle(other.m_hHandle) { other.m_hHandle = INVALID_HANDLE_VALUE; }
    CHandle& operator=(CHandle&& other) noexcept
    {
        if (this != &other) {
            Reset();
            m_hHandle = other.m_hHandle;
            other.m_hHandle = INVALID_HANDLE_VALUE;
        }
        return *this;
    }
    CHandle(const CHandle&) = delete;
    CHandle& operator=(const CHandle&) = delete;

    bool IsValid() const { return m_hHandle != INVALID_HANDLE_VALUE && m_hHandle != nullptr; }
    HANDLE Get() const { return m_hHandle; }
    void Reset()
    {
        if (IsValid())
            ::CloseHandle(m_hHandle);
        m_hHandle = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE m_hHandle;
};

// "The system cannot find the path specified.", or "System error N." when it has no text.
CString SystemErrorText(DWORD nError);
