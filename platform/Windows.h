// The device's core services, under their Windows CE names.
//
// This header is the whole interface the console (framework and dialogs) sees of the
// platform. Front ends use Desktop.h and DeviceServices.h instead, which carry only the types and
// values of WindowsTypes.h.
#pragma once

#include "platform/WindowsTypes.h"

#include <cstddef>
#include <cstdint>

// ---------------------------------------------------------------------------------------------
// Types of the services below
// ---------------------------------------------------------------------------------------------
constexpr DWORD INFINITE = 0xFFFFFFFFu;

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using LPTHREAD_START_ROUTINE = DWORD (*)(LPVOID);

// ---------------------------------------------------------------------------------------------
// Errors (GetLastError)
// ---------------------------------------------------------------------------------------------
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_NOT_ENOUGH_MEMORY = 8;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_INSUFFICIENT_BUFFER = 122;
constexpr DWORD ERROR_MOD_NOT_FOUND = 126;
constexpr DWORD ERROR_PROC_NOT_FOUND = 127;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;
constexpr DWORD ERROR_PIPE_NOT_CONNECTED = 233;
constexpr DWORD ERROR_NO_UNICODE_TRANSLATION = 1113;
constexpr DWORD ERROR_INVALID_WINDOW_HANDLE = 1400;
constexpr DWORD ERROR_TIMEOUT = 1460;
constexpr DWORD ERROR_OUTOFMEMORY = 14;

DWORD GetLastError();
void SetLastError(DWORD error);

// ---------------------------------------------------------------------------------------------
// Window messages. Ranges: 0x0000-0x03FF system, 0x0400-0x7FFF private to a window class
// (controls), 0x8000-0xBFFF the application (WM_APP), 0xC000-0xFFFF registered messages.
// ---------------------------------------------------------------------------------------------
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_MOVE = 0x0003;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr UINT WM_ENABLE = 0x000A;
constexpr UINT WM_SETTEXT = 0x000C;
constexpr UINT WM_GETTEXT = 0x000D;
constexpr UINT WM_GETTEXTLENGTH = 0x000E;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_SHOWWINDOW = 0x0018;
constexpr UINT WM_SETFONT = 0x0030;
constexpr UINT WM_GETFONT = 0x0031;
constexpr UINT WM_SETICON = 0x0080;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_TIMER = 0x0113;
constexpr UINT WM_USER = 0x0400;
constexpr UINT WM_APP = 0x8000;

constexpr WPARAM SIZE_RESTORED = 0;

// Buttons.
constexpr UINT BM_GETCHECK = 0x00F0;
constexpr UINT BM_SETCHECK = 0x00F1;
constexpr UINT BM_CLICK = 0x00F5;
constexpr WORD BN_CLICKED = 0;
constexpr LRESULT BST_UNCHECKED = 0;
constexpr LRESULT BST_CHECKED = 1;

// Edits.
constexpr WORD EN_CHANGE = 0x0300;
constexpr UINT EM_SETSEL = 0x00B1;

// List boxes.
constexpr UINT LB_ADDSTRING = 0x0180;
constexpr UINT LB_INSERTSTRING = 0x0181;
constexpr UINT LB_DELETESTRING = 0x0182;
constexpr UINT LB_RESETCONTENT = 0x0184;
constexpr UINT LB_SETCURSEL = 0x0186;
constexpr UINT LB_GETCURSEL = 0x0188;
constexpr UINT LB_GETTEXT = 0x0189;
constexpr UINT LB_GETTEXTLEN = 0x018A;
constexpr UINT LB_GETCOUNT = 0x018B;
constexpr UINT LB_GETTOPINDEX = 0x018E;
constexpr UINT LB_SETTOPINDEX = 0x0197;
constexpr UINT LB_GETITEMDATA = 0x0199;
constexpr UINT LB_SETITEMDATA = 0x019A;
constexpr LRESULT LB_OKAY = 0;
constexpr LRESULT LB_ERR = -1;
constexpr LRESULT LB_ERRSPACE = -2;
constexpr WORD LBN_SELCHANGE = 1;

