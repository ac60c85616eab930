#include "bluez/Phonebook.h"

#include "sim/pim/VCard.h"
#include "sim/world/BoundedFile.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace kobalt::bluez {
namespace {

constexpr std::string_view kCalllogObjects[] = {"ich", "och", "mch"};

bool IsBeginLine(std::string_view line) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ' || line.back() == '\t')) {
        line.remove_suffix(1);
    }
    constexpr std::string_view kBegin = "BEGIN:VCARD";
    if (line.size() != kBegin.size()) {
        return false;
    }
    for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i] >= 'a' && line[i] <= 'z' ? static_cast<char>(line[i] - 32) : line[i];
        if (c != kBegin[i]) {
            return false;
        }
    }
    return true;
}

struct Chunk {
    std::string_view text;
    int firstLine = 1;
};

// The text cut before each BEGIN:VCARD line; what precedes the first one is a chunk of its own
// when it holds more than blanks.
std::vector<Chunk> SplitAtCards(std::string_view text) {
    std::vector<Chunk> chunks;
    std::size_t start = 0;
    int startLine = 1;
    int lineNumber = 1;
    for (std::size_t at = 0; at < text.size(); ++lineNumber) {
        const std::size_t end = std::min(text.find('\n', at), text.size());
        if (IsBeginLine(text.substr(at, end - at)) && at > start) {
            chunks.push_back({text.substr(start, at - start), startLine});
            start = at;
            startLine = lineNumber;
        }
        at = end + 1;
    }
    if (start < text.size()) {
        chunks.push_back({text.substr(start), startLine});
    }
    if (!chunks.empty() && chunks.front().text.find_first_not_of(" \t\r\n") == std::string::npos) {
        chunks.erase(chunks.begin());
    }
    return chunks;
}

bool MakeFolder(const std::string& path, std::string& problem) {
    if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) {
        problem = "cannot make " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

} // namespace

std::string_view PbapCalllog(sim::CalllogType type) {
    return kCalllogObjects[static_cast<std::size_t>(type)];
}

CardsRead ReadCards(std::string_view text, std::size_t maxCards) {
    CardsRead read;
    sim::VCardParse whole = sim::ParseVCards(text, maxCards);
    if (whole.line == 0) {
        read.contacts = std::move(whole.contacts);
        return read;
    }
    // Card by card, so one bad card costs only itself.
    for (const Chunk& chunk : SplitAtCards(text)) {
        sim::VCardParse one = sim::ParseVCards(chunk.text, 1);
        if (one.line == 0 && read.contacts.size() + one.contacts.size() <= maxCards) {
            read.contacts.insert(read.contacts.end(), one.contacts.begin(), one.contacts.end());
            continue;
        }
        if (read.skipped++ == 0) {
            read.problem =
                one.line == 0
                    ? "more than " + std::to_string(maxCards) + " contacts"
                    : "line " + std::to_string(chunk.firstLine + one.line - 1) + ": " + one.problem;
        }
    }
    return read;
}

std::optional<CardsRead> ReadCardFile(const std::string& path, std::string& problem) {
    sim::FileRead file = sim::ReadBoundedFile(path, sim::kMaxWorldFileBytes);
    if (!file.Ok()) {
        problem = path + ": " + file.problem;
        return std::nullopt;
    }
    return ReadCards(file.bytes);
}

std::vector<sim::ContactRecord> ContactRecords(const std::vector<sim::ContactFields>& contacts) {
    std::vector<sim::ContactRecord> records;
    records.reserve(contacts.size());
    std::vector<std::string> notes; // cuts are expected: the record's fields are short
    for (const sim::ContactFields& fields : contacts) {
        if (sim::Result<sim::ContactRecord> record = sim::MakeContactRecord(fields, notes);
            record.Ok()) {
            records.push_back(record.Value());
        }
        notes.clear();
    }
    return records;
}

std::vector<sim::CalllogRecord> CalllogRecords(sim::CalllogType type,
                                               const std::vector<sim::ContactFields>& entries) {
    // The phone lists newest first; times counting down keep that order through the builder.
    std::vector<sim::CalllogEntry> log;
    log.reserve(entries.size());
    const auto newest = std::chrono::system_clock::time_point{} + std::chrono::hours(24);
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const sim::ContactFields& entry = entries[i];
        std::string number = !entry.cell.empty()   ? entry.cell
                             : !entry.home.empty() ? entry.home
                                                   : entry.work;
        log.push_back({entry.name, std::move(number),
                       newest - std::chrono::milliseconds(static_cast<long>(i))});
    }
    return sim::BuildCalllog(type, log, {}, {});
}

std::vector<sim::OppContactRecord> PushedRecords(const std::vector<sim::ContactFields>& contacts) {
    std::vector<sim::OppContactRecord> records;
    std::vector<std::string> notes;
    for (const sim::ContactFields& fields : contacts) {
        std::vector<std::string> numbers;
        for (const std::string* number : {&fields.cell, &fields.home, &fields.work}) {
            if (!number->empty()) {
                numbers.push_back(*number);
            }
        }
        if (sim::Result<sim::OppContactRecord> record =
                sim::MakeOppContactRecord(fields.name, numbers, notes);
            record.Ok()) {
            records.push_back(record.Value());
        }
        notes.clear();
    }
    return records;
}

std::optional<std::string> PrivateObexFolder(std::string& problem) {
    std::string folder;
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    const char* cache = std::getenv("XDG_CACHE_HOME");
    const char* home = std::getenv("HOME");
    if (runtime != nullptr && runtime[0] == '/') {
        folder = std::string(runtime) + "/kobalt-obex";
    } else {
        std::string base;
        if (cache != nullptr && cache[0] == '/') {
            base = cache;
        } else if (home != nullptr && home[0] == '/') {
            base = std::string(home) + "/.cache";
        } else {
            problem = "neither XDG_RUNTIME_DIR, XDG_CACHE_HOME nor HOME names a folder";
            return std::nullopt;
        }
        if (!MakeFolder(base, problem) || !MakeFolder(base + "/kobalt", problem)) {
            return std::nullopt;
        }
        folder = base + "/kobalt/obex";
    }
    if (!MakeFolder(folder, problem)) {
        return std::nullopt;
    }
    // Others must not read the phone's data nor plant files in its place.
    struct stat info {};
    if (lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != geteuid()) {
        problem = folder + " is not a folder of this user";
        return std::nullopt;
    }
    if ((info.st_mode & 077) != 0 && chmod(folder.c_str(), 0700) != 0) {
        problem = "cannot make " + folder + " private: " + std::strerror(errno);
        return std::nullopt;
    }
    return folder;
}

} // namespace kobalt::bluez
