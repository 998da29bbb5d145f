// Resource identifiers of the plug-in (shared by the resource script and the code).
#pragma once

#define IDD_SEND_DIALOG 101
#define IDI_PLUGIN 103

#define IDS_TECHNICAL_SUPPORT 3
#define IDS_CANNOT_SEND_FOLDER 4
#define IDS_IMPORTED_FROM 5
#define IDS_BY 6
#define IDS_CONVERT_TEXT 7
#define IDS_SEND_HTML_CODE 8

// Controls of the send dialog.
#define IDC_LINK_FIELD 1001
#define IDC_LOG_LIST 1003
#define IDC_COPY_LOG 1004
#define IDC_START_EVERNOTE 1005
#define IDC_PLUGIN_PAGE_LINK 1006
#define IDC_RICH_EDIT 1007
#define IDC_SUPPORT_LINK 1008
#define IDC_LINK_LABEL 1009
#define IDC_SHOW_CONSOLE 1010
