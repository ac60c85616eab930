#include "sim/Stack.h"

namespace kobalt::sim {

ResultCode Stack::Init() {
    std::lock_guard lock(m_mutex);
    m_state = StackState::Ready;
    return kOk;
}

ResultCode Stack::UnInit() {
    std::lock_guard lock(m_mutex);
    m_state = StackState::Uninitialised;
    return kOk;
}

ResultCode Stack::SetIntegrateTL(int mode) {
    std::lock_guard lock(m_mutex);
    m_integrationMode = mode;
    return kOk;
}

template <class Assign> ResultCode Stack::Register(Assign assign) {
    std::lock_guard lock(m_mutex);
    if (m_state != StackState::Ready) {
        return kErrNotInitialised;
    }
    assign(m_callbacks);
    return kOk;
}

ResultCode Stack::RegisterConnectCallback(KOBALT_ConnectCallback callback) {
    return Register([&](Callbacks& c) { c.connect = callback; });
}

ResultCode Stack::RegisterPairCallback(KOBALT_PairCallback callback) {
    return Register([&](Callbacks& c) { c.pair = callback; });
}

ResultCode Stack::RegisterHfCallback(KOBALT_HfCallback callback) {
    return Register([&](Callbacks& c) { c.hf = callback; });
}

ResultCode Stack::RegisterPimCallback(KOBALT_PimCallback callback) {
    return Register([&](Callbacks& c) { c.pim = callback; });
}

StackState Stack::State() const {
    std::lock_guard lock(m_mutex);
    return m_state;
}

int Stack::IntegrationMode() const {
    std::lock_guard lock(m_mutex);
    return m_integrationMode;
}

Callbacks Stack::GetCallbacks() const {
    std::lock_guard lock(m_mutex);
    return m_callbacks;
}

} // namespace kobalt::sim
