// KOBALT.dll as the console sees it: loaded once per test program with dlopen, by path.
#pragma once

#include <string>

namespace kobalt::sim::test {

class SimLibrary {
public:
    // Loads the library on first use; a test fails at once if it cannot be loaded.
    static SimLibrary& Get();

    // The export named `name`, or null.
    void* Symbol(const char* name) const;

    // The export named `name` as a function of type Fn, or null.
    template <class Fn> Fn Entry(const char* name) const {
        return reinterpret_cast<Fn>(Symbol(name));
    }

    // What the library wrote to stderr while it was being loaded.
    const std::string& LoadMessages() const { return m_loadMessages; }

private:
    SimLibrary();

    void* m_handle = nullptr;
    std::string m_loadMessages;
};

} // namespace kobalt::sim::test
