#pragma once

// Set-up helpers for the loader's tests: real registry keys, environment variables and runtime
// folders inside the Wine prefix, each removed again by its owner.

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

#include "tests/win32/test_support.h"
#include "win32/com_ptr.h"
#include "win32/system_handles.h"
#include "win32/webview2.h"

namespace loader_test {

using win32_test::delete_tree;
using win32_test::ScopedVariable;
using win32_test::TempFolder;
using win32_test::utf8;
using win32_test::write_file;

// Every registry tree the loader reads, under both roots and both views.
void delete_loader_registry_trees();

// Creates `path` under `root` and writes values into it; the caller's fixture removes the trees.
class RegistryKey {
public:
    RegistryKey(HKEY root, const std::wstring& path);
    RegistryKey& text(const wchar_t* name, const std::wstring& value);
    RegistryKey& dword(const wchar_t* name, DWORD value);
    RegistryKey& raw(const wchar_t* name, DWORD type, const void* data, DWORD bytes);

private:
    win32::UniqueHkey key;
};

// Where the 32-bit updater's keys live in a 64-bit registry.
std::wstring wow64_path(const std::wstring& software_path);
inline constexpr wchar_t stable_key[] =
    L"Software\\Microsoft\\EdgeUpdate\\ClientState\\{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";
inline constexpr wchar_t beta_key[] =
    L"Software\\Microsoft\\EdgeUpdate\\ClientState\\{2CD8A007-E189-409D-A2C8-9AF4EF3C72AA}";
inline constexpr wchar_t dev_key[] =
    L"Software\\Microsoft\\EdgeUpdate\\ClientState\\{0D50BFEC-CD6A-4F9A-964C-C7416E3ACB10}";
inline constexpr wchar_t canary_key[] =
    L"Software\\Microsoft\\EdgeUpdate\\ClientState\\{65C35B14-6C1D-4122-AC46-7148CC9D6497}";
inline constexpr wchar_t internal_key[] =
    L"Software\\Microsoft\\EdgeUpdate\\ClientState\\{BE59E8FD-089A-411B-A3B0-051D9E417818}";
inline constexpr wchar_t edge_key[] =
    L"Software\\Microsoft\\EdgeUpdate\\Clients\\{56EB18F8-B008-4CBD-B6D2-8C97FE7E9062}";
inline constexpr wchar_t policies[] = L"Software\\Policies\\Microsoft\\Edge\\WebView2";
// The key of one policy below `policies`.
std::wstring policy(const wchar_t* name);

// A resolved setting as text; "(null)" when it is unset.
std::wstring text_of(const wchar_t* field);

void create_folders(const std::wstring& path);

// The folder of the running executable, with a trailing backslash.
std::wstring executable_folder();
std::wstring executable_name();

// The fake client library of a variant ("full", "no_create", "no_unload",
// "missing_dependency") and its installed place below a runtime folder.
std::wstring fake_runtime_dll(const wchar_t* variant);
std::wstring client_dll_path(const std::wstring& runtime_folder);
// Copies a fake client library into runtime_folder\EBWebView\x64; returns its path.
std::wstring install_fake_runtime(const std::wstring& runtime_folder,
                                  const wchar_t* variant = L"full");

// The fake runtime's log: a file in `folder` named by CORVANE_FAKE_RUNTIME_LOG while this lives.
class RuntimeLog {
public:
    explicit RuntimeLog(const TempFolder& folder);
    std::vector<std::string> lines() const;
    int calls() const;  // lines that record a creation call

private:
    std::wstring path;
    ScopedVariable variable;
};

// What the caller's completion handler saw.
struct HandlerRecord {
    int calls = 0;
    HRESULT result = S_OK;
    bool environment = false;
    std::wstring browser_version;  // asked from the environment while it was offered
};

// A completion handler that records its calls into `record`.
win32::ComPtr<ICoreWebView2CreateCoreWebView2EnvironmentCompletedHandler> recording_handler(
    std::shared_ptr<HandlerRecord> record);

// Runs this thread's message loop until `record` has a call; false if nothing came for a long
// while (a hang guard, not a timing check).
bool pump_until_called(const HandlerRecord& record);

// Runs queued messages of this thread without waiting.
void pump_pending();

// Live COM objects made by win32::ComObject.
long live_handlers();

// Whether a module with this full path is loaded in the process.
bool module_loaded(const std::wstring& path);

}  // namespace loader_test
