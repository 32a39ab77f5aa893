#pragma once

#include <windows.h>

#include "app/win32/unique_handle.h"

namespace win32 {

using UniqueHkey = UniqueHandle<HKEY, RegCloseKey>;
using UniqueKernelHandle = UniqueHandle<HANDLE, CloseHandle>;
using UniqueFileHandle = UniqueHandle<HANDLE, CloseHandle, -1>;  // INVALID_HANDLE_VALUE
using UniqueModule = UniqueHandle<HMODULE, FreeLibrary>;

}  // namespace win32
