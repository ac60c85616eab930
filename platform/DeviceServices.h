// The device's own controls and indicators, for front ends and tests.
#pragma once

#include "platform/WindowsTypes.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace kobalt::device {

// Power control: delivers a POWER_BROADCAST with PBT_TRANSITION and these flags to every queue
// registered with RequestPowerNotifications.
void PowerTransition(DWORD flags);
enum class PowerState { On, Suspended };
PowerState CurrentPowerState();
// How many requests for power notifications are registered now.
std::size_t PowerListenerCount();

// Audio-driver hook: waveOutMessage 1069 turns call audio on, 1070 off.
bool CallAudioOn();

// Debug output. Every NKDbgPrintfW line is kept in order (without its CR LF) and handed to the
// sink, if one is set, as it is written.
using DebugSink = std::function<void(const std::u16string& line)>;
void SetDebugSink(DebugSink sink);
std::vector<std::u16string> DebugLines();
std::size_t DebugLineCount();

// The clock's time scale (KOBALT_TIME_SCALE): 0.01 makes 2000 ms pass in 20 ms.
double TimeScale();
// Waits `duration` of device time (0 to 0xFFFFFFFE ms) on the calling thread, as the console's
// own Sleep does: 2000 ms take 20 ms of real time at a scale of 0.01.
void SleepDeviceTime(std::chrono::milliseconds duration);

} // namespace kobalt::device
