#include "sim/phone/CallHistory.h"

namespace kobalt::sim {

void CallHistory::Append(CallRecord record) {
    std::lock_guard lock(m_mutex);
    m_records.push_back(std::move(record));
    if (m_records.size() > kCapacity) {
        m_records.pop_front();
    }
}

std::vector<CallRecord> CallHistory::Records() const {
    std::lock_guard lock(m_mutex);
    return {m_records.begin(), m_records.end()};
}

std::size_t CallHistory::Size() const {
    std::lock_guard lock(m_mutex);
    return m_records.size();
}

} // namespace kobalt::sim
