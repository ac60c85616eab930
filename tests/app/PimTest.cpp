// The phonebook and call-log dialogs against a fake PIM service. Events come through the
// callbacks the dialogs registered, called from the operator thread as the SDK's thread would.

#include "Operator.h"

#include "pim/Calllog.h"
#include "pim/PhoneBook.h"
#include "pim/RecordBuffer.h"
#include "platform/Desktop.h"
#include "platform/DeviceServices.h"
#include "sdk/SdkApi.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <cstring>
#include <functional>
#include <mutex>
#include <optional>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace {

using kobalt::test::Operator;
using RawRecord = std::vector<unsigned char>;

void PutText(RawRecord& record, std::size_t offset, const std::u16string& text) {
    std::memcpy(record.data() + offset, text.data(), text.size() * sizeof(char16_t));
}

RawRecord Contact(const std::u16string& name, const std::u16string& home,
                  const std::u16string& work, const std::u16string& cell) {
    RawRecord r(KOBALT_CONTACT_RECORD_SIZE, 0);
    PutText(r, KOBALT_CONTACT_NAME, name);
    PutText(r, KOBALT_CONTACT_HOME, home);
    PutText(r, KOBALT_CONTACT_WORK, work);
    PutText(r, KOBALT_CONTACT_CELL, cell);
    return r;
}

RawRecord Pushed(const std::u16string& name,
                 const std::vector<std::pair<int, std::u16string>>& slots) {
    RawRecord r(KOBALT_OPP_RECORD_SIZE, 0);
    PutText(r, 0, name);
    for (const auto& [slot, number] : slots)
        PutText(r, static_cast<std::size_t>(slot) * KOBALT_OPP_SLOT_SIZE, number);
    return r;
}

RawRecord LogEntry(const std::u16string& name, const std::u16string& number) {
    RawRecord r(KOBALT_CALLLOG_RECORD_SIZE, 0);
    PutText(r, KOBALT_CALLLOG_NAME, name);
    PutText(r, KOBALT_CALLLOG_NUMBER, number);
    return r;
}

// ASCII text as UTF-16.
std::u16string PimAscii(const std::string& text) {
    return std::u16string(text.begin(), text.end());
}

// The PIM service as the dialogs use it.
struct FakePim {
    static inline std::mutex mutex;
    static inline std::vector<RawRecord> contacts, pushed, calllogs;
    static inline uint32_t countAfterFill = UINT32_MAX; // what a fill reports; MAX: the truth
    static inline std::optional<uint32_t> countQuery;   // what a count query reports, if set
    static inline int fills = 0;
    static inline std::vector<std::string> calls;
    static inline std::atomic<KOBALT_PimCallback> callback{nullptr};

    static void Reset() {
        std::lock_guard<std::mutex> lock(mutex);
        contacts.clear();
        pushed.clear();
        calllogs.clear();
        countAfterFill = UINT32_MAX;
        countQuery.reset();
        fills = 0;
        calls.clear();
        callback = nullptr;
        g_SdkApi.KOBALT_PIMRegisterCallback = &Register;
        g_SdkApi.KOBALT_PIMGetContacts = &GetContacts;
        g_SdkApi.KOBALT_PIMGetOppContacts = &GetPushed;
        g_SdkApi.KOBALT_PIMGetCalllogs = &GetCalllogs;
        g_SdkApi.KOBALT_PIMStartUpdateContacts = &StartContacts;
        g_SdkApi.KOBALT_PIMStartUpdateCalllogEx = &StartCalllog;
        g_SdkApi.KOBALT_PIMStopUpdate = &Stop;
    }
    static std::vector<std::string> Calls() {
        std::lock_guard<std::mutex> lock(mutex);
        return calls;
    }

