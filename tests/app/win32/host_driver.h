#pragma once

// Drives the real CorvaneWeather.exe from a test program in the same Wine session: starts it
// in a job object with the fake browser runtime's script and log, finds its main window and its
// message boxes, plays browser-view steps through the fake's control window, and reads what
// the fake recorded. Every wait is a hang guard (30 s), never a timing check.

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <windows.h>

#include "tests/win32/test_support.h"
#include "win32/system_handles.h"

namespace host_test {

using win32_test::delete_tree;
using win32_test::read_lines;
using win32_test::read_text;
using win32_test::ScopedVariable;
using win32_test::TempFolder;
using win32_test::utf8;
using win32_test::wide;
using win32_test::write_file;

// The Wine (Z:) form of an absolute Unix path.
std::wstring wine_path(const std::string& unix_path);

// Paths of the build's programs, set by the build.
std::wstring host_executable();
std::wstring packaged_executable();  // in the ready-to-copy folder
std::wstring fake_runtime_library();
std::wstring shell_recorder();

// Calls `done` every 20 ms until it is true; false after 30 s (a hang guard).
bool wait_until(const std::function<bool()>& done);

// What a message box shows.
struct Box {
    HWND window = nullptr;
    std::wstring caption;
    std::wstring text;  // the text of its one text control
    HWND owner = nullptr;
    std::vector<int> buttons;  // control ids of its buttons, in creation order
    bool has_icon = false;
};

// A visible message box of `process`; nullopt if it shows none.
std::optional<Box> find_box_of(DWORD process);

struct Launch {
    std::wstring executable = host_executable();
    std::string script;     // the fake browser view's script; none when empty
    std::wstring scenario;  // CORVANE_FAKE_RUNTIME_SCENARIO; the fake's default when empty
};

// One run of the program, ended (killed if need be) on destruction.
class HostRun {
public:
    HostRun(const TempFolder& scratch, const Launch& launch = {});
    ~HostRun();
    HostRun(const HostRun&) = delete;
    HostRun& operator=(const HostRun&) = delete;

    // The main window ("CorvaneWeatherWindow" of this process); null if none came.
    HWND main_window();
    // A visible message box of this process, waiting for one; nullopt if none came.
    std::optional<Box> wait_for_box();
    std::optional<Box> find_box() const;
    static void press_ok(const Box& box);

    // Waits until the fake reports the start page loaded; false if it never did.
    bool wait_until_loaded();
    // Plays one step in the fake browser view on the program's UI thread; true if played.
    bool step(const std::string& line);

    // Posts WM_CLOSE to the main window.
    void close();
    // The exit code, waiting for the end; a box that opens meanwhile fails the test and is
    // dismissed. -1 if the program did not end.
    int wait_for_exit();

    std::vector<std::string> log() const;
    const std::wstring& log_path() const { return log_file; }
    const std::wstring& shell_record() const { return record_file; }
    // Processes started in the job besides the program itself: the shell's launches.
    long processes_started() const;
    DWORD process_id() const { return id; }

private:
    std::wstring log_file;
    std::wstring record_file;
    win32::UniqueKernelHandle job;
    win32::UniqueKernelHandle process;
    DWORD id = 0;
    HWND window = nullptr;
};

// The lines of `log` from index `from` on.
std::vector<std::string> lines_from(const std::vector<std::string>& log, std::size_t from);
// The texts of "webview PostWebMessageAsJson" lines among `lines`.
std::vector<std::string> posted_replies(const std::vector<std::string>& lines);
bool contains(const std::vector<std::string>& lines, const std::string& line);
// Lines starting with `prefix`.
std::vector<std::string> starting_with(const std::vector<std::string>& lines,
                                       const std::string& prefix);

}  // namespace host_test
