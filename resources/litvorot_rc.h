// Identifiers shared by the Windows resource script and the program.
#pragma once

#define IDI_LITVOROT 1

#define IDB_SPLASH 101
#define IDB_TABLE 102

#define IDD_STATUS 300
#define IDD_TABLE 301
#define IDD_HELP 302
#define IDD_ABOUT 303

#define IDC_LABSTATUS 401
#define IDC_LABSOURCE 402
#define IDC_LABDEST 403
#define IDC_CMDCLOSE 404
#define IDC_IMGTABLE 410
#define IDC_WEBBROWSER1 420
#define IDC_LBLTITLE 430
#define IDC_LBLVERSION 431
