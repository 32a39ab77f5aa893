#pragma once

#include <unknwn.h>

namespace win32 {

// The IID of a COM interface type. Each interface declaration of ours specialises the trait, so
// code names an interface's IID the same way with GCC and MSVC (whose __uuidof needs a GUID
// attached to the type in its own way).
template <typename Interface>
struct InterfaceId;

template <>
struct InterfaceId<IUnknown> {
    static const IID& value() { return IID_IUnknown; }
};

template <typename Interface>
const IID& interface_id() {
    return InterfaceId<Interface>::value();
}

}  // namespace win32
