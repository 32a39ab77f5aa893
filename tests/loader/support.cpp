#include "support.h"

#include <sstream>

#include "app/win32/com_object.h"

namespace loader_test {

ScopedVariable::ScopedVariable(const wchar_t* name, std::optional<std::wstring> value)
    : name(name) {
    wchar_t buffer[32768];
    SetLastError(ERROR_SUCCESS);
    const DWORD length = GetEnvironmentVariableW(name, buffer, 32768);
    if (length > 0 || GetLastError() != ERROR_ENVVAR_NOT_FOUND) {
        previous = std::wstring(buffer, length);
    }
    SetEnvironmentVariableW(name, value ? value->c_str() : nullptr);
}

ScopedVariable::~ScopedVariable() {
    SetEnvironmentVariableW(name.c_str(), previous ? previous->c_str() : nullptr);
}

std::wstring wow64_path(const std::wstring& software_path) {
    // "Software\X" as a 32-bit program writes it, seen from the 64-bit view.
    return L"Software\\Wow6432Node\\" + software_path.substr(std::wstring(L"Software\\").size());
}

void delete_loader_registry_trees() {
    for (const HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        RegDeleteTreeW(root, L"Software\\Policies\\Microsoft\\Edge");
        RegDeleteTreeW(root, L"Software\\Microsoft\\EdgeUpdate");
        RegDeleteTreeW(root, L"Software\\Wow6432Node\\Microsoft\\EdgeUpdate");
    }
}

RegistryKey::RegistryKey(HKEY root, const std::wstring& path) {
    RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
}

RegistryKey::~RegistryKey() {
    if (key) {
        RegCloseKey(key);
    }
}

RegistryKey& RegistryKey::text(const wchar_t* name, const std::wstring& value) {
    return raw(name, REG_SZ, value.c_str(),
               static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

RegistryKey& RegistryKey::dword(const wchar_t* name, DWORD value) {
    return raw(name, REG_DWORD, &value, sizeof(value));
}

RegistryKey& RegistryKey::raw(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), bytes);
    return *this;
}

TempFolder::TempFolder() {
    static int made = 0;
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    root = std::wstring(temp) + L"corvane-loader-" + std::to_wstring(GetCurrentProcessId()) + L"-" +
           std::to_wstring(++made);
    delete_tree(root);
    CreateDirectoryW(root.c_str(), nullptr);
}

TempFolder::~TempFolder() {
    delete_tree(root);
}

void delete_tree(const std::wstring& path) {
    WIN32_FIND_DATAW entry;
    const HANDLE search = FindFirstFileW((path + L"\\*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = entry.cFileName;
            if (name == L"." || name == L"..") {
                continue;
            }
            const std::wstring child = path + L"\\" + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                delete_tree(child);
            } else {
                SetFileAttributesW(child.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileW(child.c_str());
            }
        } while (FindNextFileW(search, &entry));
        FindClose(search);
    }
    RemoveDirectoryW(path.c_str());
}

void create_folders(const std::wstring& path) {
    // The long-path form, so folders near MAX_PATH can be made too.
    const std::wstring full = L"\\\\?\\" + path;
    for (std::size_t at = full.find(L'\\', 7); at != std::wstring::npos;
         at = full.find(L'\\', at + 1)) {
        CreateDirectoryW(full.substr(0, at).c_str(), nullptr);
    }
    CreateDirectoryW(full.c_str(), nullptr);
}

void write_file(const std::wstring& path, const std::string& content) {
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
}

std::wstring executable_folder() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring text(path, length);
    return text.substr(0, text.rfind(L'\\') + 1);
}

std::wstring executable_name() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring text(path, length);
    return text.substr(text.rfind(L'\\') + 1);
}

std::wstring fake_runtime_dll(const wchar_t* variant) {
    return executable_folder() + L"fake_runtime\\" + variant + L"\\EmbeddedBrowserWebView.dll";
}

std::wstring client_dll_path(const std::wstring& runtime_folder) {
    return runtime_folder + L"\\EBWebView\\x64\\EmbeddedBrowserWebView.dll";
}

std::wstring install_fake_runtime(const std::wstring& runtime_folder, const wchar_t* variant) {
    create_folders(runtime_folder + L"\\EBWebView\\x64");
    const std::wstring target = client_dll_path(runtime_folder);
    CopyFileW(fake_runtime_dll(variant).c_str(), target.c_str(), FALSE);
    return target;
}

RuntimeLog::RuntimeLog(const TempFolder& folder)
    : path(folder / L"runtime.log"), variable(L"CORVANE_FAKE_RUNTIME_LOG", path) {}

std::vector<std::string> RuntimeLog::lines() const {
    std::vector<std::string> result;
    const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return result;
    }
    std::string text(1 << 16, '\0');
    DWORD read = 0;
    ReadFile(file, text.data(), static_cast<DWORD>(text.size()), &read, nullptr);
    CloseHandle(file);
    text.resize(read);
    std::istringstream lines(text);
    for (std::string line; std::getline(lines, line);) {
        result.push_back(line);
    }
    return result;
}

int RuntimeLog::calls() const {
    int count = 0;
    for (const auto& line : lines()) {
        count += line.rfind("create ", 0) == 0 ? 1 : 0;
    }
    return count;
}

win32::ComPtr<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler> recording_handler(
    std::shared_ptr<HandlerRecord> record) {
    return win32::make_com_object<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler>(
        [record](HRESULT result, ICoreWebView2Environment* environment) {
            ++record->calls;
            record->result = result;
            record->environment = environment != nullptr;
            if (environment) {
                LPWSTR version = nullptr;
                if (SUCCEEDED(environment->get_BrowserVersionString(&version)) && version) {
                    record->browser_version = version;
                    CoTaskMemFree(version);
                }
            }
            return S_OK;
        });
}

bool pump_until_called(const HandlerRecord& record) {
    while (record.calls == 0) {
        if (MsgWaitForMultipleObjects(0, nullptr, FALSE, 20000, QS_ALLINPUT) == WAIT_TIMEOUT) {
            return false;
        }
        pump_pending();
    }
    return true;
}

void pump_pending() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

std::string utf8(const std::wstring& text) {
    const int size =
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string result(size > 0 ? size - 1 : 0, '\0');
    if (size > 1) {
        WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, result.data(), size, nullptr, nullptr);
    }
    return result;
}

long live_handlers() {
    return win32::live_com_objects.load();
}

bool module_loaded(const std::wstring& path) {
    return GetModuleHandleW(path.c_str()) != nullptr;
}

}  // namespace loader_test
