#pragma once

// Who the process is: the names group policy values are looked up by, and the executable's path.

#include <string>

#include <windows.h>

#include "loader/system_functions.h"

namespace loader {

// The application user model ID, empty when the process has none.
std::wstring app_user_model_id();
std::wstring app_user_model_id_from(const AppIdFunctions& functions);

// The executable's file name (after the last backslash); empty when unreadable.
std::wstring exe_file_name();

// The full path of the executable; a failure HRESULT when it cannot be read.
[[nodiscard]] HRESULT module_file_name(std::wstring& name);

}  // namespace loader
