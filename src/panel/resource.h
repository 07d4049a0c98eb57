// resource.h: the names of the windows' resources and controls, and the facts of their
// templates that are no control: size, caption and font. Both windows, Keltrove.rc and the
// tests take them from here. Plain #defines, so that the resource compiler reads this file
// as well as C++ does.
#pragma once

#define IDD_ABOUT 100
#define IDS_ABOUT 101  // the system menu's about item
#define IDD_MAIN 102
#define IDI_APP 128

// The system menu's about item. A system command must leave the low four bits clear.
#define IDM_ABOUTBOX 0x0010

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
#ifndef IDOK
#define IDOK 1
#endif

// The 32 entry fields, by entry number. The IDs come in blocks of four, eight apart, and
// the last block starts at 1058, not 1056.
#define IDC_ENTRY1 1000
#define IDC_ENTRY2 1001
#define IDC_ENTRY3 1002
#define IDC_ENTRY4 1003
#define IDC_ENTRY5 1008
#define IDC_ENTRY6 1009
#define IDC_ENTRY7 1010
#define IDC_ENTRY8 1011
#define IDC_ENTRY9 1016
#define IDC_ENTRY10 1017
#define IDC_ENTRY11 1018
#define IDC_ENTRY12 1019
#define IDC_ENTRY13 1024
#define IDC_ENTRY14 1025
#define IDC_ENTRY15 1026
#define IDC_ENTRY16 1027
#define IDC_ENTRY17 1032
#define IDC_ENTRY18 1033
#define IDC_ENTRY19 1034
#define IDC_ENTRY20 1035
#define IDC_ENTRY21 1040
#define IDC_ENTRY22 1041
#define IDC_ENTRY23 1042
#define IDC_ENTRY24 1043
#define IDC_ENTRY25 1048
#define IDC_ENTRY26 1049
#define IDC_ENTRY27 1050
#define IDC_ENTRY28 1051
#define IDC_ENTRY29 1058
#define IDC_ENTRY30 1059
#define IDC_ENTRY31 1060
#define IDC_ENTRY32 1061

#define IDC_PORT_LIST 1065
#define IDC_READ 1066
#define IDC_WRITE 1067
#define IDC_EXIT 1069

// The templates' captions and font: 9 points, 굴림 (UTF-8).
#define KELTROVE_CAPTION "Keltrove"
#define ABOUT_CAPTION KELTROVE_CAPTION " 정보"
#define ABOUT_MENU_TEXT KELTROVE_CAPTION " 정보(&A)..."  // string IDS_ABOUT
#define DIALOG_FONT_POINTS 9
#define DIALOG_FONT_FACE "굴림"

// Client sizes in dialog units; the controls are in MainTemplate.def and AboutTemplate.def.
#define MAIN_CX 557
#define MAIN_CY 385
#define ABOUT_CX 235
#define ABOUT_CY 55
