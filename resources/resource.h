// Identifiers of the program's resources (Scribix.rc).
#ifndef SCRIBIX_RESOURCE_H
#define SCRIBIX_RESOURCE_H

// Icons, bitmaps, cursors.
#define IDI_SCRIBIX 103
#define IDI_PEN_OFF 104  // the notification-area icon while the pen is off
#define IDI_PEN_ON 105
#define IDB_SPLASH 170
#define IDB_MENU_PICTURES 171

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
// The main bar's button tips.
#define IDS_TIP_MARKUP 44
#define IDS_TIP_BINDING 64
#define IDS_TIP_PUNCTUATION 65
#define IDS_TIP_CORRECTION 66
#define IDS_TIP_MENU 70

// The toolbar customization dialog.
#define IDD_CUSTOMIZE_TOOLBAR 255
#define IDC_CUSTOMIZE_APPLY 3
#define IDC_CUSTOMIZE_PEN 3137
#define IDC_CUSTOMIZE_MARKUP 3138
#define IDC_CUSTOMIZE_MENU 3139
#define IDC_CUSTOMIZE_BINDING 3140
#define IDC_CUSTOMIZE_CORRECTION 3141
#define IDC_CUSTOMIZE_PUNCTUATION 3142
#define IDC_CUSTOMIZE_AUTO_HIDE 3143
#define IDC_CUSTOMIZE_VERTICAL 3145
#define IDC_CUSTOMIZE_HORIZONTAL 3146
#define IDC_CUSTOMIZE_LAYOUT_AUTO 3147
#define IDC_CUSTOMIZE_LARGE 3148
#define IDC_CUSTOMIZE_SMALL 3149
#define IDC_CUSTOMIZE_SIZE_AUTO 3150

// The markup bar's customization dialog (auto hide, size radios as above).
#define IDD_CUSTOMIZE_MARKUP 256
#define IDC_CUSTOMIZE_COMPACT 3151
#define IDC_CUSTOMIZE_EXTENDED 3152
#define IDC_CUSTOMIZE_APPEARANCE_AUTO 3153

// The ink blot at the caret: with a current result, and without one.
#define IDB_BLOT_RESULT 202
#define IDB_BLOT_EMPTY 203

// The word-list menu's header buttons (their tips; "Move Bar" is
// IDS_TIP_MOVE_BAR) and the word-to-dictionary menu.
#define IDS_WORDMENU_ALREADY_IN_DICT 19
#define IDS_WORDMENU_ADD_TO_DICT 20
#define IDS_WORDMENU_NOT_ADDED 21
#define IDS_WORDMENU_CLOSE 22
#define IDS_WORDMENU_SCROLL_LEFT 23
#define IDS_WORDMENU_SCROLL_RIGHT 24
#define IDS_WORDMENU_PIN 25
#define IDS_WORDMENU_SUBMIT 26

// Tips of the binding panel's buttons.
#define IDS_TIP_SETTINGS 16
#define IDS_TIP_MOVE_BAR 17
#define IDS_TIP_BIND_FIELD 35
#define IDS_TIP_BIND_APPLICATION 36
#define IDS_TIP_LEAVE_BINDING 48

// Markup and clipping.
#define IDS_TIP_MAKE_SNAPSHOT 34
#define IDS_TIP_LEAVE_MARKUP 41
#define IDS_TIP_PEN_COLORS 42
#define IDS_TIP_PEN_WIDTH 43
#define IDS_TIP_PENCIL 52
#define IDS_TIP_MARKER 53
#define IDS_TIP_SELECTOR 54
#define IDS_TIP_CUTTER 55
#define IDS_TIP_CLEAR_ALL 56
#define IDS_TIP_UNDO 57
#define IDS_TIP_SHAPE_ENHANCER 58
#define IDS_TIP_PEN 60
#define IDS_TIP_REDO 67
#define IDS_TIP_MARKUP_TOOL 69
#define IDB_PUNCTUATION_BAR 225
#define IDB_COLOURS_BAR 244

#endif
