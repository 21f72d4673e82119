// Debug.h
//
// A line for a debugger watching the process (nothing where the system has no such channel).
#pragma once

void DebugOutput(const char* pszText);
