// Reports each SDK event to the desktop's handled-event observer from the handler that finally
// acts on it, as one line in the form the simulated SDK's trace gives the callback (without its
// "-> "), so that a harness can compare the two sequences. Nothing is composed while no
// observer is set.
#pragma once

#include "sdk/KobaltAbi.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace kobalt::events {

// True while an observer listens; the report functions check it themselves, callers need it
// only to skip reading data for a report.
bool Observed();

void ReportConnect(int connected, const KOBALT_BdAddr* addr, int service);
void ReportPair(int success, const KOBALT_BdAddr* addr);
void ReportDiscovery(int finished, const KOBALT_DeviceRecord& record);
void ReportPim(int32_t event);

// What the handler of a hands-free event read of the event's data.
enum class HfDataKind {
    None,   // the data was null
    Level,  // one byte: `level`
    Text,   // a text: `text`, as far as the handler read it
    Unread, // there was data, but this code's handler does not read it
};

struct HfData {
    HfDataKind kind = HfDataKind::None;
    uint8_t level = 0;
    std::string_view text;
};

void ReportHandsFree(uint32_t code, const HfData& data);

// The line for an event, as reported. An unread argument is written `?`.
std::string ConnectLine(int connected, const KOBALT_BdAddr* addr, int service);
std::string PairLine(int success, const KOBALT_BdAddr* addr);
std::string DiscoveryLine(int finished, const KOBALT_DeviceRecord& record);
std::string PimLine(int32_t event);
std::string HandsFreeLine(uint32_t code, const HfData& data);

} // namespace kobalt::events
