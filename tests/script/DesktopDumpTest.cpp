#include "frontend/common/DesktopDump.h"

#include <gtest/gtest.h>

namespace kobalt::script {
namespace {

using desktop::ControlKind;
using desktop::ControlView;
using desktop::Snapshot;
using desktop::WindowKind;
using desktop::WindowView;

ControlView Control(int id, ControlKind kind, std::u16string text) {
    ControlView control;
    control.id = id;
    control.kind = kind;
    control.text = std::move(text);
    return control;
}

ControlView List(int id, ControlKind kind, std::vector<std::u16string> lines, int selected) {
    ControlView control = Control(id, kind, u"");
    control.lineCount = lines.size();
    control.lines = std::move(lines);
    control.selected = selected;
    return control;
}

TEST(DesktopDump, EmptyDesktop) {
    EXPECT_EQ(DumpDesktop(Snapshot{}), "no windows\n");
}

TEST(DesktopDump, MainWindowUnderAMessageBox) {
    WindowView box;
    box.kind = WindowKind::MessageBox;
    box.caption = u"ERROR";
    box.text = u"Load KOBALT.dll Fail";
    box.active = true;

    WindowView main;
    main.kind = WindowKind::Dialog;
    main.templateId = 102;
    main.caption = u"KOBALTDemo";
    main.enabled = false;
    main.controls.push_back(Control(1000, ControlKind::PushButton, u"START"));
    main.controls.back().focused = true;
    main.controls.push_back(List(1001, ControlKind::ListBox, {u"BlueTooth Start", u"b"}, 1));
    main.controls.push_back(Control(1004, ControlKind::PushButton, u"Dail"));
    main.controls.back().enabled = false;
    main.controls.push_back(Control(1012, ControlKind::Edit, u"0123"));
    main.controls.push_back(Control(1046, ControlKind::RadioButton, u"140"));
    main.controls.push_back(Control(1048, ControlKind::RadioButton, u"Default"));
    main.controls.back().checked = true;
    main.controls.push_back(Control(200, ControlKind::Static, u"TODO"));
    main.controls.back().visible = false;
    main.controls.push_back(Control(7, ControlKind::Other, u""));
    main.controls.push_back(List(1002, ControlKind::ListBox, {}, -1));

    Snapshot snapshot;
    snapshot.version = 42;
    snapshot.windows = {box, main};
    EXPECT_EQ(DumpDesktop(snapshot), "window \"ERROR\" messagebox active\n"
                                     "  text \"Load KOBALT.dll Fail\"\n"
                                     "window \"KOBALTDemo\" dialog 102 disabled\n"
                                     "  1000 button \"START\" enabled focused\n"
                                     "  1001 listbox \"\" enabled selected 1 lines 2\n"
                                     "    0 \"BlueTooth Start\"\n"
                                     "    1 \"b\"\n"
                                     "  1004 button \"Dail\" disabled\n"
                                     "  1012 edit \"0123\" enabled\n"
                                     "  1046 radio \"140\" enabled unchecked\n"
                                     "  1048 radio \"Default\" enabled checked\n"
                                     "  200 static \"TODO\" enabled hidden\n"
                                     "  7 other \"\" enabled\n"
                                     "  1002 listbox \"\" enabled selected -1 lines 0\n");
}

TEST(DesktopDump, ListViewWithColumnsAndAWindowOfItsRows) {
    ControlView view = List(1050, ControlKind::ListView, {u"Bob\t0123", u"Eve\t555"}, -1);
    view.columns = {{u"Name", 80}, {u"Number", 120}};
    view.firstLine = 10;
    view.lineCount = 15;
    WindowView window;
    window.kind = WindowKind::Dialog;
    window.caption = u"PhoneBook";
    window.active = true;
    window.controls = {view};
    EXPECT_EQ(DumpDesktop(Snapshot{1, {window}}),
              "window \"PhoneBook\" dialog active\n"
              "  1050 listview \"\" enabled selected -1 lines 15\n"
              "    columns \"Name\" \"Number\"\n"
              "    ... 10 lines above\n"
              "    10 \"Bob\\t0123\"\n"
              "    11 \"Eve\\t555\"\n"
              "    ... 3 lines below\n");
}

TEST(DesktopDump, NeutralisesControlCharactersFromTheConsole) {
    WindowView window;
    window.caption = u"evil\x1B]0;title\x07";
    window.controls = {Control(1, ControlKind::Static, u"line\r\nbreak \"q\"")};
    EXPECT_EQ(DumpDesktop(Snapshot{1, {window}}),
              "window \"evil\\x1B]0;title\\x07\" other\n"
              "  1 static \"line\\r\\nbreak \\\"q\\\"\" enabled\n");
}

} // namespace
} // namespace kobalt::script
