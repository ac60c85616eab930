// The phone's audio gateway: whatever a hands-free unit sends over the link, however it is cut,
// between whatever the phone's far ends and network do (the control commands) as time passes.
//
// Input: operations of [op][operands...]: bytes for the link (most ops, a length byte then the
// bytes), a control command from a table with a byte for its argument, the clock moving, the
// link closing and a new one opening. Checks: every line sent is printable and bounded; each
// line received gets exactly one final result before the next one; the indicators stay in their
// ranges and the phone never lists more calls than can exist together.

#include "AgHarness.h"
#include "FuzzCheck.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace {

using kobalt::sim::AgEngine;
using kobalt::sim::AgLine;

class Bytes {
public:
    Bytes(const uint8_t* data, std::size_t size) : m_data(data), m_size(size) {}
    bool Empty() const { return m_pos >= m_size; }
    uint8_t Byte() { return m_pos < m_size ? m_data[m_pos++] : 0; }
    std::string Block() {
        std::size_t want = Byte();
        want = std::min(want, m_size - std::min(m_pos, m_size));
        std::string out(reinterpret_cast<const char*>(m_data + m_pos), want);
        m_pos += want;
        return out;
    }

private:
    const uint8_t* m_data;
    std::size_t m_size;
    std::size_t m_pos = 0;
};

bool IsFinal(const std::string& text) {
    return text == "OK" || text == "ERROR" || text.starts_with("+CME ERROR: ");
}

void CheckLines(const std::vector<AgLine>& lines) {
    std::size_t finals = 1; // before the first received line, nothing is owed
    for (const AgLine& line : lines) {
        if (line.way == AgLine::Way::In) {
            FUZZ_CHECK(finals == 1);
            finals = 0;
            FUZZ_CHECK(line.text.size() <= AgEngine::kMaxLineBytes + 3);
            continue;
        }
        FUZZ_CHECK(!line.text.empty() && line.text.size() <= 400);
        for (const char c : line.text) {
            FUZZ_CHECK(c >= 0x20 && c < 0x7F);
        }
        finals += IsFinal(line.text) ? 1 : 0;
    }
    FUZZ_CHECK(finals == 1);
}

// A control command the phone's side may send, with `arg` choosing its argument.
std::string ControlCommand(uint8_t which, uint8_t arg) {
    const std::string number = arg % 4 == 0 ? "+4930123" : std::to_string(arg);
    const std::string level = std::to_string(arg % 6);
    switch (which % 12) {
    case 0:
        return "ring " + number;
    case 1:
        return "waiting " + number;
    case 2:
        return "accept";
    case 3:
        return arg % 2 == 0 ? "hangup" : "hangup " + std::to_string(arg % 4 + 1);
    case 4:
        return "signal " + level;
    case 5:
        return "battery " + level;
    case 6:
        return arg % 2 == 0 ? "roam on" : "roam off";
    case 7:
        return arg % 2 == 0 ? "service on" : "service off";
    case 8:
        return arg % 2 == 0 ? "answer manual" : "answer auto";
    case 9:
        return "text \"Net " + number + "\"";
    case 10:
        return "add-contact \"C\" \"\" \"\" \"" + number + "\"";
    default:
        return "state";
    }
}

// A small world: the built-in one costs most of a run to read.
const kobalt::sim::ServedPhoneOptions& Options() {
    static const kobalt::sim::ServedPhoneOptions* const options = [] {
        auto* made = new kobalt::sim::ServedPhoneOptions;
        made->worldText = "device 66:55:44:33:22:11 \"Phone\" hf,pbap paired\n"
                          "phone ring-time 20\n"
                          "contact \"A\" \"+49 30 1234567\" \"\" \"\"\n"
                          "contact \"B\" \"\" \"\" \"\"\n"
                          "contact \"C\" \"\" \"(555) 010-9000\" \"*86\"\n";
        return made;
    }();
    return *options;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    kobalt::sim::ag::Harness harness(Options());
    FUZZ_CHECK(harness.Started().Ok());
    Bytes in(data, size);
    while (!in.Empty()) {
        const uint8_t op = in.Byte();
        switch (op % 16) {
        case 12: {
            const uint8_t which = in.Byte();
            CheckLines(harness.Control(ControlCommand(which, in.Byte())));
            break;
        }
        case 13:
            CheckLines(harness.Advance(std::chrono::milliseconds(in.Byte() * 250)));
            break;
        case 14:
            harness.Phone().LinkClosed();
            harness.Phone().LinkOpened();
            break;
        default:
            CheckLines(harness.Send(in.Block()));
            break;
        }
    }
    // A fresh line: whatever was left half-sent is ended first.
    harness.Send("\r");
    const std::vector<AgLine> cind = harness.Send("AT+CIND?\r");
    CheckLines(cind);
    FUZZ_CHECK(cind.size() == 3 && cind[1].text.starts_with("+CIND: "));
    const std::string values = cind[1].text.substr(7);
    const int most[] = {1, 1, 3, 2, 5, 1, 5};
    std::size_t at = 0;
    for (const int highest : most) {
        FUZZ_CHECK(at < values.size() && values[at] >= '0' && values[at] - '0' <= highest);
        at += 2;
    }
    const std::vector<AgLine> calls = harness.Send("AT+CLCC\r");
    CheckLines(calls);
    FUZZ_CHECK(calls.size() >= 2 && calls.size() <= 4); // the line, up to two calls, OK
    return 0;
}
