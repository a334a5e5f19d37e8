// Resource identifiers shared by the resource script and the code.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC -1
#endif

#define IDD_MAIN_DIALOG 102
#define IDD_RTL_DISPLAY 103
#define IDD_CORRECT_DRIFT 104
#define IDR_MAINFRAME 128

#define IDC_SYNCHRONIZE 1000
#define IDC_HOURS 1001
#define IDC_MINUTES 1002
#define IDC_MILLISECONDS 1003
#define IDC_REDUCE_NUMBER 1004
#define IDC_ADD_TIME 1005
#define IDC_REDUCE_TIME 1006
#define IDC_SECONDS 1007
#define IDC_INPUT_FILE 1008
#define IDC_BROWSE 1009
#define IDC_SWITCH_ORIENTATION 1010
#define IDC_FROM_TIME 1011
#define IDC_TO_TIME 1012
#define IDC_BETWEEN_TIMES 1013

// The commands of the main dialog's system menu, in their order there: multiples of 16 below 0xF000, as Windows
// requires of the commands a program adds there.
#define IDM_RTL_DISPLAY 0x0010
#define IDM_CORRECT_DRIFT 0x0020
#define IDM_RESTORE_ORIGINAL 0x0030
#define IDM_ABOUT 0x0040

// The right-to-left display dialog.
#define IDC_RTL_ALL_PLAYERS 1100
#define IDC_RTL_LTR_PLAYERS 1101
#define IDC_RTL_LOGICAL 1102
#define IDC_RTL_TO_UTF8 1103
#define IDC_RTL_BYTE_ORDER_MARK 1104
#define IDC_RTL_BEFORE_LABEL 1105
#define IDC_RTL_BEFORE 1106
#define IDC_RTL_AFTER_LABEL 1107
#define IDC_RTL_AFTER 1108
#define IDC_RTL_PREVIEW_MESSAGE 1109

// The correct-drift dialog.
#define IDC_DRIFT_POINTS 1200
#define IDC_DRIFT_RATES 1201
#define IDC_DRIFT_SOURCE1 1202
#define IDC_DRIFT_TARGET1 1203
#define IDC_DRIFT_SECOND 1204
#define IDC_DRIFT_SOURCE2 1205
#define IDC_DRIFT_TARGET2 1206
#define IDC_DRIFT_FROM_RATE 1207
#define IDC_DRIFT_TO_RATE 1208
#define IDC_DRIFT_PREVIEW 1209
#define IDC_DRIFT_MATCH 1210
#define IDC_DRIFT_REFERENCE 1211
#define IDC_DRIFT_BROWSE 1212
