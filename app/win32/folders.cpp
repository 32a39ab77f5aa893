#include "app/win32/folders.h"

#include <string>
#include <system_error>

#include <shlobj.h>
#include <windows.h>

#include "win32/system_handles.h"

namespace win32_host {

std::filesystem::path executable_folder() {
    std::wstring path(32768, L'\0');
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    path.resize(length);
    return std::filesystem::path(path).parent_path();
}

std::filesystem::path user_data_root() {
    win32::UniqueCoTaskString local_data;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_LocalAppData, 0, nullptr, local_data.put()))) {
        const std::filesystem::path root =
            std::filesystem::path(local_data.get()) / L"CorvaneWeather";
        local_data.reset();
        std::error_code error;
        std::filesystem::create_directories(root, error);
        if (error) {
            throw std::filesystem::filesystem_error("create_directories", root, error);
        }
        return root;
    }
    std::error_code error;
    const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
    if (error) {
        throw std::filesystem::filesystem_error("temp_directory_path", error);
    }
    return temporary / L"CorvaneWeather";
}

bool file_exists(const std::filesystem::path& file) {
    std::error_code error;
    const bool found = std::filesystem::exists(file, error);
    if (error) {
        throw std::filesystem::filesystem_error("exists", file, error);
    }
    return found;
}

}  // namespace win32_host
