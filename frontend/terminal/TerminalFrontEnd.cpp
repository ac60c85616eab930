#include "frontend/terminal/TerminalFrontEnd.h"

#include "frontend/terminal/Accelerators.h"
#include "frontend/terminal/DesktopInput.h"
#include "frontend/terminal/InputMapper.h"
#include "frontend/terminal/Layout.h"
#include "frontend/terminal/Overlay.h"
#include "platform/DeviceServices.h"

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace kobalt::terminal {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

bool SameStatus(const StatusInfo& a, const StatusInfo& b) {
    return a.callAudioOn == b.callAudioOn && a.suspended == b.suspended;
}

StatusInfo CurrentStatus() {
    return StatusInfo{device::CallAudioOn(),
                      device::CurrentPowerState() == device::PowerState::Suspended};
}

const desktop::WindowView* ActiveWindow(const desktop::Snapshot& snapshot) {
    for (const desktop::WindowView& window : snapshot.windows) {
        if (window.active) {
            return &window;
        }
    }
    return nullptr;
}

// An edit's text as the snapshot has it; empty when the snapshot has no such edit.
std::u16string EditText(const desktop::Snapshot& snapshot, HWND edit) {
    for (const desktop::WindowView& window : snapshot.windows) {
        for (const desktop::ControlView& control : window.controls) {
            if (control.hwnd == edit) {
                return control.text;
            }
        }
    }
    return std::u16string();
}

} // namespace

TerminalFrontEnd::TerminalFrontEnd(Options options) : m_options(options) {}

TerminalFrontEnd::~TerminalFrontEnd() {
    if (m_thread.joinable()) {
        m_thread.join();
    }
    device::SetDebugSink({});
}

bool TerminalFrontEnd::Start(std::string& error) {
    Terminal::PrepareProcess();
    // Debug lines and the SDK library's trace go to the event log: nothing may write over the
    // screen.
    device::SetDebugSink(
        [this](const std::u16string& line) { m_log.AddDebug(EventLog::Clock::now(), line); });
    std::string traceError;
    if (!m_trace.Start(traceError)) {
        m_log.AddDebug(EventLog::Clock::now(),
                       u"Event log: " + std::u16string(traceError.begin(), traceError.end()));
    }
    std::promise<std::string> opened;
    std::future<std::string> result = opened.get_future();
    m_thread =
        std::thread([this, promise = std::move(opened)]() mutable { Run(std::move(promise)); });
    error = result.get();
    if (!error.empty()) {
        m_thread.join();
        device::SetDebugSink({});
        return false;
    }
    return true;
}

void TerminalFrontEnd::NotifyConsoleEnded() {
    m_consoleEnded.store(true, std::memory_order_release);
}

int TerminalFrontEnd::Wait() {
    if (m_thread.joinable()) {
        m_thread.join();
    }
    return 0;
}

void TerminalFrontEnd::Run(std::promise<std::string> opened) {
    std::string error;
    if (!m_terminal.Open(error)) {
        opened.set_value(error.empty() ? "cannot open the terminal" : error);
        return;
    }
    const ScreenSize size = m_terminal.Size();
    desktop::SetScreenSize(size.cols * kCellWidthPixels, size.rows * kCellHeightPixels);
    opened.set_value({});
    Loop();
    m_terminal.Close();
}

desktop::SnapshotOptions TerminalFrontEnd::SnapshotLines() const {
    // No list shows more lines than the screen has rows.
    return desktop::SnapshotOptions{static_cast<std::size_t>(std::max(m_terminal.Size().rows, 1))};
}

void TerminalFrontEnd::Loop() {
    for (;;) {
        if (m_terminalGone) {
            std::this_thread::sleep_for(m_options.tick);
        } else {
            const Terminal::Input input =
                m_terminal.Read(m_dirty ? milliseconds(0) : m_options.tick);
            if (input.resized) {
                const ScreenSize size = m_terminal.Size();
                desktop::SetScreenSize(size.cols * kCellWidthPixels, size.rows * kCellHeightPixels);
                m_dirty = true;
            }
            if (input.gone) {
                m_terminalGone = true;
                BeginClosing();
            }
            for (const InputEvent& event : input.events) {
                Handle(event);
                m_dirty = true;
            }
        }
        if (m_consoleEnded.load(std::memory_order_acquire) && !m_closing) {
            BeginClosing();
        }
        // Hook: commands from the control socket run here, on the thread that owns the input.
        if (m_options.onTick && !m_closing) {
            m_options.onTick();
        }
        if (m_closing && StepClosing()) {
            return;
        }
        const StatusInfo status = CurrentStatus();
        if (desktop::Version() != m_drawnVersion || !SameStatus(status, m_drawnStatus) ||
            (m_ui.debugView && m_log.Version() != m_drawnLogVersion)) {
            m_dirty = true;
        }
        if (m_dirty && !m_terminalGone) {
            Redraw(status);
        }
    }
}

