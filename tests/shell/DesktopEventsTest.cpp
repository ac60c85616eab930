#include "frontend/shell/DesktopEvents.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>

namespace kobalt::shell {
namespace {

using desktop::ControlKind;
using desktop::ControlView;
using desktop::Snapshot;
using desktop::WindowKind;
using desktop::WindowView;
using testing::ElementsAre;
using testing::IsEmpty;

// Handles are only compared: any distinct values do.
HWND Handle(std::uintptr_t n) {
    return reinterpret_cast<HWND>(n);
}

ControlView Control(std::uintptr_t hwnd, int id, ControlKind kind, std::u16string text) {
    ControlView control;
    control.hwnd = Handle(hwnd);
    control.id = id;
    control.kind = kind;
    control.text = std::move(text);
    return control;
}

ControlView List(std::uintptr_t hwnd, int id, std::vector<std::u16string> lines,
                 std::size_t total = SIZE_MAX) {
    ControlView control = Control(hwnd, id, ControlKind::ListBox, u"");
    control.lineCount = total == SIZE_MAX ? lines.size() : total;
    control.lines = std::move(lines);
    return control;
}

WindowView Dialog(std::uintptr_t hwnd, std::u16string caption, std::vector<ControlView> controls,
                  int templateId = 102) {
    WindowView window;
    window.hwnd = Handle(hwnd);
    window.kind = WindowKind::Dialog;
    window.templateId = templateId;
    window.caption = std::move(caption);
    window.controls = std::move(controls);
    return window;
}

WindowView Box(std::uintptr_t hwnd, std::u16string text, std::u16string caption) {
    WindowView window;
    window.hwnd = Handle(hwnd);
    window.kind = WindowKind::MessageBox;
    window.caption = std::move(caption);
    window.text = std::move(text);
    return window;
}

Snapshot Desktop(std::vector<WindowView> topFirst) {
    Snapshot snapshot;
    snapshot.windows = std::move(topFirst);
    return snapshot;
}

TEST(DesktopEvents, NothingChangedSaysNothing) {
    const Snapshot snapshot =
        Desktop({Dialog(1, u"KOBALTDemo", {List(10, 1001, {u"BlueTooth Start"})})});
    EXPECT_THAT(DescribeChanges(snapshot, snapshot), IsEmpty());
}

TEST(DesktopEvents, WindowsOpenedAndClosedBottomUp) {
    const Snapshot before = Desktop({Dialog(2, u"PhoneBook", {}, 110), Dialog(1, u"Main", {})});
    const Snapshot after = Desktop({Box(4, u"Connect HF Fail", u"KOBALTDemo"),
                                    Dialog(3, u"HandFree", {}, 130), Dialog(1, u"Main", {})});
    EXPECT_THAT(DescribeChanges(before, after),
                ElementsAre("[DEL] window \"PhoneBook\" dialog 110",
                            "[NEW] window \"HandFree\" dialog 130",
                            "[NEW] box \"Connect HF Fail\" \"KOBALTDemo\""));
    EXPECT_THAT(DescribeChanges(after, before),
                ElementsAre("[DEL] window \"HandFree\" dialog 130", "[DEL] box \"Connect HF Fail\"",
                            "[NEW] window \"PhoneBook\" dialog 110"));
}

TEST(DesktopEvents, CaptionAndTextChangesButNotWhatIsTyped) {
    const Snapshot before =
        Desktop({Dialog(1, u"KOBALTDemo",
                        {Control(10, 1008, ControlKind::Edit, u"01"),
                         Control(11, 1000, ControlKind::PushButton, u"START")})});
    const Snapshot after =
        Desktop({Dialog(1, u"Connect  with Pixel 7",
                        {Control(10, 1008, ControlKind::Edit, u"0123"),
                         Control(11, 1000, ControlKind::PushButton, u"STOP\x1b[2J")})});
    // Control characters from the console never reach the terminal.
    EXPECT_THAT(DescribeChanges(before, after),
                ElementsAre("[CHG] caption \"KOBALTDemo\" -> \"Connect  with Pixel 7\"",
                            "[CHG] 1000 text \"STOP\\x1B[2J\""));
}

TEST(DesktopEvents, ListLinesAddedNamedThenCounted) {
    const Snapshot before = Desktop({Dialog(1, u"Main", {List(10, 1001, {u"a", u"b"})})});
    const Snapshot one = Desktop({Dialog(1, u"Main", {List(10, 1001, {u"a", u"b", u"b"})})});
    EXPECT_THAT(DescribeChanges(before, one), ElementsAre("[ADD] 1001 \"b\""));

    std::vector<std::u16string> many = {u"a", u"b"};
    for (char16_t c = u'0'; c <= u'7'; ++c) {
        many.push_back(std::u16string(1, c));
    }
    const Snapshot eight = Desktop({Dialog(1, u"Main", {List(10, 1001, many)})});
    EXPECT_THAT(DescribeChanges(before, eight),
                ElementsAre("[ADD] 1001 \"0\"", "[ADD] 1001 \"1\"", "[ADD] 1001 \"2\"",
                            "[ADD] 1001 \"3\"", "[ADD] 1001 \"4\"", "[ADD] 1001 and 3 more lines"));
}

TEST(DesktopEvents, ListGrowingBeyondItsCopiedLinesIsCounted) {
    // 300 lines in the list, 256 copied: the rest are new all the same.
    std::vector<std::u16string> window(kEventLinesPerList, u"x");
    const Snapshot before = Desktop({Dialog(1, u"Main", {List(10, 1031, window, 1000)})});
    const Snapshot after = Desktop({Dialog(1, u"Main", {List(10, 1031, window, 1300)})});
    EXPECT_THAT(DescribeChanges(before, after), ElementsAre("[ADD] 1031 and 300 more lines"));
}

TEST(DesktopEvents, ListEmptiedOrShrunk) {
    const Snapshot full = Desktop({Dialog(1, u"Main", {List(10, 1001, {u"a", u"b"})})});
    const Snapshot empty = Desktop({Dialog(1, u"Main", {List(10, 1001, {})})});
    const Snapshot shorter = Desktop({Dialog(1, u"Main", {List(10, 1001, {u"b"})})});
    EXPECT_THAT(DescribeChanges(full, empty), ElementsAre("[CLR] 1001"));
    EXPECT_THAT(DescribeChanges(empty, empty), IsEmpty());
    EXPECT_THAT(DescribeChanges(full, shorter), IsEmpty());
}

TEST(DesktopEvents, ControlsAreMatchedByHandleNotId) {
    // A window made anew with the same ids is a new window, not a change.
    const Snapshot before = Desktop({Dialog(1, u"HandFree", {List(10, 1010, {u"Incoming..."})})});
    const Snapshot after = Desktop({Dialog(5, u"HandFree", {List(50, 1010, {u"HangUp"})})});
    EXPECT_THAT(DescribeChanges(before, after),
                ElementsAre("[DEL] window \"HandFree\" dialog 102",
                            "[NEW] window \"HandFree\" dialog 102"));
}

} // namespace
} // namespace kobalt::shell
