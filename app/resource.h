// Resource and control identifiers of Velquin.
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_MAIN 102
#define IDR_MAINFRAME 128
#define IDB_LOGO 130
// The logo at three times the size, in true colour, for screens above 96 DPI.
#define IDB_LOGO_LARGE 131

#define IDC_SOURCE_PATH 1000
#define IDC_BROWSE_SOURCE 1001
#define IDC_SOURCE_GROUP 1002
#define IDC_PATCH_GROUP 1003
#define IDC_DEST_GROUP 1004
#define IDC_BROWSE_PATCH 1005
#define IDC_BROWSE_DEST 1006
#define IDC_PATCH_PATH 1007
#define IDC_DEST_PATH 1008
#define IDC_HUNK_LIST 1013
#define IDC_HUNK_GROUP 1014
#define IDC_SELECT_ALL 1015
#define IDC_SELECT_NONE 1016
#define IDC_INVERT 1017
#define IDC_HUNK_COUNT 1020
#define IDC_LOGO 1022

// System menu command of the About entry; the system keeps the low four bits.
#define IDM_ABOUTBOX 0x0010

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
