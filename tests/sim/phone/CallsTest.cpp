// The phone's call model, without threads: each command in each state it may meet.
//
// ```mermaid
// stateDiagram-v2
//     [*] --> Dialing: Dial / LastNumRedial (7, 10)
//     Dialing --> Alerting: alert timer
//     Alerting --> Active: far end answers (auto timer or accept) / 6, 3
//     [*] --> Incoming: ring (8, 11; repeated)
//     Incoming --> Active: AnswerCall / 6, 3
//     Incoming --> Held: HoldInComingCall / 22
//     Incoming --> [*]: ring time over, far end or CancelCall / 5 (missed)
//     Active --> [*]: CancelCall or hangup / 5, 4
//     Active --> ActiveWaiting: waiting NUMBER / 23
//     ActiveWaiting --> HeldActive: HoldActiveToAnswerInComing / 24
//     ActiveWaiting --> Active: ReleaseActiveToAnswerInComing / 24
//     ActiveWaiting --> Active: RejectInComingCall, ring time over / 25
//     ActiveWaiting --> Incoming: CancelCall (the waiting call rings) / 5, 8, 11
//     HeldActive --> Held: CancelCall / 5
//     Held --> Active: AcceptHoldInComingCall / 24, 3
//     Held --> [*]: RejectHoldInComingCall / 25, 4
//     Dialing --> [*]: CancelCall / 5
// ```
//
// The audio gateway's AT+CHLD (CallModel::Chld: swaps, conferences, explicit transfer) has its
// diagram in AgEngine.md beside this file.
//
// Audio: Phone until a call becomes active (Device, 3); Transfer / TransferBack move it while a
// call exists (3 / 4); when the last call ends it leaves the device (4).
#include "sim/phone/Calls.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>
#include <map>

namespace kobalt::sim {
namespace {

using testing::ElementsAre;
using testing::IsEmpty;

// "7 10:\"100\" 17:&3"
std::string Dump(const CallStep& step) {
    std::string out;
    for (const HfSignal& s : step.signals) {
        out += (out.empty() ? "" : " ") + std::to_string(static_cast<uint32_t>(s.code));
        if (s.kind == HfData::Text) {
            out += ":\"" + s.text + "\"";
        } else if (s.kind == HfData::Level) {
            out += ":&" + std::to_string(s.level);
        }
    }
    return out;
}

std::string KindName(CallKind kind) {
    switch (kind) {
    case CallKind::Incoming:
        return "incoming";
    case CallKind::Outgoing:
        return "outgoing";
    case CallKind::Missed:
        return "missed";
    }
    return "?";
}

struct Model {
    CallModel model{[] { return std::chrono::system_clock::time_point{}; }};
    std::vector<CallTimer> timers;
    std::vector<std::string> history; // "missed 200"

