// Environment.h
//
// The process's environment variables, as UTF-8.
#pragma once

#include <string>

namespace Environment {

// False when the variable is not set (set but empty is true, with an empty value).
bool Variable(const char* pszName, std::string& strValue);

}  // namespace Environment
