#include "host_fixture.h"

namespace host_test {
namespace {

constexpr wchar_t client_state[] =
    L"SOFTWARE\\Wow6432Node\\Microsoft\\EdgeUpdate\\ClientState\\"
    L"{F3017226-FE2A-4295-8BDF-00C3A9A7E4C5}";
constexpr wchar_t https_command[] = L"Software\\Classes\\https\\shell\\open\\command";
constexpr wchar_t desktop[] = L"Control Panel\\Desktop";

std::wstring runtime_root() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + L"corvane-host-runtime";
}

std::optional<std::wstring> previous_https_command;

}  // namespace

void set_registry_text(HKEY root, const std::wstring& path, const wchar_t* name,
                       const std::wstring& text) {
    win32::UniqueHkey key;
    ASSERT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                   static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

void set_registry_dword(HKEY root, const std::wstring& path, const wchar_t* name, DWORD value) {
    win32::UniqueHkey key;
    ASSERT_EQ(RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, key.put(),
                              nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key.get(), name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                   sizeof(value));
}

std::optional<std::wstring> registry_text(HKEY root, const std::wstring& path,
                                          const wchar_t* name) {
    wchar_t value[1024];
    DWORD bytes = sizeof(value);
    if (RegGetValueW(root, path.c_str(), name, RRF_RT_REG_SZ, nullptr, value, &bytes) !=
        ERROR_SUCCESS) {
        return std::nullopt;
    }
    return std::wstring(value);
}

void set_system_dpi(DWORD dpi) {
    set_registry_dword(HKEY_CURRENT_USER, desktop, L"LogPixels", dpi);
}

void expect_everything_released(const std::vector<std::string>& log) {
    const std::vector<std::string> summary = starting_with(log, "exit: ");
    ASSERT_EQ(summary.size(), 1u);
    const std::string& line = summary.front();
    EXPECT_EQ(line.substr(0, line.find(", strings")), "exit: objects alive 0") << line;
    const std::string given = line.substr(line.find("given ") + 6);
    const std::string count = given.substr(0, given.find(','));
    EXPECT_NE(line.find(", freed " + count + ", freed twice 0"), std::string::npos) << line;
    EXPECT_TRUE(starting_with(log, "unexpected").empty());
}

void HostTest::SetUpTestSuite() {
    // An installed runtime of a version the loader accepts, with the fake client library.
    const std::wstring version_folder = runtime_root() + L"\\120.0.2210.91";
    const std::wstring library_folder = version_folder + L"\\EBWebView\\x64";
    for (const std::wstring& folder :
         {runtime_root(), version_folder, version_folder + L"\\EBWebView", library_folder}) {
        CreateDirectoryW(folder.c_str(), nullptr);
    }
    // A test that made a view in this process keeps the library loaded there, and so in place.
    const std::wstring installed = library_folder + L"\\EmbeddedBrowserWebView.dll";
    ASSERT_TRUE(CopyFileW(fake_runtime_library().c_str(), installed.c_str(), FALSE) ||
                GetModuleHandleW(installed.c_str()) != nullptr)
        << utf8(fake_runtime_library());
    set_registry_text(HKEY_LOCAL_MACHINE, client_state, L"EBWebView", version_folder);

    previous_https_command = registry_text(HKEY_LOCAL_MACHINE, https_command, nullptr);
    set_registry_text(HKEY_LOCAL_MACHINE, https_command, nullptr,
                      L"\"" + shell_recorder() + L"\" \"%1\"");
    set_system_dpi(96);
    // No window manager runs on the virtual screen: without this, Wine waits 2 s for one
    // each time a window of the program is hidden or destroyed.
    set_registry_text(HKEY_CURRENT_USER, L"Software\\Wine\\X11 Driver", L"Managed", L"N");
}

void HostTest::TearDownTestSuite() {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, client_state);
    if (previous_https_command) {
        set_registry_text(HKEY_LOCAL_MACHINE, https_command, nullptr, *previous_https_command);
    }
    set_system_dpi(96);
    delete_tree(runtime_root());
}

}  // namespace host_test
