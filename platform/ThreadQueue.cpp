// Per-thread message queues: posting, cross-thread sending, getting and dispatching.
//
// A send to another thread's window is a queued record with a reply slot. The sender waits on
// its own queue and handles messages sent to it meanwhile; the owner handles sent messages
// whenever it waits for messages. Targets are resolved when a message is dispatched, so
// whatever was queued for a window that has since been destroyed is dropped.

#include "platform/ThreadQueue.h"

#include "platform/MessageDelivery.h"
#include "platform/WindowRecords.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <map>
#include <thread>

namespace kobalt::platform {
namespace {

void FinishSent(const std::shared_ptr<SentRecord>& record, LRESULT result) {
    std::lock_guard<std::mutex> lock(record->sender->mutex);
    record->result = result;
    record->done = true;
    record->sender->wake.notify_all();
}

// Runs a message another thread sent to one of the calling thread's windows and hands the
// result back to its sender.
void HandleSentRecord(const std::shared_ptr<SentRecord>& record) {
    const LRESULT result = CallWindowProcedure(record->hwnd, record->msg, record->wParam,
                                               record->lParam, Delivery::Sent);
    FinishSent(record, result);
}

// Ends a thread's queue: senders waiting on it get 0, its windows are forgotten.
struct QueueHolder {
    std::shared_ptr<ThreadQueue> queue;
    ~QueueHolder() {
        if (!queue)
            return;
        std::deque<std::shared_ptr<SentRecord>> pending;
        {
            std::lock_guard<std::mutex> lock(queue->mutex);
            queue->alive = false;
            pending.swap(queue->sent);
            queue->sentCount.store(0, std::memory_order_release);
            queue->posted.clear();
            queue->taken.clear();
        }
        for (auto& record : pending)
            FinishSent(record, 0);
        FreeWindowsOfThread(queue->threadId);
    }
};

thread_local QueueHolder t_queue;

std::mutex g_inputMutex;
std::weak_ptr<ThreadQueue> g_inputQueue; // the queue that got the latest input
std::uint64_t g_inputSeq = 0;            // its sequence number

bool PostRecord(HWND hwnd, PostedRecord record) {
    std::shared_ptr<ThreadQueue> queue;
    if (!hwnd) {
        queue = CurrentQueue();
    } else {
        queue = PostQueueOf(hwnd);
        if (!queue) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return false;
        }
    }
    {
        std::lock_guard<std::mutex> lock(queue->mutex);
        if (!queue->alive) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return false;
        }
        queue->posted.push_back(std::move(record));
        queue->idle = false;
    }
    queue->wake.notify_all();
    return true;
}

enum class Wait { Block, NoWait };
enum class Take { Remove, Keep };

// Gets the next posted message, handling sent messages first. Returns false when nothing is
// there (NoWait) or when WM_QUIT was taken (`quit` set).
bool NextMessage(MSG* out, Wait wait, Take take, bool& quit) {
    // A reference: copying the pointer would touch its count, which posting threads share.
    const auto& queue = CurrentQueue();
    quit = false;
    for (;;) {
        // Messages taken in the last batch are handed out without the lock, unless a sent
        // message waits: it comes first.
        if (queue->taken.empty() || queue->sentCount.load(std::memory_order_acquire) != 0) {
            std::unique_lock<std::mutex> lock(queue->mutex);
            if (!queue->sent.empty()) {
                // Sent messages first, each handled without the lock; then look again.
                std::shared_ptr<SentRecord> record = std::move(queue->sent.front());
                queue->sent.pop_front();
                queue->sentCount.store(queue->sent.size(), std::memory_order_release);
                lock.unlock();
                HandleSentRecord(record);
                continue;
            }
            if (queue->taken.empty()) {
                if (queue->posted.empty()) {
                    if (queue->quitPosted) {
                        if (take == Take::Remove)
                            queue->quitPosted = false;
                        *out =
                            MSG{nullptr, WM_QUIT, static_cast<WPARAM>(queue->quitCode), 0, 0, {}};
                        quit = true;
                        return false;
                    }
                    if (wait == Wait::NoWait)
                        return false;
                    queue->idle = true;
                    queue->wake.wait(lock);
                    queue->idle = false;
                    continue;
                }
                queue->taken.swap(queue->posted); // everything posted so far, in order
            }
        }
        PostedRecord record;
        if (take == Take::Remove) {
            record = std::move(queue->taken.front());
            queue->taken.pop_front();
            if (record.inputSeq != 0) {
                std::lock_guard<std::mutex> lock(queue->mutex);
                queue->inputTaken = std::max(queue->inputTaken, record.inputSeq);
            }
        } else {
            record = queue->taken.front();
        }
        if (record.msg.hwnd && !IsWindow(record.msg.hwnd)) {
            if (take == Take::Keep)
                queue->taken.pop_front();
            continue; // its window is gone: drop it
        }
        if (record.payload)
            record.msg.lParam = reinterpret_cast<LPARAM>(record.payload.get());
        if (take == Take::Remove)
            queue->currentPayload = record.payload;
        *out = record.msg;
        return true;
    }
}

} // namespace

