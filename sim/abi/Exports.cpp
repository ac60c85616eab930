// The 131 exported entry points of KOBALT.dll, shared by every build of the library.
//
// Each is a thin C function: it describes its arguments to an ApiCall (for the trace), lets an
// injected failure take precedence, and hands the work to the backend linked with it (the
// simulated stack, or the Linux Bluetooth stack). Entry points without behaviour yet fail with
// kErrNotImplemented and touch none of their arguments.
//
// The library must never be unmapped while one of its threads runs: the event thread may be
// inside a console callback (a message box) when the process exits or the console frees the
// library, and would return into unmapped code. CMake links it with -z nodelete for that.
#include "sdk/KobaltAbi.h"
#include "sim/abi/ApiCall.h"
#include "sim/abi/Backend.h"
#include "sim/abi/EntryPoints.h"

#include <type_traits>

#define KOBALT_EXPORT extern "C" __attribute__((visibility("default")))

using kobalt::sim::Api;
using kobalt::sim::ApiCall;
using kobalt::sim::Backend;
namespace arg = kobalt::sim::arg;

namespace {

// The environment is read when the library is loaded, so a trace starts with the first call,
// a bad KOBALT_SIM_FAIL is reported at once, and the control socket is there before START
// (a script may shape the world before the console starts the stack).
__attribute__((constructor)) void ReadEnvironmentOnLoad() {
    kobalt::sim::TheBackend();
}

} // namespace

// Stack and local adapter

KOBALT_EXPORT int KOBALT_SetIntegrateTL(int mode) {
    return ApiCall(Api::SetIntegrateTL, arg::Int{mode}).Run([&](Backend& b) {
        return b.SetIntegrateTL(mode);
    });
}

KOBALT_EXPORT int KOBALT_Init(void) {
    return ApiCall(Api::Init).Run([](Backend& b) { return b.Init(); });
}

KOBALT_EXPORT int KOBALT_UnInit(void) {
    return ApiCall(Api::UnInit).Run([](Backend& b) { return b.UnInit(); });
}

// The adapter's settings work before KOBALT_Init: the settings dialog may open before START.

KOBALT_EXPORT int KOBALT_GetSofewareVersion(KOBALT_WCHAR* version) {
    return ApiCall(Api::GetSofewareVersion, arg::Buf{version}).Run([&](Backend& b) {
        return b.GetSoftwareVersion(version);
    });
}

KOBALT_EXPORT int KOBALT_GetDefaultPinCode(char* pin, uint32_t* length) {
    return ApiCall(Api::GetDefaultPinCode, arg::Buf{pin}, arg::Count{length}).Run([&](Backend& b) {
        return b.GetDefaultPinCode(pin, length);
    });
}

KOBALT_EXPORT int KOBALT_SetDefaultPinCode(char* pin, uint32_t length) {
    return ApiCall(Api::SetDefaultPinCode, arg::Str{pin, length}, arg::Int{length})
        .Run([&](Backend& b) { return b.SetDefaultPinCode(pin, length); });
}

KOBALT_EXPORT int KOBALT_GetLocalName(KOBALT_WCHAR* name, int capacity) {
    return ApiCall(Api::GetLocalName, arg::Buf{name}, arg::Int{capacity}).Run([&](Backend& b) {
        return b.GetLocalName(name, capacity);
    });
}

KOBALT_EXPORT int KOBALT_SetLocalName(const KOBALT_WCHAR* name) {
    return ApiCall(Api::SetLocalName, arg::WStr{name, kobalt::sim::kLocalNameBytes + 1})
        .Run([&](Backend& b) { return b.SetLocalName(name); });
}

KOBALT_EXPORT int KOBALT_GetLocalBTAddr(KOBALT_BdAddr* addr) {
    return ApiCall(Api::GetLocalBTAddr, arg::Buf{addr}).Run([&](Backend& b) {
        return b.GetLocalAddress(addr);
    });
}

// Discovery, pairing and remote information

KOBALT_EXPORT int KOBALT_DeviceDiscovery(KOBALT_DiscoveryCallback callback) {
    return ApiCall(Api::DeviceDiscovery, arg::Cb{callback}).Run([&](Backend& b) {
        return b.DeviceDiscovery(callback);
    });
}

KOBALT_EXPORT int KOBALT_GetRemoteName(KOBALT_BdAddr* addr, KOBALT_WCHAR* name) {
    return ApiCall(Api::GetRemoteName, arg::Addr{addr}, arg::Buf{name}).Run([&](Backend& b) {
        return b.GetRemoteName(addr, name);
    });
}

// Connections and connection options

