// Results of the library's entry points.
//
// Callers only tell 0 from anything else; the distinct negative codes make a trace readable.
// Three entry points map failures to their own kind of result (see ApiCall::Finish):
// KOBALT_IsConnected reports false (0), whose low 8 bits the console reads as the answer,
// KOBALT_HFAP_GetAudioStatus keeps the negative code, which is neither of its values 0 and 1, and
// KOBALT_GetClientPort returns a port, so its failures are the negative codes themselves.
#pragma once

namespace kobalt::sim {

enum ResultCode : int {
    kOk = 0,
    kErrNotImplemented = -1,    // the entry point has no behaviour in this library yet
    kErrInjected = -2,          // a failure injected by KOBALT_SIM_FAIL or the control interface
    kErrNotInitialised = -3,    // the call needs KOBALT_Init first
    kErrBadWorld = -4,          // KOBALT_Init: the world file is malformed
    kErrBadArgument = -5,       // a null pointer, or a service code the stack does not know
    kErrUnknownDevice = -6,     // the address names no device of the world
    kErrOutOfRange = -7,        // the device is out of range
    kErrNoService = -8,         // the device does not offer the service, or the stack has no
                                // profile for it (FTP, NFC)
    kErrBusy = -9,              // a search already runs, or the link is being released
    kErrNotConnected = -10,     // no such connection (also: voice recognition without HF)
    kErrAlreadyConnected = -11, // the phone cannot connect what is up (control interface only)
    kErrCallState = -12,        // the command does not apply to the current calls or audio
    kErrNoNumber = -13,         // redial before any number was dialled
    kErrUnknownEntry = -20,     // a dial-up country or provider id, or parameters, that no
                                // provider has
    kErrTooSmall = -21,         // the caller's buffer cannot hold the answer; nothing written
    kErrBadText = -22,          // a PIN or name that is empty, too long or not terminated
    // The library over the Linux Bluetooth stack (bluez/):
    kErrNoBus = -30,       // KOBALT_Init: the system bus cannot be reached
    kErrNoDaemon = -31,    // KOBALT_Init: bluetoothd does not answer on the bus
    kErrNoAdapter = -32,   // KOBALT_Init: bluetoothd has no adapter
    kErrDaemonFailed = -33 // KOBALT_Init: bluetoothd refused a start-up step (power, agent)
};

} // namespace kobalt::sim
