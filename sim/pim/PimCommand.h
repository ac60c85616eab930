// The control commands that act as the phone's PIM side (docs/phone.md):
//
//   add-contact "NAME" "HOME" "WORK" "CELL"
//   remove-contact all|pushed
//   generate-contacts N
//   push-contact "NAME" [NUMBER...]            up to six numbers
//   pim-fail 2|10|11|12
//   add-calllog incoming|outgoing|missed "NAME" NUMBER
//   clear-calllogs
#pragma once

#include "sim/Status.h"
#include "sim/pim/Calllogs.h"
#include "sim/pim/Contacts.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kobalt::sim {

class Pim;
struct ControlReply;

enum class PimCommandKind {
    AddContact,
    RemoveContacts,
    GenerateContacts,
    PushContact,
    Fail,
    AddCalllog,
    ClearCalllogs,
};

// Which contacts `remove-contact` removes.
enum class ContactSet { All, Pushed };

// The arguments of one PIM command; only those of its kind are meaningful.
struct PimCommand {
    PimCommandKind kind = PimCommandKind::AddContact;
    ContactFields contact;                // add-contact
    std::string name;                     // push-contact, add-calllog
    std::vector<std::string> numbers;     // push-contact; add-calllog's one number
    std::size_t count = 0;                // generate-contacts
    ContactSet removes = ContactSet::All; // remove-contact
    int code = 0;                         // pim-fail
    CalllogType type = CalllogType::Incoming;
};

// Reads the arguments of a command of `kind` into `command`; why they are wrong, if they are.
// The names of the commands and their usage are in the control command table.
Status ParsePimArguments(PimCommandKind kind, const std::vector<std::string>& args,
                         PimCommand& command);

// Carries out a parsed command. Cut texts are reported as `note: ...` lines of an ok reply.
ControlReply RunPimCommand(Pim& pim, const PimCommand& command);

} // namespace kobalt::sim
