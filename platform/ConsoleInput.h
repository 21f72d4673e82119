// ConsoleInput.h
//
// Standard input a byte at a time, one implementation per system; the line readers of
// Console.h are built on it once.
#pragma once

#include "platform/SystemError.h"

namespace Console {

enum class InputByte { Read, End, Failed };

// The next byte of standard input. End when the stream has ended (a pipe whose writer has
// gone included); Failed with the reason.
InputByte ReadInputByte(char& ch, SystemError& nError);

}  // namespace Console
