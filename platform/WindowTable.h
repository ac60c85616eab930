// Internal to the platform: the window records, the per-thread message queues and the few
// operations the window services share. Everything here is guarded as documented per field.
#pragma once

#include "platform/Desktop.h"
#include "platform/WindowServer.h"
#include "platform/Windows.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace kobalt::platform {

struct ThreadQueue;

// One window. Guarded by the desktop lock.
struct Window {
    HWND handle = nullptr;                   // slot and generation
    DWORD ownerThread = 0;                   // the thread that created it
    std::shared_ptr<ThreadQueue> ownerQueue; // where its messages go
    HWND parent = nullptr;                   // dialog of a control; null for top-level
    int id = 0;                              // control id
    DWORD style = 0;
    DWORD exStyle = 0;
    std::u16string text; // caption or control text
    bool enabled = true;
    bool visible = false;
    bool destroying = false; // WM_DESTROY sent; no new messages
    RECT rect{};             // pixels; controls relative to the parent
    WNDPROC proc = nullptr;
    LONG_PTR userData = 0;               // GWLP_USERDATA
    const ControlClass* cls = nullptr;   // null for dialogs and plain windows
    std::unique_ptr<ControlState> state; // control state, when cls is set
    HFONT font = nullptr;                // WM_SETFONT
    HICON iconBig = nullptr;             // WM_SETICON
    HICON iconSmall = nullptr;
    desktop::WindowKind kind = desktop::WindowKind::Other;
    int templateId = 0;         // dialog template, 0 when none
    std::vector<HWND> children; // creation (tab) order
    HWND focus = nullptr;       // top-level: the focused control
    bool dialogEnded = false;   // EndDialog was called
    INT_PTR dialogResult = 0;   // its result
    std::u16string boxText;     // message boxes: the message
};

// A message sent to another thread's window: the sender waits on its own queue until `done`.
struct SentRecord {
    HWND hwnd;
    UINT msg;
    WPARAM wParam;
    LPARAM lParam;
    LRESULT result = 0;
    bool done = false; // guarded by the sender queue's mutex
    std::shared_ptr<ThreadQueue> sender;
};

// A posted message; `payload` keeps input text alive until it is dispatched.
struct PostedRecord {
    MSG msg;
    std::shared_ptr<const std::u16string> payload;
    std::uint64_t inputSeq = 0; // non-zero for front-end input
};

// The message queue of one thread.
struct ThreadQueue {
    DWORD threadId = 0;
    std::mutex mutex; // guards everything below
    std::condition_variable wake;
    std::deque<PostedRecord> posted;
    std::deque<std::shared_ptr<SentRecord>> sent;
    bool quitPosted = false;
    int quitCode = 0;
    bool alive = true;            // false once the thread has ended
    bool idle = false;            // waiting for messages with nothing queued
    std::uint64_t inputTaken = 0; // highest input sequence taken from `posted`
    int modalDepth = 0;           // modal loops the thread is running
    std::shared_ptr<const std::u16string> currentPayload; // of the message being dispatched
};

// The calling thread's queue, created on first use.
std::shared_ptr<ThreadQueue> CurrentQueue();

// The desktop lock is LockDesktop() (WindowServer.h). With it held:
Window* FindWindowLocked(HWND hwnd); // null when dead or unknown
HWND TopLevelOfLocked(HWND hwnd);    // the window itself or its top-level ancestor
std::vector<HWND> ZOrderLocked();    // top-level windows, topmost first
HWND ActiveWindowLocked();           // topmost visible enabled top-level window
void RaiseLocked(HWND hwnd);         // puts a top-level window on top

// Calls the window procedure of `hwnd` on the calling thread; 0 when the window is gone.
LRESULT CallWindowProcedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

// Handles one sent message addressed to the calling thread, if any. True when one was handled.
bool HandleOneSentMessage(const std::shared_ptr<ThreadQueue>& queue);

// Waits for and dispatches one message of the calling thread (sent or posted).
// False when WM_QUIT was taken (the quit stays posted for the outer loop).
bool PumpOneMessage();

// Posts with an input sequence (front-end input) and an optional payload.
bool PostInput(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
               std::shared_ptr<const std::u16string> payload);

// Counts the calling thread's modal loops (front ends know a thread that left its last loop
// has finished with their input).
void EnterModalLoop();
void LeaveModalLoop();

// Screen size in pixels.
int ScreenWidth();
int ScreenHeight();
void SetScreenSizePixels(int width, int height);

// The desktop's change counter (NotifyDesktopChanged bumps it; waiters use atomic wait).
std::uint64_t DesktopVersion();

// Adds a window record (and links it to its parent or the z-order); returns its handle.
HWND CreateWindowRecord(std::unique_ptr<Window> window);
// Frees a record and its children's. Requires the lock.
void FreeWindowRecordLocked(HWND hwnd);
// Forgets the windows of a thread that ended.
void FreeWindowsOfThread(DWORD threadId);
// The face and height a font was created with. Requires the lock.
bool FontInfoLocked(HFONT font, LOGFONTW& out);

} // namespace kobalt::platform
