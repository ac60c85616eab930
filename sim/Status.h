// The outcome of an act or a parse of the simulated SDK that the user reads about: done, or why
// not, in the words shown after "error: " (control commands) or in a diagnostic.
#pragma once

#include <optional>
#include <string>
#include <utility>

namespace kobalt::sim {

class [[nodiscard]] Status {
public:
    // Done.
    Status() = default;
    // Not done, and why. An empty reason means done: some callers pass a reason that is empty
    // for results that cannot fail in their context.
    static Status Error(std::string reason) { return Status(std::move(reason)); }

    bool Ok() const { return m_message.empty(); }
    // Why not; empty when done.
    const std::string& Message() const { return m_message; }

private:
    explicit Status(std::string message) : m_message(std::move(message)) {}

    std::string m_message;
};

// A value, or the Status that says why there is none.
template <class T> class [[nodiscard]] Result {
public:
    Result(T value) : m_value(std::move(value)) {}
    // `error` is not Ok.
    Result(Status error) : m_error(std::move(error)) {}

    bool Ok() const { return m_value.has_value(); }
    const Status& Error() const { return m_error; }
    const T& Value() const& { return *m_value; }
    T& Value() & { return *m_value; }
    T&& Value() && { return std::move(*m_value); }
    const T& operator*() const& { return *m_value; }
    const T* operator->() const { return &*m_value; }

private:
    std::optional<T> m_value;
    Status m_error;
};

} // namespace kobalt::sim