    static int Register(KOBALT_PimCallback cb) {
        callback = cb;
        return 0;
    }
    static int Fill(const std::vector<RawRecord>& from, void* records, uint32_t* count) {
        std::lock_guard<std::mutex> lock(mutex);
        if (!records) {
            *count = countQuery.value_or(static_cast<uint32_t>(from.size()));
            return 0;
        }
        ++fills;
        std::size_t n = std::min<std::size_t>(*count, from.size());
        auto* out = static_cast<unsigned char*>(records);
        for (std::size_t i = 0; i < n; ++i)
            std::memcpy(out + i * from[i].size(), from[i].data(), from[i].size());
        *count = countAfterFill == UINT32_MAX ? static_cast<uint32_t>(n) : countAfterFill;
        return 0;
    }
    static int GetContacts(void* records, uint32_t* count) {
        return Fill(contacts, records, count);
    }
    static int GetPushed(void* records, uint32_t* count) { return Fill(pushed, records, count); }
    static int GetCalllogs(void* records, uint32_t* count) {
        return Fill(calllogs, records, count);
    }
    static int StartContacts(int what) {
        std::lock_guard<std::mutex> lock(mutex);
        calls.push_back("StartUpdateContacts(" + std::to_string(what) + ")");
        return 0;
    }
    static int StartCalllog(int type) {
        std::lock_guard<std::mutex> lock(mutex);
        calls.push_back("StartUpdateCalllogEx(" + std::to_string(type) + ")");
        return 0;
    }
    static int Stop() {
        std::lock_guard<std::mutex> lock(mutex);
        calls.push_back("StopUpdate");
        return 0;
    }
};

class PimTest : public ::testing::Test {
protected:
    void SetUp() override { FakePim::Reset(); }

    // Runs `dlg` modally here while `operate` plays the operator on another thread.
    void Run(CDialog& dlg, int templateId, const std::function<void(HWND)>& operate) {
        std::thread operatorThread([&] {
            // A dialog that lists tens of thousands of records opens slowly under a sanitizer
            // on a loaded machine; failing early would leave it open and the test hanging.
            auto window = m_operator.WaitActive(templateId, std::chrono::seconds(60));
            if (window)
                operate(window->hwnd);
            else
                ADD_FAILURE() << "the dialog did not open";
            for (int i = 0; i < 10; ++i) {
                auto s = kobalt::desktop::TakeSnapshot();
                if (s.windows.empty())
                    break;
                if (s.windows.front().kind == kobalt::desktop::WindowKind::MessageBox)
                    m_operator.Answer(s.windows.front().hwnd);
                else
                    m_operator.Close(s.windows.front().hwnd);
            }
        });
        dlg.DoModal();
        operatorThread.join();
    }

    // Calls the registered callback as the SDK's thread would and waits until it is handled.
    void Event(HWND w, int32_t event) {
        auto cb = FakePim::callback.load();
        ASSERT_NE(cb, nullptr);
        cb(event);
        kobalt::desktop::WaitOwnerIdle(w, std::chrono::milliseconds(5000));
    }

    static std::vector<std::u16string> Rows(HWND w, int id) {
        auto c = Operator::Control(w, id);
        return c ? c->lines : std::vector<std::u16string>{};
    }

    std::u16string BoxAndAnswer() {
        auto box = m_operator.WaitBox();
        if (!box)
            return u"(no box)";
        m_operator.Answer(box->hwnd);
        return box->text;
    }

    Operator m_operator;
};

TEST_F(PimTest, OpeningListsStoredContactsNewestRecordFirstWorkHomeCell) {
    FakePim::contacts = {Contact(u"Ann", u"111", u"222", u"333"),
                         Contact(u"", u"999", u"999", u"999"), // no name: no row
                         Contact(u"Nobody", u"", u"", u""),    // no number: no row
                         Contact(std::u16string(31, u'L'), u"", u"", u"444"),
                         Contact(u"Bob", u"", u"", u"555")};
    PhoneBook dlg;
    Run(dlg, IDD_PHONEBOOK, [&](HWND w) {
        EXPECT_EQ(Rows(w, IDC_PHONEBOOK_LIST),
                  (std::vector<std::u16string>{
                      u"Bob(Cell)\t555", std::u16string(31, u'L') + u"(Cell)\t444",
                      u"Ann(Work)\t222", u"Ann(Home)\t111", u"Ann(Cell)\t333"}));
        auto list = Operator::Control(w, IDC_PHONEBOOK_LIST);
        ASSERT_EQ(list->columns.size(), 2u);
        EXPECT_EQ(list->columns[0].header, u"NAME");
        EXPECT_EQ(list->columns[0].width, 80);
        EXPECT_EQ(list->columns[1].header, u"Number");
        EXPECT_EQ(list->columns[1].width, 118);
        EXPECT_EQ(list->fontHeight, 15);
        EXPECT_TRUE(Operator::Control(w, IDC_PHONEBOOK_SYNC)->enabled);
    });
    EXPECT_EQ(g_hPhoneBookWnd.load() != nullptr, true);
}

