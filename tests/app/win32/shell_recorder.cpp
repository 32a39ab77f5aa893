// Stands in for the user's default browser: Wine's handler for https addresses is pointed at
// this program while the host's tests run. It appends the address it was asked to open to the
// file named by CORVANE_SHELL_RECORD (inherited from the program that asked the shell).

#include <string>

#include <windows.h>

#include "win32/system_handles.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"CORVANE_SHELL_RECORD", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return 2;
    }
    int count = 0;
    wchar_t** arguments = CommandLineToArgvW(GetCommandLineW(), &count);
    std::wstring address = arguments && count > 1 ? arguments[1] : L"(no address)";
    LocalFree(arguments);

    const int bytes =
        WideCharToMultiByte(CP_UTF8, 0, address.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string line(bytes > 0 ? bytes - 1 : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, address.c_str(), -1, line.data(), bytes, nullptr, nullptr);
    line += "\n";
    const win32::UniqueFileHandle file(CreateFileW(path, FILE_APPEND_DATA,
                                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                   OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return 1;
    }
    DWORD written = 0;
    WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    return 0;
}
