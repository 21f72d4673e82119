// LibraryFolder.cpp
#include "oci-lite/LibraryFolder.h"

#include <windows.h>

namespace ocilite {

namespace {

constexpr DWORD kBufferSize = MAX_PATH * 2;

}  // namespace

std::wstring FolderFromEnvironment(const wchar_t* name)
{
    wchar_t buffer[kBufferSize];
    const DWORD length = GetEnvironmentVariableW(name, buffer, kBufferSize);
    return length > 0 && length < kBufferSize ? std::wstring(buffer, length) : std::wstring();
}

bool LibraryFolder(std::wstring* folder)
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&LibraryFolder), &module);
    wchar_t buffer[kBufferSize];
    const DWORD length = GetModuleFileNameW(module, buffer, kBufferSize);
    if (length == 0 || length >= kBufferSize)
        return false;
    const std::wstring path(buffer, length);
    const size_t slash = path.find_last_of(L"\\/");
    *folder = slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
    return true;
}

}  // namespace ocilite
