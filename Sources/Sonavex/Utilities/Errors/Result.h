#pragma once
// The outcome of an operation that reports its failure as a value instead of throwing: the value on
// success, the error on failure.

#include <exception>
#include <utility>
#include <variant>

namespace sonavex {

template <class T> class Result {
public:
    static Result success(T value) { return Result(std::in_place_index<0>, std::move(value)); }
    static Result failure(std::exception_ptr error) {
        return Result(std::in_place_index<1>, std::move(error));
    }
    /// The exception being handled as a failure; call only inside a catch block.
    static Result currentFailure() { return failure(std::current_exception()); }

    bool isSuccess() const { return outcome_.index() == 0; }
    /// The value; rethrows the error of a failure.
    const T& get() const {
        if (!isSuccess()) {
            std::rethrow_exception(std::get<1>(outcome_));
        }
        return std::get<0>(outcome_);
    }
    /// The error of a failure; null for a success.
    std::exception_ptr error() const { return isSuccess() ? nullptr : std::get<1>(outcome_); }

private:
    template <std::size_t I, class V>
    Result(std::in_place_index_t<I> index, V&& value) : outcome_(index, std::forward<V>(value)) {}

    std::variant<T, std::exception_ptr> outcome_;
};

} // namespace sonavex