KOBALT_EXPORT int KOBALT_Connect(KOBALT_BdAddr* addr, int16_t service) {
    return ApiCall(Api::Connect, arg::Addr{addr}, arg::Int{service}).Run([&](Backend& b) {
        return b.Connect(addr, service);
    });
}

KOBALT_EXPORT int KOBALT_Disconnect(KOBALT_BdAddr* addr, int16_t service) {
    return ApiCall(Api::Disconnect, arg::Addr{addr}, arg::Int{service}).Run([&](Backend& b) {
        return b.Disconnect(addr, service);
    });
}

KOBALT_EXPORT int KOBALT_IsConnected(KOBALT_BdAddr* addr, int16_t service) {
    return ApiCall(Api::IsConnected, arg::Addr{addr}, arg::Int{service}).RunValue([&](Backend& b) {
        return b.IsConnected(addr, service) ? 1 : 0;
    });
}

KOBALT_EXPORT int KOBALT_RegisterConnectCallback(KOBALT_ConnectCallback callback) {
    return ApiCall(Api::RegisterConnectCallback, arg::Cb{callback}).Run([&](Backend& b) {
        return b.RegisterConnectCallback(callback);
    });
}

KOBALT_EXPORT int KOBALT_RegisterPairCallback(KOBALT_PairCallback callback) {
    return ApiCall(Api::RegisterPairCallback, arg::Cb{callback}).Run([&](Backend& b) {
        return b.RegisterPairCallback(callback);
    });
}

KOBALT_EXPORT int KOBALT_GetAllShortCuts(KOBALT_DeviceRecord* records, uint32_t* count) {
    return ApiCall(Api::GetAllShortCuts, arg::Buf{records}, arg::Count{count}).Run([&](Backend& b) {
        return b.GetAllShortCuts(records, count);
    });
}

// Hands-free calls

// `reserved` is 0 from the console and has no meaning here.
KOBALT_EXPORT int KOBALT_HFAP_RegisterCallback(int reserved, KOBALT_HfCallback callback) {
    return ApiCall(Api::HFAP_RegisterCallback, arg::Int{reserved}, arg::Cb{callback})
        .Run([&](Backend& b) { return b.RegisterHfCallback(callback); });
}

KOBALT_EXPORT int KOBALT_HFAP_AnswerCall(void) {
    return ApiCall(Api::HFAP_AnswerCall).Run([](Backend& b) { return b.Answer(); });
}

KOBALT_EXPORT int KOBALT_HFAP_CancelCall(void) {
    return ApiCall(Api::HFAP_CancelCall).Run([](Backend& b) { return b.HangUp(); });
}

KOBALT_EXPORT int KOBALT_HFAP_Dial(const char* number, int length) {
    return ApiCall(Api::HFAP_Dial, arg::Str{number}, arg::Int{length}).Run([&](Backend& b) {
        return b.Dial(number, length);
    });
}

KOBALT_EXPORT int KOBALT_HFAP_LastNumRedial(void) {
    return ApiCall(Api::HFAP_LastNumRedial).Run([](Backend& b) { return b.Redial(); });
}

KOBALT_EXPORT int KOBALT_HFAP_TransmitDTMFCode(int code) {
    return ApiCall(Api::HFAP_TransmitDTMFCode, arg::Int{code}).Run([&](Backend& b) {
        return b.TransmitDtmf(code);
    });
}

KOBALT_EXPORT int KOBALT_HFAP_GetAudioStatus(void) {
    return ApiCall(Api::HFAP_GetAudioStatus).RunValue([](Backend& b) { return b.AudioStatus(); });
}

KOBALT_EXPORT int KOBALT_HFAP_Transfer(void) {
    return ApiCall(Api::HFAP_Transfer).Run([](Backend& b) { return b.Transfer(); });
}

KOBALT_EXPORT int KOBALT_HFAP_TransferBack(void) {
    return ApiCall(Api::HFAP_TransferBack).Run([](Backend& b) { return b.TransferBack(); });
}

KOBALT_EXPORT int KOBALT_HFAP_MuteMic(void) {
    return ApiCall(Api::HFAP_MuteMic).Run([](Backend& b) { return b.SetMicMuted(true); });
}

KOBALT_EXPORT int KOBALT_HFAP_UnmuteMic(void) {
    return ApiCall(Api::HFAP_UnmuteMic).Run([](Backend& b) { return b.SetMicMuted(false); });
}

// Three-way calling

KOBALT_EXPORT int KOBALT_HoldActiveToAnswerInComing(void) {
    return ApiCall(Api::HoldActiveToAnswerInComing).Run([](Backend& b) {
        return b.HoldActiveToAnswerWaiting();
    });
}

