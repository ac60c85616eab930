// Resource ids: dialog templates, the icon and every control of every dialog.
//
// Control ids repeat from dialog to dialog, so each name carries its dialog's prefix.
#pragma once

// Icon.
constexpr int IDR_MAINFRAME = 128;

// Dialog templates.
constexpr int IDD_KOBALTDEMO_DIALOG = 102;      // main window, portrait
constexpr int IDD_KOBALTDEMO_DIALOG_WIDE = 103; // main window, landscape relayout only
constexpr int IDD_SETTING = 129;
constexpr int IDD_HANDFREE = 130;
constexpr int IDD_DTMF = 131;
constexpr int IDD_PHONEBOOK = 132;
constexpr int IDD_A2DP = 133;
constexpr int IDD_DUN = 134;
constexpr int IDD_CALLLOG = 135;
constexpr int IDD_AUTOTEST = 136;

// Statics nobody addresses.
constexpr int IDC_STATIC = -1;

// Main window (102, 103).
constexpr int IDC_MAIN_TEXT = 200;
constexpr int IDC_MAIN_START = 1000;
constexpr int IDC_MAIN_STATUSLIST = 1001;
constexpr int IDC_MAIN_SEARCH = 1002;
constexpr int IDC_MAIN_SETTING = 1003;
constexpr int IDC_MAIN_DIAL = 1004;
constexpr int IDC_MAIN_A2DP = 1005;
constexpr int IDC_MAIN_CONNECT = 1006;
constexpr int IDC_MAIN_DISCONNECT = 1007;
constexpr int IDC_MAIN_PHONEBOOK = 1008;
constexpr int IDC_MAIN_SIRI = 1009;
constexpr int IDC_MAIN_CLEAR = 1011;
constexpr int IDC_MAIN_QUIT = 1030;
constexpr int IDC_MAIN_DUN = 1031;
constexpr int IDC_MAIN_ENDSIRI = 1032;
constexpr int IDC_MAIN_SPP = 1033;
constexpr int IDC_MAIN_TEST = 1034;
constexpr int IDC_MAIN_RECORD = 1037;
constexpr int IDC_MAIN_MODE_140 = 1046;
constexpr int IDC_MAIN_MODE_173 = 1047;
constexpr int IDC_MAIN_MODE_DEFAULT = 1048;

// Settings (129).
constexpr int IDC_SETTING_PIN = 1004;
constexpr int IDC_SETTING_NAME = 1005;
constexpr int IDC_SETTING_SAVE = 1006;
constexpr int IDC_SETTING_MODULE = 1007;
constexpr int IDC_SETTING_ADDR = 1044;

// Hands-free (130).
constexpr int IDC_HF_NUMBER = 1008;
constexpr int IDC_HF_STATE = 1010;
constexpr int IDC_HF_KEY_1 = 1011;
constexpr int IDC_HF_KEY_2 = 1012;
constexpr int IDC_HF_KEY_3 = 1013;
constexpr int IDC_HF_KEY_4 = 1014;
constexpr int IDC_HF_KEY_5 = 1015;
constexpr int IDC_HF_KEY_6 = 1016;
constexpr int IDC_HF_KEY_7 = 1017;
constexpr int IDC_HF_KEY_8 = 1018;
constexpr int IDC_HF_KEY_9 = 1019;
constexpr int IDC_HF_KEY_0 = 1020;
constexpr int IDC_HF_KEY_STAR = 1021;
constexpr int IDC_HF_KEY_HASH = 1022;
constexpr int IDC_HF_DIAL = 1023;
constexpr int IDC_HF_CLEAR = 1024;
constexpr int IDC_HF_HANGUP = 1025;
constexpr int IDC_HF_ANSWER = 1026;
constexpr int IDC_HF_DTMF = 1027;
constexpr int IDC_HF_TRANSFER = 1028;
constexpr int IDC_HF_MUTE = 1029;
constexpr int IDC_HF_QUIT = 1030;
constexpr int IDC_HF_UNMUTE = 1031;
constexpr int IDC_HF_CALLLOG = 1032;
constexpr int IDC_HF_REDIAL = 1033;
constexpr int IDC_HF_HOLD_TO_ANSWER = 1043;
constexpr int IDC_HF_RELEASE_TO_ANSWER = 1044;
constexpr int IDC_HF_HOLD_INCOMING = 1045;
constexpr int IDC_HF_REJECT_INCOMING = 1046;
constexpr int IDC_HF_ACCEPT_HELD_INCOMING = 1047;
constexpr int IDC_HF_REJECT_HELD_INCOMING = 1048;
constexpr int IDC_HF_CURRENT_CALLS = 1049;

// DTMF keypad (131).
constexpr int IDC_DTMF_DISPLAY = 1030;
constexpr int IDC_DTMF_KEY_1 = 1011;
constexpr int IDC_DTMF_KEY_2 = 1012;
constexpr int IDC_DTMF_KEY_3 = 1013;
constexpr int IDC_DTMF_KEY_4 = 1014;
constexpr int IDC_DTMF_KEY_5 = 1015;
constexpr int IDC_DTMF_KEY_6 = 1016;
constexpr int IDC_DTMF_KEY_7 = 1017;
constexpr int IDC_DTMF_KEY_8 = 1018;
constexpr int IDC_DTMF_KEY_9 = 1019;
constexpr int IDC_DTMF_KEY_0 = 1020;
constexpr int IDC_DTMF_KEY_STAR = 1021;
constexpr int IDC_DTMF_KEY_HASH = 1022;

// Phonebook (132).
constexpr int IDC_PHONEBOOK_HIDDEN = 1001;
constexpr int IDC_PHONEBOOK_LIST = 1031;
constexpr int IDC_PHONEBOOK_SYNC = 1032;
constexpr int IDC_PHONEBOOK_STOP = 1033;

// AVRCP remote control (133).
constexpr int IDC_A2DP_PLAY = 1033;
constexpr int IDC_A2DP_PAUSE = 1034;
constexpr int IDC_A2DP_STOP = 1035;
constexpr int IDC_A2DP_NEXT = 1036;
constexpr int IDC_A2DP_PREVIOUS = 1037;
constexpr int IDC_A2DP_VOLUME_DOWN = 1038;
constexpr int IDC_A2DP_VOLUME_UP = 1039;
constexpr int IDC_A2DP_QUIT = 1040;

// Dial-up networking (134).
constexpr int IDC_DUN_GET_COUNTRY = 3;
constexpr int IDC_DUN_GET_PROVIDER = 4;
constexpr int IDC_DUN_LIST = 1038;
constexpr int IDC_DUN_DIAL = 1023;
constexpr int IDC_DUN_HANGUP = 1025;

// Call log (135).
constexpr int IDC_CALLLOG_LIST = 1032;
constexpr int IDC_CALLLOG_INCOMING = 1039;
constexpr int IDC_CALLLOG_OUTGOING = 1040;
constexpr int IDC_CALLLOG_MISSED = 1030;

// Init/UnInit stress test (136).
constexpr int IDC_AUTOTEST_LIST = 1041;
constexpr int IDC_AUTOTEST_ONOFF = 1042;
