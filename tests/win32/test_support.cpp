#include "tests/win32/test_support.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <system_error>

namespace win32_test {

namespace fs = std::filesystem;

ScopedVariable::ScopedVariable(const wchar_t* name, std::optional<std::wstring> value)
    : name(name) {
    std::wstring buffer(32768, L'\0');
    SetLastError(ERROR_SUCCESS);
    const DWORD length =
        GetEnvironmentVariableW(name, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (length > 0 || GetLastError() != ERROR_ENVVAR_NOT_FOUND) {
        buffer.resize(length);
        previous = std::move(buffer);
    }
    SetEnvironmentVariableW(name, value ? value->c_str() : nullptr);
}

ScopedVariable::~ScopedVariable() {
    SetEnvironmentVariableW(name.c_str(), previous ? previous->c_str() : nullptr);
}

TempFolder::TempFolder() {
    static int made = 0;
    const fs::path folder =
        fs::temp_directory_path() / (L"corvane-test-" + std::to_wstring(GetCurrentProcessId()) +
                                     L"-" + std::to_wstring(++made));
    delete_tree(folder.wstring());
    fs::create_directories(folder);
    root = folder.wstring();
    while (!root.empty() && (root.back() == L'\\' || root.back() == L'/')) {
        root.pop_back();
    }
}

TempFolder::~TempFolder() {
    delete_tree(root);
}

namespace {

void remove_tree(const fs::path& path) {
    std::error_code error;
    if (fs::is_directory(fs::symlink_status(path, error))) {
        for (const fs::directory_entry& entry : fs::directory_iterator(path, error)) {
            remove_tree(entry.path());
        }
    }
    fs::remove(path, error);
}

}  // namespace

void delete_tree(const std::wstring& path) {
    // In the long form, so that names the plain form cannot address (a trailing dot) go too.
    std::error_code error;
    const fs::path whole = fs::absolute(path, error);
    remove_tree(path.starts_with(L"\\\\?\\") ? fs::path(path)
                                             : fs::path(L"\\\\?\\" + whole.wstring()));
}

void write_file(const std::wstring& path, const std::string& content) {
    std::ofstream(fs::path(path), std::ios::binary | std::ios::trunc) << content;
}

std::string read_text(const std::wstring& path) {
    std::ifstream file(fs::path(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

std::vector<std::string> read_lines(const std::wstring& path) {
    std::vector<std::string> lines;
    std::istringstream text(read_text(path));
    for (std::string line; std::getline(text, line);) {
        lines.push_back(line);
    }
    return lines;
}

std::string utf8(const std::wstring& text) {
    const std::u8string converted = fs::path(text).u8string();
    return std::string(converted.begin(), converted.end());
}

std::wstring wide(const std::string& text) {
    return fs::path(std::u8string(text.begin(), text.end())).wstring();
}

}  // namespace win32_test
