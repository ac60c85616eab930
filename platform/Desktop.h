// The desktop as front ends see it: a consistent snapshot of every window, and input.
//
// Front ends never touch window objects. They read snapshots, wait for the change signal and
// deliver input, which the desktop routes to the window's owner thread as a message.
#pragma once

#include "platform/DesktopViews.h"
#include "platform/WindowsTypes.h"

#include <chrono>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kobalt::desktop {

Snapshot TakeSnapshot(const SnapshotOptions& options = {});
// Bumped on every visible change.
std::uint64_t Version();
// Waits until Version() differs from `seen` or the time-out (real time) passes.
bool WaitForChange(std::uint64_t seen, std::chrono::milliseconds timeout);

enum class InputResult { Ok, NoWindow, Disabled, NotActive, WrongKind, BadIndex };
const char* InputResultName(InputResult result);

// Input goes only to the active window and its enabled controls.
InputResult Click(HWND control);             // push or radio button
InputResult Select(HWND control, int index); // list box or list view entry; -1 clears
InputResult TypeText(HWND edit, const std::u16string& text); // replaces the edit's text
InputResult Close(HWND topLevel);                            // the caption's close box
InputResult AnswerBox(HWND messageBox, int buttonId);        // IDOK, IDCANCEL
InputResult Scroll(HWND list, int topIndex);                 // scroll position of a list
InputResult Focus(HWND control);
InputResult SetCaret(HWND edit, int position); // caret of an edit, 0..text length

// Waits (real time, bounded) until the input delivered last has been handled and its owner
// thread waits for messages again, or is blocked elsewhere. False on time-out.
bool WaitInputSettled(std::chrono::milliseconds timeout);

// Waits (real time, bounded) until the thread that owns `window` waits for messages with none
// queued, so whatever was posted to it before has been handled. True at once for a window that
// is gone; false on time-out.
bool WaitOwnerIdle(HWND window, std::chrono::milliseconds timeout);

// Screen size in pixels; the top-level windows receive WM_SIZE with it.
void SetScreenSize(int width, int height);

// The events the console's final handlers acted on, for a harness that accounts for them. Each
// handler reports one line per event: the SDK callback's name and arguments as the SDK's trace
// prints them (`ConnectEventCallback(1, 66:55:44:33:22:11, 1)`). The observer is called on the
// reporting thread (the user-interface thread, or an SDK thread for an event dropped there); it
// must be cheap, thread-safe and must not call into the desktop. Null removes it.
using HandledEventObserver = void (*)(std::string_view line);
void SetHandledEventObserver(HandledEventObserver observer);
// For the console: true while an observer is set, so that a line is composed only then.
bool HandledEventObserved();
// For the console: hands `line` to the observer, if one is set.
void ReportHandledEvent(std::string_view line);

} // namespace kobalt::desktop
