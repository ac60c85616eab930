#include "sim/pim/PimCommand.h"

#include "sim/control/Control.h"
#include "sim/pim/Pim.h"
#include "sim/world/Words.h"

#include <charconv>

namespace kobalt::sim {
namespace {

bool ParseNumber(const std::string& text, std::size_t& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc{} && end == text.data() + text.size();
}

} // namespace

std::string ParsePimArguments(PimCommandKind kind, const std::vector<std::string>& args,
                              PimCommand& command) {
    command.kind = kind;
    switch (kind) {
    case PimCommandKind::AddContact:
        if (args.size() != 4) {
            return "expected four texts";
        }
        command.contact = {args[0], args[1], args[2], args[3]};
        return {};
    case PimCommandKind::RemoveContacts:
        if (args.size() != 1 || (args[0] != "all" && args[0] != "pushed")) {
            return "expected all or pushed";
        }
        command.pushed = args[0] == "pushed";
        return {};
    case PimCommandKind::GenerateContacts:
        if (args.size() != 1 || !ParseNumber(args[0], command.count)) {
            return "expected a count";
        }
        return {};
    case PimCommandKind::PushContact:
        if (args.empty() || args.size() > 1 + kMaxPushedNumbers) {
            return "expected a name and up to " + std::to_string(kMaxPushedNumbers) + " numbers";
        }
        command.name = args[0];
        command.numbers.assign(args.begin() + 1, args.end());
        return {};
    case PimCommandKind::Fail: {
        std::size_t code = 0;
        if (args.size() != 1 || !ParseNumber(args[0], code) || code > 100) {
            return "expected an event code";
        }
        command.code = static_cast<int>(code);
        return {};
    }
    case PimCommandKind::AddCalllog: {
        const std::optional<CalllogType> type =
            args.empty() ? std::nullopt : ParseCalllogType(args[0]);
        if (args.size() != 3 || !type) {
            return "expected incoming, outgoing or missed, a name and a number";
        }
        command.type = *type;
        command.name = args[1];
        command.numbers = {args[2]};
        return {};
    }
    case PimCommandKind::ClearCalllogs:
        return args.empty() ? "" : "expected no arguments";
    }
    return "unknown command";
}

ControlReply RunPimCommand(Pim& pim, const PimCommand& command) {
    std::vector<std::string> notes;
    std::string error;
    std::string done;
    switch (command.kind) {
    case PimCommandKind::AddContact:
        error = pim.AddContact(command.contact, notes);
        done = "added contact " + QuoteText(command.contact.name);
        break;
    case PimCommandKind::RemoveContacts:
        error = command.pushed ? pim.RemovePushedContacts() : pim.RemoveAllContacts();
        done = command.pushed ? "forgot the pushed contacts" : "removed every contact";
        break;
    case PimCommandKind::GenerateContacts:
        error = pim.GenerateContacts(command.count);
        done = "added " + std::to_string(command.count) + " generated contacts";
        break;
    case PimCommandKind::PushContact:
        error = pim.PushContact(command.name, command.numbers, notes);
        done = "pushed " + QuoteText(command.name) + " with " +
               std::to_string(command.numbers.size()) +
               (command.numbers.size() == 1 ? " number" : " numbers");
        break;
    case PimCommandKind::Fail:
        error = pim.FailNext(command.code);
        done = "the next download fails with event " + std::to_string(command.code);
        break;
    case PimCommandKind::AddCalllog:
        error = pim.AddCalllog(command.type, command.name, command.numbers.front());
        done = "added to the " + std::string(CalllogTypeName(command.type)) +
               " log: " + QuoteText(command.name) + " " + QuoteIfNeeded(command.numbers.front());
        break;
    case PimCommandKind::ClearCalllogs:
        error = pim.ClearCalllogs();
        done = "emptied the three logs (calls finished in the phone stay)";
        break;
    }
    ControlReply reply{error, {}};
    if (error.empty()) {
        reply.lines.push_back(std::move(done));
        for (const std::string& note : notes) {
            reply.lines.push_back("note: " + note);
        }
    }
    return reply;
}

} // namespace kobalt::sim
