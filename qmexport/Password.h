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
// Why a run ends when standard input ended before anything of a password was read.
constexpr char kNoPasswordText[] =
    "standard input ended before a password line (set QUILLMARK_PASSWORD, or pass the password "
    "as the first line of standard input)";
// Ctrl+C at the prompt ends the program at once with this exit code (a stopped run's).
constexpr UINT kPromptStoppedExitCode = 130;

class PasswordSource {
public:
    // Reads the password from the first source that has one. False, with the reason (the
    // system's, taken at the read that failed, or that standard input held nothing), when the
    // console or standard input was to be read and could not be: the run then ends.
    static bool Read(CString& strPassword, CString& strReason);

private:
    static bool FromEnvironment(CString& strPassword);
    static bool FromConsole(HANDLE hInput, CString& strPassword, CString& strReason);
    static bool FromStream(HANDLE hInput, CString& strPassword, CString& strReason);
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
