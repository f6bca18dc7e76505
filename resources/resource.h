/* Resource ids of vareri.exe. Control ids are per dialog: 1010 is the Options button of
   the main window and the component list of the options dialog. */
#pragma once

/* Icons */
#define IDI_APP 31234

/* Dialogs */
#define IDD_MAIN 101
#define IDD_CHOOSER 105
#define IDD_OPTIONS 106

/* Main window (101) */
#define IDC_UPDATE 3
#define IDC_PATH 1002
#define IDC_DESCRIPTION 1003
#define IDC_LOG 1005
#define IDC_BROWSE 1008
#define IDC_CHECK 1009
#define IDC_OPTIONS 1010

/* Options dialog (106) */
#define IDC_COMPONENTS 1010
#define IDC_COMPONENT_DESCRIPTION 1011
#define IDC_RENAME 1012

/* Directory chooser (105): the old-style open dialog's standard ids */
#define IDC_CHOOSER_HELP 1038
#define IDC_CHOOSER_READONLY 1040
#define IDC_CHOOSER_CURRENT_DIR 1088
#define IDC_CHOOSER_TYPES_LABEL 1089
#define IDC_CHOOSER_NAME_LABEL 1090
#define IDC_CHOOSER_DRIVES_LABEL 1091
#define IDC_CHOOSER_FILES 1120
#define IDC_CHOOSER_DIRECTORIES 1121
#define IDC_CHOOSER_TYPES 1136
#define IDC_CHOOSER_DRIVES 1137
#define IDC_CHOOSER_NAME 1152
