// The simulated stack behind the export layer: each entry point handed to the part of the
// library that keeps its state.
#include "sim/Library.h"
#include "sim/abi/Backend.h"

namespace kobalt::sim {
namespace {

static_assert(kDunParams == kDunParamCount && kDunTextUnits == kDunParamUnits &&
              kLocalNameBytes == kMaxLocalNameBytes);

class SimBackend final : public Backend {
public:
    SimBackend() : m_lib(Library::Instance()) {}

    Trace& GetTrace() override { return m_lib.GetTrace(); }
    Faults& GetFaults() override { return m_lib.GetFaults(); }

    ResultCode SetIntegrateTL(int mode) override { return m_lib.GetStack().SetIntegrateTL(mode); }
    ResultCode Init() override {
        const ResultCode code = m_lib.GetStack().Init();
        if (code == kErrBadWorld) {
            m_lib.GetLog().Write("KOBALT_Init fails: world " +
                                 m_lib.GetStack().GetWorldSource().problem);
        }
        return code;
    }
    ResultCode UnInit() override { return m_lib.GetStack().UnInit(); }
    ResultCode GetSoftwareVersion(KOBALT_WCHAR* version) override {
        return m_lib.GetAdapter().GetSoftwareVersion(version);
    }
    ResultCode GetDefaultPinCode(char* pin, uint32_t* length) override {
        return m_lib.GetAdapter().GetDefaultPinCode(pin, length);
    }
    ResultCode SetDefaultPinCode(const char* pin, uint32_t length) override {
        return m_lib.GetAdapter().SetDefaultPinCode(pin, length);
    }
    ResultCode GetLocalName(KOBALT_WCHAR* name, int capacity) override {
        return m_lib.GetAdapter().GetLocalName(name, capacity);
    }
    ResultCode SetLocalName(const KOBALT_WCHAR* name) override {
        return m_lib.GetAdapter().SetLocalName(name);
    }
    ResultCode GetLocalAddress(KOBALT_BdAddr* addr) override {
        return m_lib.GetAdapter().GetLocalAddress(addr);
    }

    ResultCode DeviceDiscovery(KOBALT_DiscoveryCallback callback) override {
        return m_lib.GetStack().DeviceDiscovery(callback);
    }
    ResultCode GetRemoteName(const KOBALT_BdAddr* addr, KOBALT_WCHAR* name) override {
        return m_lib.GetStack().GetRemoteName(addr, name);
    }
    ResultCode Connect(const KOBALT_BdAddr* addr, int16_t service) override {
        return m_lib.GetStack().Connect(addr, service);
    }
    ResultCode Disconnect(const KOBALT_BdAddr* addr, int16_t service) override {
        return m_lib.GetStack().Disconnect(addr, service);
    }
    bool IsConnected(const KOBALT_BdAddr* addr, int16_t service) override {
        return m_lib.GetStack().IsConnected(addr, service);
    }
    ResultCode RegisterConnectCallback(KOBALT_ConnectCallback callback) override {
        return m_lib.GetStack().RegisterConnectCallback(callback);
    }
    ResultCode RegisterPairCallback(KOBALT_PairCallback callback) override {
        return m_lib.GetStack().RegisterPairCallback(callback);
    }
    ResultCode GetAllShortCuts(KOBALT_DeviceRecord* records, uint32_t* count) override {
        return m_lib.GetStack().GetAllShortCuts(records, count);
    }

