#include "sim/world/WorldFile.h"

#include "sim/world/Utf16.h"
#include "sim/world/Words.h"

#include <charconv>

namespace kobalt::sim {
namespace {

// Two phones, one paired; a phone that reports no name, so the console shows its address; a
// serial-port adapter for SPP; and a paired phone that is out of range, so a shortcut exists
// that cannot connect.
constexpr std::string_view kDefaultWorld = R"(# The built-in world of the simulated radio.
device 66:55:44:33:22:11 "Pixel 7" hf,a2dp,avrcp,spp,dun,pbap paired in-range
device 00:1A:7D:DA:71:13 "Galaxy S21" hf,a2dp,avrcp,dun,pbap unpaired in-range
device 5C:F9:38:A1:B2:C3 "" hf,a2dp,avrcp,pbap unpaired in-range
device 00:19:5D:24:8E:01 "OBD-II Adapter" spp unpaired in-range
device 8C:85:90:11:22:33 "Moto G" hf,pbap paired out-of-range
)";

using RecordReader = Status (*)(World&, const std::vector<std::string>& fields);

// The words after a device's services: paired|unpaired and in-range|out-of-range, each at most
// once.
Status ReadDeviceFlags(const std::vector<std::string>& fields, Device& device) {
    bool pairingSaid = false;
    bool rangeSaid = false;
    for (std::size_t i = 3; i < fields.size(); ++i) {
        const std::string& flag = fields[i];
        if (flag == "paired" || flag == "unpaired") {
            if (pairingSaid) {
                return Status::Error("paired or unpaired said twice");
            }
            pairingSaid = true;
            device.pairing = flag == "paired" ? Pairing::Paired : Pairing::Unpaired;
        } else if (flag == "in-range" || flag == "out-of-range") {
            if (rangeSaid) {
                return Status::Error("in-range or out-of-range said twice");
            }
            rangeSaid = true;
            device.range = flag == "in-range" ? Range::InRange : Range::OutOfRange;
        } else {
            return Status::Error("unexpected '" + flag +
                                 "' (expected paired, unpaired, in-range or out-of-range)");
        }
    }
    return {};
}

Status ReadDevice(World& world, const std::vector<std::string>& fields) {
    const Result<Device> device = ParseDeviceFields(fields);
    if (!device.Ok()) {
        return device.Error();
    }
    switch (world.Add(*device)) {
    case AddOutcome::Added:
        return {};
    case AddOutcome::AddressTaken:
        return Status::Error("device " + FormatAddress(device->address) + " is listed twice");
    case AddOutcome::Full:
        break;
    }
    return Status::Error("more than " + std::to_string(kMaxWorldDevices) + " devices");
}

// `phone answer auto|manual` or `phone ring-time SECONDS`: how the far ends of calls behave.
Status ReadPhone(World& world, const std::vector<std::string>& fields) {
    if (fields.size() == 2 && fields[0] == "answer" &&
        (fields[1] == "auto" || fields[1] == "manual")) {
        world.calls.answer = fields[1] == "auto" ? FarEndAnswer::Auto : FarEndAnswer::Manual;
        return {};
    }
    if (fields.size() == 2 && fields[0] == "ring-time") {
        const std::string& text = fields[1];
        long long seconds = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
        if (error != std::errc{} || end != text.data() + text.size() || seconds < 1 ||
            seconds > kMaxRingTime.count()) {
            return Status::Error("ring-time must be whole seconds from 1 to " +
                                 std::to_string(kMaxRingTime.count()));
        }
        world.calls.ringTime = std::chrono::seconds(seconds);
        return {};
    }
    return Status::Error("expected answer auto|manual or ring-time SECONDS");
}

struct RecordKind {
    std::string_view keyword;
    RecordReader read;
};

constexpr RecordKind kRecordKinds[] = {{"device", ReadDevice}, {"phone", ReadPhone}};

const RecordKind* FindRecordKind(std::string_view keyword) {
    for (const RecordKind& kind : kRecordKinds) {
        if (kind.keyword == keyword) {
            return &kind;
        }
    }
    return nullptr;
}

// Takes the first line off `text`, without its line end.
std::string_view NextLine(std::string_view& text) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.ends_with('\r')) {
        line.remove_suffix(1);
    }
    return line;
}

