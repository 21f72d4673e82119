// JobParameters.h
//
// The parameters of the next export job, part of the job record: written by the main dialog on
// the window thread while no job runs, read by the worker when its job starts, and by the
// object picker, which logs on with them and hands the chosen name back in g_szObjectName.
// User, password and database are UTF-8 (the fields are read as UTF-16, every character
// kept); g_szObjectName is the object name as the fields show it, in the system's code page,
// and the names themselves travel exactly, in UTF-8, beside it.
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
// The picker's choice exactly as stored (UTF-8); empty when nothing was chosen.
extern CString g_strPickedObject;
// The one object the job exports, exactly as stored or as typed (UTF-8); written at Start.
extern CString g_strExportObject;
