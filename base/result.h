#pragma once

#include <string>
#include <type_traits>
#include <utility>
#include <variant>

namespace rankmoth::base {

// Why an operation failed, in words for the person who started it.
struct Failure {
    std::string message;
};

inline Failure Fail(std::string message) {
    return Failure{std::move(message)};
}

// A value or the reason there is none. Operations across folders return this instead of throwing, and
// instead of a sticky error that a caller would have to read and clear in the right order.
template <typename T> class [[nodiscard]] Result {
    static_assert(!std::is_same_v<T, Failure>);

public:
    Result(T value) : state_(std::in_place_index<0>, std::move(value)) {}
    Result(Failure failure) : state_(std::in_place_index<1>, std::move(failure)) {}

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    // Only when ok().
    T& value() & { return std::get<0>(state_); }
    const T& value() const& { return std::get<0>(state_); }
    T&& value() && { return std::get<0>(std::move(state_)); }
    T value_or(T otherwise) const& { return ok() ? value() : std::move(otherwise); }
    T value_or(T otherwise) && { return ok() ? std::move(*this).value() : std::move(otherwise); }

    // Only when !ok().
    const std::string& error() const { return std::get<1>(state_).message; }

private:
    std::variant<T, Failure> state_;
};

template <> class [[nodiscard]] Result<void> {
public:
    Result() = default;
    Result(Failure failure) : failed_(true), error_(std::move(failure.message)) {}

    bool ok() const { return !failed_; }
    explicit operator bool() const { return ok(); }
    const std::string& error() const { return error_; }

private:
    bool failed_ = false;
    std::string error_;
};

} // namespace rankmoth::base
