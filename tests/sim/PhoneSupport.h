// Support for tests of the library's events and control socket: a recorder for callbacks, a
// client for this process's control socket, and child processes.
#pragma once

#include "SimLibrary.h"
#include "sdk/KobaltAbi.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <sys/types.h>
#include <thread>
#include <vector>

namespace kobalt::sim::test {

inline constexpr std::chrono::seconds kWaitLimit{10}; // for conditions that must come true

template <class Fn> Fn Entry(const char* name) {
    const Fn fn = SimLibrary::Get().Entry<Fn>(name);
    if (fn == nullptr) {
        ADD_FAILURE() << name << " is not exported";
    }
    return fn;
}

inline int Call(const char* name) {
    return Entry<KOBALT_Fn_Void>(name)();
}

KOBALT_BdAddr Addr(const char* text); // "66:55:44:33:22:11", byte 5 first

// Every callback the library makes, as text in the order made:
//   "connect 1 66:55:44:33:22:11 5", "connect 0 null 9", "pair 1 66:55:44:33:22:11",
//   "found 66:55:44:33:22:11 \"Pixel 7\"", "finished" (finished with an all-zero record),
//   "finished (record not empty)".
class Events {
public:
    static void Clear();
    static std::vector<std::string> Lines();

    // Waits until `count` events were recorded; false when they did not come in time.
    static bool WaitForCount(std::size_t count);

    // The thread that made the last callback.
    static std::thread::id LastThread();

    // While held, the discovery callback waits (up to kWaitLimit) before it returns, as the
    // console's completion message box does.
    static void HoldDiscovery();
    static void ReleaseDiscovery();
    // Whether the discovery callback is waiting now; waits up to kWaitLimit for it.
    static bool WaitUntilDiscoveryHeld();

    // Work to do inside the next connect callback, before it records its event.
    static void InsideNextConnect(void (*work)(int connected, KOBALT_BdAddr* addr));

    static int OnConnect(int connected, KOBALT_BdAddr* addr, int16_t service);
    static int OnPair(int success, KOBALT_BdAddr* addr);
    static int OnDiscovery(int finished, KOBALT_DeviceRecord record);
};

// The answer of this process's library to `command`: "ok\n..." or "error: ...\n".
std::string Phone(const std::string& command);

// Sends a command that must succeed; what follows the `ok` line (for a command that changes
// something, the one line saying what it did).
std::string PhoneOk(const std::string& command);

// The `state` lines.
std::vector<std::string> PhoneState();

// Starts the stack with the test's world: all devices removed, then `deviceLines` added (each
// the arguments of add-device), the callbacks registered, the events cleared.
void StartWithWorld(const std::vector<std::string>& deviceLines);

struct Outcome {
    int status = -1; // exit status, or -1 when it did not exit normally
    std::string out;
    std::string err;
};

// Runs `program` with `args`, stdin from /dev/null, and collects its output.
Outcome RunProgram(const std::string& program, const std::vector<std::string>& args);

// A child process started with pipes to its stdin and stdout.
class Child {
public:
    Child(const std::string& program, const std::vector<std::string>& args);
    ~Child();
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    pid_t Pid() const { return m_pid; }
    // The next line the child writes, without its newline; empty at end or after kWaitLimit.
    std::string ReadLine();
    // Writes `text` to the child's stdin.
    void Write(const std::string& text);
    // Closes the child's stdin and waits for it to exit; its exit status or -1.
    int Finish();

private:
    pid_t m_pid = -1;
    int m_in = -1;  // the child's stdin
    int m_out = -1; // the child's stdout
};

} // namespace kobalt::sim::test
