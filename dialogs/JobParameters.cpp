// JobParameters.cpp: the storage of the job's parameters.
#include "dialogs/JobParameters.h"

std::wstring g_strFileName;
CString g_strUser;
CString g_strPassword;
CString g_strDatabase;
int g_bSysdba = 0;
int g_bAllObjects = 0;
char g_szObjectName[kObjectNameSize] = {};
CString g_strPickedObject;
CString g_strExportObject;