    ResultCode RegisterHfCallback(KOBALT_HfCallback callback) override {
        return m_lib.GetStack().RegisterHfCallback(callback);
    }
    ResultCode Answer() override { return m_lib.GetPhone().Answer(); }
    ResultCode HangUp() override { return m_lib.GetPhone().HangUp(); }
    ResultCode Dial(const char* number, int length) override {
        return m_lib.GetPhone().Dial(number, length);
    }
    ResultCode Redial() override { return m_lib.GetPhone().Redial(); }
    ResultCode TransmitDtmf(int code) override { return m_lib.GetPhone().TransmitDtmf(code); }
    int AudioStatus() override { return m_lib.GetPhone().AudioStatus(); }
    ResultCode Transfer() override { return m_lib.GetPhone().Transfer(); }
    ResultCode TransferBack() override { return m_lib.GetPhone().TransferBack(); }
    ResultCode SetMicMuted(bool muted) override {
        return m_lib.GetPhone().SetMic(muted ? Mic::Muted : Mic::Unmuted);
    }
    ResultCode HoldActiveToAnswerWaiting() override {
        return m_lib.GetPhone().HoldActiveToAnswerWaiting();
    }
    ResultCode ReleaseActiveToAnswerWaiting() override {
        return m_lib.GetPhone().ReleaseActiveToAnswerWaiting();
    }
    ResultCode RejectWaiting() override { return m_lib.GetPhone().RejectWaiting(); }
    ResultCode HoldIncoming() override { return m_lib.GetPhone().HoldIncoming(); }
    ResultCode AcceptHeldIncoming() override { return m_lib.GetPhone().AcceptHeldIncoming(); }
    ResultCode RejectHeldIncoming() override { return m_lib.GetPhone().RejectHeldIncoming(); }
    ResultCode CurrentCalls() override { return m_lib.GetPhone().CurrentCalls(); }
    ResultCode StartVoiceRecog() override { return m_lib.GetStack().StartVoiceRecog(); }
    ResultCode StopVoiceRecog() override { return m_lib.GetStack().StopVoiceRecog(); }

    ResultCode StartUpdateContacts(int what) override {
        return m_lib.GetPim().StartUpdateContacts(what);
    }
    ResultCode RegisterPimCallback(KOBALT_PimCallback callback) override {
        return m_lib.GetStack().RegisterPimCallback(callback);
    }
    ResultCode GetContacts(void* records, uint32_t* count) override {
        return m_lib.GetPim().GetContacts(records, count);
    }
    ResultCode StartUpdateCalllog(int what) override {
        return m_lib.GetPim().StartUpdateCalllog(what);
    }
    ResultCode StopUpdate() override { return m_lib.GetPim().StopUpdate(); }
    ResultCode GetCalllogs(void* records, uint32_t* count) override {
        return m_lib.GetPim().GetCalllogs(records, count);
    }
    ResultCode GetOppContacts(void* records, uint32_t* count) override {
        return m_lib.GetPim().GetOppContacts(records, count);
    }

    ResultCode AvrcpCommand(Avrcp command) override {
        return m_lib.GetMedia().Avrcp(ToPlayerCommand(command));
    }

    ResultCode DunConnect(const KOBALT_BdAddr* addr,
                          const KOBALT_WCHAR* const (&params)[kDunParams]) override {
        return m_lib.GetDialUp().Connect(addr, params);
    }
    ResultCode DunGetCountry(KOBALT_DunListEntry* entries, uint32_t* count) override {
        return m_lib.GetDialUp().GetCountry(entries, count);
    }
    ResultCode DunGetProvider(uint32_t countryId, KOBALT_DunListEntry* entries,
                              uint32_t* count) override {
        return m_lib.GetDialUp().GetProvider(countryId, entries, count);
    }
    ResultCode DunGetParams(uint32_t providerId,
                            KOBALT_WCHAR* const (&params)[kDunParams]) override {
        return m_lib.GetDialUp().GetParams(providerId, params);
    }
    int GetClientPort() override { return m_lib.GetStack().GetClientPort(); }

private:
    static PlayerCommand ToPlayerCommand(Avrcp command) {
        switch (command) {
        case Avrcp::Play:
            return PlayerCommand::Play;
        case Avrcp::Pause:
            return PlayerCommand::Pause;
        case Avrcp::Stop:
            return PlayerCommand::Stop;
        case Avrcp::Previous:
            return PlayerCommand::Previous;
        case Avrcp::Next:
            return PlayerCommand::Next;
        case Avrcp::VolumeUp:
            return PlayerCommand::VolumeUp;
        case Avrcp::VolumeDown:
            break;
        }
        return PlayerCommand::VolumeDown;
    }

    Library& m_lib;
};

} // namespace

Backend& TheBackend() {
    static Backend* const backend = new SimBackend();
    return *backend;
}

} // namespace kobalt::sim
