// Types and values of the device's core services that the desktop's snapshots, input and
// device services carry: handles, rectangles, window and control styles, dialog answers,
// power states. Declarations only: the services themselves are in Windows.h.
#pragma once

#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------------------------------------
// Basic types
// ---------------------------------------------------------------------------------------------
using BOOL = int;
using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using UINT = std::uint32_t;
using INT = int;
using LONG = std::int32_t;
using ULONG = std::uint32_t;
using INT_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;
using LONG_PTR = std::intptr_t;
using DWORD_PTR = std::uintptr_t;
using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using WCHAR = char16_t;
using CHAR = char;
using LPSTR = char*;
using LPCSTR = const char*;
using LPWSTR = WCHAR*;
using LPCWSTR = const WCHAR*;
using LPVOID = void*;
using LPCVOID = const void*;
using LPDWORD = DWORD*;

constexpr BOOL TRUE = 1;
constexpr BOOL FALSE = 0;

struct HWND__;
using HWND = HWND__*; // a window handle: slot index and generation, never a pointer to memory
using HANDLE = void*; // threads, events, message queues, notification requests
struct HINSTANCE__;
using HINSTANCE = HINSTANCE__*;
using HMODULE = HINSTANCE;
struct HICON__;
using HICON = HICON__*;
struct HFONT__;
using HFONT = HFONT__*;
struct HMENU__;
using HMENU = HMENU__*;
struct HDWP__;
using HDWP = HDWP__*;
using FARPROC = void (*)();

struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};

struct POINT {
    LONG x;
    LONG y;
};

// ---------------------------------------------------------------------------------------------
// Window styles
// ---------------------------------------------------------------------------------------------
constexpr DWORD WS_POPUP = 0x80000000u;
constexpr DWORD WS_CHILD = 0x40000000u;
constexpr DWORD WS_VISIBLE = 0x10000000u;
constexpr DWORD WS_DISABLED = 0x08000000u;
constexpr DWORD WS_CAPTION = 0x00C00000u;
constexpr DWORD WS_BORDER = 0x00800000u;
constexpr DWORD WS_VSCROLL = 0x00200000u;
constexpr DWORD WS_HSCROLL = 0x00100000u;
constexpr DWORD WS_SYSMENU = 0x00080000u;
constexpr DWORD WS_GROUP = 0x00020000u;
constexpr DWORD WS_TABSTOP = 0x00010000u;
constexpr DWORD WS_EX_CAPTIONOKBTN = 0x80000000u; // the caption bar's OK button (Windows CE)

constexpr DWORD DS_SETFONT = 0x0040u;
constexpr DWORD DS_MODALFRAME = 0x0080u;

constexpr DWORD BS_PUSHBUTTON = 0x0000u;
constexpr DWORD BS_DEFPUSHBUTTON = 0x0001u;
constexpr DWORD BS_AUTORADIOBUTTON = 0x0009u;
constexpr DWORD BS_TYPEMASK = 0x000Fu;

constexpr DWORD SS_LEFT = 0x0000u;

constexpr DWORD ES_LEFT = 0x0000u;
constexpr DWORD ES_AUTOHSCROLL = 0x0080u;

constexpr DWORD LBS_NOTIFY = 0x0001u;
constexpr DWORD LBS_SORT = 0x0002u;
constexpr DWORD LBS_NOINTEGRALHEIGHT = 0x0100u;

constexpr DWORD LVS_ICON = 0x0000u;
constexpr DWORD LVS_REPORT = 0x0001u;
constexpr DWORD LVS_SMALLICON = 0x0002u;
constexpr DWORD LVS_TYPEMASK = 0x0003u;
constexpr DWORD LVS_SINGLESEL = 0x0004u;
constexpr DWORD LVS_ALIGNLEFT = 0x0800u;
constexpr DWORD LVS_NOSORTHEADER = 0x8000u;

// Control window classes.
inline constexpr const WCHAR* WC_BUTTON = u"BUTTON";
inline constexpr const WCHAR* WC_STATIC = u"STATIC";
inline constexpr const WCHAR* WC_EDIT = u"EDIT";
inline constexpr const WCHAR* WC_LISTBOX = u"LISTBOX";
inline constexpr const WCHAR* WC_LISTVIEW = u"SysListView32";

// Dialog command ids (message-box answers).
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;

// Power states (POWER_BROADCAST flags, device::PowerTransition).
constexpr DWORD POWER_STATE_ON = 0x00010000;
constexpr DWORD POWER_STATE_OFF = 0x00020000;
constexpr DWORD POWER_STATE_CRITICAL = 0x00040000;
constexpr DWORD POWER_STATE_BOOT = 0x00080000;
constexpr DWORD POWER_STATE_IDLE = 0x00100000;
constexpr DWORD POWER_STATE_SUSPEND = 0x00200000;
constexpr DWORD POWER_STATE_RESET = 0x00800000;