// List views (common controls).
constexpr UINT LVM_FIRST = 0x1000;
constexpr UINT LVM_GETITEMCOUNT = LVM_FIRST + 4;
constexpr UINT LVM_DELETEITEM = LVM_FIRST + 8;
constexpr UINT LVM_DELETEALLITEMS = LVM_FIRST + 9;
constexpr UINT LVM_GETNEXTITEM = LVM_FIRST + 12;
constexpr UINT LVM_GETCOLUMNWIDTH = LVM_FIRST + 29;
constexpr UINT LVM_SETCOLUMNWIDTH = LVM_FIRST + 30;
constexpr UINT LVM_SETITEMSTATE = LVM_FIRST + 43;
constexpr UINT LVM_GETITEMSTATE = LVM_FIRST + 44;
constexpr UINT LVM_INSERTITEMW = LVM_FIRST + 77;
constexpr UINT LVM_INSERTCOLUMNW = LVM_FIRST + 97;
constexpr UINT LVM_GETITEMTEXTW = LVM_FIRST + 115;
constexpr UINT LVM_SETITEMTEXTW = LVM_FIRST + 116;
constexpr UINT LVM_GETTOPINDEX = LVM_FIRST + 39;
constexpr UINT LVM_ENSUREVISIBLE = LVM_FIRST + 19;
constexpr UINT LVIF_TEXT = 0x0001;
constexpr UINT LVIF_PARAM = 0x0004;
constexpr UINT LVIF_STATE = 0x0008;
constexpr UINT LVIS_FOCUSED = 0x0001;
constexpr UINT LVIS_SELECTED = 0x0002;
constexpr UINT LVNI_ALL = 0x0000;
constexpr UINT LVNI_SELECTED = 0x0002;
constexpr UINT LVCF_FMT = 0x0001;
constexpr UINT LVCF_WIDTH = 0x0002;
constexpr UINT LVCF_TEXT = 0x0004;
constexpr int LVCFMT_LEFT = 0x0000;

struct LVITEMW {
    UINT mask;
    int iItem;
    int iSubItem;
    UINT state;
    UINT stateMask;
    LPWSTR pszText;
    int cchTextMax;
    int iImage;
    LPARAM lParam;
};

struct LVCOLUMNW {
    UINT mask;
    int fmt;
    int cx;
    LPWSTR pszText;
    int cchTextMax;
    int iSubItem;
};

constexpr int GWL_STYLE = -16;
constexpr int GWL_EXSTYLE = -20;
constexpr int GWLP_USERDATA = -21;

constexpr int SW_HIDE = 0;
constexpr int SW_SHOW = 5;

// Message-box types.
constexpr UINT MB_OK = 0x0000;
constexpr UINT MB_OKCANCEL = 0x0001;
constexpr UINT MB_ICONERROR = 0x0010;
constexpr UINT MB_ICONINFORMATION = 0x0040;

constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;

// ---------------------------------------------------------------------------------------------
// Windows and messages
// ---------------------------------------------------------------------------------------------

// Same value, in 0xC000..0xFFFF, for the same name (compared case-insensitively) in every thread;
// 0 for a null or empty name.
UINT RegisterWindowMessageW(LPCWSTR name);

// Queues the message for the window's owner thread. A null window posts to the calling thread.
// Fails (FALSE) for a destroyed or unknown window.
BOOL PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Calls the window procedure on the owner thread and waits for its result. While it waits, the
// sender handles messages sent to its own windows. 0 for a destroyed or unknown window.
LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Waits for a posted message for the calling thread, handling sent messages meanwhile.
// FALSE when WM_QUIT was taken.
BOOL GetMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax);
constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;
BOOL PeekMessageW(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT remove);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageW(const MSG* msg);
void PostQuitMessage(int exitCode);

