// Console.cpp: what is the same on every system.
#include "platform/Console.h"

#include "platform/ConsoleInput.h"

namespace Console {

bool ReadInputLine(size_t nMaxBytes, std::string& strLine, bool& bAny, SystemError& nError)
{
    bAny = false;
    // One byte at a time: nothing after the first line is taken from the stream.
    while (strLine.size() < nMaxBytes) {
        char ch = 0;
        const InputByte read = ReadInputByte(ch, nError);
        if (read == InputByte::Failed)
            return false;
        if (read == InputByte::End)
            break;
        bAny = true;
        if (ch == '\n')
            break;
        strLine += ch;
    }
    return true;
}

}  // namespace Console
