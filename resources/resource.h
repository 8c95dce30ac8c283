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


// The main bar's button tips.
#define IDS_TIP_MARKUP 44
#define IDS_TIP_BINDING 64
#define IDS_TIP_PUNCTUATION 65
#define IDS_TIP_CORRECTION 66
#define IDS_TIP_MENU 70

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