const std::shared_ptr<ThreadQueue>& CurrentQueue() {
    if (!t_queue.queue) {
        t_queue.queue = std::make_shared<ThreadQueue>();
        t_queue.queue->threadId = GetCurrentThreadId();
    }
    return t_queue.queue;
}

bool HandleOneSentMessage(const std::shared_ptr<ThreadQueue>& queue) {
    std::shared_ptr<SentRecord> record;
    {
        std::lock_guard<std::mutex> lock(queue->mutex);
        if (queue->sent.empty())
            return false;
        record = std::move(queue->sent.front());
        queue->sent.pop_front();
        queue->sentCount.store(queue->sent.size(), std::memory_order_release);
    }
    HandleSentRecord(record);
    return true;
}

void EnterModalLoop() {
    auto queue = CurrentQueue();
    std::lock_guard<std::mutex> lock(queue->mutex);
    ++queue->modalDepth;
}

void LeaveModalLoop() {
    auto queue = CurrentQueue();
    std::lock_guard<std::mutex> lock(queue->mutex);
    --queue->modalDepth;
}

bool PumpOneMessage() {
    MSG msg;
    if (!GetMessageW(&msg, nullptr, 0, 0)) {
        PostQuitMessage(static_cast<int>(msg.wParam)); // leave it for the outer loop
        return false;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
    return true;
}

bool PostInput(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam,
               std::shared_ptr<const std::u16string> payload) {
    std::shared_ptr<ThreadQueue> queue;
    {
        auto lock = LockDesktop();
        Window* w = FindWindowLocked(hwnd);
        if (!w)
            return false;
        queue = w->ownerQueue;
    }
    std::uint64_t seq;
    {
        std::lock_guard<std::mutex> lock(g_inputMutex);
        seq = ++g_inputSeq;
        g_inputQueue = queue;
    }
    PostedRecord record{MSG{hwnd, msg, wParam, lParam, 0, {}}, std::move(payload), seq};
    return PostRecord(hwnd, std::move(record));
}

} // namespace kobalt::platform

using namespace kobalt::platform;

UINT RegisterWindowMessageW(LPCWSTR name) {
    if (!name || !*name)
        return 0;
    static std::mutex mutex;
    static std::map<std::u16string, UINT> ids;
    static UINT next = 0xC000;
    std::u16string key(name);
    for (auto& c : key)
        if (c >= u'A' && c <= u'Z')
            c = static_cast<WCHAR>(c + 32);
    std::lock_guard<std::mutex> lock(mutex);
    auto it = ids.find(key);
    if (it != ids.end())
        return it->second;
    if (next > 0xFFFF)
        return 0;
    ids.emplace(key, next);
    return next++;
}

BOOL PostMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return PostRecord(hwnd, PostedRecord{MSG{hwnd, msg, wParam, lParam, 0, {}}, nullptr, 0})
               ? TRUE
               : FALSE;
}

