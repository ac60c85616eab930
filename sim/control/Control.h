// Carries out control commands against the library's stack, injected failures and log.
#pragma once

#include "sim/abi/DebugLog.h"
#include "sim/abi/Faults.h"
#include "sim/control/ControlCommand.h"
#include "sim/phone/Phone.h"
#include "sim/pim/Pim.h"
#include "sim/radio/Stack.h"

#include <string>
#include <string_view>
#include <vector>

namespace kobalt::sim {

// The answer to one command: `ok` or `error: REASON`, then the output lines.
struct ControlReply {
    std::string error; // empty for ok
    std::vector<std::string> lines;

    // The reply as sent: the first line, then each output line, each ending in "\n".
    std::string Text() const;
};

// The phone's own volume keys: what a served phone's audio gateway reports to the hands-free unit
// (+VGS, +VGM). The console's library has none.
class VolumeKeys {
public:
    virtual ~VolumeKeys() = default;
    virtual Status SetVolume(bool speaker, int gain) = 0;
};

class Adapter;
class DialUp;
class Dispatcher;
class MediaPlayers;

class Control {
public:
    Control(Stack& stack, Phone& phone, Pim& pim, Faults& faults, DebugLog& log, double timeScale);

    // The media players, dial-up and adapter, for `player` and the state report; without
    // them `player` fails and the report leaves them out.
    void AttachProfiles(MediaPlayers& media, DialUp& dialUp, Adapter& adapter);

    // The event thread, for `hold-events`; without it the command fails.
    void AttachDispatcher(Dispatcher& dispatcher) { m_dispatcher = &dispatcher; }

    // The volume keys, for `volume`; without them the command fails.
    void AttachVolumeKeys(VolumeKeys& keys) { m_volumeKeys = &keys; }

    // Parses and carries out one command line. A malformed command changes nothing.
    ControlReply Execute(std::string_view line);

private:
    friend struct CommandTable; // names the run functions below

    // Carries out a parsed command through its row of the command table.
    ControlReply Run(const ControlCommand& command);

    // One per command (the PIM commands share one), as the table names them.
    ControlReply RunHelp(const ControlCommand& command);
    ControlReply RunDevices(const ControlCommand& command);
    ControlReply RunAddDevice(const ControlCommand& command);
    ControlReply RunRemoveDevice(const ControlCommand& command);
    ControlReply RunRange(const ControlCommand& command);
    ControlReply RunPair(const ControlCommand& command);
    ControlReply RunConnect(const ControlCommand& command);
    ControlReply RunDisconnect(const ControlCommand& command);
    ControlReply RunFail(const ControlCommand& command);
    ControlReply RunRing(const ControlCommand& command);
    ControlReply RunWaiting(const ControlCommand& command);
    ControlReply RunAccept(const ControlCommand& command);
    ControlReply RunAnswer(const ControlCommand& command);
    ControlReply RunHangUp(const ControlCommand& command);
    ControlReply RunService(const ControlCommand& command);
    ControlReply RunSignal(const ControlCommand& command);
    ControlReply RunSignalStorm(const ControlCommand& command);
    ControlReply RunBattery(const ControlCommand& command);
    ControlReply RunRoam(const ControlCommand& command);
    ControlReply RunText(const ControlCommand& command);
    ControlReply RunState(const ControlCommand& command);
    ControlReply RunLog(const ControlCommand& command);
    ControlReply RunHoldEvents(const ControlCommand& command);
    ControlReply RunVolume(const ControlCommand& command);
    ControlReply RunPlayer(const ControlCommand& command);
    ControlReply RunPim(const ControlCommand& command);

    Stack& m_stack;
    Phone& m_phone;
    Pim& m_pim;
    Faults& m_faults;
    DebugLog& m_log;
    double m_timeScale; // for the state report
    MediaPlayers* m_media = nullptr;
    DialUp* m_dialUp = nullptr;
    Adapter* m_adapter = nullptr;
    Dispatcher* m_dispatcher = nullptr;
    VolumeKeys* m_volumeKeys = nullptr;
};

} // namespace kobalt::sim