TEST_F(PimTest, ListingNeverRunsPastTheRecordsAllocated) {
    FakePim::contacts = {Contact(u"Ann", u"", u"", u"1")};
    FakePim::countAfterFill = 50; // the SDK claims more than it was given room for
    PhoneBook dlg;
    Run(dlg, IDD_PHONEBOOK, [&](HWND w) {
        EXPECT_EQ(Rows(w, IDC_PHONEBOOK_LIST), std::vector<std::u16string>{u"Ann(Cell)\t1"});
    });
}

TEST_F(PimTest, UnterminatedFieldsAreReadNoFurtherThanTheirSlots) {
    RawRecord r(KOBALT_CONTACT_RECORD_SIZE, 0);
    PutText(r, KOBALT_CONTACT_NAME, std::u16string(32, u'N')); // fills the name slot
    PutText(r, KOBALT_CONTACT_HOME, std::u16string(41, u'7')); // runs into the work slot
    PutText(r, KOBALT_CONTACT_WORK, std::u16string(41, u'8'));
    FakePim::contacts = {r};
    PhoneBook dlg;
    Run(dlg, IDD_PHONEBOOK, [&](HWND w) {
        EXPECT_EQ(Rows(w, IDC_PHONEBOOK_LIST),
                  (std::vector<std::u16string>{
                      std::u16string(32, u'N') + u"(Work)\t" + std::u16string(41, u'8'),
                      std::u16string(32, u'N') + u"(Home)\t" + std::u16string(41, u'7')}));
    });
}

TEST_F(PimTest, EmptyPhonebookListsNothingAndMakesNoFillCall) {
    PhoneBook dlg;
    Run(dlg, IDD_PHONEBOOK, [&](HWND w) { EXPECT_TRUE(Rows(w, IDC_PHONEBOOK_LIST).empty()); });
    EXPECT_EQ(FakePim::fills, 0);
}

TEST_F(PimTest, SyncDownloadsThenListsAndEveryEventEnablesSyncAgain) {
    FakePim::contacts = {Contact(u"Ann", u"", u"", u"1")};
    PhoneBook dlg;
    Run(dlg, IDD_PHONEBOOK, [&](HWND w) {
        m_operator.Press(w, IDC_PHONEBOOK_SYNC);
        EXPECT_FALSE(Operator::Control(w, IDC_PHONEBOOK_SYNC)->enabled);
        EXPECT_TRUE(Rows(w, IDC_PHONEBOOK_LIST).empty());
        {
            std::lock_guard<std::mutex> lock(FakePim::mutex);
            FakePim::contacts.push_back(Contact(u"Bob", u"2", u"", u""));
        }
        Event(w, KOBALT_PIM_CONTACTS_DONE);
        EXPECT_EQ(Rows(w, IDC_PHONEBOOK_LIST),
                  (std::vector<std::u16string>{u"Bob(Home)\t2", u"Ann(Cell)\t1"}));
        EXPECT_TRUE(Operator::Control(w, IDC_PHONEBOOK_SYNC)->enabled);
    });
    EXPECT_EQ(FakePim::Calls(), std::vector<std::string>{"StartUpdateContacts(0)"});
}

TEST_F(PimTest, FailureCodesShowTheirNamesAndLeaveTheListEmpty) {
    const std::pair<int32_t, std::u16string> cases[] = {
        {KOBALT_PIM_FAIL, u"KOBALT_PIM_FAIL"},
        {KOBALT_PARAM_INVALID, u"KOBALT_PARAM_INVALID"},
        {KOBALT_NO_CONN, u"KOBALT_NO_CONN"},
        {KOBALT_CALL_ALREADYEXIST, u"KOBALT_CALL_ALREADYEXIST"}};
    for (const auto& c : cases) {
        const int32_t code = c.first;
        const std::u16string text = c.second;
        FakePim::Reset();
        FakePim::contacts = {Contact(u"Ann", u"", u"", u"1")};
        PhoneBook dlg;
        Run(dlg, IDD_PHONEBOOK, [&](HWND w) {
            m_operator.Press(w, IDC_PHONEBOOK_SYNC);
            FakePim::callback.load()(code);
            EXPECT_EQ(BoxAndAnswer(), text);
            kobalt::desktop::WaitOwnerIdle(w, std::chrono::milliseconds(5000));
            EXPECT_TRUE(Rows(w, IDC_PHONEBOOK_LIST).empty());
            EXPECT_TRUE(Operator::Control(w, IDC_PHONEBOOK_SYNC)->enabled);
        });
    }
}

