// Identifiers of the settings dialog's resources (Settings.rc): the tab
// titles, the texts of the advanced recognition options and the Ink page's
// pictures. The dialogs themselves are named ("TABBED_MAIN", ...).
#ifndef SCRIBIX_SETTINGS_RESOURCES_H
#define SCRIBIX_SETTINGS_RESOURCES_H

// Tab titles.
#define IDS_TAB_GENERAL 7
#define IDS_TAB_INK 8
#define IDS_TAB_RECO 9
#define IDS_TAB_WORDMENU 11
#define IDS_TAB_TUNEUP 12
#define IDS_TAB_MACROS 29
#define IDS_TAB_TOUCH 31
#define IDS_TAB_INPUT 61

// Explanations on the advanced recognition options.
#define IDS_ADV_SCOPE_INFO 38
#define IDS_ADV_BINDING_INFO 40
#define IDS_ADV_FILTER_INFO 51

// The Ink page's pen and size pictures (normal, selected).
#define IDB_INK_PEN 108
#define IDB_INK_PENCIL 109
#define IDB_INK_PENCIL_SELECTED 112
#define IDB_INK_PEN_SELECTED 113
#define IDB_INK_SIZE1 114
#define IDB_INK_SIZE1_SELECTED 115
#define IDB_INK_SIZE2_SELECTED 116
#define IDB_INK_SIZE2 117
#define IDB_INK_SIZE3_SELECTED 118
#define IDB_INK_SIZE3 119
#define IDB_INK_SIZE4_SELECTED 120
#define IDB_INK_SIZE4 121

#endif
