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

using RecordReader = bool (*)(World&, const std::vector<std::string>& fields, std::string& problem);

bool ReadDevice(World& world, const std::vector<std::string>& fields, std::string& problem) {
    std::optional<Device> device = ParseDeviceFields(fields, problem);
    if (!device) {
        return false;
    }
    switch (world.Add(*device)) {
    case AddOutcome::Added:
        return true;
    case AddOutcome::AddressTaken:
        problem = "device " + FormatAddress(device->address) + " is listed twice";
        return false;
    case AddOutcome::Full:
        break;
    }
    problem = "more than " + std::to_string(kMaxWorldDevices) + " devices";
    return false;
}

// `phone answer auto|manual` or `phone ring-time SECONDS`: how the far ends of calls behave.
bool ReadPhone(World& world, const std::vector<std::string>& fields, std::string& problem) {
    if (fields.size() == 2 && fields[0] == "answer" &&
        (fields[1] == "auto" || fields[1] == "manual")) {
        world.calls.answer = fields[1] == "auto" ? FarEndAnswer::Auto : FarEndAnswer::Manual;
        return true;
    }
    if (fields.size() == 2 && fields[0] == "ring-time") {
        const std::string& text = fields[1];
        long long seconds = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
        if (error != std::errc{} || end != text.data() + text.size() || seconds < 1 ||
            seconds > kMaxRingTime.count()) {
            problem =
                "ring-time must be whole seconds from 1 to " + std::to_string(kMaxRingTime.count());
            return false;
        }
        world.calls.ringTime = std::chrono::seconds(seconds);
        return true;
    }
    problem = "expected answer auto|manual or ring-time SECONDS";
    return false;
}

struct RecordKind {
    std::string_view keyword;
    RecordReader read;
};

constexpr RecordKind kRecordKinds[] = {{"device", ReadDevice}, {"phone", ReadPhone}};

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
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.ends_with('\r')) {
            line.remove_suffix(1);
        }
        const auto fail = [&](std::string problem) {
            result.world.Clear();
            result.pim = {};
            result.line = number;
            result.problem = std::move(problem);
            return result;
        };
        SplitResult split = SplitWords(line);
        if (!split.problem.empty()) {
            return fail(split.problem);
        }
        if (split.words.empty()) {
            continue;
        }
        const std::string keyword = split.words.front();
        split.words.erase(split.words.begin());
        std::string pimProblem;
        const std::size_t notesBefore = result.notes.size();
        const PimRecordRead pim = ReadPimRecord(keyword, split.words, directory, files, result.pim,
                                                result.notes, pimProblem);
        for (std::size_t i = notesBefore; i < result.notes.size(); ++i) {
            result.notes[i] = std::to_string(number) + ": " + result.notes[i];
        }
        if (pim == PimRecordRead::Malformed) {
            return fail(keyword + ": " + pimProblem);
        }
        if (pim == PimRecordRead::Read) {
            continue;
        }
        const RecordKind* kind = nullptr;
        for (const RecordKind& k : kRecordKinds) {
            kind = k.keyword == keyword ? &k : kind;
        }
        if (kind == nullptr) {
            return fail("unknown record '" + keyword +
                        "' (known: device, phone, contact, vcard, calllog)");
        }
        std::string problem;
        if (!kind->read(result.world, split.words, problem)) {
            return fail(keyword + ": " + problem);
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

std::optional<Device> ParseDeviceFields(const std::vector<std::string>& fields,
                                        std::string& problem) {
    if (fields.size() < 3) {
        problem = "expected ADDR \"NAME\" SERVICES [paired|unpaired] [in-range|out-of-range]";
        return std::nullopt;
    }
    Device device;
    const std::optional<Address> address = ParseAddress(fields[0]);
    if (!address) {
        problem = "'" + fields[0] + "' is not an address like 66:55:44:33:22:11";
        return std::nullopt;
    }
    device.address = *address;
    device.name = fields[1];
    if (device.name.size() > kMaxNameBytes) {
        problem = "name longer than " + std::to_string(kMaxNameBytes) + " bytes";
        return std::nullopt;
    }
    if (!Utf8ToUtf16(device.name)) {
        problem = "name is not valid UTF-8";
        return std::nullopt;
    }
    const std::optional<ServiceSet> services = ParseServices(fields[2], problem);
    if (!services) {
        return std::nullopt;
    }
    device.services = *services;
    bool pairingSaid = false;
    bool rangeSaid = false;
    for (std::size_t i = 3; i < fields.size(); ++i) {
        const std::string& flag = fields[i];
        if (flag == "paired" || flag == "unpaired") {
            if (pairingSaid) {
                problem = "paired or unpaired said twice";
                return std::nullopt;
            }
            pairingSaid = true;
            device.pairing = flag == "paired" ? Pairing::Paired : Pairing::Unpaired;
        } else if (flag == "in-range" || flag == "out-of-range") {
            if (rangeSaid) {
                problem = "in-range or out-of-range said twice";
                return std::nullopt;
            }
            rangeSaid = true;
            device.range = flag == "in-range" ? Range::InRange : Range::OutOfRange;
        } else {
            problem = "unexpected '" + flag + "' (expected paired, unpaired, in-range or " +
                      "out-of-range)";
            return std::nullopt;
        }
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
