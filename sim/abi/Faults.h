// Injected failures: entry points made to fail, as a test or the operator of the phone asks.
#pragma once

#include "sim/abi/EntryPoints.h"

#include <array>
#include <cstdint>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace kobalt::sim {

class Faults {
public:
    // Every call of `api` fails until Clear.
    void FailAlways(Api api);

    // The next `count` calls of `api` fail, replacing any count still pending; 0 cancels.
    // Has no visible effect while `api` fails always.
    void FailNext(Api api, uint32_t count);

    // Ends both kinds of injected failure of `api`.
    void Clear(Api api);

    // Whether this call of `api` must fail; consumes one pending FailNext failure when it does
    // and `api` does not fail always.
    bool ShouldFail(Api api);

    // Makes each entry point named in a comma-separated list fail always. Blanks around names
    // and empty items are ignored; returns the names that are not entry points, each once.
    std::vector<std::string> FailAlwaysFromList(std::string_view list);

    // An entry point with an injected failure in force.
    struct Pending {
        Api api;
        bool always;   // FailAlways
        uint32_t next; // calls still to fail by FailNext
    };

    // The injected failures in force, in entry-point order.
    std::vector<Pending> InForce() const;

private:
    struct Rule {
        bool always = false; // FailAlways is in force
        uint32_t next = 0;   // calls still to fail by FailNext
    };

    mutable std::mutex m_mutex;          // guards m_rules
    std::array<Rule, kApiCount> m_rules; // indexed by Api
};

} // namespace kobalt::sim
