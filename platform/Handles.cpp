// The kernel-object handle table and CloseHandle.
#include "platform/Handles.h"

#include <cstdint>
#include <mutex>
#include <new>
#include <unordered_map>

namespace kobalt::platform {
namespace {

struct HandleTable {
    std::mutex m_lock;
    std::unordered_map<std::uintptr_t, std::shared_ptr<KernelObject>> m_objects;
    // Next handle value. Values step by 4 from a nonzero base, so a handle never looks like
    // null, a small integer or INVALID_HANDLE_VALUE; 64 bits never wrap in practice.
    std::uintptr_t m_next = 0x1000;
};

// Never destroyed: detached threads may still close or wait on handles while the process exits.
HandleTable& Table() {
    static HandleTable* table = new HandleTable;
    return *table;
}

} // namespace

HANDLE InsertHandle(std::shared_ptr<KernelObject> object) {
    HandleTable& table = Table();
    std::lock_guard guard(table.m_lock);
    const std::uintptr_t value = table.m_next;
    try {
        table.m_objects.emplace(value, std::move(object));
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    table.m_next += 4;
    return reinterpret_cast<HANDLE>(value);
}

std::shared_ptr<KernelObject> LookupHandle(HANDLE handle) {
    HandleTable& table = Table();
    std::lock_guard guard(table.m_lock);
    const auto found = table.m_objects.find(reinterpret_cast<std::uintptr_t>(handle));
    return found == table.m_objects.end() ? nullptr : found->second;
}

std::shared_ptr<KernelObject> RemoveHandle(HANDLE handle, bool (*accept)(const KernelObject&)) {
    HandleTable& table = Table();
    std::lock_guard guard(table.m_lock);
    const auto found = table.m_objects.find(reinterpret_cast<std::uintptr_t>(handle));
    if (found == table.m_objects.end() || !accept(*found->second)) {
        return nullptr;
    }
    std::shared_ptr<KernelObject> object = std::move(found->second);
    table.m_objects.erase(found);
    return object;
}

} // namespace kobalt::platform

// Closes any kernel object's handle. For a message queue this is CloseMsgQueue; for a power
// notification request, StopPowerNotifications.
BOOL CloseHandle(HANDLE handle) {
    auto object = kobalt::platform::RemoveHandle(
        handle, [](const kobalt::platform::KernelObject&) { return true; });
    if (!object) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    object->OnClose();
    return TRUE;
}
