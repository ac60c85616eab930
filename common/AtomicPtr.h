// A pointer field that one thread writes while others read it.
#pragma once

#include <atomic>
#include <type_traits>

// Reads and writes like the plain pointer it stands for (assignment, comparison, `->`,
// conversion), but every access is atomic, so a window handle or the application's main window
// can be read from SDK threads while the user-interface thread sets or clears it.
template <class P> class AtomicPtr {
    static_assert(std::is_pointer_v<P>, "AtomicPtr holds a pointer type");

public:
    AtomicPtr() = default;
    AtomicPtr(P value) : m_value(value) {}
    AtomicPtr(const AtomicPtr&) = delete;
    AtomicPtr& operator=(const AtomicPtr&) = delete;

    AtomicPtr& operator=(P value) {
        m_value.store(value, std::memory_order_release);
        return *this;
    }
    P load() const { return m_value.load(std::memory_order_acquire); }
    // Stores `value` and returns what was there, in one step.
    P exchange(P value) { return m_value.exchange(value, std::memory_order_acq_rel); }

    operator P() const { return load(); }
    P operator->() const { return load(); }

    // Lets `static_cast<CMainDlg*>(theApp.m_pMainWnd)` read like a cast of the plain field.
    template <class U>
    requires std::is_base_of_v<std::remove_pointer_t<P>, U>
    explicit operator U*() const { return static_cast<U*>(load()); }

private:
    std::atomic<P> m_value{nullptr};
};
