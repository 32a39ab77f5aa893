#pragma once

#include <utility>

#include <unknwn.h>

#include "win32/interface_id.h"

namespace win32 {

// An owning COM interface pointer: AddRefs what it copies, Releases what it holds.
template <typename Interface>
class ComPtr {
public:
    ComPtr() = default;
    ComPtr(std::nullptr_t) {}
    // Takes a new reference to `pointer`.
    explicit ComPtr(Interface* pointer) : pointer(pointer) { add_ref(); }
    ComPtr(const ComPtr& other) : pointer(other.pointer) { add_ref(); }
    ComPtr(ComPtr&& other) noexcept : pointer(std::exchange(other.pointer, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(pointer, other.pointer);
        return *this;
    }
    ~ComPtr() { reset(); }

    // Adopts a reference the caller already owns (for example a new object's first one).
    static ComPtr attach(Interface* owned) {
        ComPtr result;
        result.pointer = owned;
        return result;
    }

    Interface* get() const { return pointer; }
    Interface* operator->() const { return pointer; }
    explicit operator bool() const { return pointer != nullptr; }

    // Releases the held reference and returns the address for an out-parameter.
    Interface** put() {
        reset();
        return &pointer;
    }
    void** put_void() { return reinterpret_cast<void**>(put()); }

    // Hands the reference to the caller without releasing it.
    Interface* detach() { return std::exchange(pointer, nullptr); }

    void reset() {
        if (Interface* old = std::exchange(pointer, nullptr)) {
            old->Release();
        }
    }

    // Asks the object for another interface, named by its type; empty when it has none.
    template <typename Other>
    ComPtr<Other> try_query() const;

private:
    void add_ref() {
        if (pointer) {
            pointer->AddRef();
        }
    }

    Interface* pointer = nullptr;
};

// Asks `object` for the interface `Other`, named by its type; empty when it has none or when
// `object` is null.
template <typename Other>
ComPtr<Other> try_query(IUnknown* object) {
    ComPtr<Other> result;
    if (object != nullptr &&
        FAILED(object->QueryInterface(interface_id<Other>(), result.put_void()))) {
        result.reset();
    }
    return result;
}

template <typename Interface>
template <typename Other>
ComPtr<Other> ComPtr<Interface>::try_query() const {
    return win32::try_query<Other>(pointer);
}

}  // namespace win32
