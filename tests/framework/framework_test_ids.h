// Resource ids of the framework tests' own templates (5000 and up, clear of the program's).
#pragma once

#define IDD_FW_TEST 5000
#define IDC_FW_EDIT 5001
#define IDC_FW_LIST 5002
#define IDC_FW_DRAW 5003
#define IDM_FW_TEST 5100
#define ID_FW_OPEN 5101
#define ID_FW_SAVE 5102
#define ID_FW_ABOUT 5103
#define IDB_FW_TEST 5200
#define IDI_FW_TEST 5300
