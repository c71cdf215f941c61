#pragma once
// Identifiers of the program's resources and of the controls of its dialogs.

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_ZETVELTRAN_DIALOG 102
#define IDD_PREVIEW 103
#define IDR_MAINFRAME 128

// The entries the main dialog adds to its system menu (multiples of 16,
// below the system's own commands).
#define IDM_ABOUTBOX 0x0010
#define IDM_PREVIEW 0x0020
#define IDM_UNDO 0x0030

// Main dialog (template 102). The About box uses 1000 and 1001 for its texts.
#define IDC_STATIC2 1000
#define IDC_STATIC1 1001
#define IDC_BROWSE_SOURCE 1002
#define IDC_BROWSE_TARGET 1003
#define IDC_SOURCE 1004
#define IDC_TARGET 1005
#define IDC_OVERWRITE 1006
#define IDC_PROGRESS 1007
#define IDC_STATIC3 1008

// The preview window (template 103).
#define IDC_PREVIEW_TEXT 1010

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
