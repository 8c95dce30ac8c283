// Identifiers of the program's resources (Scribix.rc).
#ifndef SCRIBIX_RESOURCE_H
#define SCRIBIX_RESOURCE_H

// Icons, bitmaps, cursors.
#define IDI_SCRIBIX 103
#define IDI_PEN_OFF 104  // the notification-area icon while the pen is off
#define IDI_PEN_ON 105
#define IDB_SPLASH 170
#define IDB_MENU_PICTURES 171
// The ink blot at the caret: with a current result, and without one.
#define IDB_BLOT_RESULT 202
#define IDB_BLOT_EMPTY 203

#ifndef IDC_STATIC
#define IDC_STATIC -1
#endif

// The About box.
#define IDD_ABOUT 102
#define IDC_ABOUT_PRODUCT 2015
#define IDC_ABOUT_VERSION 2016
#define IDC_ABOUT_INFO 2017
#define IDC_ABOUT_UPGRADE 3052

// Texts of the main popup menu.
#define IDS_MENU_PEN_ON 1
#define IDS_MENU_SETTINGS 2
#define IDS_MENU_SHOW_TOOLBAR 3
#define IDS_MENU_HELP 4
#define IDS_MENU_ABOUT 5
#define IDS_MENU_CLOSE 6
#define IDS_PEN_ON_OFF 13  // tip of the notification-area icon
#define IDS_MENU_CHECK_UPGRADE 30
#define IDS_MENU_BINDING 37
#define IDS_MENU_MARKUP 39
#define IDS_MENU_CUSTOMIZE_TOOLBAR 62
#define IDS_MENU_USE_PROFILE 63
#define IDS_MENU_CORRECT_LAST 71
#define IDS_MENU_ADD_PUNCTUATION 72
#define IDS_MENU_CLEAR_INK_ON_EXIT 73
#define IDS_MENU_HIDE_TOOLBAR 74

// Tips of the binding panel's buttons.
#define IDS_TIP_SETTINGS 16
#define IDS_TIP_MOVE_BAR 17
#define IDS_TIP_BIND_FIELD 35
#define IDS_TIP_BIND_APPLICATION 36
#define IDS_TIP_LEAVE_BINDING 48

// The update panel (dialogs "UPDATE_INFO" and "UPDATE_AUTOCHECK").
#define IDC_UPDATE_MESSAGE 3060
#define IDC_UPDATE_VERSION 3061
#define IDC_UPDATE_ACTION 3062
#define IDC_UPDATE_SKIP 3063
#define IDC_UPDATE_REMIND 3064

// The user dictionary editor ("DICT_EDIT") and its import list ("DICT_IMPORT").
#define IDC_DICT_SUBMIT 3071
#define IDC_DICT_FROM_FILE 3072
#define IDC_DICT_FROM_ADDRESS_BOOK 3073
#define IDC_DICT_LIST 3074
#define IDC_DICT_DEFAULTS 3075
#define IDC_DICT_FROM_CLIPBOARD 3078
#define IDC_DICT_MORE 3079
#define IDC_DICT_MIN_SIZE 3067
#define IDC_DICT_START_SET 3080
#define IDC_DICT_INSIDE_SET 3081
#define IDC_DICT_END_SET 3082
#define IDC_DICT_HELP 3084
#define IDC_DICT_FILTER_GROUP 3085
#define IDC_DICT_MIN_SIZE_LABEL 3086
#define IDC_DICT_START_LABEL 3087
#define IDC_DICT_INSIDE_LABEL 3088
#define IDC_DICT_END_LABEL 3089

#endif
