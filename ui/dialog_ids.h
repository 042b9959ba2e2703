// Identifiers of the main dialog and its controls, shared by the resource
// script (parafold.rc) and the code. The two standard buttons use the
// system's IDOK (1, "Process File") and IDCANCEL (2, "Cancel"); the group
// boxes have no identifier (-1).
#pragma once

#define IDD_MAIN 101

#define IDC_BROWSE 1000
#define IDC_INPUT_PATH 1001
#define IDC_OUTPUT_PATH 1004
#define IDC_COLUMNS 1005
#define IDC_AUTODETECT 1007
#define IDC_KINDLE_TWO_LINES 1009
#define IDC_KINDLE_INDENT 1010
