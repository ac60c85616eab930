#include "sim/pim/PimDownload.h"

namespace kobalt::sim {

PimStep NextPimStep(PimDownload state, PimInput input) {
    const bool idle = state == PimDownload::Idle;
    switch (input) {
    case PimInput::StartContacts:
        if (idle) {
            return {PimDownload::PhoneSendingContacts, PimEffect::ScheduleContacts, kOk};
        }
        return {state, PimEffect::ReportBusy, kErrBusy};
    case PimInput::StartCalllog:
        if (state == PimDownload::PhoneSendingContacts) {
            return {state, PimEffect::ReportBusy, kErrBusy};
        }
        return {PimDownload::PhoneSendingCalllog, PimEffect::ScheduleCalllog, kOk};
    case PimInput::Stop:
        return {PimDownload::Idle, PimEffect::None, kOk};
    case PimInput::PhoneFinished:
        switch (state) {
        case PimDownload::Idle:
            return {state, PimEffect::None, kOk};
        case PimDownload::PhoneSendingContacts:
            return {PimDownload::Idle, PimEffect::ReportContacts, kOk};
        case PimDownload::PhoneSendingCalllog:
            return {PimDownload::Idle, PimEffect::ReportCalllog, kOk};
        }
        break;
    case PimInput::PhoneFails:
        if (idle) {
            return {state, PimEffect::None, kOk};
        }
        return {PimDownload::Idle, PimEffect::ReportFail, kOk};
    }
    return {state, PimEffect::None, kOk};
}

} // namespace kobalt::sim
