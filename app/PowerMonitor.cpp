#include "app/PowerMonitor.h"

#include "sdk/SdkApi.h"

#include <cstring>
#include <mutex>

namespace {

constexpr DWORD kMaxMessageSize = 44;
constexpr DWORD kReadBufferSize = 220;
constexpr DWORD kStateMask = 0xFFFF0000u; // the POWER_STATE_* bits of the flags

static_assert(sizeof(MSGQUEUEOPTIONS) == 20);

// Who wants a monitor and who listens, so that a stop is never lost: a monitor that starts
// listening after its stop was asked for ends by itself, and a stop sends the quit code only to
// a monitor of this process.
struct MonitorState {
    std::mutex lock;
    int wanted = 0;    // StartPowerMonitorThread calls not yet matched by a stop
    int listening = 0; // monitors owning the queue with notifications on
    int threads = 0;   // monitor threads started and not yet ended
};

// Never destroyed: the monitor is not joined and may end while the process exits.
MonitorState& State() {
    static MonitorState* state = new MonitorState;
    return *state;
}

// The SDK restart of a suspend transition and its report; the box blocks this thread only.
void RestartSdk() {
    g_SdkApi.KOBALT_UnInit();
    const bool ok = g_SdkApi.KOBALT_Init() == 0;
    MessageBoxW(nullptr, ok ? u"Init OK" : u"Init Fail", u"Hint", MB_OK);
}

// Reads until the quit code (1) or a failed read (0).
DWORD Listen(HANDLE queue) {
    alignas(DWORD) BYTE buffer[kReadBufferSize];
    for (;;) {
        std::memset(buffer, 0, sizeof buffer);
        DWORD bytesRead = 0;
        DWORD flags = 0;
        if (!ReadMsgQueue(queue, buffer, sizeof buffer, &bytesRead, INFINITE, &flags))
            return 0;
        // Message code, then the broadcast's flags; a short message reads as zeros.
        DWORD words[2];
        std::memcpy(words, buffer, sizeof words);
        if (words[0] == kPowerMonitorQuit)
            return 1;
        if (words[0] == PBT_TRANSITION && (words[1] & kStateMask) == POWER_STATE_SUSPEND)
            RestartSdk();
    }
}

DWORD Monitor() {
    MSGQUEUEOPTIONS options{sizeof(MSGQUEUEOPTIONS), 0, 0, kMaxMessageSize, TRUE};
    HANDLE queue = CreateMsgQueue(kPowerMonitorQueue, &options);
    if (queue == nullptr)
        return 0;
    // Someone else (another console) monitors already.
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        CloseMsgQueue(queue);
        return 0;
    }
    HANDLE notifications = RequestPowerNotifications(queue, PBT_TRANSITION);
    if (notifications == nullptr) {
        CloseMsgQueue(queue);
        return 0;
    }

    MonitorState& state = State();
    bool stopped;
    {
        std::lock_guard<std::mutex> lock(state.lock);
        stopped = state.wanted == 0;
        if (!stopped)
            ++state.listening;
    }
    // Stopped before it listened: the quit code was not sent to this monitor.
    const DWORD exitCode = stopped ? 1 : Listen(queue);

    CloseMsgQueue(queue);
    StopPowerNotifications(notifications);
    if (!stopped) {
        std::lock_guard<std::mutex> lock(state.lock);
        --state.listening;
    }
    return exitCode;
}

} // namespace

DWORD PowerMonitorThread(LPVOID) {
    const DWORD exitCode = Monitor();
    MonitorState& state = State();
    std::lock_guard<std::mutex> lock(state.lock);
    --state.threads;
    return exitCode;
}

HANDLE StartPowerMonitorThread() {
    MonitorState& state = State();
    {
        std::lock_guard<std::mutex> lock(state.lock);
        ++state.wanted;
        ++state.threads;
    }
    HANDLE thread = CreateThread(nullptr, 0, &PowerMonitorThread, nullptr, 0, nullptr);
    if (thread == nullptr) {
        std::lock_guard<std::mutex> lock(state.lock);
        --state.wanted;
        --state.threads;
    }
    return thread;
}

void StartPowerMonitor() {
    if (HANDLE thread = StartPowerMonitorThread())
        CloseHandle(thread);
}

void StopPowerMonitor() {
    MonitorState& state = State();
    bool post;
    {
        std::lock_guard<std::mutex> lock(state.lock);
        if (state.wanted > 0)
            --state.wanted;
        post = state.wanted == 0 && state.listening > 0;
    }
    if (post)
        PostPowerMonitorMessage(kPowerMonitorQuit);
}

BOOL PostPowerMonitorMessage(DWORD code) {
    MSGQUEUEOPTIONS options{sizeof(MSGQUEUEOPTIONS), 0, 5, kMaxMessageSize, FALSE};
    HANDLE queue = CreateMsgQueue(kPowerMonitorQueue, &options);
    if (queue == nullptr)
        return FALSE;
    DWORD message[4] = {code, 0, 0, 0};
    const BOOL written = WriteMsgQueue(queue, message, sizeof message, INFINITE, 0);
    CloseMsgQueue(queue);
    return written;
}

int PowerMonitorThreads() {
    MonitorState& state = State();
    std::lock_guard<std::mutex> lock(state.lock);
    return state.threads;
}

bool PowerMonitorListening() {
    MonitorState& state = State();
    std::lock_guard<std::mutex> lock(state.lock);
    return state.listening > 0;
}
