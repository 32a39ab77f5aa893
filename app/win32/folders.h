#pragma once

#include <filesystem>

namespace win32_host {

// The folder that holds the running executable: its path without the last element and the
// separators before it, a drive root such as C:\ kept whole.
std::filesystem::path executable_folder();

// The per-user folder for the browser's data: local application data + "CorvaneWeather",
// created with any missing parents; when the shell cannot name that folder, the temporary
// folder + "CorvaneWeather", not created. Throws std::filesystem::filesystem_error (operation
// "create_directories" or "temp_directory_path").
std::filesystem::path user_data_root();

// Whether `file` exists; a missing file or folder on the way is false, any other failure of
// the query throws std::filesystem::filesystem_error (operation "exists").
bool file_exists(const std::filesystem::path& file);

}  // namespace win32_host
