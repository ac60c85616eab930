// One entry point of KOBALT.dll as CSdkApi holds it: a typed function pointer that is safe to
// call while unresolved.
#pragma once

#include "sdk/SdkMissingUse.h"

#include <type_traits>

// What a call through an unresolved slot returns, chosen by how callers read the result.
enum class SdkFailure : int {
    Error = -1,         // results read as 0 = success, anything else = failure
    False = 0,          // boolean results (KOBALT_IsConnected): "no" in the low 8 bits
    NoAudioStatus = -1, // KOBALT_HFAP_GetAudioStatus: neither 0 nor 1, so no transfer follows
};

// `Row` names the entry point for ReportMissingUse; -1 (slots outside the table) reports nothing.
template <class Fn, SdkFailure Failure, int Row = -1> class SdkSlot;

// A slot is exactly one function pointer, null until resolved. Constant-initialisable, so a
// static table reads as all null before its constructor runs.
template <class R, class... Args, SdkFailure Failure, int Row>
class SdkSlot<R (*)(Args...), Failure, Row> {
public:
    using Function = R (*)(Args...);
    static constexpr R kFailure = static_cast<R>(Failure);

    constexpr SdkSlot() = default;
    SdkSlot(const SdkSlot&) = delete;
    SdkSlot& operator=(const SdkSlot&) = delete;

    // Binds the slot to `fn` (null unbinds it). The loader stores look-up results this way;
    // tests put fakes in.
    SdkSlot& operator=(Function fn) {
        m_fn = fn;
        return *this;
    }

    // Whether the slot is resolved; a caller that checks before calling uses the entry point
    // here, so an unresolved one is reported as a call through it would be.
    explicit operator bool() const {
        if (m_fn == nullptr) {
            Report();
        }
        return m_fn != nullptr;
    }
    Function Get() const { return m_fn; }

    // Calls the entry point. Unresolved: returns kFailure and touches none of the arguments.
    R operator()(Args... args) const {
        if (m_fn == nullptr) {
            Report();
            return kFailure;
        }
        return m_fn(args...);
    }

private:
    static void Report() {
        if constexpr (Row >= 0) {
            ReportMissingUse(Row);
        }
    }

    Function m_fn = nullptr;
};
