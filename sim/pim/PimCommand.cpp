#include "sim/pim/PimCommand.h"

#include "sim/control/Control.h"
#include "sim/pim/Pim.h"
#include "sim/world/Words.h"

#include <charconv>

namespace kobalt::sim {
namespace {

using Words = std::vector<std::string>;

bool ParseCount(const std::string& text, std::size_t& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return !text.empty() && error == std::errc{} && end == text.data() + text.size();
}

Status ParseAddContact(const Words& args, PimCommand& command) {
    if (args.size() != 4) {
        return Status::Error("expected four texts");
    }
    command.contact = {args[0], args[1], args[2], args[3]};
    return {};
}

Status ParseRemoveContacts(const Words& args, PimCommand& command) {
    if (args.size() != 1 || (args[0] != "all" && args[0] != "pushed")) {
        return Status::Error("expected all or pushed");
    }
    command.removes = args[0] == "pushed" ? ContactSet::Pushed : ContactSet::All;
    return {};
}

Status ParseGenerateContacts(const Words& args, PimCommand& command) {
    if (args.size() != 1 || !ParseCount(args[0], command.count)) {
        return Status::Error("expected a count");
    }
    return {};
}

Status ParsePushContact(const Words& args, PimCommand& command) {
    if (args.empty() || args.size() > 1 + kMaxPushedNumbers) {
        return Status::Error("expected a name and up to " + std::to_string(kMaxPushedNumbers) +
                             " numbers");
    }
    command.name = args[0];
    command.numbers.assign(args.begin() + 1, args.end());
    return {};
}

Status ParsePimFail(const Words& args, PimCommand& command) {
    std::size_t code = 0;
    if (args.size() != 1 || !ParseCount(args[0], code) || code > 100) {
        return Status::Error("expected an event code");
    }
    command.code = static_cast<int>(code);
    return {};
}

Status ParseAddCalllog(const Words& args, PimCommand& command) {
    const std::optional<CalllogType> type = args.empty() ? std::nullopt : ParseCalllogType(args[0]);
    if (args.size() != 3 || !type) {
        return Status::Error("expected incoming, outgoing or missed, a name and a number");
    }
    command.type = *type;
    command.name = args[1];
    command.numbers = {args[2]};
    return {};
}

// What a command did, for the reply's first line, when the PIM side carried it out.
std::string PimDone(const PimCommand& command) {
    switch (command.kind) {
    case PimCommandKind::AddContact:
        return "added contact " + QuoteText(command.contact.name);
    case PimCommandKind::RemoveContacts:
        return command.removes == ContactSet::Pushed ? "forgot the pushed contacts"
                                                     : "removed every contact";
    case PimCommandKind::GenerateContacts:
        return "added " + std::to_string(command.count) + " generated contacts";
    case PimCommandKind::PushContact:
        return "pushed " + QuoteText(command.name) + " with " +
               std::to_string(command.numbers.size()) +
               (command.numbers.size() == 1 ? " number" : " numbers");
    case PimCommandKind::Fail:
        return "the next download fails with event " + std::to_string(command.code);
    case PimCommandKind::AddCalllog:
        return "added to the " + std::string(CalllogTypeName(command.type)) +
               " log: " + QuoteText(command.name) + " " + QuoteIfNeeded(command.numbers.front());
    case PimCommandKind::ClearCalllogs:
        break;
    }
    return "emptied the three logs (calls finished in the phone stay)";
}

Status CarryOut(Pim& pim, const PimCommand& command, std::vector<std::string>& notes) {
    switch (command.kind) {
    case PimCommandKind::AddContact:
        return pim.AddContact(command.contact, notes);
    case PimCommandKind::RemoveContacts:
        return command.removes == ContactSet::Pushed ? pim.RemovePushedContacts()
                                                     : pim.RemoveAllContacts();
    case PimCommandKind::GenerateContacts:
        return pim.GenerateContacts(command.count);
    case PimCommandKind::PushContact:
        return pim.PushContact(command.name, command.numbers, notes);
    case PimCommandKind::Fail:
        return pim.FailNext(command.code);
    case PimCommandKind::AddCalllog:
        return pim.AddCalllog(command.type, command.name, command.numbers.front());
    case PimCommandKind::ClearCalllogs:
        break;
    }
    return pim.ClearCalllogs();
}

} // namespace

Status ParsePimArguments(PimCommandKind kind, const std::vector<std::string>& args,
                         PimCommand& command) {
    command.kind = kind;
    switch (kind) {
    case PimCommandKind::AddContact:
        return ParseAddContact(args, command);
    case PimCommandKind::RemoveContacts:
        return ParseRemoveContacts(args, command);
    case PimCommandKind::GenerateContacts:
        return ParseGenerateContacts(args, command);
    case PimCommandKind::PushContact:
        return ParsePushContact(args, command);
    case PimCommandKind::Fail:
        return ParsePimFail(args, command);
    case PimCommandKind::AddCalllog:
        return ParseAddCalllog(args, command);
    case PimCommandKind::ClearCalllogs:
        return args.empty() ? Status() : Status::Error("expected no arguments");
    }
    return Status::Error("unknown command");
}

ControlReply RunPimCommand(Pim& pim, const PimCommand& command) {
    std::vector<std::string> notes;
    const Status status = CarryOut(pim, command, notes);
    if (!status.Ok()) {
        return ControlReply{status.Message(), {}};
    }
    ControlReply reply{{}, {PimDone(command)}};
    for (const std::string& note : notes) {
        reply.lines.push_back("note: " + note);
    }
    return reply;
}

} // namespace kobalt::sim
