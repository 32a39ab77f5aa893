#pragma once

#include <mutex>
#include <utility>

namespace base {

// A value that can only be reached while its own mutex is held.
template <typename T>
class Guarded {
public:
    Guarded() = default;
    explicit Guarded(T initial) : value(std::move(initial)) {}

    // Runs `action` with exclusive access to the value and returns its result.
    template <typename Action>
    decltype(auto) with_lock(Action&& action) {
        std::lock_guard lock(mutex);
        return std::forward<Action>(action)(value);
    }

    template <typename Action>
    decltype(auto) with_lock(Action&& action) const {
        std::lock_guard lock(mutex);
        return std::forward<Action>(action)(std::as_const(value));
    }

private:
    mutable std::mutex mutex;
    T value{};
};

}  // namespace base