TEST_F(PimTest, PushedContactsShowBeforeSyncOnlyWithBareNamesInSlotOrder) {
    FakePim::pushed = {Pushed(u"Eve", {{1, u"101"}, {2, u"102"}, {5, u"hidden"}, {7, u"107"}}),
                       Pushed(u"", {{1, u"999"}})};
    PhoneBook dlg;
    Run(dlg, IDD_PHONEBOOK, [&](HWND w) {
        Event(w, KOBALT_PIM_OPP_CONTACTS);
        EXPECT_EQ(Rows(w, IDC_PHONEBOOK_LIST),
                  (std::vector<std::u16string>{u"Eve\t107", u"Eve\t101", u"Eve\t102"}));
        // After Sync the sync callback has replaced the push callback: pushes are not seen.
        m_operator.Press(w, IDC_PHONEBOOK_SYNC);
        Event(w, KOBALT_PIM_OPP_CONTACTS);
        EXPECT_TRUE(Rows(w, IDC_PHONEBOOK_LIST).empty());
        EXPECT_FALSE(Operator::Control(w, IDC_PHONEBOOK_SYNC)->enabled);
    });
}

TEST_F(PimTest, StopBeforeSyncStopsAndLeavesSyncEnabled) {
    PhoneBook dlg;
    Run(dlg, IDD_PHONEBOOK, [&](HWND w) {
        m_operator.Press(w, IDC_PHONEBOOK_STOP);
        EXPECT_TRUE(Operator::Control(w, IDC_PHONEBOOK_SYNC)->enabled);
    });
    EXPECT_EQ(FakePim::Calls(), std::vector<std::string>{"StopUpdate"});
}

TEST_F(PimTest, AnEventAfterTheDialogClosedIsDroppedHarmlessly) {
    PhoneBook dlg;
    Run(dlg, IDD_PHONEBOOK, [&](HWND w) { m_operator.Press(w, IDC_PHONEBOOK_SYNC); });
    FakePim::callback.load()(KOBALT_PIM_CONTACTS_DONE); // posted to a window that is gone
    CCalllog log;
    Run(log, IDD_CALLLOG, [&](HWND w) { m_operator.Press(w, IDC_CALLLOG_INCOMING); });
    FakePim::callback.load()(KOBALT_PIM_CALLLOG_DONE);
    EXPECT_EQ(FakePim::fills, 0);
}

TEST_F(PimTest, CalllogListsNamedEntriesOnTopAndNamelessOnesSecond) {
    FakePim::calllogs = {LogEntry(u"A", u"1"), LogEntry(u"B", u""), LogEntry(u"", u"3"),
                         LogEntry(u"", u""), LogEntry(u"C", u"4")};
    CCalllog dlg;
    Run(dlg, IDD_CALLLOG, [&](HWND w) {
        EXPECT_TRUE(Rows(w, IDC_CALLLOG_LIST).empty()); // nothing fetched on opening
        m_operator.Press(w, IDC_CALLLOG_MISSED);
        EXPECT_EQ(kobalt::desktop::TakeSnapshot().windows.front().caption, u"Syncing...");
        Event(w, KOBALT_PIM_CALLLOG_DONE);
        EXPECT_EQ(Rows(w, IDC_CALLLOG_LIST),
                  (std::vector<std::u16string>{u"C\t4", u"B", u"3", u"A\t1"}));
        EXPECT_EQ(kobalt::desktop::TakeSnapshot().windows.front().caption, u"CallLog");
    });
    EXPECT_EQ(FakePim::Calls(), std::vector<std::string>{"StartUpdateCalllogEx(2)"});
}

