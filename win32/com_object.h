#pragma once

#include <atomic>
#include <functional>
#include <new>
#include <type_traits>
#include <utility>

#include <unknwn.h>

#include "win32/com_ptr.h"
#include "win32/interface_id.h"

namespace win32 {

// The HRESULT for the exception being handled: E_OUTOFMEMORY for std::bad_alloc, E_UNEXPECTED
// for anything else. Only inside a catch block.
inline HRESULT current_exception_hresult() noexcept {
    try {
        throw;
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_UNEXPECTED;
    }
}

#if defined(CORVANE_TEST_HOOKS)
// COM objects of ours that are still alive; test builds only, so tests catch leaked handlers.
inline std::atomic<long> live_com_objects{0};
#endif

// A reference-counted COM object implementing `Interface`: AddRef and Release, and a
// QueryInterface that answers IUnknown and `Interface` (a class offering more overrides it).
// The object is deleted with its last reference, on the thread of that Release.
template <typename Interface>
class ComObjectBase : public Interface {
public:
    ComObjectBase(const ComObjectBase&) = delete;
    ComObjectBase& operator=(const ComObjectBase&) = delete;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (out == nullptr) {
            return E_POINTER;
        }
        if (iid == interface_id<IUnknown>() || iid == interface_id<Interface>()) {
            *out = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references;
        if (left == 0) {
            last_reference_released();
        }
        return left;
    }

protected:
    ComObjectBase() {
#if defined(CORVANE_TEST_HOOKS)
        ++live_com_objects;
#endif
    }
    virtual ~ComObjectBase() {
#if defined(CORVANE_TEST_HOOKS)
        --live_com_objects;
#endif
    }

    // What the last Release does: delete the object.
    virtual void last_reference_released() {
        delete this;
    }

private:
    std::atomic<ULONG> references{1};
};

namespace detail {

template <typename Signature>
struct InvokeSignature;

template <typename Owner, typename... Args>
struct InvokeSignature<HRESULT (STDMETHODCALLTYPE Owner::*)(Args...)> {
    template <typename Interface, typename Callable>
    class Object : public ComObjectBase<Interface> {
    public:
        explicit Object(Callable callable) : callable(std::move(callable)) {}

        HRESULT STDMETHODCALLTYPE Invoke(Args... args) override {
            // No exception may unwind into the caller's frames: it is COM on the other side.
            try {
                if constexpr (std::is_invocable_v<Callable&, Interface*, Args...>) {
                    return finish([&] { return std::invoke(callable, this, args...); });
                } else {
                    return finish([&] { return std::invoke(callable, args...); });
                }
            } catch (...) {
                return current_exception_hresult();
            }
        }

    protected:
        Callable callable;

    private:
        template <typename Call>
        static HRESULT finish(Call call) {
            if constexpr (std::is_void_v<decltype(call())>) {
                call();
                return S_OK;
            } else {
                return call();
            }
        }
    };
};

}  // namespace detail

// A COM object implementing one interface whose only own method is `Invoke` (the handler
// interfaces), by calling `callable` with Invoke's arguments; a callable that also takes the
// interface pointer first receives the object itself. The callable returns an HRESULT or nothing
// (S_OK). It is destroyed with the object, on the thread of the last Release.
template <typename Interface, typename Callable>
class ComObject final
    : public detail::InvokeSignature<decltype(&Interface::Invoke)>::template Object<Interface,
                                                                                    Callable> {
    using Base =
        typename detail::InvokeSignature<decltype(&Interface::Invoke)>::template Object<Interface,
                                                                                        Callable>;

public:
    explicit ComObject(Callable callable) : Base(std::move(callable)) {}

private:
    ~ComObject() override = default;  // only through the last Release
};

// Makes a handler object and returns its first reference; empty when memory runs out.
template <typename Interface, typename Callable>
ComPtr<Interface> make_com_object(Callable callable) {
    auto* object = new (std::nothrow) ComObject<Interface, Callable>(std::move(callable));
    return ComPtr<Interface>::attach(object);
}

}  // namespace win32
