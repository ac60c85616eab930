// Threads, events and waits.
//
// A thread handle and an event handle each name a waitable object held by shared reference
// (Handles.h). A thread's running body holds its own reference, so closing the handle right
// after CreateThread is fine and the thread runs on. Closing an event's handle makes later calls
// on that handle fail with ERROR_INVALID_HANDLE; a wait already under way on it keeps waiting
// (until its time-out) on the object, which no one can signal any more.
#include "platform/Clock.h"
#include "platform/Handles.h"
#include "platform/Windows.h"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace kobalt::platform {
namespace {

// Something WaitForSingleObject can wait for.
class Waitable : public KernelObject {
public:
    // True when the object was (or became) signalled before the deadline. Consumes the signal of
    // an auto-reset event.
    virtual bool WaitUntilSignalled(RealClock::time_point deadline) = 0;
};

class EventObject final : public Waitable {
public:
    EventObject(bool manualReset, bool signalled)
        : m_manualReset(manualReset), m_signalled(signalled) {}

    void Set() {
        std::lock_guard guard(m_lock);
        m_signalled = true;
        // An auto-reset event releases one waiter; the others stay blocked.
        if (m_manualReset) {
            m_changed.notify_all();
        } else {
            m_changed.notify_one();
        }
    }

    void Reset() {
        std::lock_guard guard(m_lock);
        m_signalled = false;
    }

    bool WaitUntilSignalled(RealClock::time_point deadline) override {
        std::unique_lock lock(m_lock);
        if (!WaitUntil(m_changed, lock, deadline, [this] { return m_signalled; })) {
            return false;
        }
        if (!m_manualReset) {
            m_signalled = false;
        }
        return true;
    }

private:
    const bool m_manualReset;
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_signalled; // guarded by m_lock
};

class ThreadObject final : public Waitable {
public:
    void Finish(DWORD exitCode) {
        std::lock_guard guard(m_lock);
        m_exitCode = exitCode;
        m_finished = true;
        m_changed.notify_all();
    }

    DWORD ExitCode() {
        std::lock_guard guard(m_lock);
        return m_finished ? m_exitCode : STILL_ACTIVE;
    }

    bool WaitUntilSignalled(RealClock::time_point deadline) override {
        std::unique_lock lock(m_lock);
        return WaitUntil(m_changed, lock, deadline, [this] { return m_finished; });
    }

private:
    std::mutex m_lock;
    std::condition_variable m_changed;
    bool m_finished = false; // guarded by m_lock
    DWORD m_exitCode = 0;    // guarded by m_lock
};

// Thread ids: small, nonzero, never reused within the process. A thread made by CreateThread
// gets its id before it starts, so the creator's *threadId matches GetCurrentThreadId inside it.
std::atomic<DWORD> g_nextThreadId{1};
thread_local DWORD t_threadId = 0;

DWORD NewThreadId() {
    return g_nextThreadId.fetch_add(1, std::memory_order_relaxed);
}

} // namespace
} // namespace kobalt::platform

using kobalt::platform::EventObject;
using kobalt::platform::ThreadObject;

DWORD GetCurrentThreadId() {
    using kobalt::platform::t_threadId;
    if (t_threadId == 0) {
        t_threadId = kobalt::platform::NewThreadId();
    }
    return t_threadId;
}

// The stack size and creation flags are ignored: threads get the system's default stack and
// always start at once.
HANDLE CreateThread(void* /*security*/, std::size_t /*stackSize*/, LPTHREAD_START_ROUTINE start,
                    LPVOID param, DWORD /*flags*/, LPDWORD threadId) {
    if (start == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto object = std::make_shared<ThreadObject>();
    HANDLE handle = kobalt::platform::InsertHandle(object);
    if (handle == nullptr) {
        return nullptr;
    }
    const DWORD id = kobalt::platform::NewThreadId();
    try {
        std::thread([object, start, param, id] {
            kobalt::platform::t_threadId = id;
            object->Finish(start(param));
        }).detach();
    } catch (const std::system_error&) {
        CloseHandle(handle);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    if (threadId != nullptr) {
        *threadId = id;
    }
    return handle;
}

BOOL GetExitCodeThread(HANDLE thread, LPDWORD exitCode) {
    auto object = kobalt::platform::LookupHandleAs<ThreadObject>(thread);
    if (!object || exitCode == nullptr) {
        SetLastError(object ? ERROR_INVALID_PARAMETER : ERROR_INVALID_HANDLE);
        return FALSE;
    }
    *exitCode = object->ExitCode();
    return TRUE;
}

// The name is ignored: every event is private to its creator's handle.
HANDLE CreateEventW(void* /*security*/, BOOL manualReset, BOOL initialState, LPCWSTR /*name*/) {
    return kobalt::platform::InsertHandle(
        std::make_shared<EventObject>(manualReset != FALSE, initialState != FALSE));
}

BOOL EventModify(HANDLE event, DWORD func) {
    auto object = kobalt::platform::LookupHandleAs<EventObject>(event);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    switch (func) {
    case EVENT_SET:
        object->Set();
        return TRUE;
    case EVENT_RESET:
        object->Reset();
        return TRUE;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
}

BOOL SetEvent(HANDLE event) {
    return EventModify(event, EVENT_SET);
}

BOOL ResetEvent(HANDLE event) {
    return EventModify(event, EVENT_RESET);
}

// Message-queue handles are not waitable here: WAIT_FAILED with ERROR_INVALID_HANDLE.
DWORD WaitForSingleObject(HANDLE handle, DWORD milliseconds) {
    auto object = kobalt::platform::LookupHandleAs<kobalt::platform::Waitable>(handle);
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    const auto deadline = kobalt::platform::DeadlineAfter(milliseconds);
    return object->WaitUntilSignalled(deadline) ? WAIT_OBJECT_0 : WAIT_TIMEOUT;
}
