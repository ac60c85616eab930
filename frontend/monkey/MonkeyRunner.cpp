#include "frontend/monkey/MonkeyRunner.h"

#include "frontend/common/DesktopDump.h"
#include "frontend/common/PhoneClient.h"
#include "frontend/common/StdStreams.h"
#include "frontend/monkey/InputChooser.h"
#include "frontend/monkey/PhoneEvents.h"
#include "frontend/monkey/Random.h"
#include "platform/Desktop.h"
#include "platform/DeviceServices.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace kobalt::monkey {

using Clock = std::chrono::steady_clock;
using desktop::Snapshot;
using desktop::WindowKind;
using desktop::WindowView;
using std::chrono::milliseconds;

namespace {

constexpr std::size_t kActionsKept = 20;  // last actions shown in a failure report
constexpr std::uint64_t kCheckEvery = 20; // steps between lost-event checks
constexpr int kSuspendedSteps = 3;        // steps the device stays suspended at most

HandledLog g_handled;

void ObserveHandled(std::string_view line) {
    g_handled.Add(line);
}

std::string Seconds(Clock::duration duration) {
    char text[32];
    std::snprintf(text, sizeof text, "%.1f s", std::chrono::duration<double>(duration).count());
    return text;
}

std::string Clip(std::string text) {
    constexpr std::size_t kLongest = 120;
    if (text.size() > kLongest) {
        text.resize(kLongest);
        text += "...";
    }
    return text;
}

// Controls seen and used per dialog template, for the summary.
struct DialogCoverage {
    std::string name;
    std::set<int> seen;
    std::set<int> used;
    int closed = 0;
};

} // namespace

int SanitizerSlowness() {
#if defined(__SANITIZE_THREAD__)
    return 10;
#elif defined(__SANITIZE_ADDRESS__)
    return 3;
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
    return 10;
#elif __has_feature(address_sanitizer)
    return 3;
#else
    return 1;
#endif
#else
    return 1;
#endif
}

// One run of the monkey: its state lives on the monkey's thread only.
struct MonkeyRunner::Run {
    MonkeyRunner& owner;
    const MonkeyOptions& options;
    Random random;
    ChooserState chooser;
    TraceFile trace;
    EventLedger ledger;
    milliseconds bound;
    Clock::time_point started = Clock::now();
    std::uint64_t step = 0;
    std::deque<std::string> actions;
    std::map<int, DialogCoverage> coverage;
    std::map<std::string, int> phoneFamilies;
    int phoneSent = 0;
    int phoneOk = 0;
    int powerTransitions = 0;
    int suspendedFor = -1; // steps since suspend, -1 while on
    int boxesAnswered = 0;

    Run(MonkeyRunner& runner)
        : owner(runner), options(runner.m_options), random(runner.m_options.seed),
          trace(runner.m_tracePath, runner.m_traceOffset),
          bound(runner.m_options.settleBound * SanitizerSlowness()) {
        // A run without the simulated library has an empty trace, not a missing one.
        if (!runner.m_traceFolder.empty()) {
            (void)CreateTrace(runner.m_tracePath);
        }
    }

    bool Ended() const { return owner.m_consoleEnded.load(std::memory_order_acquire); }

    void Log(std::string action) {
        actions.push_back("step " + std::to_string(step) + ": " + Clip(std::move(action)));
        if (actions.size() > kActionsKept) {
            actions.pop_front();
        }
    }

    void Fail(const std::string& reason) {
        std::string text = "monkey: FAILED at step " + std::to_string(step) + " (seed " +
                           std::to_string(options.seed) + "): " + reason + "\nlast actions:\n";
        for (const std::string& action : actions) {
            text += "  " + action + '\n';
        }
        text += "desktop:\n" + script::DumpDesktop(desktop::TakeSnapshot());
        options.err(text);
    }

    [[noreturn]] void Stuck(const std::string& reason) {
        Fail(reason);
        options.onConsoleStuck(MonkeyStatus::ConsoleStuck);
        std::abort(); // onConsoleStuck ends the process
    }

    void Record(const Snapshot& snapshot) {
        for (const WindowView& window : snapshot.windows) {
            if (window.kind != WindowKind::Dialog) {
                continue;
            }
            DialogCoverage& dialog = coverage[window.templateId];
            if (dialog.name.empty()) {
                // Captions change (the main window shows the connection): the first one names it.
                dialog.name = script::DescribeWindowView(window);
            }
            for (const desktop::ControlView& control : window.controls) {
                if (IsWorkable(window, control)) {
                    dialog.seen.insert(control.id);
                }
            }
        }
    }