bool TerminalFrontEnd::HandleOverlay(const InputEvent& event) {
    if (m_overlay == Overlay::None) {
        return false;
    }
    const auto* key = std::get_if<KeyEvent>(&event);
    const auto* mouse = std::get_if<MouseEvent>(&event);
    if (mouse != nullptr && mouse->kind != MouseEvent::Kind::Press) {
        return true; // the wheel and a release leave the panel be
    }
    const Overlay shown = m_overlay;
    m_overlay = Overlay::None;
    if (key != nullptr && key->key == Key::Char && key->ch == 0x03) {
        Interrupt();
    } else if (shown == Overlay::QuitPrompt && key != nullptr && key->key == Key::Char &&
               (key->ch == U'y' || key->ch == U'Y')) {
        BeginClosing();
    }
    return true;
}

void TerminalFrontEnd::Handle(const InputEvent& event) {
    if (HandleOverlay(event)) {
        m_ui.selectedEdit = nullptr;
        return;
    }
    // Settled first, snapshot second: a snapshot taken after the input was handled shows it.
    if (m_echo && desktop::WaitInputSettled(milliseconds(0))) {
        m_echo.reset();
    }
    if (const auto* key = std::get_if<KeyEvent>(&event); key != nullptr && m_ui.debugView) {
        const int rows = DebugViewRows(m_terminal.Size().rows);
        const std::size_t total = m_log.Count();
        const EventLogView::Outcome outcome =
            m_logView.Key(*key, m_log, TopLine(total, rows, m_ui.debugBack));
        if (outcome.show) {
            m_ui.debugBack = BackShowing(*outcome.show, total, rows, m_ui.debugBack);
        }
        if (outcome.handled) {
            return;
        }
    }
    desktop::Snapshot snapshot = desktop::TakeSnapshot(SnapshotLines());
    if (m_echo) {
        for (desktop::WindowView& window : snapshot.windows) {
            for (desktop::ControlView& control : window.controls) {
                if (control.hwnd == m_echo->edit) {
                    control.text = m_echo->text;
                    control.caret = m_echo->caret;
                }
            }
        }
    }
    const ScreenLayout layout = LayOut(snapshot, m_terminal.Size());
    const InputContext context{snapshot, layout, m_ui};
    const std::vector<Action> actions = std::holds_alternative<KeyEvent>(event)
                                            ? MapKey(std::get<KeyEvent>(event), context)
                                            : MapMouse(std::get<MouseEvent>(event), context);
    // A selection lasts until the next input; only a Tab into an edit makes one. A button armed
    // by a press lasts until the next press or release; only a press on a button arms one.
    m_ui.selectedEdit = nullptr;
    if (const auto* mouse = std::get_if<MouseEvent>(&event);
        mouse != nullptr &&
        (mouse->kind == MouseEvent::Kind::Press || mouse->kind == MouseEvent::Kind::Release)) {
        m_ui.armed = nullptr;
    }
    Execute(actions, snapshot);
}

void TerminalFrontEnd::Execute(const std::vector<Action>& actions,
                               const desktop::Snapshot& snapshot) {
    bool delivered = false;
    std::optional<EditEcho> echo;
    for (const Action& action : actions) {
        if (const std::optional<desktop::InputResult> result = Deliver(action)) {
            delivered = delivered || *result == desktop::InputResult::Ok;
            FollowEdit(echo, action, snapshot);
        } else {
            ApplyOwn(action, snapshot);
        }
    }
    if (!delivered) {
        return;
    }
    // A busy console may take longer: the edit's new text is then remembered for the next key.
    if (desktop::WaitInputSettled(m_options.settle)) {
        m_echo.reset();
    } else if (echo) {
        m_echo = echo;
    }
}

// What a delivered action made of an edit's text and caret, as its owner will show them.
void TerminalFrontEnd::FollowEdit(std::optional<EditEcho>& echo, const Action& action,
                                  const desktop::Snapshot& snapshot) {
    if (action.kind == Action::Kind::Type) {
        echo = EditEcho{action.target, action.text, static_cast<int>(action.text.size())};
    } else if (action.kind == Action::Kind::Caret) {
        if (!echo || echo->edit != action.target) {
            echo = EditEcho{action.target, EditText(snapshot, action.target), 0};
        }
        echo->caret = action.value;
    }
}

// The actions that are the front end's own, not the desktop's.
void TerminalFrontEnd::ApplyOwn(const Action& action, const desktop::Snapshot& snapshot) {
    switch (action.kind) {
    case Action::Kind::Power:
        device::PowerTransition(device::CurrentPowerState() == device::PowerState::On
                                    ? POWER_STATE_SUSPEND
                                    : POWER_STATE_ON);
        break;
    case Action::Kind::DebugView:
        m_ui.debugView = !m_ui.debugView;
        m_ui.debugBack = 0;
        m_logView.Reset();
        break;
    case Action::Kind::DebugScroll:
        ScrollDebug(action.value);
        break;
    case Action::Kind::Quit:
        Quit(snapshot);
        break;
    case Action::Kind::Keys:
        m_overlay = Overlay::Keys;
        break;
    case Action::Kind::SelectAll:
        m_ui.selectedEdit = action.target;
        break;
    case Action::Kind::ShiftList:
        m_ui.listShift[action.target] = action.value;
        break;
    case Action::Kind::Arm:
        m_ui.armed = action.target;
        m_ui.armedCloseBox = action.value == 1;
        break;
    case Action::Kind::Interrupt:
        Interrupt();
        break;
    default:
        break;
    }
}

