// A simulated phone on its own, outside any console, for `kobalt-phone serve-ag`: one device of
// a world acting as a phone whose audio gateway (AgEngine.h) a hands-free unit reaches over a
// byte stream, and the same control commands the console's library serves (Control.h), which
// act on its calls, network and phonebook.
//
// The stack runs from the start and the phone's hands-free session is always open: the phone
// exists whether or not an HF is linked, so its calls go on when a link closes and a new link
// finds them (AT+CIND?, AT+CLCC). A link also shows in the stack as the device's HF connection.
//
// Threads: the control commands and the phone's timers change the calls on their threads; the
// changes queue here and reach the engine on the thread that calls Drain. Receive, Drain and
// LinkClosed belong to that one thread.
#pragma once

#include "sim/Status.h"
#include "sim/abi/DebugLog.h"
#include "sim/abi/Faults.h"
#include "sim/control/Control.h"
#include "sim/phone/AgEngine.h"
#include "sim/phone/CallHistory.h"
#include "sim/phone/Phone.h"
#include "sim/pim/Pim.h"
#include "sim/profiles/DialUp.h"
#include "sim/profiles/MediaPlayers.h"
#include "sim/profiles/ProviderDatabase.h"
#include "sim/radio/Adapter.h"
#include "sim/radio/Stack.h"

#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kobalt::sim {

struct ServedPhoneOptions {
    std::string worldFile;                // empty: the built-in world
    std::optional<std::string> worldText; // instead of a file: the world itself
    std::optional<Address> device;        // none: the world's first device offering hf
    double timeScale = 1;                 // for the state report; the timer applies it
    AgSettings gateway;
};

// The phone's events have no console to go to: the audio gateway hears the calls through the
// phone's call observer instead.
class NullEventSink : public EventSink {
public:
    void Post(const Event&) override {}
    void Discard() override {}
};

class ServedPhone : private HfSessionObserver, private AgPhone, private VolumeKeys {
public:
    // Steps of the phone's far ends run on `timer`, which the phone stops first when it ends.
    explicit ServedPhone(std::unique_ptr<StepTimer> timer);
    ~ServedPhone() override;
    ServedPhone(const ServedPhone&) = delete;
    ServedPhone& operator=(const ServedPhone&) = delete;

    // Loads the world and starts the stack. Fails (and the phone must not be used) when the
    // world cannot be read or is malformed, or has no such device, or none offering hf.
    Status Start(const ServedPhoneOptions& options);

    const Address& DeviceAddress() const { return m_device; }
    Control& GetControl() { return *m_control; }
    DebugLog& Log() { return m_log; }

    // Called, from whichever thread changed the calls, after a change was queued; it must not
    // call back into the phone. Set before Start.
    void SetWake(std::function<void()> wake) { m_wake = std::move(wake); }

    // An HF linked: a new service-level connection starts.
    void LinkOpened();
    // Bytes from the HF; the exchange, and what the changes it made sent, go to `out`.
    void Receive(std::string_view bytes, std::vector<AgLine>& out);
    // The queued changes of the calls, as unsolicited results in `out`.
    void Drain(std::vector<AgLine>& out);
    // The HF went away; the calls stay.
    void LinkClosed();
    // Whether the phone ended the link since the last call (`kobalt-phone disconnect ADDR hf`,
    // the device taken out of range): the caller closes it, as a phone drops its RFCOMM link.
    bool TakeLinkDrop();

private:
    void SessionChanged(const HfSession& session) override;

    ResultCode Dial(std::string_view number) override;
    ResultCode Redial() override;
    ResultCode Answer() override;
    ResultCode HangUp() override;
    ResultCode Chld(HoldAction action, int index) override;
    ResultCode Dtmf(char code) override;
    ResultCode VoiceRecognition(bool on) override;
    std::optional<std::string> MemoryNumber(int location) const override;

    Status SetVolume(bool speaker, int gain) override;

    // A change of the calls, or of a volume.
    struct Change {
        std::vector<HfSignal> signals;
        std::vector<Call> calls;
        std::optional<std::pair<bool, int>> volume; // speaker (else microphone), gain
    };
    void Queue(Change change);

    NullEventSink m_events;
    DebugLog m_log;
    Faults m_faults;
    CallHistory m_history;
    Phone m_phone;
    Stack m_stack;
    Pim m_pim;
    Adapter m_adapter;
    MediaPlayers m_media{m_stack};
    DialUp m_dialUp{m_stack, ProviderDatabasePath(),
                    [this](std::string_view line) { m_log.Write(line); }};
    std::optional<Control> m_control;
    std::optional<AgEngine> m_engine;
    Address m_device{};
    std::function<void()> m_wake;

    std::mutex m_mutex; // guards m_changes, m_linked and m_dropLink
    std::deque<Change> m_changes;
    bool m_linked = false;   // an HF link is open, as the stack shows it
    bool m_dropLink = false; // the stack ended that link: the socket is to close

    std::unique_ptr<StepTimer> m_timer; // its steps reach the members above
};

} // namespace kobalt::sim
