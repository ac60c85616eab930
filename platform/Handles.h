// Internal to the platform: the process's table of kernel-object handles.
//
// Threads, events, message queues and power-notification requests all live in one table, so a
// HANDLE names exactly one object of one kind. Handle values are never reused within a process:
// a stale handle is refused (ERROR_INVALID_HANDLE) instead of reaching a newer object. The table
// holds one shared reference per handle; every call that uses a handle takes its own reference
// for its duration, so CloseHandle in one thread while another thread is inside a call on the
// same handle is safe: the object lives until the last of them is done.
#pragma once

#include "platform/Windows.h"

#include <memory>

namespace kobalt::platform {

class KernelObject {
public:
    virtual ~KernelObject() = default;
    // Called once when the object's handle is closed, before the table drops its reference.
    // Objects that other threads may be blocked on wake them here.
    virtual void OnClose() {}
};

// A new handle for `object`; null (ERROR_NOT_ENOUGH_MEMORY) only when the table cannot grow.
HANDLE InsertHandle(std::shared_ptr<KernelObject> object);

// The object behind `handle`, or null for a closed, unknown or null handle.
std::shared_ptr<KernelObject> LookupHandle(HANDLE handle);

template <class T> std::shared_ptr<T> LookupHandleAs(HANDLE handle) {
    return std::dynamic_pointer_cast<T>(LookupHandle(handle));
}

// Removes `handle` if it names a T and returns its object (OnClose not yet called); null if the
// handle is unknown or names something else, in which case the table is unchanged.
std::shared_ptr<KernelObject> RemoveHandle(HANDLE handle, bool (*accept)(const KernelObject&));

template <class T> std::shared_ptr<T> RemoveHandleAs(HANDLE handle) {
    auto object = RemoveHandle(handle, [](const KernelObject& candidate) {
        return dynamic_cast<const T*>(&candidate) != nullptr;
    });
    return std::static_pointer_cast<T>(std::move(object));
}

} // namespace kobalt::platform
