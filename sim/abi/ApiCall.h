// One call of an entry point: the injected-failure check, the result and its trace line.
//
// An entry point builds one on entry with its arguments, then ends with Run, RunValue,
// NotImplemented or Finish*, which write "KOBALT_X(args) = result" when tracing is on and
// return the result.
#pragma once

#include "sim/abi/Backend.h"
#include "sim/abi/EntryPoints.h"
#include "sim/abi/Jitter.h"
#include "sim/abi/ResultCode.h"
#include "sim/abi/TraceFormat.h"

#include <string>

namespace kobalt::sim {

class ApiCall {
public:
    // Formats the arguments as they are on entry, only when tracing is on.
    template <class... Args>
    explicit ApiCall(Api api, const Args&... args) : m_api(api), m_backend(TheBackend()) {
        if (m_backend.GetTrace().Enabled()) {
            m_line = FormatCall(ApiName(api), args...);
        }
    }

    // Runs `body(Backend&)`, which returns a ResultCode, unless a failure is injected.
    template <class Body> int Run(Body body) {
        if (Injected()) {
            return Finish(kErrInjected);
        }
        SimJitter().Pause(JitterPoint::EntryPoint);
        const ResultCode code = body(m_backend);
        SimJitter().Pause(JitterPoint::EntryPoint);
        return Finish(code);
    }

    // Runs `body(Backend&)`, which returns the entry point's value (a port, a flag), unless a
    // failure is injected.
    template <class Body> int RunValue(Body body) {
        if (Injected()) {
            return Finish(kErrInjected);
        }
        SimJitter().Pause(JitterPoint::EntryPoint);
        const int value = body(m_backend);
        SimJitter().Pause(JitterPoint::EntryPoint);
        return FinishValue(value);
    }

    // The whole call of an entry point without behaviour yet: it fails and touches none of its
    // arguments.
    int NotImplemented() { return Finish(Injected() ? kErrInjected : kErrNotImplemented); }

    // Whether this call must fail by injection; consumes one pending injected failure.
    bool Injected() { return m_backend.GetFaults().ShouldFail(m_api); }

    // Ends the call with `code`, mapped to the entry point's kind of result: a failure of
    // KOBALT_IsConnected is false (0), every other result is the code itself.
    int Finish(ResultCode code);

    // Ends the call of an entry point whose result is a value (a port, a status) with `value`.
    int FinishValue(int value);

private:
    Api m_api;
    Backend& m_backend;
    std::string m_line; // "KOBALT_X(args)" when tracing, else empty
};

} // namespace kobalt::sim