void TerminalFrontEnd::ScrollDebug(int lines) {
    long long back = static_cast<long long>(m_ui.debugBack) + lines;
    if (lines == kDebugOldest) {
        back = static_cast<long long>(m_log.Count());
    } else if (lines == kDebugNewest) {
        back = 0;
    }
    m_ui.debugBack = ClampDebugBack(back, m_log.Count(), DebugViewRows(m_terminal.Size().rows));
}

void TerminalFrontEnd::Quit(const desktop::Snapshot& snapshot) {
    if (m_closing) {
        return;
    }
    if (QuitNeedsConfirmation(snapshot)) {
        m_overlay = Overlay::QuitPrompt;
    } else {
        BeginClosing();
    }
}

void TerminalFrontEnd::Interrupt() {
    if (m_closing) {
        EndNow(SIGINT);
    }
    BeginClosing();
}

void TerminalFrontEnd::Redraw(const StatusInfo& status) {
    const ScreenSize size = m_terminal.Size();
    const desktop::Snapshot snapshot = desktop::TakeSnapshot(SnapshotLines());
    const ScreenLayout layout = LayOut(snapshot, size);
    DebugWindow debug;
    if (m_ui.debugView) {
        const int rows = DebugViewRows(size.rows);
        m_ui.debugBack =
            ClampDebugBack(static_cast<long long>(m_ui.debugBack), m_log.Count(), rows);
        m_drawnLogVersion = m_log.Version();
        debug = m_log.Window(rows, m_ui.debugBack);
        m_logView.Decorate(debug);
    }
    const desktop::WindowView* top =
        layout.active >= 0 ? &snapshot.windows[static_cast<std::size_t>(layout.active)] : nullptr;
    // The selection goes with the focus, whoever moved it.
    if (m_ui.selectedEdit != nullptr &&
        (top == nullptr || std::none_of(top->controls.begin(), top->controls.end(),
                                        [this](const desktop::ControlView& control) {
                                            return control.focused &&
                                                   control.hwnd == m_ui.selectedEdit;
                                        }))) {
        m_ui.selectedEdit = nullptr;
    }
    Frame frame = Render(RenderInput{snapshot, layout, debug, status, m_ui});
    if (m_overlay == Overlay::Keys) {
        DrawPanel(frame, "Keys", KeysPanelLines(top));
    } else if (m_overlay == Overlay::QuitPrompt) {
        DrawPanel(frame, "", {std::string(kQuitPrompt)});
    }
    m_ui.editScroll = std::move(frame.editScroll);
    m_ui.listShift = std::move(frame.listShift);
    m_terminal.Draw(frame);
    m_drawnVersion = snapshot.version;
    m_drawnStatus = status;
    m_dirty = false;
}

void TerminalFrontEnd::BeginClosing() {
    if (m_closing) {
        return;
    }
    m_closing = true;
    m_closeDeadline = Clock::now() + m_options.endTimeout;
    m_closeTarget = nullptr;
}

bool TerminalFrontEnd::StepClosing() {
    const desktop::Snapshot snapshot = desktop::TakeSnapshot(desktop::SnapshotOptions{0});
    const bool ended = m_consoleEnded.load(std::memory_order_acquire);
    if (ended && snapshot.windows.empty()) {
        return true;
    }
    const auto now = Clock::now();
    if (now >= m_closeDeadline) {
        if (ended) {
            return true; // what is left belongs to threads that outlive the console
        }
        m_terminal.Close();
        std::fputs("KOBALTDemo: the console did not end after its windows were closed\n", stderr);
        std::fflush(stderr);
        std::_Exit(1);
    }
    const desktop::WindowView* target = ActiveWindow(snapshot);
    if (target != nullptr &&
        (target->hwnd != m_closeTarget || now - m_closeAsked >= m_options.closeRetry)) {
        if (target->kind == desktop::WindowKind::MessageBox) {
            desktop::AnswerBox(target->hwnd, IDOK);
        } else {
            desktop::Close(target->hwnd);
        }
        m_closeTarget = target->hwnd;
        m_closeAsked = now;
    }
    return false;
}

void TerminalFrontEnd::EndNow(int signal) {
    m_terminal.Close();
    std::signal(signal, SIG_DFL);
    std::raise(signal);
    std::_Exit(128 + signal);
}

} // namespace kobalt::terminal
