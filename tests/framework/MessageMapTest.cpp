// Message-map dispatch and run-time class information, without windows: messages go straight
// to OnWndMsg.
#include "framework/Afx.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr UINT WM_TEST_APP = WM_APP + 5;
UINT g_testRegistered = 0; // filled by the test, after the maps exist

WPARAM Command(int id, WORD code) {
    return static_cast<WPARAM>(static_cast<WORD>(id)) | (static_cast<WPARAM>(code) << 16);
}

class BaseWnd : public CWnd {
    DECLARE_DYNAMIC(BaseWnd)

public:
    std::vector<std::string> calls;

    void OnBase100() { calls.push_back("Base::100"); }
    void OnBase101() { calls.push_back("Base::101"); }
    void OnCommand200() { calls.push_back("Base::200"); }
    LRESULT OnTestApp(WPARAM wParam, LPARAM lParam) {
        calls.push_back("Base::app");
        return static_cast<LRESULT>(wParam) + lParam;
    }

    DECLARE_MESSAGE_MAP()
};

IMPLEMENT_DYNAMIC(BaseWnd, CWnd)

BEGIN_MESSAGE_MAP(BaseWnd, CWnd)
    ON_BN_CLICKED(100, &BaseWnd::OnBase100)
    ON_BN_CLICKED(101, &BaseWnd::OnBase101)
    ON_COMMAND(200, &BaseWnd::OnCommand200)
    ON_MESSAGE(WM_TEST_APP, &BaseWnd::OnTestApp)
END_MESSAGE_MAP()

class DerivedWnd : public BaseWnd {
    DECLARE_DYNAMIC(DerivedWnd)

public:
    void OnFirst100() { calls.push_back("Derived::100 first"); }
    void OnSecond100() { calls.push_back("Derived::100 second"); }
    void OnSize(UINT nType, int cx, int cy) {
        calls.push_back("Derived::size " + std::to_string(nType) + " " + std::to_string(cx) + "x" +
                        std::to_string(cy));
    }
    void OnDestroy() { calls.push_back("Derived::destroy"); }
    LRESULT OnRegistered(WPARAM wParam, LPARAM) {
        calls.push_back("Derived::registered");
        return static_cast<LRESULT>(wParam) * 2;
    }

    DECLARE_MESSAGE_MAP()
};

IMPLEMENT_DYNAMIC(DerivedWnd, BaseWnd)

BEGIN_MESSAGE_MAP(DerivedWnd, BaseWnd)
    ON_WM_SIZE()
    ON_BN_CLICKED(100, &DerivedWnd::OnFirst100)
    ON_BN_CLICKED(100, &DerivedWnd::OnSecond100)
    ON_REGISTERED_MESSAGE(g_testRegistered, &DerivedWnd::OnRegistered)
    ON_WM_DESTROY()
    ON_BN_CLICKED(102, &BaseWnd::OnBase101) // a base member bound in the derived map
END_MESSAGE_MAP()

// CWnd is not the first base, so the object and its CCmdTarget part have different addresses.
struct Tally {
    virtual ~Tally() = default;
    int hits = 0;
};

class MixedWnd : public Tally, public CWnd {
public:
    const MixedWnd* seenThis = nullptr;
    void OnSeven() {
        ++hits;
        seenThis = this;
    }
    DECLARE_MESSAGE_MAP()
};

BEGIN_MESSAGE_MAP(MixedWnd, CWnd)
    ON_BN_CLICKED(7, &MixedWnd::OnSeven)
END_MESSAGE_MAP()

// Dispatches one message; returns "unhandled" or the calls it made, joined by "; ".
std::string Dispatch(BaseWnd& wnd, UINT message, WPARAM wParam, LPARAM lParam = 0) {
    wnd.calls.clear();
    LRESULT result = -1;
    if (!wnd.OnWndMsg(message, wParam, lParam, &result)) {
        return "unhandled";
    }
    std::string joined;
    for (const std::string& call : wnd.calls) {
        joined += (joined.empty() ? "" : "; ") + call;
    }
    return joined + " -> " + std::to_string(result);
}

