#include "host_driver.h"

#include <algorithm>

#include <gtest/gtest.h>

namespace host_test {
namespace {

constexpr DWORD hang_guard_ms = 30000;

// The value to set, or none (the variable removed) for an empty text.
std::optional<std::wstring> unless_empty(const std::wstring& value) {
    return value.empty() ? std::nullopt : std::optional<std::wstring>(value);
}

std::wstring class_of(HWND window) {
    wchar_t name[256] = {};
    GetClassNameW(window, name, 256);
    return name;
}

DWORD process_of(HWND window) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    return owner;
}

struct Search {
    DWORD process;
    const wchar_t* window_class;
    bool visible_only;
    HWND found;
};

BOOL CALLBACK match_window(HWND window, LPARAM parameter) {
    auto* search = reinterpret_cast<Search*>(parameter);
    if (process_of(window) == search->process && class_of(window) == search->window_class &&
        (!search->visible_only || IsWindowVisible(window))) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

HWND find_window(DWORD process, const wchar_t* window_class, bool visible_only) {
    Search search{process, window_class, visible_only, nullptr};
    EnumWindows(&match_window, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

// WM_GETTEXT, which the system carries across processes.
std::wstring text_of(HWND window) {
    const auto length = static_cast<int>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0));
    std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
    const auto copied =
        SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<std::size_t>(copied));
    return text;
}

BOOL CALLBACK read_control(HWND control, LPARAM parameter) {
    auto* box = reinterpret_cast<Box*>(parameter);
    const std::wstring kind = class_of(control);
    if (_wcsicmp(kind.c_str(), L"Button") == 0) {
        box->buttons.push_back(GetDlgCtrlID(control));
    } else if (_wcsicmp(kind.c_str(), L"Static") == 0) {
        if ((GetWindowLongW(control, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            box->has_icon = box->has_icon ||
                            (IsWindowVisible(control) && SendMessageW(control, STM_GETICON, 0, 0));
        } else if (IsWindowVisible(control)) {
            box->text += text_of(control);
        }
    }
    return TRUE;
}

Box read_box(HWND window) {
    Box box;
    box.window = window;
    box.caption = text_of(window);
    box.owner = GetWindow(window, GW_OWNER);
    EnumChildWindows(window, &read_control, reinterpret_cast<LPARAM>(&box));
    return box;
}

}  // namespace

std::wstring wine_path(const std::string& unix_path) {
    std::wstring path = L"Z:" + wide(unix_path);
    std::replace(path.begin(), path.end(), L'/', L'\\');
    return path;
}

std::wstring host_executable() {
    return wine_path(CORVANE_HOST_EXECUTABLE);
}
std::wstring packaged_executable() {
    return wine_path(CORVANE_PACKAGED_EXECUTABLE);
}
std::wstring fake_runtime_library() {
    return wine_path(CORVANE_FAKE_RUNTIME_LIBRARY);
}
std::wstring shell_recorder() {
    return wine_path(CORVANE_SHELL_RECORDER);
}

bool wait_until(const std::function<bool()>& done) {
    const ULONGLONG deadline = GetTickCount64() + hang_guard_ms;
    while (!done()) {
        if (GetTickCount64() > deadline) {
            return false;
        }
        Sleep(20);
    }
    return true;
}

HostRun::HostRun(const TempFolder& scratch, const Launch& launch) {
    static int runs = 0;
    const std::wstring run = std::to_wstring(++runs);
    log_file = scratch / (L"runtime-" + run + L".log");
    record_file = scratch / (L"shell-" + run + L".txt");
    std::wstring script_file;
    if (!launch.script.empty()) {
        script_file = scratch / (L"browser-script-" + run + L".txt");
        write_file(script_file, launch.script);
    }
    const ScopedVariable log(L"CORVANE_FAKE_RUNTIME_LOG", log_file);
    const ScopedVariable script(L"CORVANE_FAKE_BROWSER_SCRIPT", unless_empty(script_file));
    const ScopedVariable scenario(L"CORVANE_FAKE_RUNTIME_SCENARIO", unless_empty(launch.scenario));
    const ScopedVariable record(L"CORVANE_SHELL_RECORD", record_file);

    // Everything the program starts joins its job, so the shell's launches can be counted,
    // and closing the job ends whatever a failed test left running.
    job.reset(CreateJobObjectW(nullptr, nullptr));
    JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
    limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
    SetInformationJobObject(job.get(), JobObjectExtendedLimitInformation, &limits, sizeof(limits));

    std::wstring command = L"\"" + launch.executable + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION started{};
    // Wine on a busy machine now and then loses a new process while setting it up, before any
    // of the program's code runs, and reports ERROR_INTERNAL_ERROR; that alone is tried again.
    bool created = false;
    DWORD error = 0;
    for (int attempt = 0; attempt < 3 && !created; ++attempt) {
        created = CreateProcessW(launch.executable.c_str(), command.data(), nullptr, nullptr, FALSE,
                                 CREATE_SUSPENDED, nullptr, nullptr, &startup, &started);
        error = created ? 0 : GetLastError();
        if (error != ERROR_INTERNAL_ERROR) {
            break;
        }
    }
    if (!created) {
        ADD_FAILURE() << "cannot start " << utf8(launch.executable) << ": " << error;
        return;
    }
    process.reset(started.hProcess);
    id = started.dwProcessId;
    const win32::UniqueKernelHandle thread(started.hThread);
    AssignProcessToJobObject(job.get(), process.get());
    ResumeThread(thread.get());
}

HostRun::~HostRun() {
    if (process && WaitForSingleObject(process.get(), 0) == WAIT_TIMEOUT) {
        TerminateProcess(process.get(), 99);
        WaitForSingleObject(process.get(), hang_guard_ms);
    }
}

HWND HostRun::main_window() {
    if (window == nullptr) {
        wait_until([&] {
            window = find_window(id, L"CorvaneWeatherWindow", false);
            return window != nullptr;
        });
    }
    return window;
}

std::optional<Box> find_box_of(DWORD process) {
    const HWND box = find_window(process, L"#32770", true);
    if (box == nullptr) {
        return std::nullopt;
    }
    return read_box(box);
}

std::optional<Box> HostRun::find_box() const {
    return find_box_of(id);
}

std::optional<Box> HostRun::wait_for_box() {
    std::optional<Box> box;
    wait_until([&] {
        box = find_box();
        return box.has_value();
    });
    return box;
}

void HostRun::press_ok(const Box& box) {
    const HWND button = GetDlgItem(box.window, IDOK);
    PostMessageW(box.window, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED),
                 reinterpret_cast<LPARAM>(button));
    EXPECT_TRUE(wait_until([&] { return !IsWindow(box.window); })) << "the box did not close";
}

bool HostRun::wait_until_loaded() {
    return wait_until(
        [&] { return contains(log(), "page loaded https://corvane-weather.example/index.html"); });
}

bool HostRun::step(const std::string& line) {
    const HWND control = find_window(id, L"CorvaneFakeBrowserControl", false);
    if (control == nullptr) {
        ADD_FAILURE() << "the fake browser view has no control window";
        return false;
    }
    COPYDATASTRUCT data{};
    data.dwData = 1;
    data.cbData = static_cast<DWORD>(line.size());
    data.lpData = const_cast<char*>(line.data());
    return SendMessageW(control, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data)) == 1;
}

