#include "browser_script.h"

#include <fstream>
#include <sstream>

#include "call_log.h"

namespace fake_browser_view {
namespace {

std::string script_path() {
    char path[MAX_PATH] = {};
    const DWORD length = GetEnvironmentVariableA("CORVANE_FAKE_BROWSER_SCRIPT", path, MAX_PATH);
    return length > 0 && length < MAX_PATH ? std::string(path) : std::string();
}

HRESULT code_of(const std::string& text) {
    return static_cast<HRESULT>(std::stoul(text, nullptr, 16));
}

BrowserScript read_script() {
    BrowserScript script;
    const std::string path = script_path();
    if (path.empty()) {
        return script;
    }
    std::ifstream file(path);
    for (std::string line; std::getline(file, line);) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty() || line[0] == '#') {
            continue;
        }
        std::istringstream words(line);
        std::string setting;
        std::string value;
        words >> setting >> value;
        if (setting == "controller_now") {
            script.controller_now = code_of(value);
        } else if (setting == "controller_later") {
            script.controller_later = code_of(value);
        } else if (setting == "controller_missing") {
            script.controller_missing = true;
        } else if (setting == "close_before") {
            script.close_before = value;
        } else if (setting == "no_webview") {
            script.no_webview = true;
        } else if (setting == "no_webview_3") {
            script.no_webview_3 = true;
        } else if (setting == "mapping") {
            script.mapping = code_of(value);
        } else if (setting == "no_settings") {
            script.no_settings = true;
        } else if (setting == "no_settings_2") {
            script.no_settings_2 = true;
        } else if (setting == "user_agent_none") {
            script.user_agent_none = true;
        } else if (setting == "step") {
            script.steps.push_back(line.size() > 5 ? line.substr(5) : std::string());
        } else {
            log_line("unknown script line " + line);
        }
    }
    return script;
}

BOOL CALLBACK close_if_main(HWND window, LPARAM closed) {
    if (GetWindow(window, GW_OWNER) == nullptr &&
        (GetWindowLongW(window, GWL_STYLE) & WS_CAPTION) == WS_CAPTION) {
        PostMessageW(window, WM_CLOSE, 0, 0);
        *reinterpret_cast<bool*>(closed) = true;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

const BrowserScript& browser_script() {
    static const BrowserScript script = read_script();
    return script;
}

void close_host_window() {
    bool closed = false;
    EnumThreadWindows(GetCurrentThreadId(), &close_if_main, reinterpret_cast<LPARAM>(&closed));
    log_line(closed ? "window close posted" : "no window to close");
}

}  // namespace fake_browser_view
