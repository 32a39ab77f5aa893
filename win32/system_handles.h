#pragma once

#include <objbase.h>
#include <windows.h>

#include "win32/unique_handle.h"

namespace win32 {

using UniqueHkey = UniqueHandle<HKEY, RegCloseKey>;
using UniqueKernelHandle = UniqueHandle<HANDLE, CloseHandle>;
using UniqueFileHandle = UniqueHandle<HANDLE, CloseHandle, -1>;  // INVALID_HANDLE_VALUE
using UniqueModule = UniqueHandle<HMODULE, FreeLibrary>;
using UniqueBrush = UniqueHandle<HBRUSH, DeleteObject>;
// A text that the browser runtime or the shell allocated for us.
using UniqueCoTaskString = UniqueHandle<LPWSTR, CoTaskMemFree>;

}  // namespace win32
