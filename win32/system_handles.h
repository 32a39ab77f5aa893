#pragma once

// Every kind of owned system handle the program and its tests use, one line each; the close
// function is part of the type.

// clang-format off
#include <objbase.h>
#include <windows.h>
#include <winhttp.h>
// clang-format on

#include "win32/unique_handle.h"

namespace win32 {

using UniqueHkey = UniqueHandle<HKEY, RegCloseKey>;
using UniqueKernelHandle = UniqueHandle<HANDLE, CloseHandle>;
using UniqueFileHandle = UniqueHandle<HANDLE, CloseHandle, -1>;  // INVALID_HANDLE_VALUE
using UniqueModule = UniqueHandle<HMODULE, FreeLibrary>;
using UniqueBrush = UniqueHandle<HBRUSH, DeleteObject>;
using UniqueHinternet = UniqueHandle<HINTERNET, WinHttpCloseHandle>;
// A text that the browser runtime or the shell allocated for us.
using UniqueCoTaskString = UniqueHandle<LPWSTR, CoTaskMemFree>;

// The function `name` exported by `module`, as a pointer of type `Function`; null when the
// module or the function is absent.
template <typename Function>
Function find_function(HMODULE module, const char* name) {
    if (module == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace win32
