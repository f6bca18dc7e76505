// Control ids of fixture_app's dialog, shared with the driver's tests.
#pragma once

#define IDC_CMDLINE 1000
#define IDC_EDIT 1001
#define IDC_WARN 1002
#define IDC_ASK 1003
#define IDC_STOP 1004
#define IDC_LIST 1005
#define IDC_DRAWN 1006
#define IDC_STATUS 1007
#define IDC_SWATCH 1008
#define IDC_OPEN 1009
#define IDC_DISABLED 1010
#define IDC_HIDDEN 1011
#define IDC_INFO 1012
#define IDC_PLAIN 1013
#define IDC_HANG 1014