void HostRun::close() {
    PostMessageW(main_window(), WM_CLOSE, 0, 0);
}

int HostRun::wait_for_exit() {
    const bool ended = wait_until([&] {
        if (const std::optional<Box> box = find_box()) {
            ADD_FAILURE() << "unexpected box: " << utf8(box->text);
            press_ok(*box);
        }
        return WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0;
    });
    if (!ended) {
        return -1;
    }
    DWORD code = 0;
    GetExitCodeProcess(process.get(), &code);
    return static_cast<int>(code);
}

std::vector<std::string> HostRun::log() const {
    return read_lines(log_file);
}

long HostRun::processes_started() const {
    JOBOBJECT_BASIC_ACCOUNTING_INFORMATION accounting{};
    QueryInformationJobObject(job.get(), JobObjectBasicAccountingInformation, &accounting,
                              sizeof(accounting), nullptr);
    return static_cast<long>(accounting.TotalProcesses) - 1;
}

std::vector<std::string> lines_from(const std::vector<std::string>& log, std::size_t from) {
    return {log.begin() + static_cast<std::ptrdiff_t>(std::min(from, log.size())), log.end()};
}

std::vector<std::string> starting_with(const std::vector<std::string>& lines,
                                       const std::string& prefix) {
    std::vector<std::string> found;
    for (const std::string& line : lines) {
        if (line.rfind(prefix, 0) == 0) {
            found.push_back(line);
        }
    }
    return found;
}

std::vector<std::string> posted_replies(const std::vector<std::string>& lines) {
    static const std::string prefix = "webview PostWebMessageAsJson ";
    std::vector<std::string> replies;
    for (const std::string& line : starting_with(lines, prefix)) {
        replies.push_back(line.substr(prefix.size()));
    }
    return replies;
}

bool contains(const std::vector<std::string>& lines, const std::string& line) {
    return std::find(lines.begin(), lines.end(), line) != lines.end();
}

}  // namespace host_test
