#include "support.h"

#include "win32/com_object.h"

namespace loader_test {

std::wstring wow64_path(const std::wstring& software_path) {
    // "Software\X" as a 32-bit program writes it, seen from the 64-bit view.
    return L"Software\\Wow6432Node\\" + software_path.substr(std::wstring(L"Software\\").size());
}

std::wstring policy(const wchar_t* name) {
    return std::wstring(policies) + L"\\" + name;
}

std::wstring text_of(const wchar_t* field) {
    return field ? field : L"(null)";
}

void delete_loader_registry_trees() {
    for (const HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
        RegDeleteTreeW(root, L"Software\\Policies\\Microsoft\\Edge");
        RegDeleteTreeW(root, L"Software\\Microsoft\\EdgeUpdate");
        RegDeleteTreeW(root, L"Software\\Wow6432Node\\Microsoft\\EdgeUpdate");
    }
}

RegistryKey::RegistryKey(HKEY root, const std::wstring& path) {
    RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr);
}

RegistryKey& RegistryKey::text(const wchar_t* name, const std::wstring& value) {
    return raw(name, REG_SZ, value.c_str(),
               static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

RegistryKey& RegistryKey::dword(const wchar_t* name, DWORD value) {
    return raw(name, REG_DWORD, &value, sizeof(value));
}

RegistryKey& RegistryKey::raw(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    RegSetValueExW(key.get(), name, 0, type, static_cast<const BYTE*>(data), bytes);
    return *this;
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
    return win32_test::read_lines(path);
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

long live_handlers() {
    return win32::live_com_objects.load();
}

bool module_loaded(const std::wstring& path) {
    return GetModuleHandleW(path.c_str()) != nullptr;
}

}  // namespace loader_test