TEST(MessageMap, DerivedEntriesComeFirstAndTheFirstMatchWins) {
    DerivedWnd wnd;
    EXPECT_EQ(Dispatch(wnd, WM_COMMAND, Command(100, BN_CLICKED)), "Derived::100 first -> 0");
}

TEST(MessageMap, UnmatchedMessagesFallBackToTheBaseMap) {
    DerivedWnd wnd;
    EXPECT_EQ(Dispatch(wnd, WM_COMMAND, Command(101, BN_CLICKED)), "Base::101 -> 0");
    EXPECT_EQ(Dispatch(wnd, WM_COMMAND, Command(200, 0)), "Base::200 -> 0");
    EXPECT_EQ(Dispatch(wnd, WM_TEST_APP, 40, 2), "Base::app -> 42");
    EXPECT_EQ(Dispatch(wnd, WM_COMMAND, Command(102, BN_CLICKED)), "Base::101 -> 0");
}

TEST(MessageMap, CommandEntriesMatchBothIdAndNotificationCode) {
    DerivedWnd wnd;
    EXPECT_EQ(Dispatch(wnd, WM_COMMAND, Command(100, LBN_SELCHANGE)), "unhandled");
    EXPECT_EQ(Dispatch(wnd, WM_COMMAND, Command(103, BN_CLICKED)), "unhandled");
    EXPECT_EQ(Dispatch(wnd, WM_APP + 6, 0), "unhandled");
}

TEST(MessageMap, SizeAndDestroyEntriesCallTheirHandlers) {
    DerivedWnd wnd;
    const LPARAM size = (static_cast<LPARAM>(0x1F4) << 16) | 0x2D8; // 728 x 500
    EXPECT_EQ(Dispatch(wnd, WM_SIZE, SIZE_RESTORED, size), "Derived::size 0 728x500 -> 0");
    EXPECT_EQ(Dispatch(wnd, WM_DESTROY, 0), "Derived::destroy -> 0");
}

TEST(MessageMap, RegisteredEntryReadsItsVariableAtDispatchTime) {
    DerivedWnd wnd;
    g_testRegistered = 0;
    // An unregistered id (0) must not catch WM_NULL.
    EXPECT_EQ(Dispatch(wnd, WM_NULL, 0), "unhandled");

    g_testRegistered = RegisterWindowMessageW(u"WM_FRAMEWORK_TEST_REGISTERED");
    ASSERT_GE(g_testRegistered, 0xC000u);
    EXPECT_EQ(Dispatch(wnd, g_testRegistered, 21), "Derived::registered -> 42");
    g_testRegistered = 0;
}

TEST(MessageMap, HandlerSeesItsOwnObjectUnderMultipleInheritance) {
    MixedWnd wnd;
    LRESULT result = -1;
    EXPECT_TRUE(wnd.OnWndMsg(WM_COMMAND, Command(7, BN_CLICKED), 0, &result));
    EXPECT_EQ(wnd.hits, 1);
    EXPECT_EQ(wnd.seenThis, &wnd);
}

TEST(RuntimeClass, NamesAreClassNamesAndIsKindOfFollowsTheChain) {
    DerivedWnd wnd;
    const CObject& object = wnd;
    EXPECT_STREQ(object.GetRuntimeClass()->m_lpszClassName, "DerivedWnd");
    EXPECT_TRUE(object.IsKindOf(RUNTIME_CLASS(BaseWnd)));
    EXPECT_TRUE(object.IsKindOf(RUNTIME_CLASS(CWnd)));
    EXPECT_TRUE(object.IsKindOf(RUNTIME_CLASS(CObject)));
    EXPECT_FALSE(object.IsKindOf(RUNTIME_CLASS(CDialog)));

    CListBox list;
    EXPECT_STREQ(list.GetRuntimeClass()->m_lpszClassName, "CListBox");
    EXPECT_FALSE(BaseWnd().IsKindOf(RUNTIME_CLASS(DerivedWnd)));
}

} // namespace