TEST_F(PimTest, CalllogNamelessEntryInAnEmptyListIsTheOnlyRow) {
    FakePim::calllogs = {LogEntry(u"", u"0123")};
    CCalllog dlg;
    Run(dlg, IDD_CALLLOG, [&](HWND w) {
        m_operator.Press(w, IDC_CALLLOG_INCOMING);
        Event(w, KOBALT_PIM_CALLLOG_DONE);
        EXPECT_EQ(Rows(w, IDC_CALLLOG_LIST), std::vector<std::u16string>{u"0123"});
    });
}

TEST_F(PimTest, CalllogFailureShowsItsBoxThenTheCaption) {
    CCalllog dlg;
    Run(dlg, IDD_CALLLOG, [&](HWND w) {
        m_operator.Press(w, IDC_CALLLOG_OUTGOING);
        FakePim::callback.load()(KOBALT_PIM_FAIL);
        EXPECT_EQ(BoxAndAnswer(), u" NO Item Value");
        kobalt::desktop::WaitOwnerIdle(w, std::chrono::milliseconds(5000));
        EXPECT_EQ(kobalt::desktop::TakeSnapshot().windows.front().caption, u"CallLog");
        // A second button press clears the list and starts again.
        m_operator.Press(w, IDC_CALLLOG_INCOMING);
        EXPECT_EQ(kobalt::desktop::TakeSnapshot().windows.front().caption, u"Syncing...");
    });
    EXPECT_EQ(FakePim::Calls(),
              (std::vector<std::string>{"StartUpdateCalllogEx(1)", "StartUpdateCalllogEx(0)"}));
}

// A count query may report any number: one past the bound is refused (no fill call, nothing
// listed, a line on the debug output), while any count a real phone holds sizes the buffer.
TEST_F(PimTest, CountsPastTheBoundSizeNoBufferOnEveryListing) {
    for (uint32_t count : {kMaxPimRecords + 1, 0x7FFFFFFFu, 0xFFFFFFFFu, 70000u}) {
        SCOPED_TRACE(count);
        const bool refused = count > kMaxPimRecords;
        const int expectedFills = refused ? 0 : 3;
        FakePim::Reset();
        FakePim::contacts = {Contact(u"Ann", u"", u"", u"1")};
        FakePim::pushed = {Pushed(u"Eve", {{1, u"101"}})};
        FakePim::calllogs = {LogEntry(u"A", u"1")};
        FakePim::countQuery = count;
        const std::size_t debugBefore = kobalt::device::DebugLineCount();
        PhoneBook book;
        Run(book, IDD_PHONEBOOK, [&](HWND w) {
            Event(w, KOBALT_PIM_OPP_CONTACTS);
            const auto rows = Rows(w, IDC_PHONEBOOK_LIST);
            EXPECT_EQ(rows.empty(), refused);
        });
        CCalllog log;
        Run(log, IDD_CALLLOG, [&](HWND w) {
            m_operator.Press(w, IDC_CALLLOG_INCOMING);
            Event(w, KOBALT_PIM_CALLLOG_DONE);
            EXPECT_EQ(Rows(w, IDC_CALLLOG_LIST).empty(), refused);
            // A refused count is an allocation failure: the caption keeps "Syncing...".
            EXPECT_EQ(kobalt::desktop::TakeSnapshot().windows.front().caption,
                      refused ? u"Syncing..." : u"CallLog");
        });
        EXPECT_EQ(FakePim::fills, expectedFills);
        const std::vector<std::u16string> debug = kobalt::device::DebugLines();
        std::vector<std::u16string> said(debug.begin() + static_cast<std::ptrdiff_t>(debugBefore),
                                         debug.end());
        const std::u16string tail =
            u": count " + PimAscii(std::to_string(count)) + u" refused (at most 1048576 records)";
        // Pushed contacts are bounded by their buffer's size first.
        const std::u16string pushedTail =
            u": count " + PimAscii(std::to_string(count)) + u" refused (at most 95698 records)";
        if (refused) {
            EXPECT_EQ(said,
                      (std::vector<std::u16string>{u"[KOBALT][PIM]Contacts" + tail,
                                                   u"[KOBALT][PIM]Pushed contacts" + pushedTail,
                                                   u"[KOBALT][PIM]Call logs" + tail}));
        } else {
            EXPECT_EQ(said, std::vector<std::u16string>{});
        }
    }
}

