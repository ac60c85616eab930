// Every dialog template of the console, as the resource script would compile it, registered
// during static initialisation. Controls are listed in tab order; rectangles are dialog units
// (x, y, width, height).
#include "platform/DialogTemplate.h"
#include "platform/InitOrder.h"
#include "res/resource.h"

namespace {

constexpr const WCHAR* kFontFace = u"MS Shell Dlg";
constexpr int kFontPointSize = 8;

// Window styles.
constexpr DWORD kMainDialog = WS_POPUP | WS_CAPTION | DS_SETFONT; // closed by the caption's OK
constexpr DWORD kSubDialog = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_SETFONT;

// Control styles.
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kButton = kChild | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kRadio = kChild | WS_TABSTOP | BS_AUTORADIOBUTTON;
constexpr DWORD kStatic = kChild | SS_LEFT;
constexpr DWORD kEdit = kChild | WS_TABSTOP | WS_BORDER | ES_LEFT | ES_AUTOHSCROLL;
constexpr DWORD kList =
    kChild | WS_TABSTOP | WS_BORDER | WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT;
constexpr DWORD kSortedList = kList | LBS_SORT;
constexpr DWORD kReportView =
    kChild | WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SINGLESEL | LVS_ALIGNLEFT | LVS_NOSORTHEADER;

// clang-format off
constexpr DialogControlTemplate kMainControls[] = {
    {IDC_MAIN_TEXT,         WC_STATIC,  u"",             256, 157,  85,  11, kStatic},
    {IDC_MAIN_START,        WC_BUTTON,  u"START",         14,  12,  59,  18, kButton},
    {IDC_MAIN_STATUSLIST,   WC_LISTBOX, u"",             218,  10, 132, 140, kSortedList},
    {IDC_MAIN_SEARCH,       WC_BUTTON,  u"SearchDevice",  14,  33,  59,  18, kButton},
    {IDC_MAIN_SETTING,      WC_BUTTON,  u"Setting",       82,  33,  59,  18, kButton},
    {IDC_MAIN_DIAL,         WC_BUTTON,  u"Dail",          14,  62,  59,  18, kButton},
    {IDC_MAIN_A2DP,         WC_BUTTON,  u" A2DP",        146,  63,  59,  18, kButton},
    {IDC_MAIN_CONNECT,      WC_BUTTON,  u"Connect",      146,  12,  59,  18, kButton},
    {IDC_MAIN_DISCONNECT,   WC_BUTTON,  u"DisConnect",   146,  33,  59,  18, kButton},
    {IDC_MAIN_PHONEBOOK,    WC_BUTTON,  u"PhoneBook",     82,  63,  59,  18, kButton},
    {IDC_MAIN_QUIT,         WC_BUTTON,  u"QUIT",          13, 135,  81,  25, kButton},
    {IDC_MAIN_RECORD,       WC_BUTTON,  u"Record",        82,  12,  59,  18, kButton},
    {IDC_MAIN_DUN,          WC_BUTTON,  u"DUN",           82,  85,  59,  18, kButton},
    {IDC_MAIN_SIRI,         WC_BUTTON,  u"Siri",         146,  85,  28,  18, kButton},
    {IDC_MAIN_ENDSIRI,      WC_BUTTON,  u"EndSiri",      177,  85,  28,  18, kButton},
    {IDC_MAIN_SPP,          WC_BUTTON,  u"SPP",           14,  84,  59,  18, kButton},
    {IDC_MAIN_CLEAR,        WC_BUTTON,  u"Clear",        125, 135,  81,  25, kButton},
    {IDC_MAIN_TEST,         WC_BUTTON,  u"Test",          14, 107,  59,  18, kButton},
    // One group: checking one radio button clears the other two.
    {IDC_MAIN_MODE_140,     WC_BUTTON,  u"140",           82, 109,  27,  14, kRadio | WS_GROUP},
    {IDC_MAIN_MODE_173,     WC_BUTTON,  u"173",          119, 109,  27,  14, kRadio},
    {IDC_MAIN_MODE_DEFAULT, WC_BUTTON,  u"Default",      156, 107,  38,  18, kRadio},
};

// The landscape layout: only control 200 has a place of its own here.
constexpr DialogControlTemplate kMainWideControls[] = {
    {IDC_MAIN_TEXT, WC_STATIC, u"TODO: Place dialog controls here.", 35, 59, 140, 11, kStatic},
};

constexpr DialogControlTemplate kSettingControls[] = {
    {IDC_STATIC,         WC_STATIC, u"PinCode",     8, 12, 43, 15, kStatic},
    {IDC_SETTING_PIN,    WC_EDIT,   u"",           63, 10, 73, 14, kEdit},
    {IDC_STATIC,         WC_STATIC, u"DeviceName",  8, 29, 50, 15, kStatic},
    {IDC_SETTING_NAME,   WC_EDIT,   u"",           63, 26, 73, 14, kEdit},
    {IDC_SETTING_SAVE,   WC_BUTTON, u"Save",      144, 10, 50, 26, kButton},
    {IDC_STATIC,         WC_STATIC, u"ModuleType",  8, 44, 44, 15, kStatic},
    {IDC_SETTING_MODULE, WC_EDIT,   u"",           63, 42, 73, 14, kEdit},
    {IDC_STATIC,         WC_STATIC, u"BTAddr",      9, 62, 32, 11, kStatic},
    {IDC_SETTING_ADDR,   WC_EDIT,   u"",           63, 61, 73, 14, kEdit},
};

constexpr DialogControlTemplate kHandFreeControls[] = {
    {IDC_HF_NUMBER,               WC_EDIT,    u"",                  7,   7, 103, 20, kEdit},
    {IDC_HF_STATE,                WC_LISTBOX, u"",                113,   7, 186, 19, kSortedList},
    {IDC_HF_KEY_1,                WC_BUTTON,  u"1",                 7,  32,  41, 24, kButton},
    {IDC_HF_KEY_2,                WC_BUTTON,  u"2",                60,  32,  41, 24, kButton},
    {IDC_HF_KEY_3,                WC_BUTTON,  u"3",               114,  32,  41, 24, kButton},
    {IDC_HF_KEY_4,                WC_BUTTON,  u"4",                 7,  62,  41, 24, kButton},
    {IDC_HF_KEY_5,                WC_BUTTON,  u"5",                60,  63,  41, 24, kButton},
    {IDC_HF_KEY_6,                WC_BUTTON,  u"6",               114,  63,  41, 24, kButton},
    {IDC_HF_KEY_7,                WC_BUTTON,  u"7",                 7,  94,  41, 24, kButton},
    {IDC_HF_KEY_8,                WC_BUTTON,  u"8",                60,  94,  41, 24, kButton},
    {IDC_HF_KEY_9,                WC_BUTTON,  u"9",               114,  95,  41, 24, kButton},
    {IDC_HF_KEY_0,                WC_BUTTON,  u"0",                60, 126,  41, 24, kButton},
    {IDC_HF_KEY_STAR,             WC_BUTTON,  u"*",                 8, 126,  41, 24, kButton},
    {IDC_HF_KEY_HASH,             WC_BUTTON,  u"#",               114, 126,  41, 24, kButton},
    {IDC_HF_DIAL,                 WC_BUTTON,  u"Dail",            160,  50,  81, 15, kButton},
    {IDC_HF_CLEAR,                WC_BUTTON,  u"Clear",           160,  34,  81, 16, kButton},
    {IDC_HF_HANGUP,               WC_BUTTON,  u"HangUp",          205,  65,  35, 15, kButton},
    {IDC_HF_ANSWER,               WC_BUTTON,  u"Answer",          160,  81,  33, 15, kButton},
    {IDC_HF_DTMF,                 WC_BUTTON,  u"DTMF",            205,  81,  35, 15, kButton},
    {IDC_HF_TRANSFER,             WC_BUTTON,  u"Transfer",        160, 113,  34, 16, kButton},
    {IDC_HF_QUIT,                 WC_BUTTON,  u"Quit",            160, 132,  83, 16, kButton},
    {IDC_HF_CALLLOG,              WC_BUTTON,  u"Calllog",         205, 113,  36, 16, kButton},
    {IDC_HF_MUTE,                 WC_BUTTON,  u"Mute",            160,  97,  34, 15, kButton},
    {IDC_HF_UNMUTE,               WC_BUTTON,  u"UnMute",          205,  97,  35, 15, kButton},
    {IDC_HF_REDIAL,               WC_BUTTON,  u"ReDial",          160,  65,  33, 15, kButton},
    {IDC_HF_HOLD_TO_ANSWER,       WC_BUTTON,  u"HoldToAnsw",      244,  34,  66, 17, kButton},
    {IDC_HF_RELEASE_TO_ANSWER,    WC_BUTTON,  u"RelToAnswer",     244,  53,  66, 17, kButton},
    {IDC_HF_HOLD_INCOMING,        WC_BUTTON,  u"HoldInCom",       244,  72,  66, 17, kButton},
    {IDC_HF_REJECT_INCOMING,      WC_BUTTON,  u"RejectInCom",     244,  91,  66, 17, kButton},
    {IDC_HF_ACCEPT_HELD_INCOMING, WC_BUTTON,  u"AcceptHoldInCom", 244, 110,  66, 17, kButton},
    {IDC_HF_REJECT_HELD_INCOMING, WC_BUTTON,  u"RejectHoldInCom", 245, 130,  66, 17, kButton},
    {IDC_HF_CURRENT_CALLS,        WC_BUTTON,  u"GetCurCall",      311,  34,  41, 17, kButton},
};

constexpr DialogControlTemplate kDtmfControls[] = {
    {IDC_DTMF_DISPLAY,  WC_EDIT,   u"",   14,  15, 175, 23, kEdit},
    {IDC_DTMF_KEY_1,    WC_BUTTON, u"1",  16,  47,  50, 21, kButton},
    {IDC_DTMF_KEY_2,    WC_BUTTON, u"2",  78,  47,  50, 21, kButton},
    {IDC_DTMF_KEY_3,    WC_BUTTON, u"3", 141,  47,  50, 21, kButton},
    {IDC_DTMF_KEY_4,    WC_BUTTON, u"4",  16,  77,  50, 21, kButton},
    {IDC_DTMF_KEY_5,    WC_BUTTON, u"5",  78,  77,  50, 21, kButton},
    {IDC_DTMF_KEY_6,    WC_BUTTON, u"6", 141,  77,  50, 21, kButton},
    {IDC_DTMF_KEY_7,    WC_BUTTON, u"7",  17, 106,  50, 21, kButton},
    {IDC_DTMF_KEY_8,    WC_BUTTON, u"8",  78, 105,  50, 21, kButton},
    {IDC_DTMF_KEY_9,    WC_BUTTON, u"9", 141, 105,  50, 21, kButton},
    {IDC_DTMF_KEY_0,    WC_BUTTON, u"0",  78, 132,  50, 21, kButton},
    {IDC_DTMF_KEY_STAR, WC_BUTTON, u"*",  17, 132,  50, 21, kButton},
    {IDC_DTMF_KEY_HASH, WC_BUTTON, u"#", 141, 132,  50, 21, kButton},
};

constexpr DialogControlTemplate kPhoneBookControls[] = {
    // Bound but never filled or shown.
    {IDC_PHONEBOOK_HIDDEN, WC_LISTVIEW, u"",     250, 103,  25,  27,
     WS_CHILD | WS_BORDER | LVS_SMALLICON | LVS_SINGLESEL | LVS_ALIGNLEFT},
    {IDC_PHONEBOOK_LIST,   WC_LISTVIEW, u"",      77,   7, 134, 111, kReportView},
    {IDC_PHONEBOOK_SYNC,   WC_BUTTON,   u"Sync",  49, 121,  64,  21, kButton},
    {IDC_PHONEBOOK_STOP,   WC_BUTTON,   u"Stop", 170, 121,  64,  21, kButton},
};

constexpr DialogControlTemplate kA2dpControls[] = {
    {IDC_A2DP_PLAY,        WC_BUTTON, u"Play",       7,  8,  40, 21, kButton},
    {IDC_A2DP_PAUSE,       WC_BUTTON, u"Pause",     56,  8,  40, 21, kButton},
    {IDC_A2DP_STOP,        WC_BUTTON, u"Stop",     106,  8,  40, 21, kButton},
    {IDC_A2DP_NEXT,        WC_BUTTON, u"Next",       7, 33,  59, 21, kButton},
    {IDC_A2DP_PREVIOUS,    WC_BUTTON, u"Previous",  89, 33,  58, 21, kButton},
    {IDC_A2DP_VOLUME_DOWN, WC_BUTTON, u"Volume-",   89, 58,  58, 21, kButton},
    {IDC_A2DP_VOLUME_UP,   WC_BUTTON, u"Volume+",    7, 57,  59, 21, kButton},
    {IDC_A2DP_QUIT,        WC_BUTTON, u"Quit",       7, 82, 140, 21, kButton},
};

constexpr DialogControlTemplate kDunControls[] = {
    {IDC_DUN_GET_COUNTRY,  WC_BUTTON,  u"GetCountry",  17, 16,  50,  14, kButton},
    {IDC_DUN_GET_PROVIDER, WC_BUTTON,  u"GetProvider", 18, 37,  50,  14, kButton},
    {IDC_DUN_LIST,         WC_LISTBOX, u"",            83,  7, 101, 103, kSortedList},
    {IDC_DUN_DIAL,         WC_BUTTON,  u"Dail",        18, 58,  50,  14, kButton},
    {IDC_DUN_HANGUP,       WC_BUTTON,  u"HangUp",      18, 79,  50,  14, kButton},
};

constexpr DialogControlTemplate kCalllogControls[] = {
    {IDC_CALLLOG_LIST,     WC_LISTVIEW, u"",           7,   7, 185, 93, kReportView},
    {IDC_CALLLOG_INCOMING, WC_BUTTON,   u"InComing",   7, 101,  55, 33, kButton},
    {IDC_CALLLOG_OUTGOING, WC_BUTTON,   u"OutGoing",  65, 101,  55, 33, kButton},
    {IDC_CALLLOG_MISSED,   WC_BUTTON,   u"MissCall", 126, 101,  55, 33, kButton},
};

constexpr DialogControlTemplate kAutoTestControls[] = {
    {IDC_AUTOTEST_LIST,  WC_LISTBOX, u"",      45,  7, 164, 77, kList},
    {IDC_AUTOTEST_ONOFF, WC_BUTTON,  u"OnOff", 18, 88,  58, 21, kButton},
};

constexpr DialogTemplate kTemplates[] = {
    {IDD_KOBALTDEMO_DIALOG,      u"KOBALTDemo", 0, 0, 365, 176, kFontFace, kFontPointSize,
     kMainDialog, WS_EX_CAPTIONOKBTN, kMainControls, "IDD_KOBALTDEMO_DIALOG"},
    {IDD_KOBALTDEMO_DIALOG_WIDE, u"KOBALTDemo", 0, 0, 210, 129, kFontFace, kFontPointSize,
     kMainDialog, WS_EX_CAPTIONOKBTN, kMainWideControls, "IDD_KOBALTDEMO_DIALOG_WIDE"},
    {IDD_SETTING,   u"Setting",    0, 0, 210, 111, kFontFace, kFontPointSize, kSubDialog, 0,
     kSettingControls, "IDD_SETTING"},
    {IDD_HANDFREE,  u"HandFree",   0, 0, 370, 157, kFontFace, kFontPointSize, kSubDialog, 0,
     kHandFreeControls, "IDD_HANDFREE"},
    {IDD_DTMF,      u"DTMF",       0, 0, 221, 164, kFontFace, kFontPointSize, kSubDialog, 0,
     kDtmfControls, "IDD_DTMF"},
    {IDD_PHONEBOOK, u"PhoneBook",  0, 0, 289, 149, kFontFace, kFontPointSize, kSubDialog, 0,
     kPhoneBookControls, "IDD_PHONEBOOK"},
    {IDD_A2DP,      u"ACRCP_TG",   0, 0, 162, 119, kFontFace, kFontPointSize, kSubDialog, 0,
     kA2dpControls, "IDD_A2DP"},
    {IDD_DUN,       u"DUN",        0, 0, 201, 117, kFontFace, kFontPointSize, kSubDialog, 0,
     kDunControls, "IDD_DUN"},
    {IDD_CALLLOG,   u"Calllog",    0, 0, 199, 150, kFontFace, kFontPointSize, kSubDialog, 0,
     kCalllogControls, "IDD_CALLLOG"},
    {IDD_AUTOTEST,  u"TestDialog", 0, 0, 271, 130, kFontFace, kFontPointSize, kSubDialog, 0,
     kAutoTestControls, "IDD_AUTOTEST"},
};
// clang-format on

struct TemplateRegistrar {
    TemplateRegistrar() {
        for (const DialogTemplate& tmpl : kTemplates) {
            RegisterDialogTemplate(&tmpl);
        }
    }
};

TemplateRegistrar g_TemplateRegistrar KOBALT_INIT_ORDER(KOBALT_INIT_RESOURCES);

} // namespace