    // Waits until every window's thread is idle; the watchdog fires when one stays busy.
    void Settle(bool afterInput) {
        const auto deadline = Clock::now() + bound;
        if (afterInput && !desktop::WaitInputSettled(bound)) {
            Stuck("the input was not handled within " + Seconds(bound));
        }
        const Snapshot snapshot = desktop::TakeSnapshot(desktop::SnapshotOptions{0});
        std::vector<DWORD> owners;
        for (const WindowView& window : snapshot.windows) {
            if (std::find(owners.begin(), owners.end(), window.ownerThread) != owners.end()) {
                continue;
            }
            owners.push_back(window.ownerThread);
            const auto left = std::max(
                milliseconds(1), std::chrono::duration_cast<milliseconds>(deadline - Clock::now()));
            if (!desktop::WaitOwnerIdle(window.hwnd, left)) {
                Stuck("the thread of " + script::DescribeWindowView(window) + " stayed busy for " +
                      Seconds(bound));
            }
        }
    }

    // Waits for a window to take input, up to the bound.
    bool WaitForActive(Snapshot& snapshot) {
        const auto deadline = Clock::now() + bound;
        for (;;) {
            snapshot = desktop::TakeSnapshot(desktop::SnapshotOptions{0});
            if (ActiveWindow(snapshot) != nullptr || Ended()) {
                return ActiveWindow(snapshot) != nullptr;
            }
            if (Clock::now() >= deadline) {
                return false;
            }
            desktop::WaitForChange(snapshot.version, milliseconds(100));
        }
    }

    void Deliver(const Input& input, const Snapshot& snapshot) {
        Log(DescribeInput(input, snapshot));
        desktop::InputResult result = desktop::InputResult::Ok;
        switch (input.kind) {
        case Input::Kind::None:
            return;
        case Input::Kind::Click:
            result = desktop::Click(input.control);
            break;
        case Input::Kind::Select:
            result = desktop::Select(input.control, input.index);
            break;
        case Input::Kind::Type:
            result = desktop::TypeText(input.control, input.text);
            break;
        case Input::Kind::Close:
            result = desktop::Close(input.window);
            break;
        case Input::Kind::AnswerBox:
            result = desktop::AnswerBox(input.window, input.id);
            break;
        }
        if (result != desktop::InputResult::Ok) {
            // The window changed under the monkey (an event closed it): nothing was delivered.
            actions.back() += std::string(" -> ") + desktop::InputResultName(result);
            return;
        }
        for (const WindowView& window : snapshot.windows) {
            if (window.hwnd != input.window) {
                continue;
            }
            if (input.kind == Input::Kind::AnswerBox) {
                ++boxesAnswered;
            } else if (window.kind == WindowKind::Dialog) {
                DialogCoverage& dialog = coverage[window.templateId];
                if (input.kind == Input::Kind::Close) {
                    ++dialog.closed;
                } else {
                    dialog.used.insert(input.id);
                }
            } else if (input.kind == Input::Kind::Close) {
                ++boxesAnswered;
            }
        }
        Settle(true);
    }

    void Phone() {
        const PhoneEvent event = ChoosePhoneEvent(random);
        Log("phone: " + event.command);
        const script::PhoneAnswer answer =
            script::AskPhone(event.command, milliseconds(2000) * SanitizerSlowness());
        ++phoneSent;
        ++phoneFamilies[event.family];
        if (answer.reached && answer.ok) {
            ++phoneOk;
        } else {
            actions.back() += " -> " + (answer.error.empty() ? "refused" : answer.error);
        }
        Settle(false);
    }

    void Power(bool suspend) {
        Log(suspend ? "power suspend" : "power resume");
        const auto deadline = Clock::now() + std::chrono::seconds(2);
        while (device::PowerListenerCount() == 0 && !Ended() && Clock::now() < deadline) {
            std::this_thread::sleep_for(milliseconds(10));
        }
        device::PowerTransition(suspend ? POWER_STATE_SUSPEND : POWER_STATE_ON);
        ++powerTransitions;
        suspendedFor = suspend ? 0 : -1;
        Settle(false);
    }

    // Reads what the trace gained into the ledger; an unreadable trace ends the run.
    bool ReadTrace() {
        if (trace.Update() != TraceStatus::Ok) {
            Fail("the SDK trace cannot be read: " + trace.Problem());
            return false;
        }
        ledger.AddCallbacks(trace.Take());
        return true;
    }