// The 5610-byte pushed-contact records are bounded by bytes as well: a count that the contact
// and call-log listings take would size a buffer of gigabytes for them, and is refused.
TEST_F(PimTest, PushedContactCountsAreBoundedByTheBufferSize) {
    const uint32_t most = MaxPimRecords(KOBALT_OPP_RECORD_SIZE);
    ASSERT_LT(most, kMaxPimRecords);
    ASSERT_LE(std::size_t{most} * KOBALT_OPP_RECORD_SIZE, kMaxPimBytes);
    for (uint32_t count : {most + 1, kMaxPimRecords, most}) {
        SCOPED_TRACE(count);
        const bool refused = count > most;
        FakePim::Reset();
        FakePim::pushed = {Pushed(u"Eve", {{1, u"101"}})};
        FakePim::countQuery = count;
        const std::size_t debugBefore = kobalt::device::DebugLineCount();
        PhoneBook book;
        Run(book, IDD_PHONEBOOK, [&](HWND w) {
            const int fillsBefore = FakePim::fills; // the stored contacts, listed on opening
            Event(w, KOBALT_PIM_OPP_CONTACTS);
            EXPECT_EQ(Rows(w, IDC_PHONEBOOK_LIST).empty(), refused);
            EXPECT_EQ(FakePim::fills - fillsBefore, refused ? 0 : 1);
        });
        const std::vector<std::u16string> debug = kobalt::device::DebugLines();
        std::vector<std::u16string> said(debug.begin() + static_cast<std::ptrdiff_t>(debugBefore),
                                         debug.end());
        if (refused) {
            EXPECT_EQ(said, (std::vector<std::u16string>{
                                u"[KOBALT][PIM]Pushed contacts: count " +
                                PimAscii(std::to_string(count)) + u" refused (at most " +
                                PimAscii(std::to_string(most)) + u" records)"}));
        } else {
            EXPECT_EQ(said, std::vector<std::u16string>{});
        }
    }
}

// The PIM events the dialogs report, as the monkey's ledger collects them.
struct PimReports {
    static inline std::mutex mutex;
    static inline std::vector<std::string> lines;
    static void Observe(std::string_view line) {
        std::lock_guard<std::mutex> lock(mutex);
        lines.emplace_back(line);
    }
    static std::vector<std::string> Take() {
        std::lock_guard<std::mutex> lock(mutex);
        return std::exchange(lines, {});
    }
};

TEST_F(PimTest, DialogsReportEachPimEventTheyHandleOnce) {
    kobalt::desktop::SetHandledEventObserver(&PimReports::Observe);
    PimReports::Take();
    PhoneBook book;
    Run(book, IDD_PHONEBOOK, [&](HWND w) {
        Event(w, KOBALT_PIM_OPP_CONTACTS);
        Event(w, KOBALT_PIM_CALLLOG_DONE); // not the phonebook's: dropped by its callback
    });
    CCalllog log;
    Run(log, IDD_CALLLOG, [&](HWND w) {
        m_operator.Press(w, IDC_CALLLOG_MISSED);
        Event(w, KOBALT_PIM_CALLLOG_DONE);
    });
    kobalt::desktop::SetHandledEventObserver(nullptr);
    EXPECT_EQ(PimReports::Take(), (std::vector<std::string>{"PimCallback(6)", "PimCallback(5)"}));
}

// A phonebook of a real size is listed whole: one row per contact and number.
TEST_F(PimTest, ListsAPhonebookOfSeventyThousandContacts) {
    constexpr std::size_t kContacts = 70000;
    FakePim::contacts.reserve(kContacts);
    for (std::size_t i = 0; i < kContacts; ++i) {
        const std::u16string id = PimAscii(std::to_string(i));
        FakePim::contacts.push_back(Contact(u"C" + id, u"", u"", id));
    }
    PhoneBook dlg;
    Run(dlg, IDD_PHONEBOOK, [&](HWND w) {
        const auto rows = Rows(w, IDC_PHONEBOOK_LIST);
        ASSERT_EQ(rows.size(), kContacts);
        EXPECT_EQ(rows.front(), u"C69999(Cell)\t69999");
        EXPECT_EQ(rows.back(), u"C0(Cell)\t0");
    });
    EXPECT_EQ(g_ContactCount, kContacts);
}

} // namespace
