// TestSystem.h
//
// What the tests ask of the system they run on: loading a library by name as the program loads
// the client, the environment, folders and running a test of their own in a child process.
// One implementation per system (TestSystemWindows.cpp, TestSystemLinux.cpp). Paths use "/",
// which every system here takes.
#pragma once

#include <chrono>
#include <string>

namespace testsys {

// The client library's name as the program loads it: "OCI.DLL", "libclntsh.so".
extern const char kClientLibraryName[];

// The library loaded through the system's search path (as LoadLibraryA or dlopen find it) and
// kept for the process; null when it does not load.
void* LoadLibraryByName(const char* name);
// The entry point's address, or null.
void* FindSymbol(void* library, const char* name);
// The library with this name when this process has loaded it already (never loading it), else
// null; the same library gives the same value.
void* LoadedLibrary(const char* name);
// The folder the library was loaded from, without a trailing separator; empty when unknown.
std::string LibraryFolder(void* library);

// Sets the environment variable; null unsets it.
void SetVariable(const char* name, const char* value);
bool HasVariable(const char* name);

// The separator of the system's own paths (a backslash on Windows, "/" elsewhere), for the
// paths the program shows as given.
extern const char kSeparator[];
// A folder for temporary files, without a trailing separator, and a name for this process.
std::string TempFolder();
std::string ProcessTag();
// Makes the folder; false when it could not (it exists already, or its parent does not).
bool MakeFolder(const std::string& path);
void RemoveFolder(const std::string& path);
bool IsFile(const std::string& path);

// Milliseconds on a clock that never goes back.
inline unsigned long NowMs()
{
    return static_cast<unsigned long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count());
}

// Sets (null: deletes) the NLS_LANG a Windows client reads from the registry when the variable
// is unset (HKEY_LOCAL_MACHINE\SOFTWARE\ORACLE); false where the system has no such place or
// it could not be written.
bool SetSystemNlsLang(const char* value);

// The system's own conversions of a Windows code page (MultiByteToWideChar without flags,
// WideCharToMultiByte with WC_NO_BEST_FIT_CHARS; *mapped false when the code page lacks the
// unit); false where the system has none.
bool SystemDecode(unsigned codePage, const std::string& bytes, std::u16string* text);
bool SystemEncode(unsigned codePage, char16_t unit, std::string* bytes, bool* mapped);

// Runs this test program again with --gtest_filter=filter (and this process's environment);
// its exit code, or -1 when it did not start or ran past timeoutMs (it is then ended).
int RunSelf(const std::string& filter, unsigned timeoutMs);

}  // namespace testsys
