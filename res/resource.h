// Resource identifiers shared by the resource script and the code.
#pragma once

#define IDM_ABOUTBOX 0x0010
#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_QUILLMARK_DIALOG 102
#define IDR_MAINFRAME 128
#define IDI_FOLDER 129
#define IDD_PACKLIST 131
#define IDI_FIND 132
#define IDD_APPMESSAGEBOX 133
#define IDB_EMBLEM 134

#define IDC_FILENAME 1000
#define IDC_BROWSE 1001
#define IDC_USER 1002
#define IDC_LOG 1003
#define IDC_PROGRESS_OBJECT 1004
#define IDC_PASSWORD 1005
#define IDC_DATABASE 1006
#define IDC_OBJECTNAME 1007
#define IDC_PICK 1008
#define IDC_PROGRESS_TOTAL 1009
#define IDC_FIND 1014
#define IDC_RADIO_ONE 1015
#define IDC_RADIO_ALL 1016
#define IDC_SYSDBA 1018
#define IDC_ABOUT_WEBLINK 1019
#define IDC_WEBLINK 1025
#define IDC_GROUP_CONNECT 1026
#define IDC_GROUP_FRAME 1027
#define IDC_MAKER 1028
#define IDC_FIND_LABEL 1029
#define IDC_GROUP_OBJECTS 1030
#define IDC_MESSAGE_TEXT 1032
#define IDC_EMBLEM 1033

// The maker's name and web address shown by the main dialog and the About box.
#define QUILLMARK_MAKER "Quillmark team"
#define QUILLMARK_WEB_ADDRESS "www.quillmark.example"