// Creates a window owned by the calling thread. Control classes are the WC_* names above;
// a null class creates a plain top-level window driven by `proc` (given through lpParam as a
// WNDPROC for a null class). Position and size are in pixels.
HWND CreateWindowExW(DWORD exStyle, LPCWSTR className, LPCWSTR text, DWORD style, int x, int y,
                     int width, int height, HWND parent, HMENU idOrMenu, HINSTANCE instance,
                     LPVOID param);
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);
LRESULT DefWindowProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
LRESULT CallWindowProcW(WNDPROC proc, HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
DWORD GetWindowThreadProcessId(HWND hwnd, LPDWORD processId);
DWORD GetCurrentThreadId();

BOOL EnableWindow(HWND hwnd, BOOL enable); // returns TRUE when the window was disabled before
BOOL IsWindowEnabled(HWND hwnd);
BOOL ShowWindow(HWND hwnd, int cmdShow);
BOOL IsWindowVisible(HWND hwnd);
BOOL SetWindowTextW(HWND hwnd, LPCWSTR text);
int GetWindowTextW(HWND hwnd, LPWSTR buffer, int capacity); // always terminates when capacity > 0
int GetWindowTextLengthW(HWND hwnd);
HWND GetDlgItem(HWND dialog, int id);
int GetDlgCtrlID(HWND hwnd);
HWND GetParent(HWND hwnd);
HWND SetFocus(HWND hwnd);
HWND GetFocus();
LONG_PTR GetWindowLongPtrW(HWND hwnd, int index);
LONG_PTR SetWindowLongPtrW(HWND hwnd, int index, LONG_PTR value);
LONG GetWindowLongW(HWND hwnd, int index);
LONG SetWindowLongW(HWND hwnd, int index, LONG value);
BOOL GetWindowRect(HWND hwnd, RECT* rect); // pixels; for a control, relative to its dialog
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
BOOL SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags);
HDWP BeginDeferWindowPos(int count);
HDWP DeferWindowPos(HDWP info, HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy,
                    UINT flags);
BOOL EndDeferWindowPos(HDWP info);

// Dialog units to pixels: a dialog unit is a quarter column horizontally and an eighth of a row
// vertically; a column is 8 pixels and a row 16.
BOOL MapDialogRect(HWND dialog, RECT* rect);

HICON LoadIconW(HINSTANCE instance, int resourceId);

// Fonts: kept so front ends can show the face and height of a control's font (WM_SETFONT).
constexpr int LF_FACESIZE = 32;
struct LOGFONTW {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    WCHAR lfFaceName[LF_FACESIZE];
};
HFONT CreateFontIndirectW(const LOGFONTW* font);
BOOL DeleteObject(HFONT font);
// The face and height a font was created with; FALSE for an unknown handle.
BOOL GetFontInfo(HFONT font, LOGFONTW* out);
int GetSystemMetrics(int index); // the front end's screen, in pixels

// ---------------------------------------------------------------------------------------------
// Dialogs and message boxes
// ---------------------------------------------------------------------------------------------
struct DialogTemplate; // res/: caption, size, font, style, controls

// Creates the dialog and its controls, owned by the calling thread. `userData` is stored as
// GWLP_USERDATA before `proc` sees any message; `proc` then gets WM_INITDIALOG (lParam =
// userData). `proc` passes what it does not handle to DefDlgProcW.
HWND CreateDialogIndirectParamW(HINSTANCE instance, const DialogTemplate* tmpl, HWND parent,
                                WNDPROC proc, LPARAM userData);
LRESULT DefDlgProcW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// Runs a modal loop for a dialog made by CreateDialogIndirectParamW: disables the thread's other
// top-level windows beneath it, dispatches every window's messages until EndDialog, re-enables
// what it disabled, destroys the dialog and returns the EndDialog result (-1 when the dialog was
// destroyed some other way).
INT_PTR RunModalDialog(HWND dialog);
BOOL EndDialog(HWND dialog, INT_PTR result);

// Blocks only the calling thread, which keeps handling its own messages, until answered.
// Usable from any thread, also before main(). Returns IDOK (or IDCANCEL for MB_OKCANCEL).
int MessageBoxW(HWND owner, LPCWSTR text, LPCWSTR caption, UINT type);

// ---------------------------------------------------------------------------------------------
// Threads, events, time. Every wait and sleep follows one clock that KOBALT_TIME_SCALE speeds up.
// ---------------------------------------------------------------------------------------------
HANDLE CreateThread(void* security, std::size_t stackSize, LPTHREAD_START_ROUTINE start,
                    LPVOID param, DWORD flags, LPDWORD threadId);
BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode);
constexpr DWORD STILL_ACTIVE = 259;
HANDLE CreateEventW(void* security, BOOL manualReset, BOOL initialState, LPCWSTR name);
BOOL SetEvent(HANDLE event);
BOOL ResetEvent(HANDLE event);
constexpr DWORD EVENT_SET = 3;
constexpr DWORD EVENT_RESET = 2;
BOOL EventModify(HANDLE event, DWORD func);
constexpr DWORD WAIT_OBJECT_0 = 0;
constexpr DWORD WAIT_TIMEOUT = 258;
constexpr DWORD WAIT_FAILED = 0xFFFFFFFFu;
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds); // threads and events
BOOL CloseHandle(HANDLE handle);
void Sleep(DWORD milliseconds);
DWORD GetTickCount(); // scaled milliseconds since start

// ---------------------------------------------------------------------------------------------
// Text
// ---------------------------------------------------------------------------------------------
constexpr UINT CP_ACP = 0; // the system's ANSI code page: Windows-1252
constexpr UINT CP_UTF8 = 65001;
// Counts include the terminator when srcLength is -1. With dstCapacity 0 they return the size
// needed. Too small a buffer: 0 and ERROR_INSUFFICIENT_BUFFER, the buffer possibly filled
// without a terminator; never more than dstCapacity units written.
int MultiByteToWideChar(UINT codePage, DWORD flags, LPCSTR src, int srcLength, LPWSTR dst,
                        int dstCapacity);
int WideCharToMultiByte(UINT codePage, DWORD flags, LPCWSTR src, int srcLength, LPSTR dst,
                        int dstCapacity, LPCSTR defaultChar, BOOL* usedDefaultChar);
// %d %i %u %x %X %s %c %% with flags, width and precision; %s takes a wide string. Writes at most
// 1024 characters including the terminator; returns the characters written without it.
int wsprintfW(LPWSTR buffer, LPCWSTR format, ...);

// ---------------------------------------------------------------------------------------------
// Libraries and debug output
// ---------------------------------------------------------------------------------------------
// A bare file name (".dll" added when it has no extension) is looked for beside the executable
// first, then in the system's library search path.
HMODULE LoadLibraryW(LPCWSTR fileName);
FARPROC GetProcAddressW(HMODULE module, LPCWSTR procName);
BOOL FreeLibrary(HMODULE module);       // a null module is harmless
void NKDbgPrintfW(LPCWSTR format, ...); // formats as wsprintfW, one line to the debug sink

// ---------------------------------------------------------------------------------------------
// Point-to-point message queues and power notifications
// ---------------------------------------------------------------------------------------------
struct MSGQUEUEOPTIONS {
    DWORD dwSize;
    DWORD dwFlags;
    DWORD dwMaxMessages;
    DWORD cbMaxMessage;
    BOOL bReadAccess;
};
constexpr DWORD MSGQUEUE_NOPRECOMMIT = 0x0001;
constexpr DWORD MSGQUEUE_ALLOW_BROKEN = 0x0002;
constexpr DWORD MSGQUEUE_MSGALERT = 0x0001;

HANDLE CreateMsgQueue(LPCWSTR name, MSGQUEUEOPTIONS* options);
BOOL ReadMsgQueue(HANDLE queue, LPVOID buffer, DWORD bufferSize, LPDWORD bytesRead, DWORD timeout,
                  DWORD* flags);
BOOL WriteMsgQueue(HANDLE queue, LPVOID buffer, DWORD dataSize, DWORD timeout, DWORD flags);
BOOL CloseMsgQueue(HANDLE queue);

constexpr DWORD PBT_TRANSITION = 0x00000001;
constexpr DWORD PBT_RESUME = 0x00000002;

struct POWER_BROADCAST {
    DWORD Message;
    DWORD Flags;
    DWORD Length;
    WCHAR SystemPowerState[1];
};

HANDLE RequestPowerNotifications(HANDLE msgQueue, DWORD flags);
BOOL StopPowerNotifications(HANDLE notifications);

// ---------------------------------------------------------------------------------------------
// Audio driver
// ---------------------------------------------------------------------------------------------
struct HWAVEOUT__;
using HWAVEOUT = HWAVEOUT__*;
using MMRESULT = UINT;
constexpr MMRESULT MMSYSERR_NOERROR = 0;
constexpr MMRESULT MMSYSERR_NOTSUPPORTED = 8;
// Private messages 1069 (call audio on) and 1070 (call audio off) reach the audio-driver hook
// whose state front ends read (DeviceServices.h).
MMRESULT waveOutMessage(HWAVEOUT device, UINT msg, DWORD_PTR param1, DWORD_PTR param2);
