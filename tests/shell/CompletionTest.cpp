#include "frontend/shell/Completion.h"
#include "frontend/common/DesktopDump.h"
#include "frontend/shell/CommandSession.h"
#include "sim/control/ControlCommand.h"
#include "sim/radio/Services.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>

namespace kobalt::shell {
namespace {

using desktop::ControlKind;
using desktop::ControlView;
using desktop::WindowView;
using testing::ElementsAre;
using testing::IsEmpty;
using testing::UnorderedElementsAreArray;

ControlView Button(int id, std::u16string text, std::vector<std::u16string> lines = {}) {
    ControlView control;
    control.hwnd = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(id));
    control.id = id;
    control.kind = lines.empty() ? ControlKind::PushButton : ControlKind::ListBox;
    control.text = std::move(text);
    control.lineCount = lines.size();
    control.lines = std::move(lines);
    return control;
}

// A message box over the main window, as after a failed connect; a search's results listed.
desktop::Snapshot TwoWindows() {
    WindowView box;
    box.kind = desktop::WindowKind::Dialog;
    box.caption = u"HandFree";
    box.active = true;
    box.controls = {Button(1023, u"Dail"), Button(1025, u"HangUp"), Button(1026, u"Answer")};
    WindowView main;
    main.kind = desktop::WindowKind::Dialog;
    main.caption = u"Connect  with Pixel 7";
    main.controls = {Button(1000, u"START"), Button(1002, u"SearchDevice"), Button(1004, u"Dail"),
                     Button(1011, u"Say \"hi\""),
                     Button(1001, u"",
                            {u"Pixel 7", u"5C:F9:38:A1:B2:C3", u"x 00:1a:7d:da:71:13 y",
                             u"not 00:1A:7D:DA:71:1 an address", u"neither 00:1A:7D:DA:71:133"})};
    desktop::Snapshot snapshot;
    snapshot.windows = {box, main};
    return snapshot;
}

std::vector<std::string> Candidates(std::string_view line, const CompletionData& data) {
    return Complete(line, data).candidates;
}

TEST(Completion, GathersCaptionsIdsAndAddresses) {
    const CompletionData data = GatherCompletionData(TwoWindows());
    EXPECT_THAT(data.activeControls, ElementsAre("\"Dail\"", "\"HangUp\"", "\"Answer\""));
    // "Dail" is in both windows: offered once, with the active window's.
    EXPECT_THAT(data.otherControls,
                ElementsAre("\"START\"", "\"SearchDevice\"", "\"Say \\\"hi\\\"\""));
    EXPECT_THAT(data.controlIds, ElementsAre("1023", "1025", "1026"));
    EXPECT_THAT(data.windowCaptions, ElementsAre("\"HandFree\"", "\"Connect  with Pixel 7\""));
    EXPECT_THAT(data.addresses, ElementsAre("5C:F9:38:A1:B2:C3", "00:1a:7d:da:71:13"));
}

TEST(Completion, CommandsAndTheirWords) {
    CompletionData data;
    data.extraCommands = {"quit", "help"};
    EXPECT_EQ(Candidates("", data).size(), 12u);
    EXPECT_THAT(Candidates("p", data), ElementsAre("press", "power", "phone"));
    EXPECT_THAT(Candidates("  PR", data), ElementsAre("press"));
    EXPECT_THAT(Candidates("q", data), ElementsAre("quit"));
    EXPECT_THAT(Candidates("expect s", data), ElementsAre("selected"));
    EXPECT_THAT(Candidates("expect audio o", data), ElementsAre("on", "off"));
    EXPECT_THAT(Candidates("power ", data), ElementsAre("suspend", "resume"));
    EXPECT_THAT(Candidates("phone hold", data), ElementsAre("hold-events"));
    EXPECT_THAT(Candidates("phone connect 66:55:44:33:22:11 a", data),
                ElementsAre("a2dp", "avrcp-target", "avrcp"));
    EXPECT_THAT(Candidates("phone answer ", data), ElementsAre("auto", "manual"));
    EXPECT_THAT(Candidates("ok ", data), IsEmpty());
    EXPECT_THAT(Candidates("frobnicate ", data), IsEmpty());
}

TEST(Completion, ControlsOfTheActiveWindowFirst) {
    const CompletionData data = GatherCompletionData(TwoWindows());
    EXPECT_THAT(Candidates("press ", data), ElementsAre("\"Dail\"", "\"HangUp\"", "\"Answer\""));
    EXPECT_THAT(Candidates("press \"h", data), ElementsAre("\"HangUp\""));
    EXPECT_THAT(Candidates("press ha", data), ElementsAre("\"HangUp\""));
    // Not in the active window: the others are offered.
    EXPECT_THAT(Candidates("press S", data),
                ElementsAre("\"START\"", "\"SearchDevice\"", "\"Say \\\"hi\\\"\""));
    EXPECT_THAT(Candidates("expect enabled \"Say \\\"", data), ElementsAre("\"Say \\\"hi\\\"\""));
    EXPECT_THAT(Candidates("select 102", data), ElementsAre("1023", "1025", "1026"));
    EXPECT_THAT(Candidates("expect window \"C", data), ElementsAre("\"Connect  with Pixel 7\""));
    EXPECT_THAT(Candidates("press \"nothing", data), IsEmpty());
}

TEST(Completion, WordStartCoversAQuotedCaptionWithBlanks) {
    const CompletionData data = GatherCompletionData(TwoWindows());
    const std::string line = "expect caption \"Connect  w";
    const Completion completion = Complete(line, data);
    EXPECT_EQ(completion.wordStart, line.find('"'));
    EXPECT_THAT(completion.candidates, ElementsAre("\"Connect  with Pixel 7\""));
    // After a closed text, a new word begins.
    EXPECT_EQ(Complete("type 1008 \"a b\" ", data).wordStart, 16u);
}

TEST(Completion, AddressesWhereAWordLooksLikeOne) {
    const CompletionData data = GatherCompletionData(TwoWindows());
    EXPECT_THAT(Candidates("phone connect ", data),
                ElementsAre("5C:F9:38:A1:B2:C3", "00:1a:7d:da:71:13"));
    EXPECT_THAT(Candidates("phone pair 00:1A", data), ElementsAre("00:1a:7d:da:71:13"));
    EXPECT_THAT(Candidates("type 1008 \"5c", data), ElementsAre("\"5C:F9:38:A1:B2:C3\""));
    EXPECT_THAT(Candidates("phone ring 5", data), ElementsAre("5C:F9:38:A1:B2:C3"));
    // A word that is not hex digits and colons gets no address.
    EXPECT_THAT(Candidates("phone ring x", data), IsEmpty());
}

// What the shell offers after `phone` is what the simulated phone takes: every command and, for
// a link, every service name, and nothing it would refuse.
TEST(Completion, PhoneWordsAreThePhonesOwn) {
    const CompletionData data = GatherCompletionData(TwoWindows());
    std::vector<std::string> phoneCommands;
    for (std::string_view name : sim::ControlCommandNames()) {
        phoneCommands.emplace_back(name);
    }
    EXPECT_THAT(Candidates("phone ", data), UnorderedElementsAreArray(phoneCommands));

    const std::vector<std::string> services =
        Candidates("phone disconnect 66:55:44:33:22:11 ", data);
    EXPECT_FALSE(services.empty());
    for (const std::string& service : services) {
        EXPECT_TRUE(sim::ParseServiceCode(service).has_value()) << service;
    }
}

// An attached shell reads the same from the console's dump as a local one from its snapshot.
TEST(Completion, ADumpGivesWhatTheSnapshotGives) {
    const desktop::Snapshot snapshot = TwoWindows();
    std::vector<std::string> dump;
    AppendLines(script::DumpDesktop(snapshot), dump);
    const CompletionData fromDump = GatherCompletionDataFromDump(dump);
    const CompletionData direct = GatherCompletionData(snapshot);
    EXPECT_EQ(fromDump.activeControls, direct.activeControls);
    EXPECT_EQ(fromDump.otherControls, direct.otherControls);
    EXPECT_EQ(fromDump.controlIds, direct.controlIds);
    EXPECT_EQ(fromDump.windowCaptions, direct.windowCaptions);
    EXPECT_EQ(fromDump.addresses, direct.addresses);
    EXPECT_THAT(
        GatherCompletionDataFromDump({"window \"unclosed", "  12 button", "  x"}).activeControls,
        IsEmpty());
}

TEST(Completion, CommonPrefix) {
    EXPECT_EQ(CommonPrefix({}), "");
    EXPECT_EQ(CommonPrefix({"\"START\"", "\"STOP\""}), "\"ST");
    EXPECT_EQ(CommonPrefix({"press"}), "press");
    EXPECT_EQ(CommonPrefix({"on", "off", "x"}), "");
}

} // namespace
} // namespace kobalt::shell
