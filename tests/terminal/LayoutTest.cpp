// Dialog units and pixels to character cells, over the console's real templates.
#include "TerminalTestSupport.h"

#include "platform/DialogTemplate.h"
#include "res/resource.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <sstream>

namespace kobalt::terminal {
namespace {

CellRect DluCells(int x, int y, int cx, int cy) {
    RECT rect{x, y, x + cx, y + cy};
    MapDialogRect(nullptr, &rect);
    return ControlCells(rect);
}

bool Overlap(const CellRect& a, const CellRect& b) {
    return a.col < b.Right() && b.col < a.Right() && a.row < b.Bottom() && b.row < a.Bottom();
}

class EveryTemplate : public ::testing::TestWithParam<int> {};

TEST_P(EveryTemplate, ControlsGetCellsOfTheirOwnInsideTheDialog) {
    const DialogTemplate* tmpl = FindDialogTemplate(GetParam());
    ASSERT_NE(tmpl, nullptr);
    const CellRect client = DluCells(0, 0, tmpl->cx, tmpl->cy);
    std::vector<CellRect> shown;
    for (const DialogControlTemplate& control : tmpl->controls) {
        const CellRect cells = DluCells(control.x, control.y, control.cx, control.cy);
        EXPECT_GE(cells.rows, 1) << "control " << control.id;
        EXPECT_GE(cells.cols, 1) << "control " << control.id;
        EXPECT_LE(cells.Right(), client.cols) << "control " << control.id;
        EXPECT_LE(cells.Bottom(), client.rows) << "control " << control.id;
        if ((control.style & WS_VISIBLE) == 0) {
            continue;
        }
        for (std::size_t i = 0; i < shown.size(); ++i) {
            EXPECT_FALSE(Overlap(cells, shown[i]))
                << "control " << control.id << " is drawn over control " << tmpl->controls[i].id;
        }
        shown.push_back(cells);
    }
}

INSTANTIATE_TEST_SUITE_P(Templates, EveryTemplate,
                         ::testing::Values(IDD_KOBALTDEMO_DIALOG, IDD_SETTING, IDD_HANDFREE,
                                           IDD_DTMF, IDD_PHONEBOOK, IDD_A2DP, IDD_DUN, IDD_CALLLOG,
                                           IDD_AUTOTEST));

TEST(ControlCells, EdgesRoundOnTheirOwn) {
    // A dialog unit is a quarter column and an eighth of a row; halves round up.
    EXPECT_EQ(DluCells(14, 12, 59, 18), (CellRect{4, 2, 14, 2})); // START: 3.5..18.25, 1.5..3.75
    // Hands-free "Clear", "Dail" and "ReDial" sit edge to edge and stay so.
    EXPECT_EQ(DluCells(160, 34, 81, 16), (CellRect{40, 4, 20, 2}));
    EXPECT_EQ(DluCells(160, 50, 81, 15), (CellRect{40, 6, 20, 2}));
    EXPECT_EQ(DluCells(160, 65, 33, 15), (CellRect{40, 8, 8, 2}));
    // Too small to reach a cell edge: still one cell.
    EXPECT_EQ(DluCells(9, 9, 1, 1), (CellRect{2, 1, 1, 1}));
}

TEST(LayOut, CentresBoxesAboveTheStatusLineAndPlacesTheCloseBox) {
    desktop::Snapshot snapshot;
    desktop::WindowView main;
    main.rect = RECT{100, 50, 100 + 20 * 8, 50 + 5 * 16}; // the desktop's position is not used
    main.exStyle = WS_EX_CAPTIONOKBTN;
    desktop::WindowView box;
    box.rect = RECT{0, 0, 8 * 8, 2 * 16};
    box.style = WS_SYSMENU;
    box.active = true;
    desktop::ControlView hidden;
    hidden.visible = false;
    box.controls.push_back(hidden);
    snapshot.windows = {box, main};

    const ScreenLayout layout = LayOut(snapshot, ScreenSize{31, 11});
    EXPECT_EQ(layout.windowRows, 10);
    EXPECT_EQ(layout.active, 0);
    EXPECT_EQ(layout.windows[1].box, (CellRect{4, 1, 22, 7}));
    EXPECT_EQ(layout.windows[1].client, (CellRect{5, 2, 20, 5}));
    EXPECT_EQ(layout.windows[1].closeBox, (CellRect{20, 1, 4, 1})); // "[OK]"
    EXPECT_EQ(layout.windows[0].box, (CellRect{10, 3, 10, 4}));
    EXPECT_EQ(layout.windows[0].closeBox, (CellRect{15, 3, 3, 1})); // "[x]"
    EXPECT_TRUE(layout.windows[0].controls.empty()) << "hidden controls take no place";
    EXPECT_FALSE(layout.tooSmall);
}

TEST(LayOut, OnlyTheActiveWindowMustFit) {
    desktop::Snapshot snapshot;
    desktop::WindowView big;
    big.rect = RECT{0, 0, 40 * 8, 10 * 16};
    desktop::WindowView small;
    small.rect = RECT{0, 0, 10 * 8, 2 * 16};
    small.active = true;
    snapshot.windows = {small, big};
    const ScreenLayout layout = LayOut(snapshot, ScreenSize{20, 6});
    EXPECT_FALSE(layout.tooSmall);
    EXPECT_EQ(layout.windows[1].box.col, -11) << "a larger window is centred and cut";
    snapshot.windows[0].active = false;
    snapshot.windows[1].active = true;
    EXPECT_TRUE(LayOut(snapshot, ScreenSize{20, 6}).tooSmall);
}

// The size a document gives with `pattern` (two numbers: columns, rows).
ScreenSize Documented(const std::string& file, const std::regex& pattern) {
    std::ifstream in(std::string(KOBALT_SOURCE_DIR) + "/" + file);
    std::stringstream text;
    text << in.rdbuf();
    const std::string content = text.str();
    std::smatch match;
    if (!std::regex_search(content, match, pattern)) {
        ADD_FAILURE() << file << " gives no minimum terminal size";
        return {};
    }
    return ScreenSize{std::stoi(match[1]), std::stoi(match[2])};
}

TEST(MinimumScreen, IsWhatTheDocumentsSayAndEveryTemplateFitsInIt) {
    const ScreenSize minimum = MinimumScreen();
    EXPECT_EQ(Documented("README.md", std::regex(R"(at least\s+(\d+) x (\d+))")), minimum);
    EXPECT_EQ(Documented("docs/man/KOBALTDemo.1", std::regex(R"((\d+)\s+columns and (\d+) lines)")),
              minimum);

    // Every template the console can open, each shown alone: it fits, and the figure is no
    // larger than the widest and the tallest need.
    bool widest = false;
    bool tallest = false;
    const std::vector<const DialogTemplate*> templates = DialogTemplates();
    ASSERT_GE(templates.size(), 10u);
    for (const DialogTemplate* tmpl : templates) {
        ASSERT_NE(tmpl->name, nullptr) << "template " << tmpl->id;
        testing::TemplateDialog dialog(tmpl->id);
        const desktop::Snapshot snapshot = desktop::TakeSnapshot();
        EXPECT_FALSE(LayOut(snapshot, minimum).tooSmall) << tmpl->name;
        widest = widest || LayOut(snapshot, ScreenSize{minimum.cols - 1, minimum.rows}).tooSmall;
        tallest = tallest || LayOut(snapshot, ScreenSize{minimum.cols, minimum.rows - 1}).tooSmall;
    }
    EXPECT_TRUE(widest) << "no template needs " << minimum.cols << " columns";
    EXPECT_TRUE(tallest) << "no template needs " << minimum.rows << " rows";
}

TEST(MinimumScreen, TheTelephoneWindowIsWiderThanTheMainWindow) {
    testing::TemplateDialog handFree(IDD_HANDFREE);
    const ScreenLayout layout = LayOut(desktop::TakeSnapshot(), ScreenSize{93, 25});
    EXPECT_TRUE(layout.tooSmall);
    EXPECT_EQ(layout.needed, (ScreenSize{95, 23}));
    EXPECT_EQ(WindowName(desktop::TakeSnapshot().windows[0]), u"IDD_HANDFREE");
}

TEST(ControlBorders, FollowTheStyleAndTheRowsThereAre) {
    desktop::ControlView list;
    list.kind = desktop::ControlKind::ListBox;
    list.style = WS_BORDER;
    EXPECT_EQ(BorderOf(list, CellRect{0, 0, 10, 3}), Border::Box);
    EXPECT_EQ(BorderOf(list, CellRect{0, 0, 10, 2}), Border::Lid);
    EXPECT_EQ(BorderOf(list, CellRect{0, 0, 10, 1}), Border::Sides);
    EXPECT_EQ(BorderOf(list, CellRect{0, 0, 2, 5}), Border::None) << "no room for text";
    list.style = 0;
    EXPECT_EQ(BorderOf(list, CellRect{0, 0, 10, 3}), Border::None);
    desktop::ControlView group;
    group.kind = desktop::ControlKind::PushButton;
    group.style = 0x0007; // BS_GROUPBOX
    EXPECT_EQ(BorderOf(group, CellRect{0, 0, 10, 3}), Border::Box);

    EXPECT_EQ(ContentOf(CellRect{4, 2, 10, 5}, Border::Box), (CellRect{5, 3, 8, 3}));
    EXPECT_EQ(ContentOf(CellRect{4, 2, 10, 2}, Border::Lid), (CellRect{5, 3, 8, 1}));
    EXPECT_EQ(ContentOf(CellRect{4, 2, 10, 1}, Border::Sides), (CellRect{5, 2, 8, 1}));
}

TEST(ListLines, ListViewColumnsAreCutButTheLastAndTheWidestLineSetsTheScroll) {
    desktop::ControlView view;
    view.kind = desktop::ControlKind::ListView;
    view.columns = {{u"NAME", 80}, {u"Number", 40}}; // 10 and 5 cells
    view.lines = {u"Bartholomew\t0049 170 1234", u"Al\t1"};
    const std::vector<ListColumn> columns = ListColumns(view);
    ASSERT_EQ(columns.size(), 2u);
    EXPECT_EQ(columns[1].start, 10);
    std::string shown;
    for (const PlacedGlyph& placed : ListLineGlyphs(columns, view.lines[0])) {
        shown.resize(static_cast<std::size_t>(placed.col), ' ');
        shown += static_cast<char>(placed.glyph.ch);
    }
    EXPECT_EQ(shown, "Bartholom 0049 170 1234");
    EXPECT_EQ(ListLineCols(view), 23);
    // Content 12 wide: 11 for text beside the scroll indicator.
    EXPECT_EQ(MaxListShift(view, CellRect{0, 0, 12, 4}), 12);
    EXPECT_EQ(MaxListShift(view, CellRect{0, 0, 30, 4}), 0);
}

} // namespace
} // namespace kobalt::terminal
