#include "sim/pim/PimWorld.h"

#include "sim/pim/VCard.h"

namespace kobalt::sim {
namespace {

// A phonebook as phones hold them: full entries, entries with one number, a company without a
// person's name, a contact without a name (the console skips it), one without numbers, a name
// of exactly 31 characters, names in other scripts, numbers written in several styles.
constexpr std::string_view kDefaultPim = R"pim(# The phone's phonebook and call logs.
contact "Anna Schmidt" "+49 30 1234567" "+49 30 7654321" "+49 151 23456789"
contact "Ben Carter" "" "" "+44 7700 900123"
contact "Chloé Dubois" "+33 1 42 68 53 00" "" "+33 6 12 34 56 78"
contact "Daniel O'Brien" "+353 1 555 0142" "+353 1 555 0199" "+353 87 555 0101"
contact "Emma Johansson" "" "+46 8 555 123 45" "+46 70 555 12 34"
contact "Fatima Al-Sayed" "+971 4 555 0123" "" ""
contact "George Miller" "(555) 010-4477" "(555) 010-9000" "(555) 010-1234"
contact "Hiroshi Tanaka" "" "" "+81 90-5555-0123"
contact "Isabella Rossi" "+39 06 555 0147" "" "+39 347 555 0198"
contact "Jürgen Müller" "" "+49 89 555 0100" "+49 171 5550123"
contact "Katarzyna Wójcik" "" "" "+48 601 555 012"
contact "Liam Nguyen" "+1 415 555 0134" "+1 415 555 0188" "+1 415 555 0102"
contact "María José Fernández-García" "" "" "+34 612 555 014"
contact "Noah Williams" "" "" ""
contact "Olivia Brown" "+61 2 5550 1234" "" "+61 412 555 012"
contact "Pizza Express" "" "+44 20 7946 0018" ""
contact "" "" "" "+44 7700 900456"
contact "Quentin Lefèvre" "" "" "+33 7 55 50 12 34"
contact "Rajesh Kumar" "+91 22 5550 1234" "" "+91 98200 55501"
contact "Sofia Papadopoulou" "" "" "+30 69 5550 1234"
contact "Thomas Anderson" "+1 312 555 0199" "+1 312 555 0100" "+1 312 555 0156"
contact "Ursula von der Heydt-Lindström" "" "" "+49 160 5550199"
contact "Voicemail" "" "" "*86"
contact "王小明" "" "" "+86 138 0013 8000"
contact "Ирина Петрова" "+7 495 555-01-23" "" "+7 916 555-01-23"
contact "김민준" "" "" "+82 10-5555-0123"
contact "Yasmin Haddad" "" "+961 1 555 012" "+961 3 555 012"
contact "Zoë Kowalski" "" "" "+1 646 555 0177"
contact "Dr. Alexandra Montgomery-Smythe" "" "+44 20 7946 0321" "+44 7700 900789"
contact "Mum" "+44 1632 960123" "" "+44 7700 900001"
contact "Pharmacy (24h)" "" "+44 20 7946 0555" ""
contact "Roadside Assistance" "" "0800 555 0100" ""
calllog incoming "" "+44 7700 900001"
calllog incoming "" "+49 151 23456789"
calllog incoming "" "+44 20 7946 0999"
calllog incoming "" "+81 90-5555-0123"
calllog outgoing "" "+44 7700 900123"
calllog outgoing "" "+44 20 7946 0018"
calllog outgoing "" "*86"
calllog outgoing "" "+1 415 555 0102"
calllog outgoing "" "+44 7700 900001"
calllog missed "" "+44 20 7946 0321"
calllog missed "Withheld" ""
calllog missed "" "+44 7700 900999"
)pim";

std::string Joined(const std::string& directory, const std::string& path) {
    if (directory.empty() || path.starts_with('/')) {
        return path;
    }
    return directory + (directory.ends_with('/') ? "" : "/") + path;
}

std::string PhonebookFull() {
    return "the phonebook holds at most " + std::to_string(kMaxPhonebook) + " contacts";
}

Status AddContact(PimWorld& world, const ContactFields& fields, std::vector<std::string>& notes) {
    if (world.contacts.size() >= kMaxPhonebook) {
        return Status::Error(PhonebookFull());
    }
    const Result<ContactRecord> record = MakeContactRecord(fields, notes);
    if (!record.Ok()) {
        return record.Error();
    }
    world.contacts.push_back(*record);
    return {};
}

Status ReadVCardFile(const std::string& path, const FileSource& files, PimWorld& world,
                     std::vector<std::string>& notes) {
    const FileRead file = files.Read(path, kMaxWorldFileBytes);
    if (!file.Ok()) {
        return Status::Error(path + ": " + file.problem);
    }
    if (world.contacts.size() >= kMaxPhonebook) {
        return Status::Error(path + ": " + PhonebookFull());
    }
    const VCardParse parse = ParseVCards(file.bytes, kMaxPhonebook - world.contacts.size());
    if (parse.line != 0) {
        return Status::Error(path + ":" + std::to_string(parse.line) + ": " + parse.problem);
    }
    for (const ContactFields& fields : parse.contacts) {
        std::vector<std::string> cuts;
        if (Status added = AddContact(world, fields, cuts); !added.Ok()) {
            return added;
        }
        for (const std::string& cut : cuts) {
            notes.push_back(path + ": " + cut);
        }
    }
    return {};
}

Result<PimRecordRead> Outcome(const Status& status) {
    if (!status.Ok()) {
        return status;
    }
    return PimRecordRead::Read;
}

} // namespace

Result<PimRecordRead> ReadPimRecord(std::string_view keyword,
                                    const std::vector<std::string>& fields,
                                    const std::string& directory, const FileSource& files,
                                    PimWorld& world, std::vector<std::string>& notes) {
    if (keyword == "contact") {
        if (fields.size() != 4) {
            return Status::Error("expected \"NAME\" \"HOME\" \"WORK\" \"CELL\"");
        }
        return Outcome(AddContact(world, {fields[0], fields[1], fields[2], fields[3]}, notes));
    }
    if (keyword == "vcard") {
        if (fields.size() != 1) {
            return Status::Error("expected FILE");
        }
        return Outcome(ReadVCardFile(Joined(directory, fields[0]), files, world, notes));
    }
    if (keyword == "calllog") {
        const std::optional<CalllogType> type =
            fields.empty() ? std::nullopt : ParseCalllogType(fields[0]);
        if (fields.size() != 3 || !type) {
            return Status::Error("expected incoming|outgoing|missed \"NAME\" NUMBER");
        }
        std::vector<CalllogEntry>& log = world.calllogs[static_cast<std::size_t>(*type)];
        // The file lists each log newest first; all of it is older than the library's calls.
        const auto age = std::chrono::milliseconds(static_cast<long>(log.size()) + 1);
        log.push_back({fields[1], fields[2], std::chrono::system_clock::time_point{} - age});
        return PimRecordRead::Read;
    }
    return PimRecordRead::NotPim;
}

std::string_view DefaultPimWorldText() {
    return kDefaultPim;
}

} // namespace kobalt::sim
