// Internal to the platform: the message queue of each thread that touches windows, and the
// records of sent and posted messages it holds.
#pragma once

#include "platform/Windows.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

namespace kobalt::platform {

struct ThreadQueue;

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
    std::atomic<std::size_t> sentCount{0}; // sent.size(), for a look without the lock
    // Touched only by the owner thread, not guarded: posted messages it took in one go under
    // the lock, oldest first, handed out one by one before `posted` is looked at again. A
    // storm of posts then costs the owner one lock per batch instead of one per message.
    std::deque<PostedRecord> taken;
    bool quitPosted = false;
    int quitCode = 0;
    bool alive = true;            // false once the thread has ended
    bool idle = false;            // waiting for messages with nothing queued
    std::uint64_t inputTaken = 0; // highest input sequence taken from `posted`
    int modalDepth = 0;           // modal loops the thread is running
    std::shared_ptr<const std::u16string> currentPayload; // of the message being dispatched
};

// The calling thread's queue, created on first use. The reference stays valid while the thread
// runs; callers that keep the queue beyond that copy the pointer.
const std::shared_ptr<ThreadQueue>& CurrentQueue();

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

} // namespace kobalt::platform