LRESULT SendMessageW(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    std::shared_ptr<ThreadQueue> target;
    const DWORD self = GetCurrentThreadId();
    {
        auto lock = LockDesktop();
        Window* w = FindWindowLocked(hwnd);
        if (!w) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return 0;
        }
        if (w->ownerThread == self) {
            // The caller's own window: its procedure, called directly, as CallWindowProcedure
            // would after looking the window up a second time.
            const WNDPROC proc = w->proc;
            lock.unlock();
            return DeliverMessage(proc, hwnd, msg, wParam, lParam, Delivery::Sent);
        }
        target = w->ownerQueue;
    }

    auto sender = CurrentQueue();
    auto record =
        std::make_shared<SentRecord>(SentRecord{hwnd, msg, wParam, lParam, 0, false, sender});
    {
        std::lock_guard<std::mutex> lock(target->mutex);
        if (!target->alive)
            return 0;
        target->sent.push_back(record);
        target->sentCount.store(target->sent.size(), std::memory_order_release);
        target->idle = false;
    }
    target->wake.notify_all();

    std::unique_lock<std::mutex> lock(sender->mutex);
    while (!record->done) {
        if (!sender->sent.empty()) {
            lock.unlock();
            HandleOneSentMessage(sender);
            lock.lock();
            continue;
        }
        sender->wake.wait(lock);
    }
    return record->result;
}

BOOL GetMessageW(MSG* msg, HWND, UINT, UINT) {
    bool quit;
    MSG local;
    MSG* out = msg ? msg : &local;
    if (NextMessage(out, Wait::Block, Take::Remove, quit))
        return TRUE;
    return FALSE;
}

BOOL PeekMessageW(MSG* msg, HWND, UINT, UINT, UINT remove) {
    bool quit;
    MSG local;
    MSG* out = msg ? msg : &local;
    bool got =
        NextMessage(out, Wait::NoWait, (remove & PM_REMOVE) ? Take::Remove : Take::Keep, quit);
    return (got || quit) ? TRUE : FALSE;
}

BOOL TranslateMessage(const MSG*) {
    return FALSE;
}

LRESULT DispatchMessageW(const MSG* msg) {
    if (!msg || !msg->hwnd)
        return 0;
    return CallWindowProcedure(msg->hwnd, msg->message, msg->wParam, msg->lParam, Delivery::Posted);
}

void PostQuitMessage(int exitCode) {
    auto queue = CurrentQueue();
    {
        std::lock_guard<std::mutex> lock(queue->mutex);
        queue->quitPosted = true;
        queue->quitCode = exitCode;
    }
    queue->wake.notify_all();
}

namespace kobalt::desktop {

bool WaitInputSettled(std::chrono::milliseconds timeout) {
    std::shared_ptr<ThreadQueue> queue;
    std::uint64_t seq;
    {
        std::lock_guard<std::mutex> lock(g_inputMutex);
        queue = g_inputQueue.lock();
        seq = g_inputSeq;
    }
    if (!queue)
        return true;
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(queue->mutex);
            if (!queue->alive)
                return true;
            // Settled: the input was taken and the thread either waits for messages with
            // nothing queued or has left its last modal loop (what is left queued then waits
            // for a loop that may never come).
            bool waiting = queue->idle && queue->posted.empty() && queue->sent.empty();
            if (queue->inputTaken >= seq && (waiting || queue->modalDepth == 0))
                return true;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
}

bool WaitOwnerIdle(HWND window, std::chrono::milliseconds timeout) {
    std::shared_ptr<ThreadQueue> queue;
    {
        auto lock = LockDesktop();
        Window* w = FindWindowLocked(window);
        if (!w)
            return true;
        queue = w->ownerQueue;
    }
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        {
            std::lock_guard<std::mutex> lock(queue->mutex);
            if (!queue->alive || (queue->idle && queue->posted.empty() && queue->sent.empty()))
                return true;
        }
        // A window that goes while we wait counts as gone too: its thread (a message box's,
        // say) may leave its loop and block elsewhere for good.
        {
            auto lock = LockDesktop();
            if (!FindWindowLocked(window))
                return true;
        }
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::microseconds(500));
    }
}

} // namespace kobalt::desktop
