// Password.h
//
// PasswordSource: where the console exporter's password comes from, in this order: the
// environment variable QUILLMARK_PASSWORD; the terminal, typed without echo after a prompt on
// standard error; the first line of standard input when that is not a terminal (a pipe or a
// file), without its line end. The password is never printed. Ctrl+C (or SIGTERM) at the
// prompt ends the program at once (kPromptStoppedExitCode, 143 for SIGTERM).
#pragma once

#include "framework/String.h"

constexpr char kPasswordVariable[] = "QUILLMARK_PASSWORD";
// Why a run ends when standard input ended before anything of a password was read.
constexpr char kNoPasswordText[] =
    "standard input ended before a password line (set QUILLMARK_PASSWORD, or pass the password "
    "as the first line of standard input)";
// Ctrl+C at the prompt ends the program at once with this exit code (a stopped run's).
constexpr int kPromptStoppedExitCode = 130;

class PasswordSource {
public:
    // Reads the password from the first source that has one. False, with the reason (the
    // system's, taken at the read that failed, or that standard input held nothing), when the
    // terminal or standard input was to be read and could not be: the run then ends.
    static bool Read(CString& strPassword, CString& strReason);

private:
    static bool FromEnvironment(CString& strPassword);
    static bool FromTerminal(CString& strPassword, CString& strReason);
    static bool FromStream(CString& strPassword, CString& strReason);
};
