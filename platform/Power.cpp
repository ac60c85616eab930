// Power notifications: queues registered with RequestPowerNotifications receive the device's
// power transitions.
//
// A request opens its own writing handle on the registered queue by name, as the device's power
// manager does, so the caller may close its queue handle and the request independently.
#include "platform/DeviceServices.h"
#include "platform/Handles.h"
#include "platform/NamedQueue.h"

#include <atomic>
#include <cstddef>
#include <mutex>
#include <vector>

namespace kobalt::platform {
namespace {

class PowerRequest;

struct PowerRegistry {
    std::mutex m_lock;
    std::vector<std::shared_ptr<PowerRequest>> m_requests;
};

// Never destroyed: detached threads may still stop notifications while the process exits.
PowerRegistry& Registry() {
    static PowerRegistry* registry = new PowerRegistry;
    return *registry;
}

std::atomic<kobalt::device::PowerState> g_powerState{kobalt::device::PowerState::On};

class PowerRequest final : public KernelObject {
public:
    PowerRequest(HANDLE writer, DWORD flags) : m_writer(writer), m_flags(flags) {}

    void OnClose() override {
        {
            PowerRegistry& registry = Registry();
            std::lock_guard guard(registry.m_lock);
            std::erase_if(registry.m_requests, [this](const std::shared_ptr<PowerRequest>& r) {
                return r.get() == this;
            });
        }
        CloseMsgQueue(m_writer);
    }

    // Writes without waiting: a full queue, or one nobody reads, misses the notification.
    void Deliver(DWORD message, DWORD flags) const {
        if ((m_flags & message) == 0) {
            return;
        }
        POWER_BROADCAST record{message, flags, 0, {0}};
        WriteMsgQueue(m_writer, &record, offsetof(POWER_BROADCAST, SystemPowerState), 0, 0);
    }

private:
    const HANDLE m_writer;
    const DWORD m_flags; // the PBT_* messages asked for
};

} // namespace
} // namespace kobalt::platform

using kobalt::platform::PowerRequest;

HANDLE RequestPowerNotifications(HANDLE msgQueue, DWORD flags) {
    const auto queue = kobalt::platform::DescribeMsgQueue(msgQueue);
    if (!queue) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    MSGQUEUEOPTIONS options{sizeof(MSGQUEUEOPTIONS), 0, queue->maxMessages, queue->maxMessageSize,
                            FALSE};
    HANDLE writer = CreateMsgQueue(queue->name.c_str(), &options);
    if (writer == nullptr) {
        return nullptr;
    }
    auto request = std::make_shared<PowerRequest>(writer, flags);
    HANDLE handle = kobalt::platform::InsertHandle(request);
    if (handle == nullptr) {
        CloseMsgQueue(writer);
        return nullptr;
    }
    auto& registry = kobalt::platform::Registry();
    {
        std::lock_guard guard(registry.m_lock);
        registry.m_requests.push_back(std::move(request));
    }
    SetLastError(ERROR_SUCCESS);
    return handle;
}

BOOL StopPowerNotifications(HANDLE notifications) {
    auto request = kobalt::platform::RemoveHandleAs<PowerRequest>(notifications);
    if (!request) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    request->OnClose();
    return TRUE;
}

namespace kobalt::device {

// A suspend flag means the device goes to sleep; otherwise POWER_STATE_ON means it is awake;
// other transitions leave the state as it was.
void PowerTransition(DWORD flags) {
    using kobalt::platform::g_powerState;
    if ((flags & POWER_STATE_SUSPEND) != 0) {
        g_powerState.store(PowerState::Suspended);
    } else if ((flags & POWER_STATE_ON) != 0) {
        g_powerState.store(PowerState::On);
    }
    std::vector<std::shared_ptr<PowerRequest>> requests;
    {
        auto& registry = kobalt::platform::Registry();
        std::lock_guard guard(registry.m_lock);
        requests = registry.m_requests;
    }
    // The caller's last error is not disturbed by the deliveries.
    const DWORD savedError = GetLastError();
    for (const auto& request : requests) {
        request->Deliver(PBT_TRANSITION, flags);
    }
    SetLastError(savedError);
}

std::size_t PowerListenerCount() {
    auto& registry = kobalt::platform::Registry();
    std::lock_guard guard(registry.m_lock);
    return registry.m_requests.size();
}

PowerState CurrentPowerState() {
    return kobalt::platform::g_powerState.load();
}

} // namespace kobalt::device
