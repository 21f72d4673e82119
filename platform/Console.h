// Console.h
//
// The console program's streams, arguments and signals, one implementation per system:
//   Write, IsTerminal   - text (UTF-8) to standard output or error: characters on a terminal
//                         (Windows' console takes them wide), bytes to a file or pipe.
//   Arguments           - the program's arguments after its name, as wide text.
//   ReadHiddenLine      - a line typed at the terminal after a prompt, without echo; Ctrl+C (or
//                         SIGTERM) there ends the process at once with the echo back on.
//   ReadInputLine       - standard input's first line, one byte at a time.
//   InstallStopHandler  - Ctrl+C, Ctrl+Break and SIGTERM handed to the program on a thread of
//                         their own instead of ending the process.
//   ExitNow             - ends the process at once.
#pragma once

#include <string>
#include <vector>

#include "platform/SystemError.h"

namespace Console {

enum class Stream { Input, Output, Error };

bool IsTerminal(Stream stream);
void Write(Stream stream, const std::string& strText);

std::vector<std::wstring> Arguments(int argc, char** argv);

// Ctrl+C (or Ctrl+Break) is an interrupt; SIGTERM, which ends a cancelled job, a termination.
enum class StopSignal { Interrupt, Terminate };
// The exit code of a process ended by the signal (130, 143).
int ExitCodeOf(StopSignal signal);

// Writes the prompt on standard error and reads a line from the terminal with echo off, echo
// restored on every way out. A stop signal while it waits ends the process with that signal's
// exit code. False with the reason when the terminal cannot be read.
bool ReadHiddenLine(const char* pszPrompt, size_t nMaxBytes, std::string& strLine,
                    SystemError& nError);
// Standard input up to and without its first line feed (at most nMaxBytes): bAny when anything
// was read at all. A stream whose writer has gone has ended; false only for a failed read.
bool ReadInputLine(size_t nMaxBytes, std::string& strLine, bool& bAny, SystemError& nError);

// Once, at start-up: onStop is called on a thread of its own for every stop signal; true when
// it took the signal.
using StopHandler = bool (*)(StopSignal signal);
void InstallStopHandler(StopHandler onStop);

[[noreturn]] void ExitNow(int nExitCode);

// Overwrites memory that held a secret, in a way the compiler keeps.
void Wipe(void* pData, size_t nSize);

}  // namespace Console