KOBALT_EXPORT int KOBALT_ReleaseActiveToAnswerInComing(void) {
    return ApiCall(Api::ReleaseActiveToAnswerInComing).Run([](Backend& b) {
        return b.ReleaseActiveToAnswerWaiting();
    });
}

KOBALT_EXPORT int KOBALT_RejectInComingCall(void) {
    return ApiCall(Api::RejectInComingCall).Run([](Backend& b) { return b.RejectWaiting(); });
}

KOBALT_EXPORT int KOBALT_HoldInComingCall(void) {
    return ApiCall(Api::HoldInComingCall).Run([](Backend& b) { return b.HoldIncoming(); });
}

KOBALT_EXPORT int KOBALT_AcceptHoldInComingCall(void) {
    return ApiCall(Api::AcceptHoldInComingCall).Run([](Backend& b) {
        return b.AcceptHeldIncoming();
    });
}

KOBALT_EXPORT int KOBALT_RejectHoldInComingCall(void) {
    return ApiCall(Api::RejectHoldInComingCall).Run([](Backend& b) {
        return b.RejectHeldIncoming();
    });
}

KOBALT_EXPORT int KOBALT_GetCurrentCalls(void) {
    return ApiCall(Api::GetCurrentCalls).Run([](Backend& b) { return b.CurrentCalls(); });
}

// Voice recognition

KOBALT_EXPORT int KOBALT_StartVoiceRecog(void) {
    return ApiCall(Api::StartVoiceRecog).Run([](Backend& b) { return b.StartVoiceRecog(); });
}

KOBALT_EXPORT int KOBALT_StopVoiceRecog(void) {
    return ApiCall(Api::StopVoiceRecog).Run([](Backend& b) { return b.StopVoiceRecog(); });
}

// Phonebook and call log

KOBALT_EXPORT int KOBALT_PIMStartUpdateContacts(int what) {
    return ApiCall(Api::PIMStartUpdateContacts, arg::Int{what}).Run([&](Backend& b) {
        return b.StartUpdateContacts(what);
    });
}

KOBALT_EXPORT int KOBALT_PIMRegisterCallback(KOBALT_PimCallback callback) {
    return ApiCall(Api::PIMRegisterCallback, arg::Cb{callback}).Run([&](Backend& b) {
        return b.RegisterPimCallback(callback);
    });
}

KOBALT_EXPORT int KOBALT_PIMGetContacts(void* records, uint32_t* count) {
    return ApiCall(Api::PIMGetContacts, arg::Buf{records}, arg::Count{count}).Run([&](Backend& b) {
        return b.GetContacts(records, count);
    });
}

KOBALT_EXPORT int KOBALT_PIMStartUpdateCalllogEx(int what) {
    return ApiCall(Api::PIMStartUpdateCalllogEx, arg::Int{what}).Run([&](Backend& b) {
        return b.StartUpdateCalllog(what);
    });
}

KOBALT_EXPORT int KOBALT_PIMStopUpdate(void) {
    return ApiCall(Api::PIMStopUpdate).Run([](Backend& b) { return b.StopUpdate(); });
}

KOBALT_EXPORT int KOBALT_PIMGetCalllogs(void* records, uint32_t* count) {
    return ApiCall(Api::PIMGetCalllogs, arg::Buf{records}, arg::Count{count}).Run([&](Backend& b) {
        return b.GetCalllogs(records, count);
    });
}

KOBALT_EXPORT int KOBALT_PIMGetOppContacts(void* records, uint32_t* count) {
    return ApiCall(Api::PIMGetOppContacts, arg::Buf{records}, arg::Count{count})
        .Run([&](Backend& b) { return b.GetOppContacts(records, count); });
}

// AVRCP remote control

KOBALT_EXPORT int KOBALT_AVRCPPlay(void) {
    return ApiCall(Api::AVRCPPlay).Run([](Backend& b) {
        return b.AvrcpCommand(Backend::Avrcp::Play);
    });
}

KOBALT_EXPORT int KOBALT_AVRCPPause(void) {
    return ApiCall(Api::AVRCPPause).Run([](Backend& b) {
        return b.AvrcpCommand(Backend::Avrcp::Pause);
    });
}

KOBALT_EXPORT int KOBALT_AVRCPStop(void) {
    return ApiCall(Api::AVRCPStop).Run([](Backend& b) {
        return b.AvrcpCommand(Backend::Avrcp::Stop);
    });
}

KOBALT_EXPORT int KOBALT_AVRCPPlayLast(void) {
    return ApiCall(Api::AVRCPPlayLast).Run([](Backend& b) {
        return b.AvrcpCommand(Backend::Avrcp::Previous);
    });
}

