// Identifiers of the toolbar's controls, dialogs and resources, and the names that the system
// and the hosts see (window classes, window properties, registered messages). The resource
// scripts read the macros; C++ code uses the constants below them. Each is written here once.
#pragma once

// Toolbar window children.
#define NORVEX_IDC_CHEVRON 0
#define NORVEX_IDC_FIRST_AGENT 2024
#define NORVEX_IDC_RESIZE_GRIP 5024
#define NORVEX_IDC_SEARCH_BOX 5025

// The search box and its drop-down.
#define NORVEX_IDC_DROP_LIST_WINDOW 6
#define NORVEX_IDC_DROP_SCROLL_BAR 100
#define NORVEX_IDC_DROP_LIST_BOX 101
#define NORVEX_IDC_EDIT_FIELD 108
#define NORVEX_IDC_DELETE_HISTORY 1124

// Dialogs and their controls.
#define NORVEX_IDD_ABOUT 201
#define NORVEX_IDD_OPTIONS 202
#define NORVEX_IDD_AGENT_SELECT 232
#define NORVEX_IDC_OPTIONS_TAB 205
#define NORVEX_IDC_AGENT_LIST 206
#define NORVEX_IDC_ABOUT_VERSION 208
#define NORVEX_IDC_ABOUT_COPYRIGHT 209
// The dialogs' captions, by which the hosts tell them apart.
#define NORVEX_OPTIONS_CAPTION "ノルヴェクスツールバーオプション"
#define NORVEX_ABOUT_CAPTION "ノルヴェクスツールバーについて"

// Bitmaps the toolbar itself draws (agents name theirs in their files).
#define NORVEX_IDB_GRIP 213
#define NORVEX_IDB_CHEVRON 228

// The module's manifest (type 24) and version resource.
#define NORVEX_IDR_MANIFEST 2
#define NORVEX_IDR_VERSION 1

// Registration: the registry scripts (type "REGISTRY") of the application identifier and of
// the class, and the type library (type "TYPELIB").
#define NORVEX_IDR_APPID_SCRIPT 101
#define NORVEX_IDR_CLASS_SCRIPT 103
#define NORVEX_IDR_TYPELIB 1

#ifndef RC_INVOKED
namespace norvex {

inline constexpr int kChevronId = NORVEX_IDC_CHEVRON;
inline constexpr int kFirstAgentId = NORVEX_IDC_FIRST_AGENT;
inline constexpr int kResizeGripId = NORVEX_IDC_RESIZE_GRIP;
inline constexpr int kSearchBoxId = NORVEX_IDC_SEARCH_BOX;
inline constexpr int kDropListWindowId = NORVEX_IDC_DROP_LIST_WINDOW;
inline constexpr int kDropScrollBarId = NORVEX_IDC_DROP_SCROLL_BAR;
inline constexpr int kDropListBoxId = NORVEX_IDC_DROP_LIST_BOX;
inline constexpr int kEditFieldId = NORVEX_IDC_EDIT_FIELD;
inline constexpr int kDeleteHistoryId = NORVEX_IDC_DELETE_HISTORY;
inline constexpr int kAboutDialogId = NORVEX_IDD_ABOUT;
inline constexpr int kOptionsDialogId = NORVEX_IDD_OPTIONS;
inline constexpr int kAgentSelectPageId = NORVEX_IDD_AGENT_SELECT;
inline constexpr int kOptionsTabId = NORVEX_IDC_OPTIONS_TAB;
inline constexpr int kAgentListId = NORVEX_IDC_AGENT_LIST;
inline constexpr int kAboutVersionId = NORVEX_IDC_ABOUT_VERSION;
inline constexpr int kAboutCopyrightId = NORVEX_IDC_ABOUT_COPYRIGHT;
inline constexpr wchar_t kOptionsCaption[] = L"" NORVEX_OPTIONS_CAPTION;
inline constexpr wchar_t kAboutCaption[] = L"" NORVEX_ABOUT_CAPTION;
inline constexpr int kGripBitmap = NORVEX_IDB_GRIP;
inline constexpr int kChevronBitmap = NORVEX_IDB_CHEVRON;
inline constexpr int kManifestResourceId = NORVEX_IDR_MANIFEST;
inline constexpr int kAppIdScriptId = NORVEX_IDR_APPID_SCRIPT;
inline constexpr int kClassScriptId = NORVEX_IDR_CLASS_SCRIPT;
inline constexpr int kTypeLibraryResourceId = NORVEX_IDR_TYPELIB;

// The toolbar's window classes.
inline constexpr wchar_t kToolbarWindowClass[] = L"NorvexToolbarWindow";
inline constexpr wchar_t kSearchBoxClass[] = L"AdvComboBoxCtrl";
inline constexpr wchar_t kDropListClass[] = L"NorvexDropList";
inline constexpr wchar_t kResizeGripClass[] = L"NorvexResizeGrip";
// Window properties of the agent buttons: the command a button sends (also its control
// identifier), and the mark of the settings button.
inline constexpr wchar_t kCommandIdProperty[] = L"NorvexCommandId";
inline constexpr wchar_t kSettingsProperty[] = L"NorvexSettings";
// The registered messages: the broadcast that every toolbar of the desktop receives, and the one
// a toolbar window rebuilds on.
inline constexpr wchar_t kRefreshMessageName[] = L"NorvexToolbar::Refresh";
inline constexpr wchar_t kInRefreshMessageName[] = L"NorvexToolbar::InRefresh";

}  // namespace norvex
#endif
