// Password.cpp
#include "qmexport/Password.h"

#include <string>

#include "framework/Text.h"
#include "platform/Console.h"
#include "platform/Environment.h"

namespace {

// Nobody types a longer password; a longer line is cut here.
constexpr size_t kMaxPasswordBytes = 1024;

void StripLineEnd(std::string& strLine)
{
    while (!strLine.empty() && (strLine.back() == '\n' || strLine.back() == '\r'))
        strLine.pop_back();
}

// Clears a string's bytes before it goes.
class Wiped {
public:
    explicit Wiped(std::string& strText) : m_strText(strText) {}
    ~Wiped()
    {
        if (!m_strText.empty())
            Console::Wipe(&m_strText[0], m_strText.size());
    }
    Wiped(const Wiped&) = delete;
    Wiped& operator=(const Wiped&) = delete;

private:
    std::string& m_strText;
};

}  // namespace

bool PasswordSource::Read(CString& strPassword, CString& strReason)
{
    if (FromEnvironment(strPassword))
        return true;
    if (Console::IsTerminal(Console::Stream::Input))
        return FromTerminal(strPassword, strReason);
    return FromStream(strPassword, strReason);
}

// Set but empty counts: the password is empty.
bool PasswordSource::FromEnvironment(CString& strPassword)
{
    std::string strValue;
    Wiped wipe(strValue);
    if (!Environment::Variable(kPasswordVariable, strValue))
        return false;
    strPassword = CString(strValue);
    return true;
}

bool PasswordSource::FromTerminal(CString& strPassword, CString& strReason)
{
    std::string strLine;
    Wiped wipe(strLine);
    SystemError nError = 0;
    const bool bRead = Console::ReadHiddenLine("Password: ", kMaxPasswordBytes, strLine, nError);
    strPassword = CString(strLine);
    if (!bRead) {
        strReason = SystemErrorText(nError);
        return false;
    }
    return true;
}

bool PasswordSource::FromStream(CString& strPassword, CString& strReason)
{
    std::string strLine;
    Wiped wipe(strLine);
    bool bAny = false;
    SystemError nError = 0;
    if (!Console::ReadInputLine(kMaxPasswordBytes, strLine, bAny, nError))
        strReason = SystemErrorText(nError);
    StripLineEnd(strLine);
    strPassword = CString(strLine);
    if (!strReason.IsEmpty())
        return false;
    if (!bAny) {
        strReason = kNoPasswordText;
        return false;
    }
    return true;
}
