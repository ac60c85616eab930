// The PIM download state machine, without side effects: one download at a time, of the
// phonebook or of one call log.
//
//   Idle --StartContacts--> PhoneSendingContacts --PhoneFinished--> Idle (event 1)
//   Idle --StartCalllog--> PhoneSendingCalllog --PhoneFinished--> Idle (event 5)
//   PhoneSendingCalllog --StartCalllog--> PhoneSendingCalllog (the new request replaces the
//                                          running one: one event 5, for the new log)
//   PhoneSending* --StartContacts, or StartCalllog during contacts--> unchanged (event 12)
//   PhoneSending* --PhoneFails (the hands-free link went down)--> Idle (event 2)
//   any --Stop--> Idle (no event)
//
// Requests are validated before they reach the machine (docs/phone.md): a bad call-log type
// (event 10), no hands-free connection (event 11) and an injected failure leave it unchanged.
#pragma once

#include "sim/abi/ResultCode.h"

namespace kobalt::sim {

enum class PimDownload {
    Idle,                 // the console may start a download
    PhoneSendingContacts, // the phone sends its phonebook
    PhoneSendingCalllog,  // the phone sends one call log
};

enum class PimInput {
    StartContacts, // KOBALT_PIMStartUpdateContacts
    StartCalllog,  // KOBALT_PIMStartUpdateCalllogEx
    Stop,          // KOBALT_PIMStopUpdate
    PhoneFinished, // the phone has sent everything
    PhoneFails,    // the link broke before the phone finished
};

enum class PimEffect {
    None,
    ScheduleContacts, // the phone starts sending the phonebook
    ScheduleCalllog,  // the phone starts sending the call log; a running one is forgotten
    ReportContacts,   // the downloaded phonebook replaces the held one; event 1
    ReportCalllog,    // the downloaded log replaces the held one; event 5
    ReportBusy,       // event 12: another download runs
    ReportFail,       // event 2
};

struct PimStep {
    PimDownload next;
    PimEffect effect;
    ResultCode result; // the entry point's result
};

PimStep NextPimStep(PimDownload state, PimInput input);

} // namespace kobalt::sim