// Reads the record of line `number`, its keyword and fields, into `result`.
Status ReadRecord(std::vector<std::string> words, int number, const std::string& directory,
                  const FileSource& files, WorldParse& result) {
    const std::string keyword = words.front();
    words.erase(words.begin());
    const std::size_t notesBefore = result.notes.size();
    const Result<PimRecordRead> pim =
        ReadPimRecord(keyword, words, directory, files, result.pim, result.notes);
    for (std::size_t i = notesBefore; i < result.notes.size(); ++i) {
        result.notes[i] = std::to_string(number) + ": " + result.notes[i];
    }
    if (!pim.Ok()) {
        return Status::Error(keyword + ": " + pim.Error().Message());
    }
    if (*pim == PimRecordRead::Read) {
        return {};
    }
    const RecordKind* kind = FindRecordKind(keyword);
    if (kind == nullptr) {
        return Status::Error("unknown record '" + keyword +
                             "' (known: device, phone, contact, vcard, calllog)");
    }
    if (const Status read = kind->read(result.world, words); !read.Ok()) {
        return Status::Error(keyword + ": " + read.Message());
    }
    return {};
}

} // namespace

WorldParse ParseWorld(std::string_view text, const std::string& directory) {
    return ParseWorld(text, directory, DiskFiles{});
}

WorldParse ParseWorld(std::string_view text, const std::string& directory,
                      const FileSource& files) {
    WorldParse result;
    int number = 0;
    while (!text.empty()) {
        ++number;
        SplitResult split = SplitWords(NextLine(text));
        Status read = split.problem.empty() ? Status() : Status::Error(split.problem);
        if (read.Ok() && !split.words.empty()) {
            read = ReadRecord(std::move(split.words), number, directory, files, result);
        }
        if (!read.Ok()) {
            // Nothing of a malformed world is used; the notes so far still say what was cut.
            result.world.Clear();
            result.pim = {};
            result.line = number;
            result.problem = read.Message();
            return result;
        }
    }
    return result;
}

WorldFileLoad LoadWorldFile(const std::string& path, const FileSource& files) {
    WorldFileLoad load;
    const FileRead file = files.Read(path, kMaxWorldFileBytes);
    if (!file.Ok()) {
        load.problem = path + ": " + file.problem;
        return load;
    }
    const std::size_t slash = path.rfind('/');
    load.parse =
        ParseWorld(file.bytes, slash == std::string::npos ? "" : path.substr(0, slash + 1), files);
    if (load.parse.line != 0) {
        load.problem = path + ":" + std::to_string(load.parse.line) + ": " + load.parse.problem;
    }
    return load;
}

Result<Device> ParseDeviceFields(const std::vector<std::string>& fields) {
    if (fields.size() < 3) {
        return Status::Error(
            "expected ADDR \"NAME\" SERVICES [paired|unpaired] [in-range|out-of-range]");
    }
    Device device;
    const std::optional<Address> address = ParseAddress(fields[0]);
    if (!address) {
        return Status::Error("'" + fields[0] + "' is not an address like 66:55:44:33:22:11");
    }
    device.address = *address;
    device.name = fields[1];
    if (device.name.size() > kMaxNameBytes) {
        return Status::Error("name longer than " + std::to_string(kMaxNameBytes) + " bytes");
    }
    if (!Utf8ToUtf16(device.name)) {
        return Status::Error("name is not valid UTF-8");
    }
    const Result<ServiceSet> services = ParseServices(fields[2]);
    if (!services.Ok()) {
        return services.Error();
    }
    device.services = *services;
    if (Status flags = ReadDeviceFlags(fields, device); !flags.Ok()) {
        return flags;
    }
    return device;
}

std::string FormatDevice(const Device& device) {
    return "device " + FormatAddress(device.address) + " " + QuoteText(device.name) + " " +
           FormatServices(device.services) + " " +
           (device.pairing == Pairing::Paired ? "paired" : "unpaired") + " " +
           (device.range == Range::InRange ? "in-range" : "out-of-range");
}

std::string_view DefaultWorldText() {
    // Never destroyed, like every text the library hands out while the process exits.
    static const std::string* const text =
        new std::string(std::string(kDefaultWorld) + std::string(DefaultPimWorldText()));
    return *text;
}

} // namespace kobalt::sim
