#include "support/TestSystem.h"

#include <windows.h>

#include <cstring>

namespace testsys {

const char kSeparator[] = "\\";
const char kClientLibraryName[] = "OCI.DLL";

void* LoadLibraryByName(const char* name)
{
    return LoadLibraryA(name);
}

void* FindSymbol(void* library, const char* name)
{
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void* LoadedLibrary(const char* name)
{
    return GetModuleHandleA(name);
}

std::string LibraryFolder(void* library)
{
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(static_cast<HMODULE>(library), path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH)
        return std::string();
    const std::string full(path, length);
    return full.substr(0, full.find_last_of("\\/"));
}

void SetVariable(const char* name, const char* value)
{
    SetEnvironmentVariableA(name, value);
}

bool HasVariable(const char* name)
{
    return GetEnvironmentVariableA(name, nullptr, 0) != 0;
}

std::string TempFolder()
{
    char temp[MAX_PATH];
    const DWORD length = GetTempPathA(MAX_PATH, temp);
    std::string folder(temp, length);
    while (!folder.empty() && (folder.back() == '\\' || folder.back() == '/'))
        folder.pop_back();
    return folder;
}

std::string ProcessTag()
{
    return std::to_string(GetCurrentProcessId());
}

bool MakeFolder(const std::string& path)
{
    return CreateDirectoryA(path.c_str(), nullptr) != FALSE;
}

void RemoveFolder(const std::string& path)
{
    RemoveDirectoryA(path.c_str());
}

bool IsFile(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool SetSystemNlsLang(const char* value)
{
    if (value == nullptr)
        return RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE", "NLS_LANG") ==
               ERROR_SUCCESS;
    return RegSetKeyValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\ORACLE", "NLS_LANG", REG_SZ, value,
                           static_cast<DWORD>(std::strlen(value) + 1)) == ERROR_SUCCESS;
}

bool SystemDecode(unsigned codePage, const std::string& bytes, std::u16string* text)
{
    wchar_t wide[8];
    const int count =
        MultiByteToWideChar(codePage, 0, bytes.data(), static_cast<int>(bytes.size()), wide, 8);
    text->assign(wide, wide + (count > 0 ? count : 0));
    return true;
}

bool SystemEncode(unsigned codePage, char16_t unit, std::string* bytes, bool* mapped)
{
    const wchar_t wide = static_cast<wchar_t>(unit);
    char narrow[8];
    BOOL usedDefault = FALSE;
    const int count = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, &wide, 1, narrow,
                                          sizeof narrow, nullptr, &usedDefault);
    *mapped = count > 0 && !usedDefault;
    bytes->assign(narrow, *mapped ? count : 0);
    return true;
}

int RunSelf(const std::string& filter, unsigned timeoutMs)
{
    char self[MAX_PATH];
    GetModuleFileNameA(nullptr, self, MAX_PATH);
    std::string command = std::string("\"") + self + "\" --gtest_filter=" + filter;
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process = {};
    if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return -1;
    }
    int result = -1;
    if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0) {
        DWORD exitCode = 1;
        GetExitCodeProcess(process.hProcess, &exitCode);
        result = static_cast<int>(exitCode);
    } else {
        TerminateProcess(process.hProcess, 1);
    }
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return result;
}

}  // namespace testsys
