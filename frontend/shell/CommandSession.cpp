#include "frontend/shell/CommandSession.h"

#include "frontend/script/ScriptParser.h"

namespace kobalt::shell {

namespace {

script::RunnerOptions SessionOptions(std::string& output) {
    script::RunnerOptions options;
    options.scriptName = "shell";
    options.out = [&output](std::string_view text) { output += text; };
    options.err = [&output](std::string_view text) { output += text; };
    return options;
}

} // namespace

void AppendLines(const std::string& text, std::vector<std::string>& lines) {
    std::size_t from = 0;
    while (from < text.size()) {
        std::size_t end = text.find('\n', from);
        if (end == std::string::npos) {
            end = text.size();
        }
        lines.push_back(text.substr(from, end - from));
        from = end + 1;
    }
}

CommandSession::CommandSession(std::chrono::milliseconds longestSleep)
    : m_longestSleep(longestSleep), m_runner({}, SessionOptions(m_output)) {}

Answer CommandSession::Run(std::string_view line) {
    if (line.find('\n') != std::string_view::npos) {
        return Answer{false, "one command a line", {}};
    }
    script::ParsedScript parsed = script::ParseScript(line);
    if (!parsed.errors.empty()) {
        return Answer{false, parsed.errors.front().message, {}};
    }
    for (const script::Command& command : parsed.commands) {
        if (command.kind == script::CommandKind::Sleep && command.number > m_longestSleep.count()) {
            return Answer{
                false, "sleep: at most " + std::to_string(m_longestSleep.count()) + " ms here", {}};
        }
    }
    Answer answer;
    m_output.clear();
    for (const script::Command& command : parsed.commands) {
        const script::ScriptRunner::Outcome outcome = m_runner.RunCommand(command);
        if (outcome.status != script::RunStatus::Passed) {
            answer.ok = false;
            answer.error = outcome.status == script::RunStatus::ExpectationFailed
                               ? "expectation failed"
                               : "cannot carry out";
            AppendLines(m_output, answer.output);
            answer.output.insert(answer.output.end(), outcome.details.begin(),
                                 outcome.details.end());
            return answer;
        }
    }
    AppendLines(m_output, answer.output);
    m_output.clear();
    return answer;
}

} // namespace kobalt::shell
