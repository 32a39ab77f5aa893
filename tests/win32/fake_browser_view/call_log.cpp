#include "call_log.h"

#include <cstdio>

#include <windows.h>

#include "win32/system_handles.h"

namespace fake_browser_view {
namespace {

std::wstring log_path() {
    wchar_t path[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableW(L"CORVANE_FAKE_RUNTIME_LOG", path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::wstring(path) : std::wstring();
}

}  // namespace

std::string utf8(const wchar_t* text) {
    if (text == nullptr) {
        return "(null)";
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string result(size > 0 ? size - 1 : 0, '\0');
    if (size > 1) {
        WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), size, nullptr, nullptr);
    }
    return result;
}

bool logging() {
    return !log_path().empty();
}

void log_line(const std::string& line) {
    const std::wstring path = log_path();
    if (path.empty()) {
        return;
    }
    // Appended in one write, whichever thread or process writes.
    const win32::UniqueFileHandle file(CreateFileW(path.c_str(), FILE_APPEND_DATA,
                                                   FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                   OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        return;
    }
    const std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
}

int logged_calls() {
    // The whole log: a browser view's calls can make it long.
    const std::string text = win32_test::read_text(log_path());
    int calls = 0;
    for (std::size_t at = text.find("create "); at != std::string::npos;
         at = text.find("create ", at + 1)) {
        if (at == 0 || text[at - 1] == '\n') {
            ++calls;
        }
    }
    return calls;
}

std::string hex(HRESULT code) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(code));
    return text;
}

}  // namespace fake_browser_view
