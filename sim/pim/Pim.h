// The phone's PIM service as the console reaches it: downloads of the phonebook and of the call
// logs, the records held from the last downloads, and contacts the phone pushes (object push).
// The control interface edits the phone's data and injects failures.
//
// State machine: PimDownload.h. Each entry point validates, records the request and runs one
// step; the phone's answer is a step on the StepTimer after a delay that grows with the data,
// and what the console hears is a PIM event posted through the stack (only while it runs, to
// the callback registered when the event is made).
//
// A download is tied to the stack's run (Stack::Session): KOBALT_UnInit ends it without an
// event. The phone sends what it held when the download started; the records held for the
// console are replaced only when a download finishes, and stay across UnInit/Init.
//
// Thread-safe. Lock order: Pim, then Stack; the stack never calls in here.
#pragma once

#include "sim/Status.h"
#include "sim/abi/ResultCode.h"
#include "sim/phone/CallHistory.h"
#include "sim/pim/Calllogs.h"
#include "sim/pim/Contacts.h"
#include "sim/pim/PimDownload.h"
#include "sim/pim/PimWorld.h"
#include "sim/radio/Event.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

namespace kobalt::sim {

class Stack;

// Delays of the phone's answers, before time scaling.
inline constexpr std::chrono::milliseconds kContactsBaseDelay{200};
inline constexpr std::chrono::milliseconds kContactsPerRecordDelay{2};
inline constexpr std::chrono::milliseconds kCalllogBaseDelay{150};
inline constexpr std::chrono::milliseconds kCalllogPerRecordDelay{2};

// The most contacts one generate-contacts adds (the phonebook's limit: kMaxPhonebook).
inline constexpr std::size_t kMaxGenerated = 200000;
// Pushed contacts the phone holds at once; `remove-contact pushed` makes room again.
inline constexpr std::size_t kMaxPushed = 1000;

class Pim {
public:
    Pim(Stack& stack, StepTimer& timer, const CallHistory& history);

    // Replaces the phone's data; meant for start-up.
    void SetWorld(PimWorld world);

    // Entry points. All need a running stack (kErrNotInitialised, no event).

    // `what` 0 (the phone's memory) starts a phonebook download: event 1 when it is done.
    // Otherwise an event at once and a failure: 10 and kErrBadArgument for another `what`, 11
    // and kErrNotConnected without a hands-free link, 12 and kErrBusy while a download runs,
    // the injected code and kErrInjected.
    ResultCode StartUpdateContacts(int what);
    // Type 0, 1 or 2 starts the download of that call log: event 5 when it is done. A running
    // call-log download is replaced. Failures as for contacts (10 for another type).
    ResultCode StartUpdateCalllog(int type);
    // Ends the running download, if any, without an event. Always kOk.
    ResultCode StopUpdate();
    // The two-call protocol: with null `records`, *count = records held; else fills at most
    // *count records (back to back, byte copies) and sets *count to the number filled.
    // kErrBadArgument for a null count.
    ResultCode GetContacts(void* records, uint32_t* count) const;
    ResultCode GetOppContacts(void* records, uint32_t* count) const;
    ResultCode GetCalllogs(void* records, uint32_t* count) const;

    // The phone's side, for the control interface. Each says why nothing changed, if nothing
    // did; `notes` gets the texts that were cut.

    Status AddContact(const ContactFields& fields, std::vector<std::string>& notes);
    Status RemoveAllContacts();
    Status RemovePushedContacts();
    Status GenerateContacts(std::size_t count);
    // Holds a pushed contact and reports event 6 (while the stack runs).
    Status PushContact(const std::string& name, const std::vector<std::string>& numbers,
                       std::vector<std::string>& notes);
    // The next download request reports `code` (2, 10, 11 or 12) at once instead of starting.
    Status FailNext(int code);
    // Adds the newest entry of a log.
    Status AddCalllog(CalllogType type, const std::string& name, const std::string& number);
    // Empties the three logs of the world (calls finished in the phone stay).
    Status ClearCalllogs();

    // The state report lines (docs/phone.md).
    std::vector<std::string> StateLines() const;

    // The first number (cell, home, work) of the phonebook's contact at `location`, counted
    // from 1 in phonebook order, as UTF-8: what the audio gateway dials for ATD>n. None for a
    // location past the end or a contact without numbers.
    std::optional<std::string> MemoryNumber(std::size_t location) const;

private:
    using Contacts = std::vector<ContactRecord>;

    // The members below expect m_mutex to be held.

    // The download state; a download of an earlier run of the stack has ended.
    PimDownload DownloadLocked(uint64_t session);
    // Whether a download request names something the phone has.
    enum class Request { Valid, Invalid };
    // Validation shared by both downloads: kOk when the request may reach the state machine.
    ResultCode CheckStartLocked(uint64_t session, Request request);
    // Runs one step of the state machine and carries out its effect.
    ResultCode ApplyLocked(uint64_t session, PimInput input, CalllogType type);
    void PostLocked(uint64_t session, int32_t code);
    // The phonebook for an edit: copied first when a download holds it.
    Contacts& EditPhonebookLocked();
    std::size_t CalllogSizeLocked(CalllogType type) const;

    // Scheduled step: the phone has sent everything.
    void PhoneAnswers(uint64_t attempt);

    Stack& m_stack;
    StepTimer& m_timer;
    const CallHistory& m_history;

    mutable std::mutex m_mutex;                 // guards every field below
    std::shared_ptr<Contacts> m_phonebook;      // the phone's; shared with downloads
    Calllogs m_calllogs;                        // the world's entries
    std::vector<OppContactRecord> m_pushed;     // served by GetOppContacts
    std::vector<std::string> m_pushedLines;     // the same, for the state report
    PimDownload m_download = PimDownload::Idle; // see PimDownload.h
    uint64_t m_session = 0;                     // the stack's run of the download
    uint64_t m_attempt = 0;                     // tags the download's scheduled answer
    CalllogType m_sendingType = CalllogType::Incoming;
    std::shared_ptr<const Contacts> m_sendingContacts;              // what the phone sends
    std::shared_ptr<const std::vector<CalllogRecord>> m_sendingLog; // what the phone sends
    std::shared_ptr<const Contacts> m_heldContacts;                 // last downloaded
    std::shared_ptr<const std::vector<CalllogRecord>> m_heldLog;    // last downloaded
    std::optional<int> m_injected; // pim-fail: the next request's event
};

} // namespace kobalt::sim
