// BlockText.cpp: the slash line test and the test for bytes beyond ASCII.
#include "export/BlockText.h"

#include <string>

#include "framework/Text.h"

namespace BlockText {

bool EndsWithSlashLine(const CString& strText)
{
    const char* pText = strText.GetString();
    int nEnd = strText.GetLength();
    auto isBlank = [](char ch) { return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n'; };
    while (nEnd > 0 && isBlank(pText[nEnd - 1]))
        --nEnd;
    if (nEnd == 0 || pText[nEnd - 1] != '/')
        return false;
    int nStart = nEnd - 1;
    while (nStart > 0 && pText[nStart - 1] != '\n') {
        --nStart;
        if (!isBlank(pText[nStart]))
            return false;
    }
    return true;
}

bool HoldsBeyondAscii(const CString& strText)
{
    for (int i = 0; i < strText.GetLength(); ++i) {
        if ((static_cast<unsigned char>(strText[i]) & 0x80) != 0)
            return true;
    }
    return false;
}

}  // namespace BlockText