    // Every callback the trace shows so far must be handled within the bound, in the SDK's
    // order and with its arguments.
    MonkeyStatus CheckEvents() {
        if (!ReadTrace()) {
            return MonkeyStatus::TraceUnreadable;
        }
        const EventCounts made = ledger.Made();
        const auto deadline = Clock::now() + bound;
        ledger.AddHandled(g_handled.Take());
        while (!ledger.CaughtUp(made) && Clock::now() < deadline) {
            const Snapshot snapshot = desktop::TakeSnapshot(desktop::SnapshotOptions{0});
            for (const WindowView& window : snapshot.windows) {
                if (IsMainWindow(window)) {
                    desktop::WaitOwnerIdle(window.hwnd, milliseconds(50));
                }
            }
            std::this_thread::sleep_for(milliseconds(5));
            ledger.AddHandled(g_handled.Take());
        }
        // Read after the handled events were taken, so that each has its callback line.
        if (!ReadTrace()) {
            return MonkeyStatus::TraceUnreadable;
        }
        const std::string problems = ledger.Check(made);
        if (!problems.empty()) {
            Fail("lost event: " + problems);
            return MonkeyStatus::LostEvent;
        }
        return MonkeyStatus::Passed;
    }

    bool Done() const {
        if (options.steps != 0 && step >= options.steps) {
            return true;
        }
        return options.duration.count() != 0 && Clock::now() - started >= options.duration;
    }

    MonkeyStatus Play() {
        Snapshot snapshot;
        if (!WaitForActive(snapshot) || Ended()) {
            Fail(Ended() ? "the console ended before its window opened"
                         : "no window took input within " + Seconds(bound));
            return Ended() ? MonkeyStatus::ConsoleEnded : MonkeyStatus::ConsoleStuck;
        }
        while (!Done()) {
            if (Ended()) {
                Fail("the console ended by itself");
                return MonkeyStatus::ConsoleEnded;
            }
            if (!WaitForActive(snapshot)) {
                if (Ended()) {
                    continue;
                }
                Stuck("no window took input for " + Seconds(bound));
            }
            Record(snapshot);
            ++step;
            if (suspendedFor >= 0 && ++suspendedFor > kSuspendedSteps) {
                Power(false);
                continue;
            }
            const std::size_t roll = random.Below(100);
            if (roll < 18) {
                Phone();
            } else if (roll < 19) {
                Power(suspendedFor < 0);
            } else if (roll < 22) {
                Log("wait");
                // Lets delayed far-end steps (a phone accepting a connect) happen meanwhile.
                std::this_thread::sleep_for(milliseconds(random.Below(50)));
                Settle(false);
            } else {
                Deliver(ChooseInput(snapshot, random, chooser), snapshot);
            }
            if (step % kCheckEvery == 0) {
                if (const MonkeyStatus status = CheckEvents(); status != MonkeyStatus::Passed) {
                    return status;
                }
            }
        }
        if (suspendedFor >= 0) {
            Power(false);
        }
        return CheckEvents();
    }

    // Closes every window above the main one, then quits from the main window, and waits for
    // the console to end with no window left.
    MonkeyStatus Quit() {
        const auto deadline = Clock::now() + 3 * bound;
        HWND lastTarget = nullptr;
        Clock::time_point lastInput{};
        for (;;) {
            const Snapshot snapshot = desktop::TakeSnapshot(desktop::SnapshotOptions{0});
            const bool ended = Ended();
            if (ended && snapshot.windows.empty()) {
                return MonkeyStatus::Passed;
            }
            const auto now = Clock::now();
            if (now >= deadline) {
                if (ended) {
                    Fail("windows are left after the console ended");
                    return MonkeyStatus::ConsoleEnded;
                }
                Stuck("the console did not end within " + Seconds(3 * bound));
            }
            const WindowView* target = ActiveWindow(snapshot);
            // An input that changed nothing (a window refusing to close) is repeated now and
            // then, not on every desktop change.
            if (target != nullptr &&
                (target->hwnd != lastTarget || now - lastInput >= milliseconds(500))) {
                lastTarget = target->hwnd;
                lastInput = now;
                desktop::InputResult result;
                ++step;
                if (target->kind == WindowKind::MessageBox) {
                    Log("end: answer OK in " + script::DescribeWindowView(*target));
                    result = desktop::AnswerBox(target->hwnd, IDOK);
                } else if (!IsMainWindow(*target)) {
                    Log("end: close " + script::DescribeWindowView(*target));
                    result = desktop::Close(target->hwnd);
                } else {
                    const bool closeBox = random.Percent(30);
                    Log(closeBox ? "end: close the main window" : "end: click QUIT");
                    HWND quit = nullptr;
                    for (const desktop::ControlView& control : target->controls) {
                        if (control.id == kMainQuitButton) {
                            quit = control.hwnd;
                        }
                    }
                    result = closeBox || quit == nullptr ? desktop::Close(target->hwnd)
                                                         : desktop::Click(quit);
                }
                if (result == desktop::InputResult::Ok && !Ended()) {
                    desktop::WaitInputSettled(bound);
                }
                continue;
            }
            desktop::WaitForChange(snapshot.version, milliseconds(100));
        }
    }

