#include "sim/Library.h"

#include "common/TraceSink.h"
#include "sim/abi/Jitter.h"
#include "sim/abi/TimeScale.h"
#include "sim/world/WorldFile.h"

#include <cstdlib>
#include <exception>

namespace kobalt::sim {
namespace {

double TimeScaleFromEnvironment(DebugLog& log) {
    std::string problem;
    const double scale = ParseTimeScale(std::getenv("KOBALT_TIME_SCALE"), problem);
    if (!problem.empty()) {
        log.Write(problem);
    }
    return scale;
}

// The world of KOBALT_SIM_WORLD, or the built-in one. A file that cannot be read or is
// malformed gives an empty world whose source makes KOBALT_Init fail.
void LoadWorld(Stack& stack, Pim& pim, DebugLog& log) {
    const char* path = std::getenv("KOBALT_SIM_WORLD");
    if (path == nullptr || *path == '\0') {
        WorldParse parse = ParseWorld(DefaultWorldText());
        pim.SetWorld(std::move(parse.pim));
        stack.SetWorld(std::move(parse.world), WorldSource{});
        return;
    }
    WorldSource source{WorldSource::Kind::File, path, {}};
    WorldFileLoad load;
    try {
        load = LoadWorldFile(path, DiskFiles{});
    } catch (const std::exception& error) {
        // Only memory can run out here; the library starts without the world rather than abort.
        load = WorldFileLoad{{}, std::string(path) + ": " + error.what()};
    }
    for (const std::string& note : load.parse.notes) {
        log.Write("world " + std::string(path) + ":" + note);
    }
    if (!load.problem.empty()) {
        source.kind = WorldSource::Kind::Malformed;
        source.problem = load.problem;
        log.Write("world " + source.problem + "; KOBALT_Init will fail");
        load.parse = {};
    }
    pim.SetWorld(std::move(load.parse.pim));
    stack.SetWorld(std::move(load.parse.world), source);
}

} // namespace

Library& Library::Instance() {
    static Library* const instance = new Library();
    return *instance;
}

Library::Library()
    : m_trace(std::getenv("KOBALT_SIM_TRACE"), std::getenv(common::kTraceSinkVariable)),
      m_timeScale(TimeScaleFromEnvironment(m_log)), m_dispatcher(m_trace), m_scheduler(m_timeScale),
      m_phone(m_dispatcher, m_scheduler, m_callHistory), m_stack(m_dispatcher, m_scheduler),
      m_pim(m_stack, m_scheduler, m_callHistory),
      m_control(m_stack, m_phone, m_pim, m_faults, m_log, m_timeScale) {
    m_stack.SetHfObserver(&m_phone);
    if (!m_trace.Problem().empty()) {
        m_log.Write(m_trace.Problem() + "; tracing is off");
    }
    if (!m_trace.SinkProblem().empty()) {
        m_log.Write(m_trace.SinkProblem() + "; the live trace is off");
    }
    m_log.SetLive([this](std::string_view line) { return m_trace.SendLive(line); });
    if (const char* fail = std::getenv("KOBALT_SIM_FAIL")) {
        for (const std::string& name : m_faults.FailAlwaysFromList(fail)) {
            m_log.Write("KOBALT_SIM_FAIL: no entry point named " + name);
        }
    }
    std::string jitterProblem;
    if (const auto jitter = ParseJitter(std::getenv("KOBALT_SIM_JITTER"), jitterProblem)) {
        SimJitter().Configure(*jitter);
    }
    if (!jitterProblem.empty()) {
        m_log.Write(jitterProblem);
    }
    LoadWorld(m_stack, m_pim, m_log);
    m_control.AttachProfiles(m_media, m_dialUp, m_adapter);
    m_control.AttachDispatcher(m_dispatcher);
    m_server = std::make_unique<ControlServer>(m_control, m_log);
}

} // namespace kobalt::sim
