#include "ControlTestSupport.h"

#include "platform/ControlServices.h"

#include <gtest/gtest.h>

#include <memory>

namespace kobalt::platform::testing {
namespace {

constexpr int kId = 1003;

Op Type(std::u16string text) {
    auto owned = std::make_shared<std::u16string>(std::move(text));
    return {"KM_INPUT_TYPE \"" + Utf8(*owned) + "\"", [owned](HWND hwnd) {
                return SendMessageW(hwnd, KM_INPUT_TYPE, 0, reinterpret_cast<LPARAM>(owned.get()));
            }};
}

TEST(Edit, TextCaretAndChangeNotifications) {
    struct Step {
        Op op;
        std::string text;
        int caret;
        std::vector<std::string> notifications;
    };
    const Step steps[] = {
        {Type(u"123"), "123", 3, {"1003/768"}},
        {Send(EM_SETSEL, 1, 2), "123", 2, {}},
        {Send(EM_SETSEL, static_cast<WPARAM>(-1), 0), "123", 2, {}},
        {Send(EM_SETSEL, 0, -1), "123", 3, {}},
        {Send(EM_SETSEL, 0, 99), "123", 3, {}},
        {SendText(WM_SETTEXT, 0, u"+4912345"), "+4912345", 0, {"1003/768"}},
        {Type(u""), "", 0, {"1003/768"}},
    };
    TestParent parent;
    const HWND edit = parent.Add(WC_EDIT, ES_AUTOHSCROLL, kId, 16, u"start");
    EXPECT_EQ(Utf8(ViewOf(edit).text), "start");
    for (const Step& step : steps) {
        SCOPED_TRACE(step.op.name);
        step.op.run(edit);
        const desktop::ControlView view = ViewOf(edit);
        EXPECT_EQ(Utf8(view.text), step.text);
        EXPECT_EQ(view.caret, step.caret);
        EXPECT_EQ(parent.TakeNotifications(), step.notifications);
    }
}

} // namespace
} // namespace kobalt::platform::testing
