// The system power monitor: a thread that restarts the SDK whenever the system reports a
// transition into suspend, and tells the operator the outcome. The main window starts it and
// stops it; the two talk only through the message queue "MonitorSysPower".
#pragma once

#include "platform/Windows.h"

inline constexpr const WCHAR* kPowerMonitorQueue = u"MonitorSysPower";
// Command code of the 16-byte messages the console writes to the queue.
constexpr DWORD kPowerMonitorQuit = 0x10001;

// Starts the monitor thread and lets it run on its own.
void StartPowerMonitor();
// As StartPowerMonitor, but hands back the thread's handle, which the caller closes.
HANDLE StartPowerMonitorThread();
// Ends the monitor that StartPowerMonitor started, without waiting for it. A queue this process
// does not read (another console's) is left alone.
void StopPowerMonitor();
// Writes one message with `code` to the queue; the write's result, FALSE when the queue could
// not be opened.
BOOL PostPowerMonitorMessage(DWORD code);
// The thread procedure, for threads made by StartPowerMonitorThread. Exit code 1 after the quit
// code, 0 when it could not listen (no queue, the queue already there, no notifications) or a
// read failed.
DWORD PowerMonitorThread(LPVOID);

// Monitor threads of this process that have not ended yet, and whether one of them listens
// (owns the queue with notifications on). For tests and diagnostics.
int PowerMonitorThreads();
bool PowerMonitorListening();