    CallStep Take(CallStep step) {
        timers.insert(timers.end(), step.timers.begin(), step.timers.end());
        for (const CallRecord& record : step.finished) {
            history.push_back(KindName(record.kind) + " " + record.number);
        }
        return step;
    }
    // Fires the latest timer of `kind`.
    CallStep Fire(TimerKind kind) {
        for (auto it = timers.rbegin(); it != timers.rend(); ++it) {
            if (it->kind == kind) {
                const CallTimer timer = *it;
                return Take(model.Fire(timer));
            }
        }
        ADD_FAILURE() << "no timer of kind " << static_cast<int>(kind);
        return {};
    }
    // "1 incoming held 200, 2 incoming active 300"
    std::string Calls() const {
        std::string out;
        for (const Call& call : model.Calls()) {
            out += (out.empty() ? "" : ", ") + std::to_string(call.index) + " " +
                   std::string(DirectionName(call.direction)) + " " +
                   std::string(StateName(call.state)) + " " + call.number +
                   (call.multiparty ? " conference" : "");
        }
        return out;
    }
};

using Command = std::function<CallStep(Model&)>;

const std::map<std::string, Command>& Commands() {
    static const std::map<std::string, Command> commands = {
        {"dial", [](Model& m) { return m.Take(m.model.Dial("100")); }},
        {"redial", [](Model& m) { return m.Take(m.model.Redial()); }},
        {"answer", [](Model& m) { return m.Take(m.model.Answer()); }},
        {"cancel", [](Model& m) { return m.Take(m.model.HangUp()); }},
        {"hold-active", [](Model& m) { return m.Take(m.model.HoldActiveAnswerWaiting()); }},
        {"release-active", [](Model& m) { return m.Take(m.model.ReleaseActiveAnswerWaiting()); }},
        {"reject-waiting", [](Model& m) { return m.Take(m.model.RejectWaiting()); }},
        {"hold-incoming", [](Model& m) { return m.Take(m.model.HoldIncoming()); }},
        {"accept-held", [](Model& m) { return m.Take(m.model.AcceptHeld()); }},
        {"reject-held", [](Model& m) { return m.Take(m.model.RejectHeld()); }},
        {"transfer", [](Model& m) { return m.Take(m.model.Transfer()); }},
        {"transfer-back", [](Model& m) { return m.Take(m.model.TransferBack()); }},
        {"dtmf 5", [](Model& m) { return m.Take(m.model.Dtmf('5')); }},
        {"ring", [](Model& m) { return m.Take(m.model.Ring("200")); }},
        {"waiting", [](Model& m) { return m.Take(m.model.Waiting("300")); }},
        {"accept", [](Model& m) { return m.Take(m.model.FarEndAccepts()); }},
        {"hangup", [](Model& m) { return m.Take(m.model.FarEndHangsUp(std::nullopt)); }},
        {"hangup 2", [](Model& m) { return m.Take(m.model.FarEndHangsUp(2)); }},
        {"alert", [](Model& m) { return m.Fire(TimerKind::Alert); }},
        {"answer-timer", [](Model& m) { return m.Fire(TimerKind::FarEndAnswers); }},
        {"ring-again", [](Model& m) { return m.Fire(TimerKind::RingAgain); }},
        {"ring-timeout", [](Model& m) { return m.Fire(TimerKind::RingTimeout); }},
        // AT+CHLD from the audio gateway.
        {"chld 0", [](Model& m) { return m.Take(m.model.Chld(HoldAction::ReleaseHeldOrWaiting)); }},
        {"chld 1",
         [](Model& m) { return m.Take(m.model.Chld(HoldAction::ReleaseActiveAcceptOther)); }},
        {"chld 12", [](Model& m) { return m.Take(m.model.Chld(HoldAction::ReleaseCall, 2)); }},
        {"chld 13", [](Model& m) { return m.Take(m.model.Chld(HoldAction::ReleaseCall, 3)); }},
        {"chld 2",
         [](Model& m) { return m.Take(m.model.Chld(HoldAction::HoldActiveAcceptOther)); }},
        {"chld 21",
         [](Model& m) { return m.Take(m.model.Chld(HoldAction::PrivateConsultation, 1)); }},
        {"chld 3", [](Model& m) { return m.Take(m.model.Chld(HoldAction::Conference)); }},
        {"chld 4", [](Model& m) { return m.Take(m.model.Chld(HoldAction::ExplicitTransfer)); }},
    };
    return commands;
}

// The commands that lead to each state.
const std::map<std::string, std::vector<std::string>>& States() {
    static const std::map<std::string, std::vector<std::string>> states = {
        {"none", {}},
        {"dialing", {"dial"}},
        {"alerting", {"dial", "alert"}},
        {"incoming", {"ring"}},
        {"active", {"ring", "answer"}},
        {"active+waiting", {"ring", "answer", "waiting"}},
        {"held+active", {"ring", "answer", "waiting", "hold-active"}},
        {"held", {"ring", "hold-incoming"}},
        {"conference", {"ring", "answer", "waiting", "hold-active", "chld 3"}},
    };
    return states;
}

struct CommandRow {
    std::string state;
    std::string command;
    ResultCode result;
    std::string signals;  // as Dump
    std::string calls;    // as Model::Calls, after the command
    std::string finished; // the log records the command made, "kind number; ..."
};

const CommandRow kRows[] = {
    // Outgoing calls.
    {"none", "dial", kOk, "7 10:\"100\"", "1 outgoing dialing 100", ""},
    {"none", "redial", kErrNoNumber, "", "", ""},
    {"dialing", "dial", kErrCallState, "", "1 outgoing dialing 100", ""},
    {"dialing", "alert", kOk, "", "1 outgoing alerting 100", ""},
    {"alerting", "answer-timer", kOk, "6 3", "1 outgoing active 100", ""},
    {"alerting", "accept", kOk, "6 3", "1 outgoing active 100", ""},
    {"dialing", "accept", kOk, "6 3", "1 outgoing active 100", ""},
    {"dialing", "cancel", kOk, "5", "", "outgoing 100"},
    {"alerting", "hangup", kOk, "5", "", "outgoing 100"},
    {"dialing", "answer", kErrCallState, "", "1 outgoing dialing 100", ""},
    {"none", "accept", kErrCallState, "", "", ""},
    // Incoming calls.
    {"none", "ring", kOk, "8 11:\"200\"", "1 incoming incoming 200", ""},
    {"incoming", "ring", kErrCallState, "", "1 incoming incoming 200", ""},
    {"incoming", "ring-again", kOk, "8 11:\"200\"", "1 incoming incoming 200", ""},
    {"incoming", "answer", kOk, "6 3", "1 incoming active 200", ""},
    {"incoming", "ring-timeout", kOk, "5", "", "missed 200"},
    {"incoming", "hangup", kOk, "5", "", "missed 200"},
    {"incoming", "cancel", kOk, "5", "", "missed 200"},
    {"incoming", "dial", kErrCallState, "", "1 incoming incoming 200", ""},
    {"incoming", "dtmf 5", kErrCallState, "", "1 incoming incoming 200", ""},
    {"active", "ring-again", kOk, "", "1 incoming active 200", ""},
    {"active", "ring-timeout", kOk, "", "1 incoming active 200", ""},
    {"active", "cancel", kOk, "5 4", "", "incoming 200"},
    {"active", "hangup", kOk, "5 4", "", "incoming 200"},
    {"active", "answer", kErrCallState, "", "1 incoming active 200", ""},
    {"active", "dtmf 5", kOk, "", "1 incoming active 200", ""},
    {"none", "cancel", kErrCallState, "", "", ""},
    {"none", "hangup", kErrCallState, "", "", ""},
    // Three-way calling.
    {"active", "waiting", kOk, "23:\"300\"", "1 incoming active 200, 2 incoming waiting 300", ""},
    {"none", "waiting", kErrCallState, "", "", ""},
    {"incoming", "waiting", kErrCallState, "", "1 incoming incoming 200", ""},
    {"active+waiting", "waiting", kErrCallState, "",
     "1 incoming active 200, 2 incoming waiting 300", ""},
    {"active+waiting", "hold-active", kOk, "24", "1 incoming held 200, 2 incoming active 300", ""},
    {"active+waiting", "release-active", kOk, "24", "2 incoming active 300", "incoming 200"},
    {"active+waiting", "reject-waiting", kOk, "25", "1 incoming active 200", "missed 300"},
    {"active+waiting", "ring-timeout", kOk, "25", "1 incoming active 200", "missed 300"},
    {"active+waiting", "hangup 2", kOk, "25", "1 incoming active 200", "missed 300"},
    {"active+waiting", "cancel", kOk, "5 8 11:\"300\"", "2 incoming incoming 300", "incoming 200"},
    {"active+waiting", "answer", kErrCallState, "", "1 incoming active 200, 2 incoming waiting 300",
     ""},
    {"active+waiting", "hold-incoming", kErrCallState, "",
     "1 incoming active 200, 2 incoming waiting 300", ""},
    {"active", "hold-active", kErrCallState, "", "1 incoming active 200", ""},
    {"active", "release-active", kErrCallState, "", "1 incoming active 200", ""},
    {"active", "reject-waiting", kErrCallState, "", "1 incoming active 200", ""},
    {"held+active", "hold-active", kErrCallState, "", "1 incoming held 200, 2 incoming active 300",
     ""},
    {"held+active", "waiting", kErrCallState, "", "1 incoming held 200, 2 incoming active 300", ""},
    {"held+active", "accept-held", kErrCallState, "", "1 incoming held 200, 2 incoming active 300",
     ""},
    {"held+active", "cancel", kOk, "5", "1 incoming held 200", "incoming 300"},
    {"incoming", "hold-incoming", kOk, "22", "1 incoming held 200", ""},
    {"active", "hold-incoming", kErrCallState, "", "1 incoming active 200", ""},
    {"held", "ring-timeout", kOk, "", "1 incoming held 200", ""},
    {"held", "accept-held", kOk, "24 3", "1 incoming active 200", ""},
    {"held", "reject-held", kOk, "25", "", "incoming 200"},
    {"held", "cancel", kOk, "5", "", "incoming 200"},
    {"held", "dtmf 5", kErrCallState, "", "1 incoming held 200", ""},
    {"none", "accept-held", kErrCallState, "", "", ""},
    {"none", "reject-held", kErrCallState, "", "", ""},
    // AT+CHLD, from the audio gateway.
    {"active+waiting", "chld 0", kOk, "25", "1 incoming active 200", "missed 300"},
    {"held+active", "chld 0", kOk, "5", "2 incoming active 300", "incoming 200"},
    {"active", "chld 0", kErrCallState, "", "1 incoming active 200", ""},
    {"active+waiting", "chld 1", kOk, "5 24", "2 incoming active 300", "incoming 200"},
    {"held+active", "chld 1", kOk, "5 24", "1 incoming active 200", "incoming 300"},
    {"held", "chld 1", kOk, "24 3", "1 incoming active 200", ""},
    {"active", "chld 1", kOk, "5 4", "", "incoming 200"},
    {"none", "chld 1", kErrCallState, "", "", ""},
    {"held+active", "chld 12", kOk, "5", "1 incoming held 200", "incoming 300"},
    {"held+active", "chld 13", kErrCallState, "", "1 incoming held 200, 2 incoming active 300", ""},
    {"active+waiting", "chld 2", kOk, "24", "1 incoming held 200, 2 incoming active 300", ""},
    {"held+active", "chld 2", kOk, "24", "1 incoming active 200, 2 incoming held 300", ""},
    {"active", "chld 2", kOk, "", "1 incoming held 200", ""},
    {"held", "chld 2", kOk, "24 3", "1 incoming active 200", ""},
    {"incoming", "chld 2", kErrCallState, "", "1 incoming incoming 200", ""},
    {"held+active", "chld 3", kOk, "",
     "1 incoming active 200 conference, 2 incoming active 300 conference", ""},
    {"active", "chld 3", kErrCallState, "", "1 incoming active 200", ""},
    {"active+waiting", "chld 3", kErrCallState, "", "1 incoming active 200, 2 incoming waiting 300",
     ""},
    {"conference", "chld 21", kOk, "", "1 incoming active 200, 2 incoming held 300", ""},
    {"held+active", "chld 21", kErrCallState, "", "1 incoming held 200, 2 incoming active 300", ""},
    {"conference", "chld 2", kOk, "",
     "1 incoming held 200 conference, 2 incoming held 300 conference", ""},
    {"conference", "chld 1", kOk, "5 5 4", "", "incoming 200; incoming 300"},
    {"conference", "cancel", kOk, "5 5 4", "", "incoming 200; incoming 300"},
    {"conference", "hangup 2", kOk, "5", "1 incoming active 200", "incoming 300"},
    {"conference", "waiting", kErrCallState, "",
     "1 incoming active 200 conference, 2 incoming active 300 conference", ""},
    {"held+active", "chld 4", kOk, "5 5 4", "", "incoming 300; incoming 200"},
    {"active", "chld 4", kErrCallState, "", "1 incoming active 200", ""},
    // Audio.
    {"none", "transfer", kErrCallState, "", "", ""},
    {"none", "transfer-back", kErrCallState, "", "", ""},
    {"active", "transfer", kErrCallState, "", "1 incoming active 200", ""},
    {"active", "transfer-back", kOk, "4", "1 incoming active 200", ""},
    {"incoming", "transfer", kOk, "3", "1 incoming incoming 200", ""},
    {"held", "transfer", kOk, "3", "1 incoming held 200", ""},
};

class CallTransitions : public testing::TestWithParam<CommandRow> {};

TEST_P(CallTransitions, CommandInState) {
    const CommandRow& row = GetParam();
    Model m;
    for (const std::string& setup : States().at(row.state)) {
        ASSERT_EQ(Commands().at(setup)(m).result, kOk) << "setting up with " << setup;
    }
    m.history.clear();
    const CallStep step = Commands().at(row.command)(m);
    EXPECT_EQ(step.result, row.result);
    EXPECT_EQ(Dump(step), row.signals);
    EXPECT_EQ(m.Calls(), row.calls);
    std::string finished;
    for (const std::string& record : m.history) {
        finished += (finished.empty() ? "" : "; ") + record;
    }
    EXPECT_EQ(finished, row.finished);
}

INSTANTIATE_TEST_SUITE_P(Calls, CallTransitions, testing::ValuesIn(kRows),
                         [](const testing::TestParamInfo<CommandRow>& param) {
                             std::string name = param.param.state + "_" + param.param.command;
                             for (char& c : name) {
                                 c = std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             }
                             return name + "_" + std::to_string(param.index);
                         });

TEST(CallModel, AudioFollowsCallsAndStaysPutWhenMovedByHand) {
    Model m;
    m.Take(m.model.Ring("200"));
    EXPECT_EQ(m.model.Audio(), AudioPlace::Phone) << "a ringing call has no audio yet";
    EXPECT_EQ(Dump(m.Take(m.model.Answer())), "6 3");
    EXPECT_EQ(Dump(m.Take(m.model.TransferBack())), "4");
    EXPECT_EQ(Dump(m.Take(m.model.HangUp())), "5") << "audio is already on the phone";
    EXPECT_EQ(m.model.Audio(), AudioPlace::Phone);
}

TEST(CallModel, ManualAnswerWaitsForTheFarEnd) {
    Model m;
    m.model.SetSettings(CallSettings{FarEndAnswer::Manual, std::chrono::seconds{30}});
    m.Take(m.model.Dial("100"));
    m.Fire(TimerKind::Alert);
    EXPECT_EQ(m.Calls(), "1 outgoing alerting 100");
    EXPECT_THAT(m.timers, testing::Each(testing::Field(&CallTimer::kind, TimerKind::Alert)))
        << "no auto-answer timer";
    EXPECT_EQ(Dump(m.Take(m.model.FarEndAccepts())), "6 3");
}

TEST(CallModel, AnswerModeChangedWhileACallAlertsTakesEffectAtOnce) {
    Model m;
    m.Take(m.model.Dial("100"));
    m.Fire(TimerKind::Alert);
    m.model.SetSettings(CallSettings{FarEndAnswer::Manual, std::chrono::seconds{30}});
    EXPECT_EQ(Dump(m.Fire(TimerKind::FarEndAnswers)), "") << "set while auto, due after manual";
    EXPECT_EQ(m.Calls(), "1 outgoing alerting 100");
    EXPECT_TRUE(m.Take(m.model.AnswerAlertingCall()).timers.empty()) << "still manual";

    m.model.SetSettings(CallSettings{FarEndAnswer::Auto, std::chrono::seconds{30}});
    const CallStep resumed = m.Take(m.model.AnswerAlertingCall());
    ASSERT_EQ(resumed.timers.size(), 1u);
    EXPECT_EQ(resumed.timers[0].kind, TimerKind::FarEndAnswers);
    EXPECT_EQ(resumed.timers[0].delay, kFarEndAnswerDelay);
    EXPECT_EQ(Dump(m.Fire(TimerKind::FarEndAnswers)), "6 3");
    EXPECT_TRUE(m.Take(m.model.AnswerAlertingCall()).timers.empty()) << "no call alerts now";
}

TEST(CallModel, RingTimeoutUsesTheWorldsRingTime) {
    Model m;
    m.model.SetSettings(CallSettings{FarEndAnswer::Auto, std::chrono::seconds{12}});
    const CallStep step = m.Take(m.model.Ring("200"));
    ASSERT_EQ(step.timers.size(), 2u);
    EXPECT_EQ(step.timers[0].kind, TimerKind::RingAgain);
    EXPECT_EQ(step.timers[0].delay, kRingRepeat);
    EXPECT_EQ(step.timers[1].kind, TimerKind::RingTimeout);
    EXPECT_EQ(step.timers[1].delay, std::chrono::milliseconds{12000});
}

TEST(CallModel, TimersOfAnEndedCallDoNotTouchALaterCallWithItsIndex) {
    Model m;
    m.Take(m.model.Ring("200"));
    const CallTimer oldTimeout = m.timers.back();
    m.Take(m.model.HangUp());
    m.Take(m.model.Ring("201"));
    const CallStep stale = m.Take(m.model.Fire(oldTimeout));
    EXPECT_EQ(Dump(stale), "");
    EXPECT_EQ(m.Calls(), "1 incoming incoming 201");
}

TEST(CallModel, RedialDialsTheLastNumberAndIsRecordedAsDialled) {
    Model m;
    m.Take(m.model.Dial("100"));
    m.Take(m.model.HangUp());
    EXPECT_EQ(Dump(m.Take(m.model.Redial())), "7 10:\"100\"");
    EXPECT_THAT(m.model.Dialled(), ElementsAre("100", "100"));
}

TEST(CallModel, EmptyNumbersAreRefused) {
    Model m;
    EXPECT_EQ(m.model.Dial("").result, kErrBadArgument);
    EXPECT_EQ(m.model.Ring("").result, kErrBadArgument);
    EXPECT_EQ(m.model.Redial().result, kErrNoNumber) << "a refused dial is no last number";
}

TEST(CallModel, DtmfTakesOnlyToneCharacters) {
    Model m;
    m.Take(m.model.Ring("200"));
    m.Take(m.model.Answer());
    for (const int c : {'0', '9', '*', '#', 'A', 'D'}) {
        EXPECT_EQ(m.model.Dtmf(c).result, kOk) << char(c);
    }
    for (const int c : {int{'a'}, int{'E'}, int{' '}, int{'+'}, 0, 256 + '1', -1}) {
        EXPECT_EQ(m.model.Dtmf(c).result, kErrBadArgument) << c;
    }
    EXPECT_THAT(m.model.DtmfSent(), ElementsAre('0', '9', '*', '#', 'A', 'D'));
}

TEST(CallModel, IndicatorsCarryTheirLevelsAndText) {
    Model m;
    EXPECT_EQ(Dump(m.model.Indicator(HfCode::Signal, 5)), "17:&5");
    EXPECT_EQ(Dump(m.model.Indicator(HfCode::Battery, 0)), "18:&0");
    EXPECT_EQ(m.model.Indicator(HfCode::Signal, 6).result, kErrBadArgument);
    EXPECT_EQ(m.model.Indicator(HfCode::Battery, -1).result, kErrBadArgument);
    EXPECT_EQ(Dump(m.model.Indicator(HfCode::Roaming)), "19");
    EXPECT_EQ(Dump(m.model.OperatorText("Té")), "21:\"Té\"");
    EXPECT_EQ(m.model.OperatorText("\xff").result, kErrBadArgument);
}

TEST(CallModel, CurrentCallsListsEachCallByIndex) {
    Model m;
    EXPECT_EQ(Dump(m.model.CurrentCalls()), "") << "no calls, no lines";
    m.Take(m.model.Dial("100"));
    m.Take(m.model.FarEndAccepts());
    m.Take(m.model.Waiting("300"));
    m.Take(m.model.HoldActiveAnswerWaiting());
    EXPECT_EQ(Dump(m.model.CurrentCalls()),
              "26:\"1 outgoing held 100\" 26:\"2 incoming active 300\"");
}

TEST(CallModel, EndAllLogsEveryCallSilentlyAndResetsAudioAndMic) {
    Model m;
    m.Take(m.model.Ring("200"));
    m.Take(m.model.Answer());
    m.Take(m.model.Waiting("300"));
    m.Take(m.model.SetMic(Mic::Muted));
    const CallStep step = m.Take(m.model.EndAll());
    EXPECT_THAT(step.signals, IsEmpty());
    EXPECT_THAT(m.history, ElementsAre("incoming 200", "missed 300"));
    EXPECT_EQ(m.model.Audio(), AudioPlace::Phone);
    EXPECT_EQ(m.model.MicState(), Mic::Unmuted);
}

} // namespace
} // namespace kobalt::sim
