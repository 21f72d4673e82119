// Password.h
//
// PasswordSource: where the console exporter's password comes from, in this order: the
// environment variable QUILLMARK_PASSWORD; the console, typed without echo after a prompt on
// standard error; the first line of standard input when that is not a console (a pipe or a
// file), without its line end. The password is never printed. Ctrl+C at the prompt ends the
// program at once (kPromptStoppedExitCode).
#pragma once

#include <windows.h>

#include "framework/String.h"

constexpr char kPasswordVariable[] = "QUILLMARK_PASSWORD";
constexpr wchar_t kPasswordVariableW[] = L"QUILLMARK_PASSWORD";
// Ctrl+C at the prompt ends the program at once with this exit code (a stopped run's).
constexpr UINT kPromptStoppedExitCode = 130;

class PasswordSource {
public:
    // Reads the password from the first source that has one. False when standard input was
    // to be read and could not be (the caller then logs on with an empty password).
    static bool Read(CString& strPassword);

private:
    static bool FromEnvironment(CString& strPassword);
    static bool FromConsole(HANDLE hInput, CString& strPassword);
    static bool FromStream(HANDLE hInput, CString& strPassword);
};

// Restores a console's input mode when it goes out of scope.
class ConsoleModeGuard {
public:
    ConsoleModeGuard(HANDLE hConsole, DWORD nMode) : m_hConsole(hConsole), m_nMode(nMode) {}
    ~ConsoleModeGuard() { ::SetConsoleMode(m_hConsole, m_nMode); }
    ConsoleModeGuard(const ConsoleModeGuard&) = delete;
    ConsoleModeGuard& operator=(const ConsoleModeGuard&) = delete;

private:
    HANDLE m_hConsole;
    DWORD m_nMode;
};
