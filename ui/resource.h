// Resource identifiers shared by the resource script and the code.
#pragma once

#ifndef IDC_STATIC
#define IDC_STATIC -1
#endif

#define IDD_MAIN_DIALOG 102
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
