// The event log: order and times, failure marks, escaping, the ring bound, search, save, the
// live trace source, and the view's keys.
#include "frontend/terminal/EventLog.h"
#include "common/TraceSink.h"
#include "frontend/terminal/EventLogView.h"
#include "frontend/terminal/TraceSource.h"
#include "tests/MalformedUtf8.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <regex>
#include <sys/socket.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace kobalt::terminal {
namespace {

using namespace std::chrono_literals;
using Clock = EventLog::Clock;

// A line without its "HH:MM:SS.mmm " time.
std::u16string Untimed(const std::u16string& line) {
    return line.size() > 13 ? line.substr(13) : line;
}

std::vector<std::u16string> Untimed(const std::vector<std::u16string>& lines) {
    std::vector<std::u16string> out;
    for (const std::u16string& line : lines) {
        out.push_back(Untimed(line));
    }
    return out;
}

std::string Narrow(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) {
        out += c < 0x80 ? static_cast<char>(c) : '?';
    }
    return out;
}

// A folder of its own under the test's temporary folder, removed afterwards.
class TempFolder {
public:
    TempFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "eventlog-XXXXXX").string();
        m_path = ::mkdtemp(pattern.data()) != nullptr ? pattern : std::string();
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    std::string operator/(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

std::string ReadFile(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

TEST(EventLog, WindowShowsTheNewestLinesLastAndScrollsBack) {
    EventLog log;
    EXPECT_EQ(log.Window(3, 0).total, 0u);
    const Clock::time_point start = Clock::now();
    for (char16_t c = u'a'; c <= u'f'; ++c) {
        log.AddDebug(start + std::chrono::microseconds(c), std::u16string(1, c));
    }
    const DebugWindow newest = log.Window(3, 0);
    EXPECT_EQ(Untimed(newest.lines),
              (std::vector<std::u16string>{u"dbg  d", u"dbg  e", u"dbg  f"}));
    EXPECT_EQ(newest.first, 3u);
    EXPECT_EQ(newest.total, 6u);
    EXPECT_EQ(Untimed(log.Window(3, 2).lines),
              (std::vector<std::u16string>{u"dbg  b", u"dbg  c", u"dbg  d"}));
    EXPECT_EQ(Untimed(log.Window(3, 5).lines), (std::vector<std::u16string>{u"dbg  a"}));
    EXPECT_EQ(log.Window(10, 0).lines.size(), 6u);
    EXPECT_TRUE(log.Window(0, 0).lines.empty());
}

TEST(EventLog, CallsCallbacksAndDebugLinesInTimeOrderWithTimes) {
    EventLog log;
    const Clock::time_point t = Clock::now() - 1s;
    log.AddTrace(t, "KOBALT_SetIntegrateTL(2) = 0");
    log.AddTrace(t + 1ms, "KOBALT_Init() = 0");
    log.AddTrace(t + 3ms, "-> ConnectEventCallback(1, 66:55:44:33:22:11, 1)");
    // The debug line written from inside the callback reaches the log before the trace record
    // of the call the callback made first: the times put them right.
    log.AddDebug(t + 5ms, u"[Wayfarer]Sco Conn");
    log.AddTrace(t + 4ms, "KOBALT_GetRemoteName(66:55:44:33:22:11, buf) = 0");
    log.AddTrace(t + 6ms, "KOBALT_Connect(11:22:33:44:55:66, 1) = -6");
    EXPECT_EQ(Untimed(log.Lines()), (std::vector<std::u16string>{
                                        u"     KOBALT_SetIntegrateTL(2) = 0",
                                        u"     KOBALT_Init() = 0",
                                        u"     -> ConnectEventCallback(1, 66:55:44:33:22:11, 1)",
                                        u"     KOBALT_GetRemoteName(66:55:44:33:22:11, buf) = 0",
                                        u"dbg  [Wayfarer]Sco Conn",
                                        u"FAIL KOBALT_Connect(11:22:33:44:55:66, 1) = -6",
                                    }));
    const std::regex stamp(R"(^\d\d:\d\d:\d\d\.\d\d\d $)");
    const std::vector<std::u16string> lines = log.Lines();
    for (const std::u16string& line : lines) {
        EXPECT_TRUE(std::regex_match(Narrow(line.substr(0, 13)), stamp)) << Narrow(line);
    }
    // Milliseconds apart: the times differ as the lines do.
    EXPECT_NE(lines[0].substr(0, 12), lines[5].substr(0, 12));
    EXPECT_EQ(log.Version(), 6u);
}

TEST(EventLog, FailedCallsFollowTheResultConventions) {
    struct Case {
        const char* line;
        bool failed;
    };
    const Case cases[] = {
        {"KOBALT_Init() = 0", false},
        {"KOBALT_Init() = -3", true},
        {"KOBALT_Connect(11:22:33:44:55:66, 1) = 1", true}, // any other value than 0
        {"KOBALT_PIMStartUpdateContacts(66:55:44:33:22:11) = -10", true},
        {"KOBALT_IsConnected(66:55:44:33:22:11, 1) = 0", false}, // a boolean answer
        {"KOBALT_IsConnected(66:55:44:33:22:11, 1) = 1", false},
        {"KOBALT_HFAP_GetAudioStatus() = 1", false},
        {"KOBALT_HFAP_GetAudioStatus() = 0", false},
        {"KOBALT_HFAP_GetAudioStatus() = -10", true},
        {"KOBALT_GetClientPort() = 7", false}, // a port
        {"KOBALT_GetClientPort() = -3", true},
        {"KOBALT_HFAP_Dial(\"1) = 0\", 9) = -12", true}, // the result is the last one
        {"KOBALT_HFAP_Dial(\"x) = -1\", 9) = 0", false},
        {"-> PimCallback(2)", false},
        {"-> HfEventCallback(7, 0) = -1", false}, // callbacks are not calls
        {"KOBALT_Init() = ", false},
        {"KOBALT_Init() = -3x", false},
        {"KOBALT_Init = -3", false},
        {"(3 trace lines lost)", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(IsFailedCall(c.line), c.failed) << c.line;
    }
    EventLog log;
    log.AddTrace(Clock::now(), "KOBALT_Disconnect(11:22:33:44:55:66, 1) = -10");
    EXPECT_EQ(Untimed(log.Lines().at(0)).substr(0, 5), u"FAIL ");
}

TEST(EventLog, EveryMalformedUtf8SequenceShowsAsItsBytes) {
    for (const auto& bad : kobalt::testing_utf8::kMalformed) {
        const std::string escaped = kobalt::testing_utf8::EscapedHighBytes(bad.bytes, "\\x", true);
        EXPECT_EQ(EscapeEventText(bad.bytes), std::u16string(escaped.begin(), escaped.end()))
            << bad.kind;
    }
}

TEST(EventLog, LinesAndTypedPathsAreWrittenAsUtf8) {
    EXPECT_EQ(LineUtf8(u"\u5B8B \U0001F600"), "\xE5\xAE\x8B \xF0\x9F\x98\x80");
    // A typed lone half keeps its place and takes nothing after it along.
    EXPECT_EQ(LineUtf8(std::u16string{char16_t(0xD83D), u'x'}), "\xED\xA0\xBDx");
}

TEST(EventLog, HostileTextIsEscapedAndLinesAreCut) {
    EXPECT_EQ(EscapeEventText(std::string_view("a\x1b[2Jb\x07\x7f\t")),
              u"a\\x1B[2Jb\\x07\\x7F\\x09");
    EXPECT_EQ(EscapeEventText(std::string_view("\xc2\x9b"
                                               "1m")),
              u"\\x9B1m")
        << "C1 CSI";
    EXPECT_EQ(EscapeEventText(std::string_view("\xe2\x80\xae"
                                               "gnp.exe")),
              u"\\u202Egnp.exe");
    EXPECT_EQ(EscapeEventText(std::string_view("\xff\xc3(\xe2\x80")), u"\\xFF\\xC3(\\xE2\\x80");
    EXPECT_EQ(EscapeEventText(std::string_view("\xf3\xa0\x80\x81")), u"\\uE0001") << "a tag";
    EXPECT_EQ(EscapeEventText(std::string_view("宋体 \xf0\x9f\x98\x80")), u"宋体 \U0001F600");
    EXPECT_EQ(EscapeEventText(std::u16string_view(u"x\u2028\x001b\xd800y")),
              u"x\\u2028\\x1B\\uD800y");
    EXPECT_EQ(EscapeEventText(std::u16string_view(u"\xdc00")), u"\\uDC00");

    const std::u16string cut = EscapeEventText(std::string(5000, 'x'));
    EXPECT_EQ(cut.size(), kEventLineLimit);
    EXPECT_EQ(cut.back(), u'\u2026');
    // An escape that would pass the limit is cut like any text.
    const std::u16string escapes = EscapeEventText(std::string(2000, '\x01'));
    EXPECT_EQ(escapes.size(), kEventLineLimit);

    EventLog log;
    log.AddTrace(Clock::now(), "KOBALT_SetLocalName(\"\x1b]0;owned\x07\") = 0");
    log.AddDebug(Clock::now(), u"\x1b[31mred\r");
    for (const std::u16string& line : log.Lines()) {
        for (char16_t c : line) {
            EXPECT_FALSE(c < 0x20 || (c >= 0x7F && c < 0xA0)) << Narrow(line);
        }
    }
}

TEST(EventLog, TheRingKeepsTheNewestLines) {
    EventLog log(5);
    const Clock::time_point start = Clock::now() - 1s;
    for (int i = 1; i <= 12; ++i) {
        log.AddTrace(start + std::chrono::milliseconds(i),
                     "KOBALT_SetIntegrateTL(" + std::to_string(i) + ") = 0");
    }
    EXPECT_EQ(log.Count(), 5u);
    EXPECT_EQ(log.Dropped(), 7u);
    EXPECT_EQ(log.Version(), 12u) << "the version moves on once the log is full";
    const std::vector<std::u16string> lines = Untimed(log.Lines());
    EXPECT_EQ(lines.front(), u"     KOBALT_SetIntegrateTL(8) = 0");
    EXPECT_EQ(lines.back(), u"     KOBALT_SetIntegrateTL(12) = 0");
    // A line older than every line kept is the one dropped.
    log.AddDebug(start, u"old");
    EXPECT_EQ(Untimed(log.Lines().front()), u"     KOBALT_SetIntegrateTL(8) = 0");
    EXPECT_EQ(log.Dropped(), 8u);
}

TEST(EventLog, TimesFromOutsideAreHeldNearNow) {
    EventLog log;
    log.AddDebug(Clock::now(), u"first");
    // A record claiming the far future, or the far past, is placed at most at now and at most a
    // few seconds back: it cannot pin itself after every later line or walk the whole log.
    log.AddTrace(Clock::time_point::max(), "KOBALT_Init() = 0");
    log.AddTrace(Clock::time_point::min(), "KOBALT_UnInit() = 0");
    std::this_thread::sleep_for(2ms);
    log.AddDebug(Clock::now(), u"last");
    const std::vector<std::u16string> lines = Untimed(log.Lines());
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines.back(), u"dbg  last");
    EXPECT_EQ(lines.front(), u"     KOBALT_UnInit() = 0");
}

TEST(EventLog, LinesFromManyThreadsStayInTimeOrder) {
    EventLog log(500);
    std::vector<std::thread> writers;
    std::atomic<bool> reading{true};
    std::thread reader([&] {
        while (reading.load()) {
            const DebugWindow window = log.Window(20, 3);
            EXPECT_LE(window.lines.size(), 20u);
        }
    });
    for (int w = 0; w < 4; ++w) {
        writers.emplace_back([&log, w] {
            for (int i = 0; i < 300; ++i) {
                if (w % 2 == 0) {
                    log.AddTrace(Clock::now(), "KOBALT_Init() = " + std::to_string(i));
                } else {
                    log.AddDebug(Clock::now(), u"debug");
                }
            }
        });
    }
    for (std::thread& writer : writers) {
        writer.join();
    }
    reading.store(false);
    reader.join();
    EXPECT_EQ(log.Count(), 500u);
    EXPECT_EQ(log.Version(), 1200u);
    const std::vector<std::u16string> lines = log.Lines();
    for (std::size_t i = 1; i < lines.size(); ++i) {
        EXPECT_LE(lines[i - 1].substr(0, 12), lines[i].substr(0, 12)) << "line " << i;
    }
}

TEST(EventLogSearch, FindsForwardAndBackwardWrappingInEitherCase) {
    EventLog log;
    const Clock::time_point t = Clock::now() - 1s;
    log.AddTrace(t, "KOBALT_Init() = 0");                               // 0
    log.AddDebug(t + 1ms, u"[Wayfarer]Sco Conn");                       // 1
    log.AddTrace(t + 2ms, "KOBALT_Connect(11:22:33:44:55:66, 1) = -7"); // 2
    log.AddDebug(t + 3ms, u"[Wayfarer]Sco DisConn");                    // 3
    EXPECT_EQ(log.Find(u"wayfarer", 0, true), 1u);
    EXPECT_EQ(log.Find(u"wayfarer", 2, true), 3u);
    EXPECT_EQ(log.Find(u"INIT", 1, true), 0u) << "wraps at the end";
    EXPECT_EQ(log.Find(u"sco", 2, false), 1u);
    EXPECT_EQ(log.Find(u"sco", 0, false), 3u) << "wraps at the start";
    EXPECT_EQ(log.Find(u"fail", 0, true), 2u) << "the FAIL mark is searchable";
    EXPECT_EQ(log.Find(u"Bluetooth", 0, true), std::nullopt);
    EXPECT_EQ(log.Find(u"", 0, true), std::nullopt);
    EXPECT_EQ(EventLog().Find(u"x", 0, true), std::nullopt);

    using Spans = std::vector<std::pair<std::size_t, std::size_t>>;
    EXPECT_EQ(FindAll(u"aAaa", u"aa"), (Spans{{0, 2}, {2, 2}})) << "not overlapping";
    EXPECT_EQ(FindAll(u"Sco Conn sco", u"SCO"), (Spans{{0, 3}, {9, 3}}));
    EXPECT_EQ(FindAll(u"ab", u"abc"), Spans{});
    EXPECT_EQ(FindAll(u"ab", u""), Spans{});
}

TEST(EventLogSave, WritesTheLinesOwnerOnly) {
    TempFolder folder;
    EventLog log;
    log.AddTrace(Clock::now(), "KOBALT_HFAP_Dial(\"+8610086\", 9) = -10");
    log.AddDebug(Clock::now(), u"宋体\x1b");
    const std::string path = folder / "events.log";
    const EventLog::Saved saved = log.Save(path);
    ASSERT_TRUE(saved.ok) << saved.error;
    EXPECT_EQ(saved.lines, 2u);
    const std::string text = ReadFile(path);
    EXPECT_TRUE(std::regex_search(
        text, std::regex(R"(^\d\d:\d\d:\d\d\.\d\d\d FAIL KOBALT_HFAP_Dial\("\+8610086", 9\) = -10
\d\d:\d\d:\d\d\.\d\d\d dbg  宋体\\x1B
$)"))) << text;
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    // An existing file is replaced, and made owner-only.
    const std::string old = folder / "old.log";
    std::ofstream(old) << std::string(10000, 'x');
    ::chmod(old.c_str(), 0644);
    ASSERT_TRUE(log.Save(old).ok);
    EXPECT_EQ(ReadFile(old), text);
    ASSERT_EQ(::stat(old.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST(EventLogSave, RefusesLinksFifosFoldersAndNothing) {
    TempFolder folder;
    EventLog log;
    log.AddDebug(Clock::now(), u"secret");
    const std::string target = folder / "target";
    std::ofstream(target) << "keep";
    const std::string link = folder / "link";
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    EventLog::Saved saved = log.Save(link);
    EXPECT_FALSE(saved.ok);
    EXPECT_EQ(saved.error, "it is a symbolic link");
    EXPECT_EQ(ReadFile(target), "keep");

    const std::string dangling = folder / "dangling";
    ASSERT_EQ(::symlink((folder / "nowhere").c_str(), dangling.c_str()), 0);
    EXPECT_FALSE(log.Save(dangling).ok);
    EXPECT_FALSE(std::filesystem::exists(folder / "nowhere")) << "nothing made through a link";

    const std::string fifo = folder / "fifo";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(log.Save(fifo).ok) << "refused at once, without waiting for a reader";

    EXPECT_FALSE(log.Save(folder / "").ok);
    EXPECT_FALSE(log.Save(folder / "missing/events.log").ok);
    saved = log.Save("");
    EXPECT_FALSE(saved.ok);
    EXPECT_FALSE(saved.error.empty());
}

TEST(TraceSink, RecordsCarryTheirTimeAndAreBounded) {
    EXPECT_EQ(common::TraceRecord(42, "KOBALT_Init() = 0"), "42 KOBALT_Init() = 0");
    EXPECT_EQ(common::TraceRecord(1, std::string(10000, 'x')).size(), common::kMaxTraceRecord);
    const common::ParsedTraceRecord parsed = common::ParseTraceRecord("42 KOBALT_Init() = 0");
    EXPECT_EQ(parsed.monotonicNs, 42u);
    EXPECT_EQ(parsed.line, "KOBALT_Init() = 0");
    for (const char* untimed :
         {"KOBALT_Init() = 0", " x", "4x2 y", "99999999999999999999999 y", ""}) {
        const common::ParsedTraceRecord record = common::ParseTraceRecord(untimed);
        EXPECT_FALSE(record.monotonicNs) << untimed;
        EXPECT_EQ(record.line, untimed);
    }
}

TEST(TraceSink, OnlyALocalPacketSocketIsTaken) {
    std::string problem;
    EXPECT_FALSE(common::OpenTraceSink(nullptr, problem).Valid());
    EXPECT_TRUE(problem.empty());
    EXPECT_FALSE(common::OpenTraceSink("", problem).Valid());
    EXPECT_TRUE(problem.empty());
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    for (const std::string& value : {std::string("x"), std::string("-1"), std::string("3x"),
                                     std::string("99999"), std::to_string(pipeEnds[1])}) {
        EXPECT_FALSE(common::OpenTraceSink(value.c_str(), problem).Valid()) << value;
        EXPECT_FALSE(problem.empty()) << value;
    }
    int stream[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, stream), 0);
    EXPECT_FALSE(common::OpenTraceSink(std::to_string(stream[0]).c_str(), problem).Valid());
    int packet[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_SEQPACKET, 0, packet), 0);
    const common::FileDescriptor copy =
        common::OpenTraceSink(std::to_string(packet[0]).c_str(), problem);
    ASSERT_TRUE(copy.Valid()) << problem;
    EXPECT_NE(copy.Get(), packet[0]) << "the library's own copy";
    EXPECT_NE(::fcntl(copy.Get(), F_GETFD) & FD_CLOEXEC, 0);
    for (int fd : {pipeEnds[0], pipeEnds[1], stream[0], stream[1], packet[0], packet[1]}) {
        ::close(fd);
    }
}

TEST(TraceSource, RecordsReachTheLogAsTheyCome) {
    EventLog log;
    std::string error;
    {
        TraceSource source(log);
        ASSERT_TRUE(source.Start(error)) << error;
        const char* named = std::getenv(common::kTraceSinkVariable);
        ASSERT_NE(named, nullptr);
        EXPECT_EQ(std::string(named), std::to_string(source.SinkDescriptor()));
        // What an SDK library sends: timed records, and anything a hostile one might.
        const std::uint64_t now = common::MonotonicNanoseconds();
        const std::string records[] = {
            common::TraceRecord(now, "KOBALT_Init() = 0"),
            common::TraceRecord(now + 1000, "KOBALT_Connect(11:22:33:44:55:66, 1) = -6"),
            "untimed \x1b[2J",
            common::TraceRecord(now + 2000, "-> PimCallback(11)"),
        };
        for (const std::string& record : records) {
            ASSERT_EQ(::send(source.SinkDescriptor(), record.data(), record.size(), MSG_NOSIGNAL),
                      static_cast<ssize_t>(record.size()));
        }
        const auto deadline = Clock::now() + 10s;
        while (log.Count() < 4 && Clock::now() < deadline) {
            std::this_thread::sleep_for(1ms);
        }
    } // the reader stops with its source
    const std::vector<std::u16string> lines = Untimed(log.Lines());
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], u"     KOBALT_Init() = 0");
    EXPECT_EQ(lines[1], u"FAIL KOBALT_Connect(11:22:33:44:55:66, 1) = -6");
    EXPECT_EQ(lines[2], u"     -> PimCallback(11)");
    EXPECT_EQ(lines[3], u"     untimed \\x1B[2J") << "an untimed record counts as just come";
}

// The view's keys over a small log.
struct ViewFixture {
    ViewFixture() {
        const Clock::time_point t = Clock::now() - 1s;
        const char* trace[] = {
            "KOBALT_Init() = 0",
            "-> ConnectEventCallback(1, 66:55:44:33:22:11, 1)",
            "KOBALT_GetClientPort() = -3",
            "KOBALT_Connect(11:22:33:44:55:66, 1) = 0",
            "-> ConnectEventCallback(0, 66:55:44:33:22:11, 1)",
        };
        int i = 0;
        for (const char* line : trace) {
            log.AddTrace(t + std::chrono::milliseconds(i++), line);
        }
    }
    EventLogView::Outcome Type(std::u32string_view keys, std::size_t top = 0) {
        EventLogView::Outcome outcome;
        for (char32_t ch : keys) {
            outcome = view.Key(KeyEvent{Key::Char, ch}, log, top);
        }
        return outcome;
    }
    EventLogView::Outcome Press(Key key, std::size_t top = 0) {
        return view.Key(KeyEvent{key, 0}, log, top);
    }
    std::u16string Bottom() const {
        DebugWindow window;
        view.Decorate(window);
        return window.bottom;
    }

    EventLog log;
    EventLogView view;
};

TEST(EventLogView, SearchFindsNextAndPreviousAndHighlights) {
    ViewFixture f;
    EXPECT_EQ(f.Bottom(), u"/ search  n/N next/previous  s save  Esc back");
    EXPECT_TRUE(f.Type(U"/").handled);
    EXPECT_TRUE(f.view.Prompting());
    f.Type(U"connectx");
    EXPECT_TRUE(f.Press(Key::Backspace).handled);
    EXPECT_EQ(f.Bottom(), u"Search: connect");
    EventLogView::Outcome found = f.Press(Key::Enter);
    EXPECT_FALSE(f.view.Prompting());
    EXPECT_EQ(found.show, 1u);
    EXPECT_EQ(f.Bottom(), u"Line 2 of 5: connect");
    EXPECT_EQ(f.Type(U"n").show, 3u);
    EXPECT_EQ(f.Type(U"n").show, 4u);
    found = f.Type(U"n");
    EXPECT_EQ(found.show, 1u);
    EXPECT_EQ(f.Bottom(), u"Line 2 of 5: connect  (search wrapped)");
    EXPECT_EQ(f.Type(U"N").show, 4u);

    DebugWindow window = f.log.Window(10, 0);
    f.view.Decorate(window);
    ASSERT_EQ(window.matches.size(), 3u);
    EXPECT_EQ(window.matches[0].line, 1u);
    EXPECT_EQ(window.lines[1].substr(window.matches[0].from, window.matches[0].length), u"Connect");
    EXPECT_EQ(window.matches[1].line, 3u);

    // A new search starts at the top line shown when nothing is current.
    f.Type(U"/");
    f.Type(U"fail");
    EXPECT_EQ(f.Press(Key::Enter, 3).show, 2u) << "wrapped round from line 3";
    f.Type(U"/");
    f.Type(U"nowhere");
    found = f.Press(Key::Enter);
    EXPECT_TRUE(found.handled);
    EXPECT_FALSE(found.show);
    EXPECT_EQ(f.Bottom(), u"Not found: nowhere");
}

TEST(EventLogView, PromptsLeaveDeviceKeysAndScrollingAlone) {
    ViewFixture f;
    EXPECT_EQ(f.Type(U"n").show, std::nullopt) << "no search yet";
    EXPECT_EQ(f.Bottom(), u"Nothing searched for yet: / starts a search");
    EXPECT_FALSE(f.Press(Key::Up).handled);
    EXPECT_FALSE(f.Press(Key::Escape).handled) << "Esc closes the view";
    EXPECT_FALSE(f.Type(U"x").handled);
    f.Type(U"/");
    EXPECT_FALSE(f.Press(Key::F3).handled);
    EXPECT_FALSE(f.Type(U"\x07").handled) << "Ctrl-G switches the view off";
    EXPECT_TRUE(f.Press(Key::Up).handled) << "ignored while typing";
    f.Type(U"ab\u202E");
    EXPECT_EQ(f.Bottom(), u"Search: ab") << "format characters are not typed";
    EXPECT_TRUE(f.Press(Key::Escape).handled);
    EXPECT_FALSE(f.view.Prompting());
    f.Type(U"/");
    f.Type(U"q");
    f.view.Reset();
    EXPECT_FALSE(f.view.Prompting());
    std::u32string many(3000, U'x');
    f.Type(U"/");
    f.Type(many);
    DebugWindow window;
    f.view.Decorate(window);
    EXPECT_EQ(window.bottom.size(), 8u + 1024u) << "the prompt's text is bounded";
    EXPECT_TRUE(window.prompting);
}

TEST(EventLogView, SaveOffersATimedNameAndReports) {
    EXPECT_TRUE(std::regex_match(DefaultSavePath(std::time(nullptr)),
                                 std::regex(R"(kobalt-events-\d{8}-\d{6}\.log)")));
    TempFolder folder;
    ViewFixture f;
    f.Type(U"s");
    const std::u16string offered = f.Bottom();
    EXPECT_EQ(offered.substr(0, 23), u"Save to: kobalt-events-");
    for (std::size_t i = 9; i < offered.size(); ++i) {
        f.Press(Key::Backspace);
    }
    const std::string path = folder / "saved.log";
    f.Type(std::u32string(path.begin(), path.end()));
    EXPECT_TRUE(f.Press(Key::Enter).handled);
    EXPECT_EQ(f.Bottom(), u"Saved 5 lines to " + std::u16string(path.begin(), path.end()));
    EXPECT_NE(ReadFile(path).find("FAIL KOBALT_GetClientPort() = -3\n"), std::string::npos);

    const std::string link = folder / "link";
    ASSERT_EQ(::symlink(path.c_str(), link.c_str()), 0);
    f.Type(U"s");
    for (std::size_t i = 9; i < offered.size(); ++i) {
        f.Press(Key::Backspace);
    }
    f.Type(std::u32string(link.begin(), link.end()));
    f.Press(Key::Enter);
    EXPECT_EQ(f.Bottom(), u"Cannot save to " + std::u16string(link.begin(), link.end()) +
                              u": it is a symbolic link");
    // The report stays until the next key, then the log's keys are shown again.
    f.Press(Key::Down);
    EXPECT_EQ(f.Bottom(), u"/ search  n/N next/previous  s save  Esc back");
}

TEST(EventLogView, AMatchIsBroughtIntoViewOnlyWhenHidden) {
    // 100 lines, 10 rows: back 0 shows lines 90..99.
    EXPECT_EQ(TopLine(100, 10, 0), 90u);
    EXPECT_EQ(TopLine(100, 10, 95), 0u);
    EXPECT_EQ(TopLine(5, 10, 0), 0u);
    EXPECT_EQ(BackShowing(95, 100, 10, 0), 0u) << "already shown";
    EXPECT_EQ(BackShowing(50, 100, 10, 0), 45u) << "in the middle: lines 45..54";
    EXPECT_EQ(TopLine(100, 10, 45), 45u);
    EXPECT_EQ(BackShowing(2, 100, 10, 0), 90u) << "no further than the oldest";
    EXPECT_EQ(BackShowing(98, 100, 10, 50), 0u) << "no further than the newest";
    EXPECT_EQ(BackShowing(3, 5, 10, 0), 0u);
    EXPECT_EQ(BackShowing(7, 5, 10, 3), 3u) << "a line no longer there";
}

} // namespace
} // namespace kobalt::terminal
