#pragma once

#include <cstdint>
#include <type_traits>
#include <utility>

namespace win32 {

// A move-only owner of one system handle. The close function is part of the type; `Invalid`
// is the value that means "no handle" (0 for most kinds, -1 for file handles).
template <typename Handle, auto Close, std::intptr_t Invalid = 0>
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(Handle handle) : handle(handle) {}
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        reset(other.release());
        return *this;
    }
    ~UniqueHandle() { reset(); }

    Handle get() const { return handle; }
    explicit operator bool() const { return handle != invalid(); }

    // Closes the held handle and returns the address to receive a new one.
    Handle* put() {
        reset();
        return &handle;
    }

    // Gives up ownership without closing.
    Handle release() { return std::exchange(handle, invalid()); }

    void reset(Handle replacement = invalid()) {
        const Handle old = std::exchange(handle, replacement);
        if (old != invalid()) {
            Close(old);
        }
    }

    static Handle invalid() {
        if constexpr (std::is_pointer_v<Handle>) {
            return reinterpret_cast<Handle>(Invalid);
        } else {
            return static_cast<Handle>(Invalid);
        }
    }

private:
    Handle handle = invalid();
};

}  // namespace win32
