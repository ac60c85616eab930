// The control socket and kobalt-phone, end to end against this process's library. Run with
// a runtime folder of this test program's own (PrivateRuntimeFolder.cpp), KOBALT_TIME_SCALE=0.01
// and KOBALT_SIM_FAIL=KOBALT_NoSuchEntry (so that the log has a line).
#include "PhoneSupport.h"

#include "sim/control/ControlCommand.h"
#include "sim/control/ControlPath.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/socket.h>
#include <sys/un.h>
#include <tuple>
#include <unistd.h>

namespace kobalt::sim::test {
namespace {

using testing::Contains;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::StartsWith;

class Control : public testing::Test {
protected:
    void SetUp() override {
        StartWithWorld({"66:55:44:33:22:11 \"Pixel 7\" hf,a2dp,spp paired",
                        "00:1A:7D:DA:71:13 \"Galaxy S21\" hf out-of-range"});
    }
    void TearDown() override { Call("KOBALT_UnInit"); }
};

TEST_F(Control, WorldEditsShowInDevicesAndState) {
    PhoneOk("add-device 10:20:30:40:50:60 \"Tab \\\"S\\\"\\t9\" a2dp,pbap,avrcp paired");
    PhoneOk("range 00:1A:7D:DA:71:13 in");
    PhoneOk("remove-device 66:55:44:33:22:11");
    EXPECT_EQ(Phone("devices"),
              "ok\n"
              "device 00:1A:7D:DA:71:13 \"Galaxy S21\" hf unpaired in-range\n"
              "device 10:20:30:40:50:60 \"Tab \\\"S\\\"\\t9\" a2dp,avrcp,pbap paired in-range\n");

    PhoneOk("connect 00:1A:7D:DA:71:13 hf");
    const std::vector<std::string> state = PhoneState();
    EXPECT_THAT(state, Contains("initialised yes"));
    EXPECT_THAT(state, Contains("time-scale 0.01"));
    EXPECT_THAT(state, Contains("callback connect registered"));
    EXPECT_THAT(state, Contains("callback hf none"));
    EXPECT_THAT(state, Contains("connected 00:1A:7D:DA:71:13 hf"));
    EXPECT_THAT(state, Contains("discovery idle"));
}

TEST_F(Control, MalformedOrInapplicableCommandsChangeNothing) {
    PhoneOk("connect 66:55:44:33:22:11 hf");
    ASSERT_TRUE(Events::WaitForCount(1));
    const std::vector<std::string> before = PhoneState();
    const char* const commands[] = {
        "",
        "frobnicate",
        "devices now",
        "add-device 66:55:44:33:22:11 \"Twice\" hf",
        "add-device 10:20:30:40:50:60 \"Bad\" hf,fax",
        "add-device 10:20:30:40:50:60 \"Open",
        "add-device 10:20:30:40:50:60 \"Esc\\q\" hf",
        "remove-device 10:20:30:40:50:60",
        "remove-device everything",
        "range 66:55:44:33:22:11 sideways",
        "range 10:20:30:40:50:60 out",
        "pair 00:1A:7D:DA:71:13 ok",
        "pair 66:55:44:33:22:11 maybe",
        "connect 66:55:44:33:22:11 hf",
        "connect 66:55:44:33:22:11 pbap",
        "connect 66:55:44:33:22:11 65536",
        "connect 00:1A:7D:DA:71:13 hf",
        "disconnect 66:55:44:33:22:11 a2dp",
        "disconnect 10:20:30:40:50:60 hf",
        "fail KOBALT_Nothing",
        "fail KOBALT_Connect -1",
        "fail KOBALT_Connect 1 2",
    };
    for (const char* command : commands) {
        const std::string answer = Phone(command);
        EXPECT_THAT(answer, StartsWith("error: ")) << command;
        EXPECT_EQ(std::count(answer.begin(), answer.end(), '\n'), 1) << command;
    }
    EXPECT_EQ(PhoneState(), before);
    EXPECT_EQ(Events::Lines().size(), 1u);
}

TEST_F(Control, FailCountsCallsOfOneEntryPoint) {
    const auto connect = Entry<KOBALT_Fn_Connection>("KOBALT_Connect");
    KOBALT_BdAddr pixel = Addr("66:55:44:33:22:11");
    PhoneOk("fail KOBALT_Connect 2");
    EXPECT_THAT(PhoneState(), Contains("fail KOBALT_Connect next 2"));
    EXPECT_EQ(Entry<KOBALT_Fn_Connection>("KOBALT_IsConnected")(&pixel, 1), 0);
    EXPECT_EQ(connect(&pixel, 1), -2);
    EXPECT_EQ(connect(&pixel, 1), -2);
    EXPECT_EQ(connect(&pixel, 1), 0);

    PhoneOk("fail GetClientPort");
    EXPECT_EQ(Call("KOBALT_GetClientPort"), -2);
    EXPECT_EQ(Call("KOBALT_GetClientPort"), 0);
    PhoneOk("fail KOBALT_Init always");
    PhoneOk("fail KOBALT_Init off");
    EXPECT_EQ(Call("KOBALT_Init"), 0);
}

TEST_F(Control, LogKeepsTheLibrarysDiagnostics) {
    EXPECT_THAT(Phone("log"),
                HasSubstr("KOBALT_SIM_FAIL: no entry point named KOBALT_NoSuchEntry\n"));
    EXPECT_THAT(
        SimLibrary::Get().LoadMessages(),
        HasSubstr("[KOBALT.sim] KOBALT_SIM_FAIL: no entry point named KOBALT_NoSuchEntry\n"));
}

TEST_F(Control, ACommandEndsAtItsFirstNewlineEvenWithoutAHalfClose) {
    const std::string path = ControlSocketPath(ControlDirectory(), ::getpid());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    ASSERT_EQ(::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    const std::string command = "help\nstate\n";
    ASSERT_EQ(::write(fd, command.data(), command.size()), ssize_t(command.size()));
    std::string answer;
    char chunk[4096];
    for (ssize_t n; (n = ::read(fd, chunk, sizeof chunk)) > 0;) {
        answer.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fd);
    EXPECT_THAT(answer, StartsWith("ok\nhelp\ndevices\n"));
    EXPECT_THAT(answer, testing::Not(HasSubstr("initialised")));
}

// Each command that changes something answers one line saying what it did. The rows run in
// order: the calls build on each other. (`accept` is in CallLibraryTest: the redial test there
// must come before any dial of the program.)
TEST_F(Control, EveryChangeAnswersOneLineSayingWhatItDid) {
    const std::pair<const char*, const char*> rows[] = {
        {"add-device 10:20:30:40:50:60 \"Tab\" a2dp paired",
         "added device 10:20:30:40:50:60 \"Tab\" a2dp paired in-range"},
        {"range 10:20:30:40:50:60 out", "10:20:30:40:50:60 out of range"},
        {"range 10:20:30:40:50:60 in", "10:20:30:40:50:60 in range"},
        {"pair 10:20:30:40:50:60 fail", "10:20:30:40:50:60 refused to pair"},
        {"pair 10:20:30:40:50:60 ok", "10:20:30:40:50:60 paired"},
        {"remove-device 10:20:30:40:50:60", "removed device 10:20:30:40:50:60"},
        {"connect none 9", "connect event without an address, service 9"},
        {"disconnect none 0x110E", "disconnect event without an address, service avrcp"},
        {"fail Connect 2", "KOBALT_Connect fails the next 2 calls"},
        {"fail KOBALT_Connect 1", "KOBALT_Connect fails the next call"},
        {"fail KOBALT_Connect 0", "KOBALT_Connect fails no more (the pending count is cancelled)"},
        {"fail Init always", "KOBALT_Init fails always"},
        {"fail Init off", "KOBALT_Init fails no more"},
        {"connect 66:55:44:33:22:11 hf", "66:55:44:33:22:11 connected hf"},
        {"ring 0123456789", "ringing 0123456789 as call 1"},
        {"hangup", "hung up call 1 0123456789"},
        {"ring \"+44 20\\n7946\"", "ringing \"+44 20\\n7946\" as call 1"},
        {"hangup 1", "hung up call 1 \"+44 20\\n7946\""},
        {"answer manual", "answer manual: the called party answers on accept"},
        {"answer auto", "answer auto: the called party answers by itself"},
        {"ring 0555", "ringing 0555 as call 1"},
        {"KOBALT_HFAP_AnswerCall", ""},
        {"waiting 0777", "0777 waiting as call 2"},
        {"hangup 1", "hung up call 1 0555; call 2 0777 rings now"},
        {"hangup", "hung up call 2 0777"},
        {"service off", "network service off"},
        {"roam on", "roaming on"},
        {"signal 3", "signal level 3"},
        {"battery 0", "battery level 0"},
        {"signal-storm 12", "sent 12 signal events"},
        {"text \"Vodafone \\\"UK\\\"\"", "operator text \"Vodafone \\\"UK\\\"\""},
        {"hold-events on", "holding events"},
        {"hold-events off", "events released"},
        {"disconnect 66:55:44:33:22:11 hf", "66:55:44:33:22:11 dropped hf"},
    };
    for (const auto& [command, done] : rows) {
        if (std::string_view(command).starts_with("KOBALT_")) {
            ASSERT_EQ(Call(command), 0);
            continue;
        }
        EXPECT_EQ(Phone(command), "ok\n" + std::string(done) + "\n") << command;
    }
    EXPECT_THAT(PhoneState(), Contains("answer auto"));
}

TEST_F(Control, AnswerModeIsReportedAndKeptAcrossARestart) {
    EXPECT_THAT(PhoneState(), Contains("answer auto"));
    PhoneOk("answer manual");
    EXPECT_THAT(PhoneState(), Contains("answer manual"));
    Call("KOBALT_UnInit");
    ASSERT_EQ(Call("KOBALT_Init"), 0);
    EXPECT_THAT(PhoneState(), Contains("answer manual")) << "kept for the library's life";
    PhoneOk("answer auto");
}

// kobalt-phone, run as the user would, against this test process.

Outcome PhoneTool(std::vector<std::string> args) {
    return RunProgram(KOBALT_PHONE_PATH, args);
}

std::string Pid(pid_t pid) {
    return std::to_string(pid);
}

// A pid that no process has now.
pid_t DeadPid() {
    for (pid_t pid = 4194303; pid > 1; --pid) {
        if (!ProcessAlive(pid)) {
            return pid;
        }
    }
    return 0;
}

TEST_F(Control, PhoneToolExitStatusesFollowTheAnswer) {
    Outcome ok = PhoneTool({"--pid", Pid(::getpid()), "add-device", "10:20:30:40:50:60",
                            "My \"new\" phone", "hf,a2dp"});
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_EQ(ok.out, "added device 10:20:30:40:50:60 \"My \\\"new\\\" phone\" hf,a2dp unpaired "
                      "in-range\n");
    ok = PhoneTool({"--pid=" + Pid(::getpid()), "devices"});
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_THAT(ok.out, HasSubstr("device 10:20:30:40:50:60 \"My \\\"new\\\" phone\" hf,a2dp "
                                  "unpaired in-range\n"));

    const Outcome refused =
        PhoneTool({"--pid", Pid(::getpid()), "pair", "01:02:03:04:05:06", "ok"});
    EXPECT_EQ(refused.status, 1);
    EXPECT_EQ(refused.err, "error: no device 01:02:03:04:05:06\n");
    EXPECT_EQ(refused.out, "");

    const Outcome emptyName = PhoneTool({"add-device", "10:20:30:40:50:61", "", "spp"});
    EXPECT_EQ(emptyName.status, 0) << emptyName.err << " (the only console, found without --pid)";

    for (const std::vector<std::string>& usage :
         std::vector<std::vector<std::string>>{{},
                                               {"--pid"},
                                               {"--pid", "x", "state"},
                                               {"--frobnicate", "state"},
                                               {"--pid", Pid(DeadPid()), "state"}}) {
        const Outcome outcome = PhoneTool(usage);
        EXPECT_EQ(outcome.status, 2) << testing::PrintToString(usage);
        EXPECT_NE(outcome.err, "") << testing::PrintToString(usage);
    }
    const Outcome help = PhoneTool({"--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_THAT(help.out, StartsWith("Usage: kobalt-phone"));
}

TEST_F(Control, PhoneToolSaysWhatItDid) {
    const std::string pid = Pid(::getpid());
    Outcome outcome = PhoneTool({"--pid", pid, "connect", "66:55:44:33:22:11", "hf"});
    EXPECT_EQ(outcome.out, "66:55:44:33:22:11 connected hf\n") << outcome.err;
    outcome = PhoneTool({"--pid", pid, "ring", "0123456789"});
    EXPECT_EQ(outcome.out, "ringing 0123456789 as call 1\n") << outcome.err;
    // A number with a line break and an escape byte stays on its one line, escaped.
    outcome = PhoneTool({"--pid", pid, "waiting", "07\n\xc2\x9b"});
    EXPECT_EQ(outcome.status, 1) << "waiting needs an active call";
    ASSERT_EQ(Call("KOBALT_HFAP_AnswerCall"), 0);
    outcome = PhoneTool({"--pid", pid, "waiting", "07\n\xc2\x9b"});
    EXPECT_EQ(outcome.out, "\"07\\n\\u009b\" waiting as call 2\n") << outcome.err;
    outcome = PhoneTool({"--pid", pid, "hangup", "2"});
    EXPECT_EQ(outcome.out, "hung up call 2 \"07\\n\\u009b\"\n") << outcome.err;
    outcome = PhoneTool({"--pid", pid, "hangup"});
    EXPECT_EQ(outcome.out, "hung up call 1 0123456789\n") << outcome.err;
}

// Every command the library parses is in kobalt-phone's own usage text.
TEST_F(Control, PhoneToolHelpListsEveryCommand) {
    const Outcome help = PhoneTool({"--help"});
    ASSERT_EQ(help.status, 0);
    // Each line of the block: two blanks, the synopsis, two or more blanks, what it does. A
    // synopsis may name several commands: `service on|off, roam on|off`.
    std::set<std::string> listed;
    std::istringstream block(help.out.substr(help.out.find("\nCommands:\n") + 11));
    for (std::string line; std::getline(block, line) && !line.empty();) {
        if (!line.starts_with("  ") || line[2] == ' ') {
            continue; // a description's second line
        }
        std::istringstream parts(line.substr(2, line.find("  ", 2) - 2));
        for (std::string part; std::getline(parts, part, ',');) {
            std::istringstream words(part);
            std::string name;
            words >> name;
            listed.insert(name);
        }
    }
    for (const std::string_view name : ControlCommandNames()) {
        EXPECT_TRUE(listed.contains(std::string(name))) << name;
    }
    EXPECT_EQ(listed.size(), ControlCommandNames().size()) << "a command the parser does not know";
}

TEST_F(Control, PhoneToolShowsFormatCharactersOfAnswersEscaped) {
    // A right-to-left override is no control character for the word syntax, so a name may
    // hold one; on a terminal it would turn the rest of the line around.
    const Outcome added = PhoneTool({"--pid", Pid(::getpid()), "add-device", "10:20:30:40:50:62",
                                     "Evil \xe2\x80\xae gnp.exe", "hf"});
    ASSERT_EQ(added.status, 0) << added.err;
    EXPECT_EQ(added.out,
              "added device 10:20:30:40:50:62 \"Evil \\u202e gnp.exe\" hf unpaired in-range\n");
    const Outcome devices = PhoneTool({"--pid", Pid(::getpid()), "devices"});
    EXPECT_EQ(devices.status, 0) << devices.err;
    EXPECT_THAT(devices.out, HasSubstr("\"Evil \\u202e gnp.exe\""));
    EXPECT_THAT(devices.out, testing::Not(HasSubstr("\xe2\x80\xae")));
}

TEST_F(Control, PhoneToolNeedsAChoiceAmongSeveralConsolesAndIgnoresStaleSockets) {
    // The socket of a process that died without cleaning up: a file nobody listens on.
    const std::string stale = ControlSocketPath(ControlDirectory(), DeadPid());
    {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        std::snprintf(address.sun_path, sizeof address.sun_path, "%s", stale.c_str());
        ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        ::close(fd);
    }
    Outcome alone = PhoneTool({"state"});
    EXPECT_EQ(alone.status, 0) << alone.err;

    Child peer(KOBALT_PHONE_PEER_PATH, {});
    ASSERT_EQ(peer.ReadLine(), "ready");
    EXPECT_NE(::access(stale.c_str(), F_OK), 0) << "a library that loads removes stale sockets";
    const std::string peerSocket = ControlSocketPath(ControlDirectory(), peer.Pid());
    EXPECT_EQ(::access(peerSocket.c_str(), F_OK), 0);

    const Outcome ambiguous = PhoneTool({"state"});
    EXPECT_EQ(ambiguous.status, 2);
    EXPECT_THAT(ambiguous.err, HasSubstr("  " + Pid(::getpid()) + " "));
    EXPECT_THAT(ambiguous.err, HasSubstr("  " + Pid(peer.Pid()) + " sim_phone_peer"));

    const Outcome chosen = PhoneTool({"--pid", Pid(peer.Pid()), "state"});
    EXPECT_EQ(chosen.status, 0) << chosen.err;
    EXPECT_THAT(chosen.out, StartsWith("initialised no\n"));

    // At a terminal the tool asks instead; `script` gives it one. The pty echoes the answer and
    // ends lines with CR LF.
    for (const auto& [answer, status, seen] :
         {std::tuple{Pid(peer.Pid()), 0, std::string("initialised no")},
          std::tuple{std::string("nobody"), 2, std::string("'nobody' is not one of them")}}) {
        Child asking("/usr/bin/script",
                     {"-qec", std::string(KOBALT_PHONE_PATH) + " state", "/dev/null"});
        asking.Write(answer + "\n");
        std::string output;
        for (std::string line; !(line = asking.ReadLine()).empty();) {
            output += line + "\n";
        }
        EXPECT_THAT(output, HasSubstr("Which one (pid)? ")) << answer;
        EXPECT_THAT(output, HasSubstr(seen)) << answer;
        EXPECT_EQ(asking.Finish(), status) << answer << ":\n" << output;
    }

    EXPECT_EQ(peer.Finish(), 0);
    EXPECT_NE(::access(peerSocket.c_str(), F_OK), 0) << "removed when the process ends normally";
}

// Leaves a socket file at `path` that nobody listens on, as a process that died would.
void LeaveDeadSocket(const std::string& path) {
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
}

// The pid in a stale socket's name may belong to a live process by now (here our parent):
// the refused connection, not the pid, tells that the socket is stale.
TEST_F(Control, ASocketThatRefusesConnectionsIsStaleWhateverItsPid) {
    const pid_t live = ::getppid();
    ASSERT_TRUE(ProcessAlive(live));
    const std::string stale = ControlSocketPath(ControlDirectory(), live);
    LeaveDeadSocket(stale);
    const Outcome alone = PhoneTool({"state"});
    EXPECT_EQ(alone.status, 0) << alone.err;
    EXPECT_NE(::access(stale.c_str(), F_OK), 0) << "the stale socket is removed";

    LeaveDeadSocket(stale);
    const Outcome named = PhoneTool({"--pid", Pid(live), "state"});
    EXPECT_EQ(named.status, 2);
    EXPECT_THAT(named.err, HasSubstr("no console with pid " + Pid(live)));
    ::unlink(stale.c_str());
}

// A first runtime folder taken by someone else (a link to a folder of theirs) does not turn
// the control socket off: the library and kobalt-phone both move on to the home folder.
TEST_F(Control, ATakenRuntimeFolderMovesTheSocketWhereThePhoneToolLooks) {
    char pattern[] = "/tmp/ksq-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string root = pattern;
    for (const char* folder : {"/run", "/home", "/theirs"}) {
        ASSERT_EQ(::mkdir((root + folder).c_str(), 0700), 0);
    }
    ASSERT_EQ(::symlink((root + "/theirs").c_str(), (root + "/run/kobalt").c_str()), 0);
    const std::vector<std::string> environment = {"XDG_RUNTIME_DIR=" + root + "/run",
                                                  "HOME=" + root + "/home"};
    std::vector<std::string> peerArgs = environment;
    peerArgs.push_back(KOBALT_PHONE_PEER_PATH);
    {
        Child peer("/usr/bin/env", peerArgs);
        ASSERT_EQ(peer.ReadLine(), "ready");
        const std::string socket = root + "/home/.kobalt-run/phone-" + Pid(peer.Pid()) + ".sock";
        EXPECT_EQ(::access(socket.c_str(), F_OK), 0);

        std::vector<std::string> toolArgs = environment;
        for (const std::string& arg : {std::string(KOBALT_PHONE_PATH), std::string("--pid"),
                                       Pid(peer.Pid()), std::string("state")}) {
            toolArgs.push_back(arg);
        }
        const Outcome outcome = RunProgram("/usr/bin/env", toolArgs);
        EXPECT_EQ(outcome.status, 0) << outcome.err;
        EXPECT_THAT(outcome.out, StartsWith("initialised no\n"));
        EXPECT_EQ(peer.Finish(), 0);
    }
    std::filesystem::remove_all(root);
}

// A console of the home folder (another environment's) does not make kobalt-phone's choice
// ambiguous for the console of the preferred folder; --list and --pid still see both.
TEST_F(Control, ThePreferredFolderChoosesTheConsoleWithoutAPid) {
    char pattern[] = "/tmp/ksp-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string root = pattern;
    ASSERT_EQ(::mkdir((root + "/home").c_str(), 0700), 0);
    {
        // The peer runs in the home folder: no XDG_RUNTIME_DIR of its own.
        Child peer("/usr/bin/env",
                   {"-u", "XDG_RUNTIME_DIR", "HOME=" + root + "/home", KOBALT_PHONE_PEER_PATH});
        ASSERT_EQ(peer.ReadLine(), "ready");
        const std::string home = "HOME=" + root + "/home";
        const std::string xdg = std::string("XDG_RUNTIME_DIR=") + std::getenv("XDG_RUNTIME_DIR");
        const Outcome chosen = RunProgram("/usr/bin/env", {home, xdg, KOBALT_PHONE_PATH, "state"});
        EXPECT_EQ(chosen.status, 0) << chosen.err;
        EXPECT_THAT(chosen.out, StartsWith("initialised yes\n")) << "this process's console";
        const Outcome listed = RunProgram("/usr/bin/env", {home, xdg, KOBALT_PHONE_PATH, "--list"});
        EXPECT_THAT(listed.out, HasSubstr(Pid(peer.Pid())));
        EXPECT_THAT(listed.out, HasSubstr(Pid(::getpid())));
        const Outcome named = RunProgram(
            "/usr/bin/env", {home, xdg, KOBALT_PHONE_PATH, "--pid", Pid(peer.Pid()), "state"});
        EXPECT_EQ(named.status, 0) << named.err;
        EXPECT_THAT(named.out, StartsWith("initialised no\n"));
        EXPECT_EQ(peer.Finish(), 0);
    }
    std::filesystem::remove_all(root);
}

} // namespace
} // namespace kobalt::sim::test