KOBALT_EXPORT int KOBALT_AVRCPPlayNext(void) {
    return ApiCall(Api::AVRCPPlayNext).Run([](Backend& b) {
        return b.AvrcpCommand(Backend::Avrcp::Next);
    });
}

KOBALT_EXPORT int KOBALT_AVRCPVolumeUP(void) {
    return ApiCall(Api::AVRCPVolumeUP).Run([](Backend& b) {
        return b.AvrcpCommand(Backend::Avrcp::VolumeUp);
    });
}

KOBALT_EXPORT int KOBALT_AVRCPVolumeDown(void) {
    return ApiCall(Api::AVRCPVolumeDown).Run([](Backend& b) {
        return b.AvrcpCommand(Backend::Avrcp::VolumeDown);
    });
}

// Dial-up networking and serial port

KOBALT_EXPORT int KOBALT_DUNConnect(KOBALT_BdAddr* addr, const KOBALT_WCHAR* p1,
                                    const KOBALT_WCHAR* p2, const KOBALT_WCHAR* p3,
                                    const KOBALT_WCHAR* p4, const KOBALT_WCHAR* p5) {
    constexpr std::size_t units = kobalt::sim::kDunTextUnits;
    return ApiCall(Api::DUNConnect, arg::Addr{addr}, arg::WStr{p1, units}, arg::WStr{p2, units},
                   arg::WStr{p3, units}, arg::WStr{p4, units}, arg::WStr{p5, units})
        .Run([&](Backend& b) {
            return b.DunConnect(addr, {p1, p2, p3, p4, p5});
        });
}

KOBALT_EXPORT int KOBALT_DUNGetCountry(KOBALT_DunListEntry* entries, uint32_t* count) {
    return ApiCall(Api::DUNGetCountry, arg::Buf{entries}, arg::Count{count}).Run([&](Backend& b) {
        return b.DunGetCountry(entries, count);
    });
}

KOBALT_EXPORT int KOBALT_DUNGetProvider(uint32_t countryId, KOBALT_DunListEntry* entries,
                                        uint32_t* count) {
    return ApiCall(Api::DUNGetProvider, arg::Int{countryId}, arg::Buf{entries}, arg::Count{count})
        .Run([&](Backend& b) { return b.DunGetProvider(countryId, entries, count); });
}

KOBALT_EXPORT int KOBALT_DUNGetParams(uint32_t providerId, KOBALT_WCHAR* p1, KOBALT_WCHAR* p2,
                                      KOBALT_WCHAR* p3, KOBALT_WCHAR* p4, KOBALT_WCHAR* p5) {
    return ApiCall(Api::DUNGetParams, arg::Int{providerId}, arg::Buf{p1}, arg::Buf{p2},
                   arg::Buf{p3}, arg::Buf{p4}, arg::Buf{p5})
        .Run([&](Backend& b) {
            return b.DunGetParams(providerId, {p1, p2, p3, p4, p5});
        });
}

KOBALT_EXPORT int KOBALT_GetClientPort(void) {
    return ApiCall(Api::GetClientPort).RunValue([](Backend& b) { return b.GetClientPort(); });
}

// The entry points the console never calls: no arguments are known, so they take none.

#define KOBALT_SIM_DEFINE_CALLED(name, type)
#define KOBALT_SIM_DEFINE_OTHER(name)                                                              \
    KOBALT_EXPORT int KOBALT_##name(void) {                                                        \
        return ApiCall(Api::name).NotImplemented();                                                \
    }
KOBALT_SIM_ENTRY_POINTS(KOBALT_SIM_DEFINE_CALLED, KOBALT_SIM_DEFINE_OTHER)
#undef KOBALT_SIM_DEFINE_CALLED
#undef KOBALT_SIM_DEFINE_OTHER

// Every entry point of the list is defined above, with the type the console's table gives it.

#define KOBALT_SIM_CHECK_CALLED(name, type)                                                        \
    static_assert(std::is_same_v<decltype(&KOBALT_##name), type>, "KOBALT_" #name);
#define KOBALT_SIM_CHECK_OTHER(name)                                                               \
    static_assert(std::is_same_v<decltype(&KOBALT_##name), KOBALT_Fn_Other>, "KOBALT_" #name);
KOBALT_SIM_ENTRY_POINTS(KOBALT_SIM_CHECK_CALLED, KOBALT_SIM_CHECK_OTHER)
#undef KOBALT_SIM_CHECK_CALLED
#undef KOBALT_SIM_CHECK_OTHER
