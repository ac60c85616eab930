// What a KOBALT.dll does behind its exports.
//
// The export layer (Exports.cpp), the trace and the injected failures are shared by every build
// of the library; each build links one backend, which does the work of the entry points the
// console calls: the simulated stack (SimBackend.cpp) or the Linux Bluetooth stack (bluez/).
// The export layer has already traced the arguments and checked for an injected failure when a
// method runs; a method that does not apply returns kErrNotImplemented and touches nothing.
#pragma once

#include "sdk/KobaltAbi.h"
#include "sim/abi/Faults.h"
#include "sim/abi/ResultCode.h"
#include "sim/abi/Trace.h"

#include <cstddef>

namespace kobalt::sim {

// The dial-up parameters: five UTF-16 buffers or texts of at most kDunTextUnits units each.
inline constexpr std::size_t kDunParams = 5;
inline constexpr std::size_t kDunTextUnits = 260;
// A local name is at most this many bytes of UTF-8 (a Bluetooth name).
inline constexpr std::size_t kLocalNameBytes = 248;

class Backend {
public:
    virtual ~Backend() = default;

    // Shared by the export layer: the trace file and the injected failures.
    virtual Trace& GetTrace() = 0;
    virtual Faults& GetFaults() = 0;

    // Stack and local adapter
    virtual ResultCode SetIntegrateTL(int mode) = 0;
    virtual ResultCode Init() = 0;
    virtual ResultCode UnInit() = 0;
    virtual ResultCode GetSoftwareVersion(KOBALT_WCHAR* version) = 0;
    virtual ResultCode GetDefaultPinCode(char* pin, uint32_t* length) = 0;
    virtual ResultCode SetDefaultPinCode(const char* pin, uint32_t length) = 0;
    virtual ResultCode GetLocalName(KOBALT_WCHAR* name, int capacity) = 0;
    virtual ResultCode SetLocalName(const KOBALT_WCHAR* name) = 0;
    virtual ResultCode GetLocalAddress(KOBALT_BdAddr* addr) = 0;

    // Discovery, pairing and connections
    virtual ResultCode DeviceDiscovery(KOBALT_DiscoveryCallback callback) = 0;
    virtual ResultCode GetRemoteName(const KOBALT_BdAddr* addr, KOBALT_WCHAR* name) = 0;
    virtual ResultCode Connect(const KOBALT_BdAddr* addr, int16_t service) = 0;
    virtual ResultCode Disconnect(const KOBALT_BdAddr* addr, int16_t service) = 0;
    virtual bool IsConnected(const KOBALT_BdAddr* addr, int16_t service) = 0;
    virtual ResultCode RegisterConnectCallback(KOBALT_ConnectCallback callback) = 0;
    virtual ResultCode RegisterPairCallback(KOBALT_PairCallback callback) = 0;
    virtual ResultCode GetAllShortCuts(KOBALT_DeviceRecord* records, uint32_t* count) = 0;

    // Hands-free calls
    virtual ResultCode RegisterHfCallback(KOBALT_HfCallback callback) = 0;
    virtual ResultCode Answer() = 0;
    virtual ResultCode HangUp() = 0;
    virtual ResultCode Dial(const char* number, int length) = 0;
    virtual ResultCode Redial() = 0;
    virtual ResultCode TransmitDtmf(int code) = 0;
    virtual int AudioStatus() = 0; // 0 or 1, or a negative code
    virtual ResultCode Transfer() = 0;
    virtual ResultCode TransferBack() = 0;
    virtual ResultCode SetMicMuted(bool muted) = 0;
    virtual ResultCode HoldActiveToAnswerWaiting() = 0;
    virtual ResultCode ReleaseActiveToAnswerWaiting() = 0;
    virtual ResultCode RejectWaiting() = 0;
    virtual ResultCode HoldIncoming() = 0;
    virtual ResultCode AcceptHeldIncoming() = 0;
    virtual ResultCode RejectHeldIncoming() = 0;
    virtual ResultCode CurrentCalls() = 0;
    virtual ResultCode StartVoiceRecog() = 0;
    virtual ResultCode StopVoiceRecog() = 0;

    // Phonebook and call log
    virtual ResultCode StartUpdateContacts(int what) = 0;
    virtual ResultCode RegisterPimCallback(KOBALT_PimCallback callback) = 0;
    virtual ResultCode GetContacts(void* records, uint32_t* count) = 0;
    virtual ResultCode StartUpdateCalllog(int what) = 0;
    virtual ResultCode StopUpdate() = 0;
    virtual ResultCode GetCalllogs(void* records, uint32_t* count) = 0;
    virtual ResultCode GetOppContacts(void* records, uint32_t* count) = 0;

    // AVRCP remote control
    enum class Avrcp { Play, Pause, Stop, Previous, Next, VolumeUp, VolumeDown };
    virtual ResultCode AvrcpCommand(Avrcp command) = 0;

    // Dial-up networking and serial port
    virtual ResultCode DunConnect(const KOBALT_BdAddr* addr,
                                  const KOBALT_WCHAR* const (&params)[kDunParams]) = 0;
    virtual ResultCode DunGetCountry(KOBALT_DunListEntry* entries, uint32_t* count) = 0;
    virtual ResultCode DunGetProvider(uint32_t countryId, KOBALT_DunListEntry* entries,
                                      uint32_t* count) = 0;
    virtual ResultCode DunGetParams(uint32_t providerId,
                                    KOBALT_WCHAR* const (&params)[kDunParams]) = 0;
    virtual int GetClientPort() = 0; // a port, or a negative code
};

// The backend of this build of the library, created on first use and never destroyed (threads
// still running while the process exits must find it intact). Defined once per library.
Backend& TheBackend();

} // namespace kobalt::sim
