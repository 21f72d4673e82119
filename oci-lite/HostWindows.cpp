// The host on Windows: the Win32 calls of oci-lite's OCI.DLL.
#include "oci-lite/Host.h"

#include <windows.h>

#include "oci-lite/Utf16.h"

namespace ocilite {
namespace host {

namespace {

std::wstring Wide(const std::string& utf8)
{
    const std::u16string utf16 = Utf8ToUtf16(utf8);
    return std::wstring(utf16.begin(), utf16.end());
}

std::string Utf8(const wchar_t* text, size_t length)
{
    return Utf16ToUtf8(std::u16string(text, text + length));
}

const wchar_t* AsWide(const std::u16string& text)
{
    return reinterpret_cast<const wchar_t*>(text.data());
}

}  // namespace

std::string Environment(const char* name)
{
    const std::wstring wideName = Wide(name);
    std::wstring value(256, L'\0');
    for (;;) {
        const DWORD length =
            GetEnvironmentVariableW(wideName.c_str(), &value[0], static_cast<DWORD>(value.size()));
        if (length == 0)
            return std::string();
        if (length < value.size())
            return Utf8(value.data(), length);
        value.resize(length);
    }
}

std::string SystemNlsLang()
{
    char value[256];
    DWORD size = sizeof value;
    if (RegGetValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE", "NLS_LANG", RRF_RT_REG_SZ, nullptr,
                     value, &size) != ERROR_SUCCESS) {
        return std::string();
    }
    return std::string(value);
}

bool LibraryFolder(std::string* folder)
{
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&LibraryFolder), &module);
    constexpr DWORD kBufferSize = 32768;
    std::wstring buffer(kBufferSize, L'\0');
    const DWORD length = GetModuleFileNameW(module, &buffer[0], kBufferSize);
    if (length == 0 || length >= kBufferSize)
        return false;
    const std::string path = Utf8(buffer.data(), length);
    const size_t slash = path.find_last_of("\\/");
    *folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    return true;
}

std::string JoinPath(const std::string& folder, const std::string& name)
{
    if (folder.empty() || folder.back() == '\\' || folder.back() == '/')
        return folder + name;
    return folder + '\\' + name;
}

bool IsFile(const std::string& path)
{
    const DWORD attributes = GetFileAttributesW(Wide(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool ReadWholeFile(const std::string& path, std::string* content)
{
    HANDLE file = CreateFileW(Wide(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return false;
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    bool ok = true;
    while ((ok = ::ReadFile(file, buffer, sizeof(buffer), &read, nullptr) != FALSE) && read > 0)
        text.append(buffer, read);
    CloseHandle(file);
    if (!ok)
        return false;
    *content = std::move(text);
    return true;
}

unsigned long CurrentThreadId()
{
    return GetCurrentThreadId();
}

unsigned long long MonotonicMilliseconds()
{
    return GetTickCount64();
}

void WaitMicroseconds(unsigned microseconds)
{
    if (microseconds == 0)
        return;
    LARGE_INTEGER frequency, start, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    long long ticks = static_cast<long long>(microseconds) * frequency.QuadPart / 1000000;
    if (microseconds >= 2000)
        Sleep(microseconds / 1000 - 1);
    do {
        QueryPerformanceCounter(&now);
        if (now.QuadPart - start.QuadPart < ticks)
            Sleep(0);
    } while (now.QuadPart - start.QuadPart < ticks);
}

void DebugOutput(const std::string& line)
{
    OutputDebugStringA((line + "\n").c_str());
}

CharacterClass ClassOf(char16_t c)
{
    const wchar_t wide = static_cast<wchar_t>(c);
    WORD type = 0;
    GetStringTypeW(CT_CTYPE1, &wide, 1, &type);
    if (type & C1_ALPHA)
        return CharacterClass::kLetter;
    if (type & C1_DIGIT)
        return CharacterClass::kDigit;
    return CharacterClass::kOther;
}

char16_t LowerCase(char16_t c)
{
    const wchar_t wide = static_cast<wchar_t>(c);
    wchar_t lower = wide;
    LCMapStringW(LOCALE_INVARIANT, LCMAP_LOWERCASE, &wide, 1, &lower, 1);
    return static_cast<char16_t>(lower);
}

std::u16string Decompose(const std::u16string& text)
{
    if (text.empty())
        return text;
    const int size = static_cast<int>(text.size());
    const int length = FoldStringW(MAP_COMPOSITE, AsWide(text), size, nullptr, 0);
    if (length <= 0)
        return text;
    std::wstring folded(static_cast<size_t>(length), L'\0');
    FoldStringW(MAP_COMPOSITE, AsWide(text), size, &folded[0], length);
    return std::u16string(folded.begin(), folded.end());
}

}  // namespace host
}  // namespace ocilite