    void Summary(MonkeyStatus status) {
        const EventCounts handled = ledger.Handled();
        std::string text = "monkey: seed " + std::to_string(options.seed) + ", " +
                           std::to_string(step) + " steps in " + Seconds(Clock::now() - started) +
                           ", " + std::to_string(phoneSent) + " phone events (" +
                           std::to_string(phoneOk) + " carried out), " +
                           std::to_string(powerTransitions) + " power transitions, " +
                           std::to_string(boxesAnswered) + " message boxes answered\n";
        text += "monkey: callbacks handled:";
        for (std::size_t i = 0; i < kEventKinds; ++i) {
            text += std::string(" ") + EventKindName(static_cast<EventKind>(i)) + ' ' +
                    std::to_string(handled[i]);
        }
        text += '\n';
        for (const auto& [id, dialog] : coverage) {
            text += "monkey: " + dialog.name + ": " + std::to_string(dialog.used.size()) + " of " +
                    std::to_string(dialog.seen.size()) + " controls used, closed " +
                    std::to_string(dialog.closed) + " times";
            std::string unused;
            for (int control : dialog.seen) {
                if (dialog.used.count(control) == 0) {
                    unused += ' ' + std::to_string(control);
                }
            }
            text += unused.empty() ? "\n" : "; not used:" + unused + '\n';
        }
        text += "monkey: phone events:";
        for (const auto& [family, count] : phoneFamilies) {
            text += ' ' + family + ' ' + std::to_string(count);
        }
        text += '\n';
        text += std::string("monkey: ") + (status == MonkeyStatus::Passed ? "passed" : "FAILED") +
                " (exit status " + std::to_string(static_cast<int>(status)) + ")\n";
        options.out(text);
    }
};

MonkeyRunner::MonkeyRunner(MonkeyOptions options) : m_options(std::move(options)) {
    if (!m_options.out) {
        m_options.out = frontend::WriteStdout;
    }
    if (!m_options.err) {
        m_options.err = frontend::WriteStderr;
    }
    if (!m_options.onConsoleStuck) {
        m_options.onConsoleStuck = [](MonkeyStatus status) {
            std::fflush(stdout);
            std::fflush(stderr);
            std::_Exit(static_cast<int>(status));
        };
    }
    if (const char* path = std::getenv("KOBALT_SIM_TRACE"); path != nullptr && *path != '\0') {
        m_tracePath = path;
        struct stat info {};
        if (::stat(path, &info) == 0) {
            m_traceOffset = static_cast<std::uint64_t>(info.st_size);
        }
    } else {
        // A folder of our own, made afresh: a fixed name in a shared /tmp could be a symbolic
        // link planted by another user, who would then receive the trace.
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        const char* tmp = std::getenv("TMPDIR");
        const std::string base = runtime != nullptr && *runtime == '/' ? runtime
                                 : tmp != nullptr && *tmp == '/'       ? tmp
                                                                       : "/tmp";
        std::string folder = base + "/kobalt-monkey-XXXXXX";
        if (::mkdtemp(folder.data()) != nullptr) {
            m_traceFolder = folder;
            m_tracePath = folder + "/sim.trace";
            // Read by the simulated SDK when it is loaded, which comes later.
            ::setenv("KOBALT_SIM_TRACE", m_tracePath.c_str(), 1);
        } else {
            m_options.err("monkey: cannot make a folder for the trace under " + base + "\n");
        }
    }
    desktop::SetHandledEventObserver(&ObserveHandled);
}

MonkeyRunner::~MonkeyRunner() {
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void MonkeyRunner::Start() {
    m_thread = std::thread([this] {
        Run run(*this);
        MonkeyStatus status = run.Play();
        const MonkeyStatus ending = run.Quit();
        if (status == MonkeyStatus::Passed) {
            status = ending;
        }
        run.Summary(status);
        m_status = status;
    });
}

void MonkeyRunner::NotifyConsoleEnded() {
    m_consoleEnded.store(true, std::memory_order_release);
}

MonkeyStatus MonkeyRunner::Wait() {
    if (m_thread.joinable()) {
        m_thread.join();
    }
    desktop::SetHandledEventObserver(nullptr);
    if (!m_traceFolder.empty()) {
        std::remove(m_tracePath.c_str());
        ::rmdir(m_traceFolder.c_str());
    }
    return m_status;
}

} // namespace kobalt::monkey
