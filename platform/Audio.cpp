// The audio driver's private hook: messages 1069 and 1070 switch call audio on and off.
#include "platform/DeviceServices.h"
#include "platform/Windows.h"

#include <atomic>

namespace {
constexpr UINT kCallAudioOn = 1069;
constexpr UINT kCallAudioOff = 1070;

std::atomic<bool> g_callAudioOn{false};
} // namespace

// Only the hook's two messages are understood; the device and parameters are not looked at.
MMRESULT waveOutMessage(HWAVEOUT /*device*/, UINT msg, DWORD_PTR /*param1*/, DWORD_PTR /*param2*/) {
    switch (msg) {
    case kCallAudioOn:
        g_callAudioOn.store(true);
        return MMSYSERR_NOERROR;
    case kCallAudioOff:
        g_callAudioOn.store(false);
        return MMSYSERR_NOERROR;
    default:
        return MMSYSERR_NOTSUPPORTED;
    }
}

bool kobalt::device::CallAudioOn() {
    return g_callAudioOn.load();
}
