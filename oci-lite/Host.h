// Host.h
//
// What oci-lite asks of the system it runs on, in one place: the environment, its own folder,
// files, time, the debugger's output and the letters' case and classes. One implementation per system (HostWindows.cpp, HostLinux.cpp);
// the rest of the library is the same everywhere. Paths and texts are UTF-8 unless a function
// says otherwise; UTF-16 texts are std::u16string on every system.
#pragma once

#include <string>

namespace ocilite {
namespace host {

// The environment variable's value; empty when it is unset.
std::string Environment(const char* name);

// NLS_LANG as the system's client finds it when the variable is unset: on Windows the registry
// value HKEY_LOCAL_MACHINE\SOFTWARE\ORACLE\NLS_LANG; elsewhere nothing (a Linux client reads the
// environment only). Empty when there is none.
std::string SystemNlsLang();

// The folder this library was loaded from, with its trailing separator; false when the
// library's path cannot be had.
bool LibraryFolder(std::string* folder);

// folder and name joined with the system's separator (none added after one already there).
std::string JoinPath(const std::string& folder, const std::string& name);

// Whether path names an existing file (not a folder).
bool IsFile(const std::string& path);

// The whole file, or false when it cannot be read (a folder under its name included).
bool ReadWholeFile(const std::string& path, std::string* content);

// The calling thread's number, never 0.
unsigned long CurrentThreadId();

// Milliseconds on a clock that never goes back (for deadlines).
unsigned long long MonotonicMilliseconds();

// Waits a number of microseconds with the best resolution the system offers cheaply.
void WaitMicroseconds(unsigned microseconds);

// A line for a debugger watching the process (nothing where the system has no such channel).
void DebugOutput(const std::string& line);

// Letters' case and classes, for the linguistic sort.
enum class CharacterClass { kOther, kDigit, kLetter };
CharacterClass ClassOf(char16_t c);
char16_t LowerCase(char16_t c);
// The text with accented letters taken apart into the letter and its combining accents.
std::u16string Decompose(const std::u16string& text);

}  // namespace host
}  // namespace ocilite
