// Barrier.h
//
// What an exception barrier caught. A catch-all at a window procedure or a thread entry
// carries on after an exception it cannot handle; before it does, it calls
// RecordCaughtException inside its catch block, so the exception is neither lost nor
// hidden: its text goes to the debugger's output and stays in one slot, the last one
// caught in the process, for a test (or a report) to read. No windowing here: any layer
// may record.
#pragma once

#include "framework/String.h"

// Call only inside a catch block. Records "pszWhere: what()" for an exception derived from
// std::exception, "pszWhere: unknown exception" for anything else.
void RecordCaughtException(const char* pszWhere);

// "where: what" of the last exception recorded in this process, or "" when none was (or
// since the last ResetCaughtException).
CString LastCaughtException();
void ResetCaughtException();
