// Environment.cpp (POSIX): the variables are bytes, taken as UTF-8.
#include "platform/Environment.h"

#include <cstdlib>

namespace Environment {

bool Variable(const char* pszName, std::string& strValue)
{
    const char* pszValue = std::getenv(pszName);
    strValue = pszValue != nullptr ? pszValue : "";
    return pszValue != nullptr;
}

}  // namespace Environment
