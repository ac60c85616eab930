// Results of the library's entry points.
//
// Callers only tell 0 from anything else; the distinct negative codes make a trace readable.
// Two entry points map failures to their own kind of result (see ApiCall::Finish):
// KOBALT_IsConnected reports false (0), whose low 8 bits the console reads as the answer, and
// KOBALT_HFAP_GetAudioStatus keeps the negative code, which is neither of its values 0 and 1.
#pragma once

namespace kobalt::sim {

enum ResultCode : int {
    kOk = 0,
    kErrNotImplemented = -1, // the entry point has no behaviour in this library yet
    kErrInjected = -2,       // a failure injected by KOBALT_SIM_FAIL or the control interface
    kErrNotInitialised = -3, // the call needs KOBALT_Init first
};

} // namespace kobalt::sim
