// JobParameters.h
//
// The parameters of the next export job, part of the job record: written by the main dialog on
// the window thread while no job runs, read by the worker when its job starts, and by the
// object picker, which logs on with them and hands the chosen name back in g_szObjectName.
// Texts are in the system's code page, as the fields hold them.
#pragma once

#include <string>

#include "framework/String.h"

// Size of g_szObjectName: the field's longest name (128 characters) and the terminating zero.
constexpr int kObjectNameSize = 129;

extern CString g_strUser;
extern CString g_strPassword;
extern CString g_strDatabase;
extern int g_bSysdba;
// The output path: wide, so any name the file system takes reaches CreateFileW unchanged.
extern std::wstring g_strFileName;
extern int g_bAllObjects;
extern char g_szObjectName[kObjectNameSize];
