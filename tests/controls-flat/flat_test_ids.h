// Resource identifiers of the flat button and owner-drawn menu tests.
#pragma once

#define IDD_FLAT_TEST 9100
#define IDC_FLAT_EDIT 9101
#define IDC_FLAT_NEXT 9102
#define IDC_FLAT_CHECK 9103

#define IDM_FLAT_TEST 9200
#define IDM_FLAT_BROKEN 9201
#define ID_FLAT_COPY 9210
#define ID_FLAT_PASTE_ALL 9211
#define ID_FLAT_EXPORT 9212
#define ID_FLAT_IMPORT 9213
#define ID_FLAT_EXIT 9214
#define ID_FLAT_HELP 9215
