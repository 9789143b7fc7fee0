// Identifiers of the program's resources, shared by the resource script and the code.
#pragma once

#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_CONTROL 102
#define IDR_MAINFRAME 128

#define IDC_START 1000
#define IDC_EXIT 1002
#define IDC_MAX_IMAGES 1004

// The About entry of the system menu: low four bits clear, below the system's own commands.
#define IDM_ABOUTBOX 0x0010

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
